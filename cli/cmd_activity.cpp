// orvanel-cli activity [--region X,Y,W,H] [--index DIR] FOLDER
//
// Prints when something moved as CSV: the header "start,end,peak", then one
// line per span in time order, the first and last active frame's time as
// YYYY-MM-DDTHH:MM:SS.CC and the largest share of the picture (or region)
// that changed, in percent with one decimal. FOLDER is a camera, date, hour
// or minute folder. Minute folders without a fresh index are indexed first
// (on both cores), with progress on standard error when that takes long.
//
// Exit 0 (nothing moved: the header alone); 1 when stopped (Ctrl+C: no index
// file is left half-written), when a minute folder could not be indexed or
// the output cannot be written; 2 for bad arguments or a folder that is
// missing, unreadable or not a camera, date, hour or minute folder.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "activity/activity.h"
#include "cli/cli.h"
#include "cli/cli_paths.h"
#include "store/layout.h"

namespace {

const char kUsage[] = "usage: activity [--region X,Y,W,H] [--index DIR] FOLDER";

// Set by Ctrl+C; the indexing looks at it between frames. SIGINT serves
// Windows too: its C runtime turns the console's Ctrl+C into the signal.
std::atomic<bool> g_stop{false};
void StopIndexing(int) { g_stop = true; }

bool ParseRegion(const char* text, activity::Region* out) {
  int v[4] = {};
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    const long n = std::strtol(p, &end, 10);
    if (end == p || n < 0 || n > 65535 || *end != (i < 3 ? ',' : '\0')) return false;
    v[i] = static_cast<int>(n);
    p = end + 1;
  }
  if (v[2] == 0 || v[3] == 0) return false;
  *out = {v[0], v[1], v[2], v[3]};
  return true;
}

// Progress lines once indexing has run a second, then at most one a second.
class Progress {
 public:
  explicit Progress(std::FILE* err) : err_(err), start_(Clock::now()), last_(start_) {}
  void operator()(int done, int total) {
    const auto now = Clock::now();
    if (done < total && (now - start_ < std::chrono::seconds(1) ||
                         now - last_ < std::chrono::seconds(1)))
      return;
    if (done == total && !shown_) return;  // quick runs stay silent
    last_ = now;
    shown_ = true;
    std::fprintf(err_, "indexed %d of %d minute folders\n", done, total);
    std::fflush(err_);
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::FILE* err_;
  Clock::time_point start_, last_;
  bool shown_ = false;
};

}  // namespace

int CmdActivity(int argc, char** argv, std::FILE* out, std::FILE* err) {
  activity::Region region;
  std::string indexFolder, folder;
  const auto usage = [&](const char* what) {
    std::fprintf(err, "orvanel-cli: activity: %s (%s)\n", what, kUsage);
    return 2;
  };
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::fprintf(out, "%s\n", kUsage);
      return 0;
    }
    if (std::strcmp(a, "--region") == 0 || std::strcmp(a, "--index") == 0) {
      if (i + 1 >= argc) return usage("an option without its value");
      if (a[2] == 'r' && !ParseRegion(argv[++i], &region))
        return usage("--region wants X,Y,W,H in pixels, width and height above 0");
      if (a[2] == 'i') indexFolder = argv[++i];
    } else if (a[0] == '-' && a[1] == '-') {
      return usage("unknown option");
    } else if (!folder.empty()) {
      return usage("one folder only");
    } else {
      folder = cli::StripTrailingSeparators(a);
    }
  }
  if (folder.empty()) return usage("no folder given");
  const int level = BackupLevelOf(folder.c_str());
  // Room below it for the rest of a minute folder's path: "/YYYY-MM-DD/HH/MM".
  const std::size_t below = level == 5 ? 0 : level == 4 ? 3 : level == 3 ? 6 : 17;
  if (!cli::CheckFolder("activity", folder, kMaxMinuteFolderLength - below, err)) return 2;
  if (level == 2 && cli::LooksLikeBackupRoot(folder)) {
    std::fprintf(err, "orvanel-cli: activity: '%s': a backup root, not a camera folder\n",
                 folder.c_str());
    return 2;
  }
  if (indexFolder.empty()) indexFolder = activity::DefaultIndexFolder();
  if (indexFolder.empty())
    return usage("no cache folder known for the index: give --index DIR");

  std::vector<std::string> minutes;
  if (ListMinuteFolders(folder.c_str(), minutes) != 0) {
    std::fprintf(err, "orvanel-cli: activity: '%s': cannot be listed\n", folder.c_str());
    return 2;
  }
  activity::ActivityIndex index(indexFolder);
  std::vector<activity::Span> all, spans;
  std::vector<std::string> missing;
  for (const std::string& m : minutes) {
    if (index.Query(m.c_str(), region, spans))
      all.insert(all.end(), spans.begin(), spans.end());
    else
      missing.push_back(m);
  }
  if (!missing.empty()) {
    g_stop = false;
    void (*previous)(int) = std::signal(SIGINT, StopIndexing);
    Progress progress(err);
    const int failed = activity::IndexMinutes(index, missing, 2, std::ref(progress), &g_stop);
    std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous);
    if (failed < 0) {
      std::fputs("orvanel-cli: activity: stopped\n", err);
      return 1;
    }
    int unindexed = 0;
    for (const std::string& m : missing) {
      if (index.Query(m.c_str(), region, spans))
        all.insert(all.end(), spans.begin(), spans.end());
      else
        ++unindexed;
    }
    if (unindexed > 0) {
      std::fprintf(err,
                   "orvanel-cli: activity: %d minute folder%s could not be indexed in '%s' "
                   "(--trace tells why)\n",
                   unindexed, unindexed == 1 ? "" : "s", indexFolder.c_str());
      return 1;
    }
  }
  activity::MergeSpans(all);
  std::fputs("start,end,peak\n", out);
  char start[32], end[32];
  for (const activity::Span& s : all) {
    FormatWallTime(s.start, start, sizeof start);
    FormatWallTime(s.end, end, sizeof end);
    std::fprintf(out, "%s,%s,%.1f\n", start, end, static_cast<double>(s.peak));
  }
  std::fflush(out);
  if (std::ferror(out)) {
    std::fputs("orvanel-cli: activity: cannot write the output\n", err);
    return 1;
  }
  return 0;
}
