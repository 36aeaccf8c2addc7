#include "cli/cli.h"

int CmdInfo(int, char**, std::FILE*, std::FILE* err) {
  std::fputs("orvanel-cli: 'info' is not available in this build\n", err);
  return 2;
}
