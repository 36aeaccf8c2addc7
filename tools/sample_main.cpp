#include <cstdio>

#include "tools/sample_backup.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: orvanel-sample ROOT\n", stderr);
    return 2;
  }
  return sample::GenerateSampleBackup(argv[1]) == 0 ? 0 : 1;
}
