// orvanel-sample ROOT: writes the sample backup under ROOT.
// Exit codes: 0 written, 1 failed (the cause is on standard error), 2 usage.
#include <cstdio>

#include "tools/sample_backup.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fputs("usage: orvanel-sample ROOT\n", stderr);
    return 2;
  }
  if (sample::GenerateSampleBackup(argv[1]) != 0) return 1;
  int frames = 0;
  for (const sample::SampleMinute& m : sample::SampleMinutes())
    frames += m.frames;
  std::printf("orvanel-sample: wrote %d frames under %s\n", frames, argv[1]);
  return 0;
}
