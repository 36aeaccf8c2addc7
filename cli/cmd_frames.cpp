#include "cli/cli.h"

int CmdFrames(int, char**, std::FILE*, std::FILE* err) {
  std::fputs("orvanel-cli: 'frames' is not available in this build\n", err);
  return 2;
}
