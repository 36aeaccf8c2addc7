// orvanel-cli still MINUTE_FOLDER INDEX -o OUT.bmp
//
// Writes frame INDEX (0-based, in play order) of a minute folder as a 24-bit
// BMP, decoded exactly as a video window shows it, at the picture's own size.
// The file is written under a temporary name and renamed, so a failure never
// leaves half a picture behind and an existing OUT.bmp is replaced whole.
//
// Exit 0; 1 when the frame cannot be decoded or the BMP cannot be written;
// 2 for bad arguments (missing -o, INDEX not a number or out of range, a
// folder that is missing or unreadable).
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_paths.h"
#include "platform/platform.h"
#include "playback/frame_decoder.h"
#include "store/minute_frame_list.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

const char kUsage[] = "usage: still MINUTE_FOLDER INDEX -o OUT.bmp";

void Put16(std::uint8_t* p, unsigned v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bottom-up 24-bit BMP (rows padded to 4 bytes): what every image viewer
// reads. Returns false when the file cannot be written completely.
bool WriteBmp(std::FILE* f, const FrameDecoder& d) {
  const int w = d.width();
  const int h = d.height();
  const std::uint32_t rowBytes = static_cast<std::uint32_t>((3 * w + 3) & ~3);
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(h);

  std::uint8_t head[54] = {};
  head[0] = 'B';
  head[1] = 'M';
  Put32(head + 2, 54 + imageBytes);  // file size
  Put32(head + 10, 54);              // offset of the pixels
  Put32(head + 14, 40);              // BITMAPINFOHEADER
  Put32(head + 18, static_cast<std::uint32_t>(w));
  Put32(head + 22, static_cast<std::uint32_t>(h));  // positive: bottom-up
  Put16(head + 26, 1);
  Put16(head + 28, 24);
  Put32(head + 30, 0);  // BI_RGB
  Put32(head + 34, imageBytes);
  if (std::fwrite(head, 1, sizeof head, f) != sizeof head) return false;

  std::vector<std::uint8_t> row(rowBytes, 0);  // padding bytes stay zero
  for (int y = h - 1; y >= 0; --y) {
    std::memcpy(row.data(), d.pixels() + static_cast<std::size_t>(y) * d.stride(),
                static_cast<std::size_t>(3) * w);
    if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) return false;
  }
  return std::fflush(f) == 0;
}

// A whole non-negative decimal number, nothing else.
bool ParseIndex(const char* text, long* value) {
  if (text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != 0) return false;
  *value = v;
  return true;
}

}  // namespace

int CmdStill(int argc, char** argv, std::FILE* out, std::FILE* err) {
  const char* folderArg = nullptr;
  const char* indexArg = nullptr;
  const char* outArg = nullptr;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "-o") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(err, "orvanel-cli: still: -o needs a file name (%s)\n", kUsage);
        return 2;
      }
      outArg = argv[++i];
    } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::fprintf(out, "%s\n", kUsage);
      return 0;
    } else if (a[0] == '-' && a[1] != 0) {
      std::fprintf(err, "orvanel-cli: still: unknown option '%s' (%s)\n", a, kUsage);
      return 2;
    } else if (!folderArg) {
      folderArg = a;
    } else if (!indexArg) {
      indexArg = a;
    } else {
      std::fprintf(err, "orvanel-cli: still: unexpected argument '%s' (%s)\n", a, kUsage);
      return 2;
    }
  }
  if (!folderArg || !indexArg) {
    std::fprintf(err, "orvanel-cli: still: a minute folder and a frame index are needed (%s)\n",
                 kUsage);
    return 2;
  }
  if (!outArg || !*outArg) {
    std::fprintf(err, "orvanel-cli: still: no output file given with -o (%s)\n", kUsage);
    return 2;
  }
  long index = 0;
  if (!ParseIndex(indexArg, &index)) {
    std::fprintf(err, "orvanel-cli: still: '%s' is not a frame index (a number from 0)\n",
                 indexArg);
    return 2;
  }

  const std::string folder = cli::StripTrailingSeparators(folderArg);
  if (!cli::CheckFolder("still", folder, kMaxMinuteFolderLength, err)) return 2;
  MinuteFrameList list;
  if (list.Load(folder.c_str(), nullptr) != 0 || list.count() == 0) {
    std::fprintf(err, "orvanel-cli: still: '%s': no frame files\n", folder.c_str());
    return 2;
  }
  if (index >= list.count()) {
    std::fprintf(err, "orvanel-cli: still: '%s': index %ld out of range (0 to %d)\n",
                 folder.c_str(), index, list.count() - 1);
    return 2;
  }

  char framePath[platform::kMaxPath];
  if (!list.FramePath(static_cast<int>(index), framePath, sizeof framePath)) {
    std::fprintf(err, "orvanel-cli: still: '%s%c%s': path too long\n", folder.c_str(),
                 platform::kPathSeparator, list.name(static_cast<int>(index)));
    return 1;
  }

  // The cause goes into our one-line message; FFmpeg's own lines would only
  // repeat it less clearly.
  av_log_set_level(AV_LOG_QUIET);
  FrameDecoder decoder;
  if (decoder.Decode(framePath) != 0) {
    std::fprintf(err, "orvanel-cli: still: '%s': %s\n", framePath, decoder.lastError());
    return 1;
  }
  if (decoder.width() <= 0 || decoder.height() <= 0) {
    std::fprintf(err, "orvanel-cli: still: '%s': no picture in the file\n", framePath);
    return 1;
  }

  const std::string target = outArg;
  const std::string temporary = target + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) {
    const int e = errno;
    std::fprintf(err, "orvanel-cli: still: '%s': cannot create the file: %s\n",
                 temporary.c_str(), std::strerror(e));
    return 1;
  }
  const bool written = WriteBmp(f, decoder);
  const bool closed = std::fclose(f) == 0;
  std::error_code ec;
  if (!written || !closed) {
    std::filesystem::remove(temporary, ec);
    std::fprintf(err, "orvanel-cli: still: '%s': cannot write the file\n", target.c_str());
    return 1;
  }
  // Replaces an existing file on every platform (std::rename does not on
  // Windows).
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    const std::string cause = ec.message();
    std::filesystem::remove(temporary, ec);
    std::fprintf(err, "orvanel-cli: still: '%s': cannot replace the file: %s\n",
                 target.c_str(), cause.c_str());
    return 1;
  }
  std::fprintf(out, "%s: %d x %d from %s\n", target.c_str(), decoder.width(),
               decoder.height(), framePath);
  return 0;
}
