// bench-export_frames ROOT MINUTES CENTIS [WIDTH HEIGHT]
//
// Writes MINUTES minute folders of regularly spaced sample frames under
// ROOT/Bench/2004-03-15/12/: frames every CENTIS hundredths of a second
// from 00.00 on, 704 x 576 unless given.
// Prints the number of frames per minute folder.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tools/sample_backup.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::fputs("usage: bench-export_frames ROOT MINUTES CENTIS [WIDTH HEIGHT]\n", stderr);
    return 2;
  }
  const std::string root = argv[1];
  const int minutes = std::atoi(argv[2]);
  const int spacing = std::atoi(argv[3]);
  sample::FrameRecipe shot;
  if (argc == 6) {
    shot.width = std::atoi(argv[4]);
    shot.height = std::atoi(argv[5]);
  }
  if (minutes < 1 || minutes > 60 || spacing < 1 || spacing > 5999) {
    std::fputs("bench-export_frames: MINUTES 1-60, CENTIS 1-5999\n", stderr);
    return 2;
  }
  const char sep = platform::kPathSeparator;
  int perMinute = 0;
  for (int m = 0; m < minutes; ++m) {
    char folder[256];
    std::snprintf(folder, sizeof folder, "%s%cBench%c2004-03-15%c12%c%02d", root.c_str(), sep,
                  sep, sep, sep, m);
    std::filesystem::create_directories(folder);
    perMinute = 0;
    for (int t = 0; t < 6000; t += spacing) {
      char path[300];
      std::snprintf(path, sizeof path, "%s%c%04d.jpg", folder, sep, t);
      shot.hour = 12;
      shot.minute = m;
      shot.centis = t;
      if (!sample::WriteFrame(path, shot)) return 1;
      ++perMinute;
    }
  }
  std::printf("%d\n", perMinute);
  return 0;
}
