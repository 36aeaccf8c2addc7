// Feeds arbitrary bytes as a frame file to one FrameDecoder that lives for
// the whole run, as a playing window's decoder does over thousands of frames:
// state left behind by one bad file must not hurt the next.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "playback/frame_decoder.h"

extern "C" {
#include <libavutil/log.h>
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                                  "/orvanel-fuzz-decode-" + std::to_string(getpid()) + ".jpg";
  static FrameDecoder* decoder = (av_log_set_level(AV_LOG_QUIET), new FrameDecoder());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) return 0;

  FrameDecoder& d = *decoder;
  const int width = d.width(), height = d.height();
  const int result = d.Decode(path.c_str());
  if (result != 0 && result != -1) __builtin_trap();
  if (result == -1 && (d.width() != width || d.height() != height)) __builtin_trap();  // keeps the picture
  if (d.width() > 0) {
    // Touch the picture's rows' ends as the drawing call would read them.
    const BitmapHeader& h = d.header();
    if (h.biWidth != d.width() || h.biHeight != -d.height() || d.stride() % 4 != 0 || d.stride() < 3 * d.width())
      __builtin_trap();
    static volatile unsigned sink;
    for (int y = 0; y < d.height(); y += 7) sink = sink + d.pixels()[(y + 1) * std::size_t(d.stride()) - 1];
    sink = sink + d.pixels()[(d.height() - 1) * std::size_t(d.stride()) + 3 * d.width() - 1];
  }
  return 0;
}
