#include "activity/activity.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "activity/index_file.h"
#include "activity/minute_indexer.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "store/coverage.h"

namespace activity {

namespace {

// No index file comes near this; a larger one is not ours.
constexpr std::size_t kMaxIndexFileSize = 64u << 20;

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && platform::IsPathSeparator(path.back())) path.pop_back();
  return path;
}

// Windows names files without regard to case: one folder, one index.
bool SameFolder(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return platform::CompareNtfsOrder(a.c_str(), b.c_str()) == 0;
#else
  return a == b;
#endif
}

std::uint64_t PathHash(const std::string& path) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : path) {
    unsigned char u = static_cast<unsigned char>(c);
#ifdef _WIN32
    if (u >= 'a' && u <= 'z') u = static_cast<unsigned char>(u - 'a' + 'A');
    if (u == '/') u = '\\';
#endif
    h ^= u;
    h *= 1099511628211ull;
  }
  return h;
}

// A name no other writer (thread or process) picks at the same time.
std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto self = std::hash<std::thread::id>()(std::this_thread::get_id());
  char tail[64];
  std::snprintf(tail, sizeof tail, ".%llx-%x.tmp",
                static_cast<unsigned long long>(now) ^ static_cast<unsigned long long>(self) ^
                    reinterpret_cast<std::uintptr_t>(&counter),
                counter.fetch_add(1));
  return path + tail;
}

// The stored index of `folder` when it is there and sound.
bool ReadStored(const std::string& file, const std::string& folder, MinuteIndex* out) {
  std::vector<std::uint8_t> bytes;
  std::size_t size = 0;
  int error = 0;
  if (platform::ReadWholeFile(file.c_str(), bytes, 0, kMaxIndexFileSize, &size, &error) !=
      platform::ReadResult::Ok)
    return false;
  if (!DecodeIndex(bytes.data(), size, out)) {
    LogWindow::Print("activity: %.200s is not a sound index file: made again", file.c_str());
    return false;
  }
  return SameFolder(out->folder, folder);
}

// ... and made from the files `listing` lists now.
bool ReadFresh(const std::string& file, const std::string& folder, const MinuteListing& listing,
               MinuteIndex* out) {
  return ReadStored(file, folder, out) && out->key == listing.key &&
         out->files == listing.frames.size();
}

bool Store(const MinuteIndex& index, const std::string& file) {
  std::vector<std::uint8_t> bytes;
  EncodeIndex(index, bytes);
  int error = 0;
  const std::string folder = file.substr(0, file.find_last_of("\\/"));
  if (!platform::IsDirectory(folder.c_str()) &&
      !platform::MakeDirectories(folder.c_str(), &error)) {
    LogWindow::Print("activity: cannot make the index folder %.200s (error %d)", folder.c_str(),
                     error);
    return false;
  }
  // Written whole under another name first: a reader never sees half a file,
  // and a stopped or failed write leaves the old one as it was.
  const std::string temporary = TemporaryName(file);
  if (!platform::WriteWholeFile(temporary.c_str(), bytes.data(), bytes.size(), &error) ||
      !platform::MoveReplacing(temporary.c_str(), file.c_str(), &error)) {
    platform::RemoveFile(temporary.c_str());
    LogWindow::Print("activity: cannot write %.200s (error %d)", file.c_str(), error);
    return false;
  }
  return true;
}

// The index of one minute folder (its full path), from the stored file when
// fresh, else made (and stored when `store`). 0; -1 when the folder cannot
// be listed or it was stopped. *stored tells whether the file is there.
int Obtain(const std::string& indexFile, const std::string& folder, MinuteIndexer* indexer,
           FrameSource* source, const std::atomic<bool>* stop, MinuteIndex* out, bool* stored) {
  MinuteListing listing;
  if (listing.List(folder) != 0) return -1;
  if (ReadFresh(indexFile, folder, listing, out)) {
    *stored = true;
    return 0;
  }
  if (indexer == nullptr) return 1;  // not indexed: the caller asked not to index
  if (!indexer->Index(folder, listing, *source, stop, out)) return -1;
  *stored = Store(*out, indexFile);
  return 0;
}

}  // namespace

std::string DefaultIndexFolder() {
  const std::string cache = platform::UserCacheFolder();
  if (cache.empty()) return std::string();
#ifdef _WIN32
  return WithoutTrailingSeparators(cache) + "\\Orvanel\\index";
#else
  return WithoutTrailingSeparators(cache) + "/orvanel/index";
#endif
}

ActivityIndex::ActivityIndex(std::string folder) : folder_(WithoutTrailingSeparators(std::move(folder))) {}

std::string ActivityIndex::IndexFileOf(const char* minuteFolder) const {
  const std::string full = WithoutTrailingSeparators(platform::FullPath(minuteFolder));
  char name[32];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(PathHash(full)));
  // Spread over 256 folders: a camera's year is half a million minutes.
  return folder_ + platform::kPathSeparator + std::string(name, 2) + platform::kPathSeparator +
         name + ".idx";
}

bool ActivityIndex::Query(const char* minuteFolder, const Region& region, std::vector<Span>& out,
                          Freshness freshness) {
  out.clear();
  const std::string full = WithoutTrailingSeparators(platform::FullPath(minuteFolder));
  WallTime start = 0;
  if (!MinuteFolderStart(full.c_str(), &start)) return false;
  MinuteIndex index;
  bool stored = false;
  std::int64_t folderTime = 0;
  const bool sameFolder = freshness == Freshness::kFolder &&
                          platform::WriteTime(full.c_str(), &folderTime) && folderTime != 0 &&
                          ReadStored(IndexFileOf(full.c_str()), full, &index) &&
                          index.folderTime == folderTime;
  if (!sameFolder &&
      (Obtain(IndexFileOf(full.c_str()), full, nullptr, nullptr, nullptr, &index, &stored) != 0 ||
       !stored))
    return false;
  MinuteSpans(index, start, region, out);
  return true;
}

int ActivityIndex::Build(const char* minuteFolder, const std::atomic<bool>* stop) {
  const std::string full = WithoutTrailingSeparators(platform::FullPath(minuteFolder));
  MinuteIndexer indexer;
  DirectSource source;
  MinuteIndex index;
  bool stored = false;
  if (Obtain(IndexFileOf(full.c_str()), full, &indexer, &source, stop, &index, &stored) != 0)
    return -1;
  return stored ? 0 : -1;
}

void MergeSpans(std::vector<Span>& spans) {
  if (spans.empty()) return;
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
    return a.start < b.start || (a.start == b.start && a.end < b.end);
  });
  std::size_t kept = 0;
  for (std::size_t i = 1; i < spans.size(); ++i) {
    Span& last = spans[kept];
    if (spans[i].start - last.end <= kActivityMergeGap) {
      last.end = std::max(last.end, spans[i].end);
      last.peak = std::max(last.peak, spans[i].peak);
    } else {
      spans[++kept] = spans[i];
    }
  }
  spans.resize(kept + 1);
}

namespace {

// The spans of one minute folder, indexing it first when it is not; false
// when it was stopped. A folder that cannot be indexed has none (logged).
bool SpansOf(ActivityIndex& index, const std::string& folder, WallTime start, const Region& region,
             MinuteIndexer& indexer, const std::atomic<bool>* stop, std::vector<Span>& out) {
  out.clear();
  const std::string full = WithoutTrailingSeparators(platform::FullPath(folder.c_str()));
  DirectSource source;
  MinuteIndex minute;
  bool stored = false;
  if (Obtain(index.IndexFileOf(full.c_str()), full, &indexer, &source, stop, &minute, &stored) != 0)
    return !(stop != nullptr && stop->load());
  MinuteSpans(minute, start, region, out);
  return true;
}

// Walks the minute folders of a camera from a minute on, forwards or
// backwards, a day's folders at a time.
class MinuteWalk {
 public:
  MinuteWalk(const char* camera, WallTime minute, Direction direction)
      : camera_(camera), next_(minute), forward_(direction == Direction::kNext) {}

  bool Next(std::string* folder, WallTime* start) {
    while (pos_ >= day_.size()) {
      if (!LoadDay()) return false;
    }
    *folder = day_[pos_].second;
    *start = day_[pos_].first;
    ++pos_;
    return true;
  }

 private:
  bool LoadDay() {
    // The nearest minute folder from next_ on (or back), then its day.
    std::string found;
    WallTime at = 0;
    if (!FindMinuteFolder(camera_, next_, forward_ ? MinuteSeek::AtOrAfter : MinuteSeek::AtOrBefore,
                          &found, &at))
      return false;
    const WallTime day = at - ((at % kHundredthsPerDay) + kHundredthsPerDay) % kHundredthsPerDay;
    const WallTime from = forward_ ? std::max(day, at) : day;
    const WallTime to = forward_ ? day + kHundredthsPerDay : at + kHundredthsPerMinute;
    std::vector<std::string> folders;
    MinuteFoldersBetween(camera_, from, to, folders);
    day_.clear();
    pos_ = 0;
    for (std::string& f : folders) {
      WallTime s = 0;
      if (MinuteFolderStart(f.c_str(), &s)) day_.emplace_back(s, std::move(f));
    }
    if (!forward_) std::reverse(day_.begin(), day_.end());
    if (day_.empty()) {  // FindMinuteFolder saw it, the day's walk did not: take it alone
      day_.emplace_back(at, found);
    }
    next_ = forward_ ? day + kHundredthsPerDay : day - kHundredthsPerMinute;
    return true;
  }

  const char* camera_;
  WallTime next_;
  bool forward_;
  std::vector<std::pair<WallTime, std::string>> day_;
  std::size_t pos_ = 0;
};

WallTime MinuteOf(WallTime t) {
  return t - ((t % kHundredthsPerMinute) + kHundredthsPerMinute) % kHundredthsPerMinute;
}

}  // namespace

bool FindActivity(ActivityIndex& index, const char* camera, WallTime from, Direction direction,
                  const Region& region, Span* out, const std::atomic<bool>* stop) {
  MinuteIndexer indexer;
  std::vector<Span> all, minute;
  std::string folder;
  WallTime start = 0;
  if (direction == Direction::kNext) {
    // From the minute before: a span running on from it is not a new start.
    MinuteWalk walk(camera, MinuteOf(from) - kHundredthsPerMinute, direction);
    bool found = false;
    Span best;
    while (walk.Next(&folder, &start)) {
      if (stop != nullptr && stop->load()) return false;
      if (!SpansOf(index, folder, start, region, indexer, stop, minute)) return false;
      all.insert(all.end(), minute.begin(), minute.end());
      MergeSpans(all);
      if (found) {
        // The span found may run on into this minute; once it does not, done.
        if (all.front().start != best.start || all.front().end == best.end) break;
        best = all.front();
        continue;
      }
      auto it = std::find_if(all.begin(), all.end(), [&](const Span& s) { return s.start > from; });
      if (it != all.end()) {
        found = true;
        best = *it;
        all.erase(all.begin(), it);  // only the span found is followed further
        all.resize(1);
      } else if (all.size() > 1) {
        all.erase(all.begin(), all.end() - 1);  // only the last may still run on
      }
    }
    if (found && out != nullptr) *out = best;
    return found;
  }
  const WallTime limit = from - kHundredthsPerSecond;
  MinuteWalk walk(camera, from, direction);
  bool have = false;
  Span best;
  while (walk.Next(&folder, &start)) {
    if (stop != nullptr && stop->load()) return false;
    if (!SpansOf(index, folder, start, region, indexer, stop, minute)) return false;
    all.insert(all.end(), minute.begin(), minute.end());
    MergeSpans(all);
    Span* last = nullptr;
    for (Span& s : all)
      if (s.start < limit) last = &s;
    if (last == nullptr) continue;
    have = true;
    best = *last;
    // Final once it cannot join a span of an earlier minute.
    if (best.start - start > kActivityMergeGap) break;
  }
  if (have && out != nullptr) *out = best;
  return have;
}

int IndexMinutes(ActivityIndex& index, const std::vector<std::string>& minuteFolders, int threads,
                 const std::function<void(int done, int total)>& progress,
                 const std::atomic<bool>* stop) {
  std::atomic<std::size_t> next{0};
  std::atomic<int> failed{0};
  std::mutex progressMutex;
  int done = 0;
  const int total = static_cast<int>(minuteFolders.size());
  auto work = [&] {
    MinuteIndexer indexer;
    ReadAheadSource source;
    MinuteIndex minute;
    for (std::size_t i; (i = next.fetch_add(1)) < minuteFolders.size();) {
      if (stop != nullptr && stop->load()) return;
      const std::string full =
          WithoutTrailingSeparators(platform::FullPath(minuteFolders[i].c_str()));
      bool stored = false;
      if (Obtain(index.IndexFileOf(full.c_str()), full, &indexer, &source, stop, &minute,
                 &stored) != 0 || !stored) {
        if (stop != nullptr && stop->load()) return;
        ++failed;
      }
      std::lock_guard<std::mutex> lock(progressMutex);
      ++done;
      if (progress) progress(done, total);
    }
  };
  const int workers = std::max(1, std::min(threads, total));
  std::vector<std::thread> pool;
  for (int t = 1; t < workers; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  if (stop != nullptr && stop->load()) return -1;
  return failed.load();
}

}  // namespace activity
