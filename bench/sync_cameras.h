// The footage both synchronised-play benchmarks run on: nine cameras of
// 704 x 576 pictures, six every 0.04 s and one each every 0.06, 0.2 and
// 0.5 s, recorded from 12:00:40 and played from 12:00:50 on.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "bench/playback_bench.h"

namespace sync_cameras {

namespace fs = std::filesystem;

constexpr int kSpacings[] = {4, 4, 4, 4, 4, 4, 6, 20, 50};  // hundredths
constexpr int kCameras = sizeof kSpacings / sizeof kSpacings[0];
constexpr int kFirst = 40 * 100;  // frames from 12:00:40...
constexpr int kStart = 50 * 100;  // ...played from 12:00:50

inline std::string Minute(const fs::path& root, int camera, int minute) {
  char tail[64];
  std::snprintf(tail, sizeof tail, "cam%d/2004-03-15/12/%02d", camera, minute);
  return (root / fs::path(tail)).make_preferred().string();
}

// Enough footage under `root` for `seconds` of play. Each camera's frames
// are hard links to 25 encoded pictures (copies where links fail): the disc
// holds 25 pictures and the page cache serves every read alike.
inline void Make(const fs::path& root, int seconds) {
  const std::vector<std::string> pictures = playback_bench::MakePictures(25);
  std::vector<fs::path> sources;
  for (std::size_t p = 0; p < pictures.size(); ++p) {
    sources.push_back(root / ("p" + std::to_string(p) + ".jpg"));
    std::ofstream(sources.back(), std::ios::binary)
        .write(pictures[p].data(), static_cast<std::streamsize>(pictures[p].size()));
  }
  const int end = kStart + (seconds + 5) * 100;
  for (int k = 0; k < kCameras; ++k) {
    int n = 0;
    for (int t = kFirst; t < end; t += kSpacings[k], ++n) {
      const std::string folder = Minute(root, k, t / 6000);
      fs::create_directories(folder);
      char name[16];
      std::snprintf(name, sizeof name, "%02d%02d.jpg", t % 6000 / 100, t % 100);
      const fs::path& source = sources[static_cast<std::size_t>(n) % sources.size()];
      std::error_code ec;
      fs::create_hard_link(source, fs::path(folder) / name, ec);
      if (ec) fs::copy_file(source, fs::path(folder) / name);
    }
  }
}

}  // namespace sync_cameras
