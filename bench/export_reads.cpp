// bench-export_reads ALL_FRAMES_FILE MINUTE_FOLDER...
//
// The export's file reads: every frame file of the folders read whole, one
// at a time (listing, open, size, read, close each), against one read of
// ALL_FRAMES_FILE, which holds the same bytes in one file. Best of five
// each, taking turns. The ratio shows what reading file by file costs over
// the bytes alone (under Wine each open and close is a call to its server).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: bench-export_reads ALL_FRAMES_FILE MINUTE_FOLDER...\n", stderr);
    return 2;
  }
  std::vector<std::string> paths;
  std::vector<platform::DirEntry> listing;
  for (int i = 2; i < argc; ++i) {
    std::string folder = argv[i];
    while (folder.size() > 1 && platform::IsPathSeparator(folder.back())) folder.pop_back();
    int error = 0;
    if (platform::ListDirectory(folder.c_str(), "*.jpg", listing, &error) != 0) continue;
    for (const platform::DirEntry& e : listing)
      if (!e.isDirectory) paths.push_back(folder + platform::kPathSeparator + e.name);
  }
  if (paths.empty()) {
    std::fputs("bench-export_reads: no frame files\n", stderr);
    return 1;
  }

  std::vector<std::uint8_t> buffer;
  std::size_t perFileBytes = 0, oneBytes = 0;
  double perFile = 1e9, one = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto start = std::chrono::steady_clock::now();
    perFileBytes = 0;
    for (const std::string& path : paths) {
      std::size_t size = 0;
      int error = 0;
      if (platform::ReadWholeFile(path.c_str(), buffer, 64, 64u << 20, &size, &error) ==
          platform::ReadResult::Ok)
        perFileBytes += size;
    }
    perFile = std::min(perFile, Seconds(start));

    start = std::chrono::steady_clock::now();
    std::size_t size = 0;
    int error = 0;
    platform::ReadWholeFile(argv[1], buffer, 64, std::size_t(1) << 34, &size, &error);
    oneBytes = size;
    one = std::min(one, Seconds(start));
  }
  std::printf("files: %zu (%zu bytes; one file %zu bytes)\n", paths.size(), perFileBytes, oneBytes);
  std::printf("read file by file: %.3f s (%.1f us per file)\n", perFile,
              perFile * 1e6 / paths.size());
  std::printf("read in one call: %.3f s\n", one);
  std::printf("ratio file-by-file / one call: %.2f\n", perFile / one);
  return 0;
}
