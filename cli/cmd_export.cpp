#include "cli/cli.h"

int CmdExport(int, char**, std::FILE*, std::FILE* err) {
  std::fputs("orvanel-cli: 'export' is not available in this build\n", err);
  return 2;
}
