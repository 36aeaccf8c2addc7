// Feeds arbitrary bytes as a frame file to one FrameDecoder that lives for
// the whole run, as a playing window's decoder does over thousands of frames:
// state left behind by one bad file must not hurt the next.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "playback/frame_decoder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

const std::string& FramePath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvanel-fuzz-decode-" +
           std::to_string(getpid()) + ".jpg";
  }();
  return path;
}

volatile unsigned g_sink;  // keeps the reads of the picture from being dropped

FrameDecoder& Decoder() {
  static FrameDecoder* decoder = [] {
    av_log_set_level(AV_LOG_QUIET);
    return new FrameDecoder();
  }();
  return *decoder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = FramePath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) return 0;

  FrameDecoder& d = Decoder();
  const int previousWidth = d.width();
  const int previousHeight = d.height();
  const int result = d.Decode(path.c_str());
  if (result != 0 && result != -1) __builtin_trap();
  if (result == -1 && (d.width() != previousWidth || d.height() != previousHeight))
    __builtin_trap();  // a failure must keep the previous picture
  if (d.width() > 0) {
    // Touch the whole picture as the drawing call would.
    const BitmapHeader& h = d.header();
    if (h.biWidth != d.width() || h.biHeight != -d.height() || d.stride() % 4 != 0 ||
        d.stride() < 3 * d.width())
      __builtin_trap();
    const std::uint8_t* p = d.pixels();
    const std::size_t stride = static_cast<std::size_t>(d.stride());
    unsigned sum = 0;
    for (int y = 0; y < d.height(); y += 7) sum += p[y * stride + stride - 1];
    sum += p[(d.height() - 1) * stride + 3 * d.width() - 1];
    g_sink = sum;
  }
  return 0;
}
