// orvanel-cli info ROOT
//
// Lists what a backup holds, level by level, as the folder tree accepts it:
// cameras (folders not starting with "."), dates, hours and minutes (by the
// level-name rules), in the order the folders are listed, with the frame
// count of every minute and the totals of each hour, date, camera and the
// whole backup. A minute counts the frames it would play.
//
// Output: one line per folder, indented two blanks per level below the root,
// "<level> <frames> <name>": the level word, the frame total of that folder,
// then the folder's name as the rest of the line (camera names may hold
// blanks). The first line is the backup root with its path:
//
//   root 5400 /media/backup
//     camera 5400 Front door
//       date 5400 2004-03-15
//         hour 3600 12
//           minute 1800 58
//           minute 1800 59
//         hour 0 13
//         hour 1800 14
//           minute 1800 03
//
// Exit 0; 2 when ROOT is missing or not a folder, or when a folder below it
// cannot be listed (the rest is still printed, one message per folder on the
// error stream).
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_paths.h"
#include "platform/platform.h"
#include "store/layout.h"
#include "store/minute_frame_list.h"

namespace {

const char* const kLevelWords[] = {"", "root", "camera", "date", "hour", "minute"};

struct Folder {
  std::string name;
  long long frames = 0;
  std::vector<Folder> children;
};

class InfoWalk {
 public:
  explicit InfoWalk(std::FILE* err) : err_(err) {}

  // Fills `folder` (at `level`, found at `path`) and everything below it.
  void Fill(Folder& folder, const std::string& path, int level) {
    if (level == 5) {
      folder.frames = CountFrames(path);
      return;
    }
    int error = 0;
    if (platform::ListDirectory(path.c_str(), "*", entries_, &error) != 0) {
      if (error != platform::kErrorFileNotFound) Unreadable(path, error);
      return;
    }
    // Take the names first: the listing buffer is reused further down.
    std::vector<std::string> names;
    for (const platform::DirEntry& e : entries_) {
      if (!e.isDirectory || e.name.empty() || e.name[0] == '.') continue;
      if (!IsValidLevelName(e.name.c_str(), level + 1)) continue;
      names.push_back(e.name);
    }
    for (const std::string& name : names) {
      Folder child;
      child.name = name;
      Fill(child, cli::JoinPath(path, name), level + 1);
      folder.frames += child.frames;
      folder.children.push_back(std::move(child));
    }
  }

  bool failed() const { return failed_; }

 private:
  int CountFrames(const std::string& path) {
    if (path.size() <= kMaxMinuteFolderLength &&
        list_.Load(path.c_str(), nullptr) == 0)
      return list_.count();
    // An empty minute is fine; one that cannot be read is reported.
    int error = 0;
    if (path.size() > kMaxMinuteFolderLength) {
      Report(path, "path longer than " + std::to_string(kMaxMinuteFolderLength) +
                       " characters");
    } else if (platform::ListDirectory(path.c_str(), "*", entries_, &error) != 0 &&
               error != platform::kErrorFileNotFound) {
      Unreadable(path, error);
    }
    return 0;
  }

  void Unreadable(const std::string& path, int error) {
    Report(path, "cannot be listed: " + cli::ErrorText(error));
  }

  void Report(const std::string& path, const std::string& cause) {
    std::fprintf(err_, "orvanel-cli: info: '%s': %s\n", path.c_str(), cause.c_str());
    failed_ = true;
  }

  std::FILE* err_;
  bool failed_ = false;
  MinuteFrameList list_;
  std::vector<platform::DirEntry> entries_;
};

void PrintFolder(std::FILE* out, const Folder& folder, int level) {
  std::fprintf(out, "%*s%s %lld %s\n", 2 * (level - 1), "", kLevelWords[level],
               folder.frames, folder.name.c_str());
  for (const Folder& child : folder.children) PrintFolder(out, child, level + 1);
}

}  // namespace

int CmdInfo(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 ||
                    std::strcmp(argv[0], "-h") == 0)) {
    std::fputs("usage: orvanel-cli info ROOT\n", out);
    return 0;
  }
  if (argc != 1 || argv[0][0] == '\0' ||
      (argv[0][0] == '-' && argv[0][1] == '-')) {
    std::fputs("orvanel-cli: info: expected one argument, the backup root "
               "(usage: info ROOT)\n", err);
    return 2;
  }
  const std::string root = cli::StripTrailingSeparators(argv[0]);
  if (!cli::CheckFolder("info", root, platform::kMaxPath - 1, err)) return 2;

  Folder top;
  top.name = root;
  InfoWalk walk(err);
  walk.Fill(top, root, 1);
  PrintFolder(out, top, 1);
  std::fflush(out);
  if (std::ferror(out)) {
    std::fputs("orvanel-cli: info: cannot write the output\n", err);
    return 1;
  }
  return walk.failed() ? 2 : 0;
}
