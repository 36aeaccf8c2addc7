#include "tools/jpeg_luma.h"

#include <vector>

namespace sample {

namespace {

// A canonical Huffman table as a DHT segment defines it.
struct Huffman {
  bool defined = false;
  int count[17] = {};       // codes of each length 1..16
  int firstCode[17] = {};   // first code of each length
  int firstIndex[17] = {};  // index of its symbol in `symbols`
  std::uint8_t symbols[256] = {};
};

void Build(Huffman& h) {
  int code = 0, index = 0;
  for (int len = 1; len <= 16; ++len) {
    h.firstCode[len] = code;
    h.firstIndex[len] = index;
    code = (code + h.count[len]) << 1;
    index += h.count[len];
  }
  h.defined = true;
}

// Reads entropy-coded bits, undoing the 0xFF 0x00 stuffing; fails at a
// marker or at the end of the bytes.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size, std::size_t pos)
      : data_(data), size_(size), pos_(pos) {}

  bool Bit(int* bit) {
    if (bits_ == 0) {
      if (pos_ >= size_) return false;
      std::uint8_t byte = data_[pos_++];
      if (byte == 0xFF) {
        if (pos_ >= size_ || data_[pos_] != 0x00) return false;  // a marker
        ++pos_;
      }
      byte_ = byte;
      bits_ = 8;
    }
    --bits_;
    *bit = (byte_ >> bits_) & 1;
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_;
  std::uint8_t byte_ = 0;
  int bits_ = 0;
};

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Bit(int bit) {
    acc_ = static_cast<std::uint8_t>((acc_ << 1) | bit);
    if (++bits_ == 8) Emit();
  }
  void Finish() {  // pad the last byte with one bits
    while (bits_ != 0) Bit(1);
  }

 private:
  void Emit() {
    out_.push_back(acc_);
    if (acc_ == 0xFF) out_.push_back(0x00);
    acc_ = 0;
    bits_ = 0;
  }
  std::vector<std::uint8_t>& out_;
  std::uint8_t acc_ = 0;
  int bits_ = 0;
};

// Decodes one Huffman symbol, appending its bits to `copy` when given.
bool Symbol(BitReader& in, const Huffman& h, std::vector<std::uint8_t>* copy,
            int* symbol) {
  int code = 0;
  for (int len = 1; len <= 16; ++len) {
    int bit;
    if (!in.Bit(&bit)) return false;
    if (copy) copy->push_back(static_cast<std::uint8_t>(bit));
    code = (code << 1) | bit;
    const int offset = code - h.firstCode[len];
    if (offset >= 0 && offset < h.count[len]) {
      *symbol = h.symbols[h.firstIndex[len] + offset];
      return true;
    }
  }
  return false;
}

// Reads the `count` extra bits of a DC difference of that category.
bool Extend(BitReader& in, int count, int* value) {
  int v = 0;
  for (int i = 0; i < count; ++i) {
    int bit;
    if (!in.Bit(&bit)) return false;
    v = (v << 1) | bit;
  }
  if (count > 0 && v < (1 << (count - 1))) v -= (1 << count) - 1;
  *value = v;
  return true;
}

// One 8 x 8 block: its DC difference, and its AC bits copied to `ac` when
// given. *flat: DC difference 0 and nothing but end of block.
bool Block(BitReader& in, const Huffman& dcTable, const Huffman& acTable,
           int* dcDiff, std::vector<std::uint8_t>* ac, bool* flat) {
  int symbol;
  if (!Symbol(in, dcTable, nullptr, &symbol) || symbol > 11 ||
      !Extend(in, symbol, dcDiff))
    return false;
  *flat = symbol == 0;
  for (int k = 1; k < 64;) {
    if (!Symbol(in, acTable, ac, &symbol)) return false;
    const int run = symbol >> 4, bits = symbol & 15;
    if (bits == 0) {
      if (run != 15) return true;  // end of block
      k += 16;
    } else {
      k += run + 1;
      if (k > 64) return false;  // past the last coefficient
      for (int i = 0; i < bits; ++i) {
        int bit;
        if (!in.Bit(&bit)) return false;
        if (ac) ac->push_back(static_cast<std::uint8_t>(bit));
      }
    }
    *flat = false;
  }
  return true;
}

int Be16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }

void PutSegment(std::vector<std::uint8_t>& out, std::uint8_t marker,
                const std::vector<std::uint8_t>& body) {
  out.push_back(0xFF);
  out.push_back(marker);
  const std::size_t len = body.size() + 2;
  out.push_back(static_cast<std::uint8_t>(len >> 8));
  out.push_back(static_cast<std::uint8_t>(len));
  out.insert(out.end(), body.begin(), body.end());
}

// The luminance DC table of the JPEG standard: it codes every category, so
// any DC difference of the reordered blocks can be written.
constexpr std::uint8_t kDcCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1,
                                        1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::uint8_t kDcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// Larger pictures are refused rather than buffered (a damaged header could
// ask for gigabytes).
constexpr int kMaxSide = 4096;

struct Luma {
  int dc = 0;
  std::vector<std::uint8_t> ac;  // the AC bits as they were coded
};

}  // namespace

bool KeepLumaOnly(const std::uint8_t* data, std::size_t size,
                  std::vector<std::uint8_t>& out) {
  out.clear();
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  out.push_back(0xFF);
  out.push_back(0xD8);
  Huffman tables[2][4];                     // [DC 0, AC 1][id]
  std::vector<std::uint8_t> acSegments[4];  // each AC table as defined
  int width = 0, height = 0, hs = 0, vs = 0;
  int ids[3] = {}, quant[3] = {};
  bool haveFrame = false;

  std::size_t pos = 2;
  while (pos + 4 <= size) {
    if (data[pos] != 0xFF) return false;
    const std::uint8_t marker = data[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    const std::size_t len = static_cast<std::size_t>(Be16(data + pos + 2));
    if (len < 2 || pos + 2 + len > size) return false;
    const std::uint8_t* seg = data + pos + 4;
    const std::size_t segLen = len - 2;
    const std::size_t next = pos + 2 + len;

    if (marker == 0xC0) {  // baseline frame header
      if (segLen != 15 || seg[0] != 8 || seg[5] != 3) return false;
      height = Be16(seg + 1);
      width = Be16(seg + 3);
      // Chroma at full resolution: every component sampled alike (FFmpeg
      // writes 4:4:4 as 1 x 2 for all three).
      hs = seg[7] >> 4;
      vs = seg[7] & 15;
      for (int c = 0; c < 3; ++c) {
        if (seg[7 + 3 * c] != seg[7]) return false;
        ids[c] = seg[6 + 3 * c];
        quant[c] = seg[8 + 3 * c];
      }
      if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
          hs < 1 || hs > 4 || vs < 1 || vs > 4)
        return false;
      haveFrame = true;
      PutSegment(out, 0xC0,
                 {8, static_cast<std::uint8_t>(height >> 8),
                  static_cast<std::uint8_t>(height),
                  static_cast<std::uint8_t>(width >> 8),
                  static_cast<std::uint8_t>(width), 1,
                  static_cast<std::uint8_t>(ids[0]), 0x11,
                  static_cast<std::uint8_t>(quant[0])});
    } else if (marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 &&
               marker != 0xC8 && marker != 0xCC) {
      return false;               // not baseline
    } else if (marker == 0xDD) {  // restart interval
      if (segLen != 2 || Be16(seg) != 0) return false;
    } else if (marker == 0xC4) {  // Huffman tables, several per segment
      std::size_t p = 0;
      while (p < segLen) {
        if (p + 17 > segLen) return false;
        const int cls = seg[p] >> 4, id = seg[p] & 15;
        if (cls > 1 || id > 3) return false;
        Huffman& h = tables[cls][id];
        h = Huffman{};
        int total = 0;
        for (int l = 1; l <= 16; ++l) total += h.count[l] = seg[p + l];
        if (total > 256 || p + 17 + total > segLen) return false;
        for (int i = 0; i < total; ++i) h.symbols[i] = seg[p + 17 + i];
        Build(h);
        if (cls == 1) acSegments[id].assign(seg + p + 1, seg + p + 17 + total);
        p += 17 + total;
      }
    } else if (marker == 0xDA) {  // start of scan: the entropy-coded data
      if (!haveFrame || segLen != 10 || seg[0] != 3) return false;
      const Huffman* dc[3];
      const Huffman* ac[3];
      int lumaAc = 0;
      for (int c = 0; c < 3; ++c) {
        if (seg[1 + 2 * c] != ids[c]) return false;
        const int td = seg[2 + 2 * c] >> 4, ta = seg[2 + 2 * c] & 15;
        if (td > 3 || ta > 3 || !tables[0][td].defined ||
            !tables[1][ta].defined)
          return false;
        dc[c] = &tables[0][td];
        ac[c] = &tables[1][ta];
        if (c == 0) lumaAc = ta;
      }

      // Read every MCU; keep the luma blocks by their place in the picture.
      const int blocksW = (width + 7) / 8, blocksH = (height + 7) / 8;
      const int mcusW = (width + 8 * hs - 1) / (8 * hs);
      const int mcusH = (height + 8 * vs - 1) / (8 * vs);
      std::vector<Luma> luma(static_cast<std::size_t>(blocksW) * blocksH);
      std::vector<std::uint8_t> scratch;
      BitReader in(data, size, next);
      int pred[3] = {0, 0, 0};
      for (int my = 0; my < mcusH; ++my)
        for (int mx = 0; mx < mcusW; ++mx)
          for (int c = 0; c < 3; ++c)
            for (int j = 0; j < vs; ++j)
              for (int i = 0; i < hs; ++i) {
                const int bx = mx * hs + i, by = my * vs + j;
                const bool kept = c == 0 && bx < blocksW && by < blocksH;
                Luma* block =
                    kept ? &luma[static_cast<std::size_t>(by) * blocksW + bx]
                         : nullptr;
                scratch.clear();
                int diff;
                bool flat;
                if (!Block(in, *dc[c], *ac[c], &diff,
                           block ? &block->ac : &scratch, &flat))
                  return false;
                pred[c] += diff;
                if (block) block->dc = pred[c];
                if (c > 0 && !flat) return false;  // colour: not a grey picture
              }

      // Tables: the standard DC table and the luma AC table as it was.
      std::vector<std::uint8_t> dht = {0x00};
      dht.insert(dht.end(), kDcCounts, kDcCounts + 16);
      dht.insert(dht.end(), kDcSymbols, kDcSymbols + 12);
      dht.push_back(0x10);
      dht.insert(dht.end(), acSegments[lumaAc].begin(),
                 acSegments[lumaAc].end());
      PutSegment(out, 0xC4, dht);
      PutSegment(out, 0xDA,
                 {1, static_cast<std::uint8_t>(ids[0]), 0x00, 0, 63, 0});

      // The standard DC codes: canonical from the counts.
      int dcCode[12], dcLen[12];
      for (int len = 1, code = 0, k = 0; len <= 16; ++len, code <<= 1)
        for (int n = 0; n < kDcCounts[len - 1]; ++n, ++code, ++k) {
          dcCode[kDcSymbols[k]] = code;
          dcLen[kDcSymbols[k]] = len;
        }
      BitWriter w(out);
      int last = 0;
      for (const Luma& block : luma) {
        const int diff = block.dc - last;
        last = block.dc;
        int category = 0;
        for (int m = diff < 0 ? -diff : diff; m; m >>= 1) ++category;
        if (category > 11) return false;
        for (int b = dcLen[category] - 1; b >= 0; --b)
          w.Bit((dcCode[category] >> b) & 1);
        const int extra = diff < 0 ? diff + (1 << category) - 1 : diff;
        for (int b = category - 1; b >= 0; --b) w.Bit((extra >> b) & 1);
        for (std::uint8_t bit : block.ac) w.Bit(bit);
      }
      w.Finish();
      out.push_back(0xFF);
      out.push_back(0xD9);
      return true;
    } else if (marker == 0xD9 || marker == 0xD8 ||
               (marker >= 0xD0 && marker <= 0xD7)) {
      return false;
    } else if (marker != 0xC4) {  // tables, application data, comments
      out.insert(out.end(), data + pos, data + next);
    }
    pos = next;
  }
  return false;
}

}  // namespace sample
