// orvanel-cli timeline FOLDER
//
// Prints what a camera recorded as CSV: the header "start,end,frames", then
// one line per span in time order, the first and last frame's time as
// YYYY-MM-DDTHH:MM:SS.CC and the span's frame count. A span runs while
// consecutive frames are at most 2 s apart, across minute, hour and date
// folders; folders the tree hides are passed over. FOLDER is a camera folder
// or one of its date folders (then only that date).
//
// Exit 0 (nothing recorded: the header alone); 2 for bad arguments or a
// folder that is missing, unreadable, or not a camera or date folder; 1 when
// the output cannot be written.
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_paths.h"
#include "platform/platform.h"
#include "store/coverage.h"

namespace {

const char kUsage[] = "usage: timeline CAMERA_FOLDER|DATE_FOLDER";

}  // namespace

int CmdTimeline(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
    std::fprintf(out, "%s\n", kUsage);
    return 0;
  }
  if (argc != 1) {
    std::fprintf(err, "orvanel-cli: timeline: %s (%s)\n",
                 argc == 0 ? "no folder given" : "one folder only", kUsage);
    return 2;
  }
  const std::string folder = cli::StripTrailingSeparators(argv[0]);
  const int level = BackupLevelOf(folder.c_str());
  // Room below it for the rest of a minute folder's path: "/YYYY-MM-DD/HH/MM".
  const std::size_t below = level == 3 ? 6 : 17;
  if (!cli::CheckFolder("timeline", folder, kMaxMinuteFolderLength - below, err)) return 2;
  if (level > 3 || (level == 2 && cli::LooksLikeBackupRoot(folder))) {
    std::fprintf(err, "orvanel-cli: timeline: '%s': not a camera or date folder (%s)\n",
                 folder.c_str(),
                 level == 4 ? "an hour folder" : level == 5 ? "a minute folder" : "a backup root");
    return 2;
  }

  std::vector<CoverageSpan> spans;
  if (ReadCoverage(folder.c_str(), CoverageLevel::kFrame, spans) != 0) {
    std::fprintf(err, "orvanel-cli: timeline: '%s': cannot be listed\n", folder.c_str());
    return 2;
  }
  std::fputs("start,end,frames\n", out);
  char start[32], end[32];
  for (const CoverageSpan& s : spans) {
    FormatWallTime(s.start, start, sizeof start);
    FormatWallTime(s.end, end, sizeof end);
    std::fprintf(out, "%s,%s,%d\n", start, end, s.frames);
  }
  std::fflush(out);
  if (std::ferror(out)) {
    std::fputs("orvanel-cli: timeline: cannot write the output\n", err);
    return 1;
  }
  return 0;
}
