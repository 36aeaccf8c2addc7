// bench-export_levels VIDEO FOLDER
//
// Reads an exported video back and compares each picture's luma with the
// JPEG frame of FOLDER (centisecond names SSCC.jpg) that was recorded at
// the picture's time (the latest frame at or before it, times counted from
// the video's first picture and the folder's first frame). Prints
//   pictures: N
//   psnr_db: luma PSNR over all pictures (full range, as a player shows it)
//   mean_error: mean of (picture - source) luma levels
#include <cstdio>
#include <map>
#include <string>

#include "platform/platform.h"
#include "tests/export/readback.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, n);
  std::fclose(f);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: bench-export_levels VIDEO FOLDER\n", stderr);
    return 2;
  }
  const readback::Video video = readback::Read(argv[1]);
  if (!video.ok || video.pictures.empty()) {
    std::fprintf(stderr, "bench-export_levels: %s: %s\n", argv[1], video.error.c_str());
    return 1;
  }
  std::vector<platform::DirEntry> entries;
  int error = 0;
  std::map<int, std::string> frames;  // time code -> path
  if (platform::ListDirectory(argv[2], "*.jpg", entries, &error) != 0) return 1;
  for (const platform::DirEntry& e : entries)
    frames[std::atoi(e.name.c_str())] = std::string(argv[2]) + platform::kPathSeparator + e.name;
  if (frames.empty()) return 1;

  readback::Difference total;
  const double start = video.pictures.front().time;
  const int first = frames.begin()->first;
  std::string loadedPath;
  std::vector<std::uint8_t> source;
  int w = 0, h = 0;
  for (const readback::Picture& p : video.pictures) {
    const int t = first + static_cast<int>(std::lround((p.time - start) * 100));
    auto it = frames.upper_bound(t);
    if (it != frames.begin()) --it;
    if (it->second != loadedPath) {
      loadedPath = it->second;
      source = readback::JpegLuma(ReadAll(loadedPath), &w, &h);
      if (source.empty()) return 1;
    }
    total.Add(p, source, w, h);
  }
  std::printf("pictures: %zu\n", video.pictures.size());
  std::printf("psnr_db: %.2f\n", total.Psnr());
  std::printf("mean_error: %.2f\n", total.MeanError());
  return 0;
}
