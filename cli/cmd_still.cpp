#include "cli/cli.h"

int CmdStill(int, char**, std::FILE*, std::FILE* err) {
  std::fputs("orvanel-cli: 'still' is not available in this build\n", err);
  return 2;
}
