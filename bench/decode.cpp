// Frame decoding as playback does it: read the file, decode the JPEG, convert
// to padded BGR, one thread. The reference in the same process is the same
// reading and decoding without the conversion, so the ratio shows what the
// conversion costs; bench/decode.sh compares against ffmpeg and libjpeg-turbo.
//
//   bench-decode --make FOLDER [COUNT]  writes COUNT (300) 704 x 576 4:2:0
//                                       frames with the sample generator
//   bench-decode FOLDER [ROUNDS]        decodes every frame ROUNDS (3) times
//
// Prints "name: value" lines and a final "ratio:" (with / without conversion).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "playback/frame_decoder.h"
#include "tools/sample_backup.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

int Make(const std::string& folder, int count) {
  for (int i = 0; i < count; ++i) {
    sample::FrameRecipe shot;
    shot.hour = 12;
    shot.minute = 58;
    shot.centis = i * 6000 / count;  // a picture that changes every frame
    char name[32];
    std::snprintf(name, sizeof name, "%c%04d.jpg", platform::kPathSeparator, shot.centis);
    if (!sample::WriteFrame(folder + name, shot)) return 1;
  }
  std::printf("written: %d\n", count);
  return 0;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--make") == 0)
    return Make(argv[2], argc >= 4 ? std::atoi(argv[3]) : 300);
  if (argc < 2 || argv[1][0] == '-') {
    std::fputs("usage: bench-decode --make FOLDER [COUNT] | bench-decode FOLDER [ROUNDS]\n",
               stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 3;
  av_log_set_level(AV_LOG_ERROR);

  std::vector<platform::DirEntry> entries;
  int error = 0;
  if (platform::ListDirectory(folder.c_str(), "*.jpg", entries, &error) != 0) {
    std::fprintf(stderr, "bench-decode: %s: no frame files (error %d)\n", folder.c_str(), error);
    return 1;
  }
  std::vector<std::string> paths;
  for (const auto& e : entries)
    if (!e.isDirectory) paths.push_back(folder + platform::kPathSeparator + e.name);
  const int frames = static_cast<int>(paths.size()) * rounds;

  // Playback: one FrameDecoder for everything, as a window keeps one.
  FrameDecoder decoder;
  for (const auto& p : paths) {  // warm the file cache and the buffers
    if (decoder.Decode(p.c_str()) != 0) {
      std::fprintf(stderr, "bench-decode: %s: %s\n", p.c_str(), decoder.lastError());
      return 1;
    }
  }
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const auto& p : paths) decoder.Decode(p.c_str());
  const double orvanel = Seconds(start);

  // Reference: the same reads and decodes, no conversion.
  av::CodecContextPtr ctx = av::OpenMjpegDecoder();
  av::PacketPtr packet(av_packet_alloc());
  av::FramePtr frame(av_frame_alloc());
  std::vector<std::uint8_t> buffer;
  start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (const auto& p : paths) {
      std::size_t size = 0;
      platform::ReadWholeFile(p.c_str(), buffer, AV_INPUT_BUFFER_PADDING_SIZE, 64u << 20,
                              &size, &error);
      av::DecodeJpeg(ctx.get(), packet.get(), frame.get(), buffer.data(), size);
    }
  }
  const double decodeOnly = Seconds(start);

  std::printf("frames: %d\n", frames);
  std::printf("size: %dx%d\n", decoder.width(), decoder.height());
  std::printf("orvanel_seconds: %.3f\n", orvanel);
  std::printf("orvanel_fps: %.1f\n", frames / orvanel);
  std::printf("decode_only_fps: %.1f\n", frames / decodeOnly);
  std::printf("ratio: %.3f\n", decodeOnly / orvanel);
  return 0;
}
