#include "cli/cli.h"

#include <cstdio>
#include <cstring>

#include "platform/log.h"
#include "platform/version.h"

namespace {

const char kUsage[] =
    "usage: orvanel-cli COMMAND ARGS\n"
    "       orvanel-cli --version                  the program's version\n"
    "  info ROOT                                   cameras, dates, hours, minutes and frame counts\n"
    "  frames [--continue] [--reverse] MINUTE      frames in play order: <time code> <path>\n"
    "  still MINUTE INDEX -o OUT.bmp               one frame as a 24-bit BMP\n"
    "  export -o OUTPUT [--format mpg|avi|asf|wmv] [--bitrate KBPS]\n"
    "         [--from TIME] [--to TIME] [--stamp] FOLDER...\n"
    "  verify FILE                                 FILE against its checksum manifest FILE.sha256\n"
    "  timeline CAMERA|DATE                        recorded spans as CSV: start,end,frames\n"
    "  activity [--region X,Y,W,H] [--index DIR] [--recheck] FOLDER\n"
    "                                              when something moved, as CSV: start,end,peak\n"
    "options: --trace  print the trace texts on standard error\n";

struct Command {
  const char* name;
  int (*run)(int, char**, std::FILE*, std::FILE*);
};

const Command kCommands[] = {
    {"info", CmdInfo},
    {"frames", CmdFrames},
    {"still", CmdStill},
    {"export", CmdExport},
    {"timeline", CmdTimeline},
    {"verify", CmdVerify},
    {"activity", CmdActivity},
};

// Trace texts go to the debug channel (standard error on POSIX) and, on
// Windows, to standard error as well: a script's user reads them there.
void Trace(const char* text) {
  LogWindow::EchoToDebugChannel(text);
#ifdef _WIN32
  const std::size_t n = std::strlen(text);
  std::fprintf(stderr, "%s%s", text, n > 0 && text[n - 1] == '\n' ? "" : "\n");
#endif
}

}  // namespace

int CliMain(int argc, char** argv, std::FILE* out, std::FILE* err) {
  int first = 1;
  // --trace before the command sends the trace texts to standard error, so
  // that field problems can be diagnosed.
  while (first < argc && std::strcmp(argv[first], "--trace") == 0) {
    LogWindow::SetTraceHook(Trace);
    ++first;
  }
  if (first >= argc || std::strcmp(argv[first], "--help") == 0 ||
      std::strcmp(argv[first], "-h") == 0) {
    std::fputs(kUsage, first >= argc ? err : out);
    return first >= argc ? 2 : 0;
  }
  if (std::strcmp(argv[first], "--version") == 0) {
    std::fputs("orvanel-cli " ORVANEL_VERSION "\n", out);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[first], c.name) == 0)
      return c.run(argc - first - 1, argv + first + 1, out, err);
  }
  std::fprintf(err, "orvanel-cli: unknown command '%s'\n%s", argv[first], kUsage);
  return 2;
}
