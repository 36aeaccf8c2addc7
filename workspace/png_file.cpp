#include "workspace/png_file.h"

#include <algorithm>
#include <cstddef>

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static std::uint32_t table[256];
  static const bool made = [] {
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return true;
  }();
  (void)made;
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutBig32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>* out, const char type[4], const std::vector<std::uint8_t>& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  PutBig32(out, Crc32(out->data() + start, out->size() - start));
}

}  // namespace

void EncodePng(const std::uint8_t* topRow, int stride, int width, int height,
               std::vector<std::uint8_t>* out) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out->assign(kSignature, kSignature + 8);
  std::vector<std::uint8_t> header;
  PutBig32(&header, static_cast<std::uint32_t>(width));
  PutBig32(&header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  Chunk(out, "IHDR", header);

  // The raw image: each row a filter byte (none) and RGB triples.
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(height) * (3 * static_cast<std::size_t>(width) + 1));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = topRow + static_cast<std::ptrdiff_t>(y) * stride;
    raw.push_back(0);
    for (int x = 0; x < width; ++x) raw.insert(raw.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  std::vector<std::uint8_t> z = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  std::size_t done = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - done, 65535);
    z.push_back(done + n == raw.size() ? 1 : 0);  // stored block, last or not
    z.insert(z.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                       static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)});
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(done),
             raw.begin() + static_cast<std::ptrdiff_t>(done + n));
    done += n;
  } while (done < raw.size());
  PutBig32(&z, (b << 16) | a);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
}
