// orvanel-cli frames [--continue] [--reverse] MINUTE_FOLDER
//
// Prints the frames of a minute folder in play order, one line each:
// "<time code> <path>", the time code being the frame's time within its
// minute in hundredths of a second, four digits ("0705 .../12/58/0705.jpg").
// Starts at the minute's first frame, or its last with --reverse. With
// --continue it goes on through the neighbouring recorded minutes of the
// camera as continuous playback does: empty minutes and hours are passed
// over, a date's end leads to the next date, and it stops where the camera's
// recordings end.
//
// Exit 0; 2 for bad arguments or a folder that is missing or unreadable; 1
// when the output cannot be written.
#include <cstring>
#include <string>

#include "cli/cli.h"
#include "cli/cli_paths.h"
#include "platform/platform.h"
#include "store/minute_frame_list.h"
#include "store/navigation.h"

namespace {

const char kUsage[] = "usage: frames [--continue] [--reverse] MINUTE_FOLDER";

void PrintMinute(const MinuteFrameList& list, bool reverse, std::FILE* out) {
  char path[platform::kMaxPath];
  const int count = list.count();
  for (int k = 0; k < count; ++k) {
    const int i = reverse ? count - 1 - k : k;
    if (list.FramePath(i, path, sizeof path))
      std::fprintf(out, "%04d %s\n", list.TimeCodeAt(i), path);
  }
}

}  // namespace

int CmdFrames(int argc, char** argv, std::FILE* out, std::FILE* err) {
  bool continuous = false;
  bool reverse = false;
  const char* folderArg = nullptr;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (!optionsEnded && std::strcmp(a, "--continue") == 0) {
      continuous = true;
    } else if (!optionsEnded && std::strcmp(a, "--reverse") == 0) {
      reverse = true;
    } else if (!optionsEnded && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
      std::fprintf(out, "%s\n", kUsage);
      return 0;
    } else if (!optionsEnded && std::strcmp(a, "--") == 0) {
      optionsEnded = true;
    } else if (!optionsEnded && a[0] == '-' && a[1] == '-') {
      std::fprintf(err, "orvanel-cli: frames: unknown option '%s' (%s)\n", a, kUsage);
      return 2;
    } else if (folderArg != nullptr) {
      std::fprintf(err, "orvanel-cli: frames: more than one folder: '%s' (%s)\n", a, kUsage);
      return 2;
    } else {
      folderArg = a;
    }
  }
  if (folderArg == nullptr) {
    std::fprintf(err, "orvanel-cli: frames: no minute folder given (%s)\n", kUsage);
    return 2;
  }
  const std::string folder = cli::StripTrailingSeparators(folderArg);
  if (!cli::CheckFolder("frames", folder, kMaxMinuteFolderLength, err)) return 2;

  // One list walked minute by minute, as a playing window does: the search
  // rewrites its folder field and the list is reloaded from it.
  MinuteFrameList list;
  list.Load(folder.c_str(), nullptr);  // an empty minute simply prints nothing
  for (;;) {
    PrintMinute(list, reverse, out);
    if (!continuous) break;
    const int found = reverse ? FindPreviousMinute(list.folderBuffer())
                              : FindNextMinute(list.folderBuffer());
    if (found != 0) break;
    list.Load(list.folder(), nullptr);
  }
  std::fflush(out);
  if (std::ferror(out)) {
    std::fputs("orvanel-cli: frames: cannot write the output\n", err);
    return 1;
  }
  return 0;
}
