#include "activity/background_indexer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "activity/index_file.h"
#include "activity/minute_indexer.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "playback/late_pictures.h"
#include "store/coverage.h"

namespace activity {

namespace {

WallTime Floor(WallTime t, WallTime unit) { return t - ((t % unit) + unit) % unit; }

// A range wider than this is taken as its first two days: no view shows more.
constexpr int kMostDays = 2;

// Reads each frame file when asked, and first gives way to playback: a
// lowered priority is not honoured everywhere (Wine ignores it), so the
// worker keeps to a third of a processor at most, and while playback has
// shown a late picture in the last five seconds it waits, a quarter second at
// a time: resuming sooner under load makes the next late picture sooner.
class YieldingSource final : public FrameSource {
 public:
  explicit YieldingSource(const std::atomic<bool>& stop) : stop_(stop) {}
  void Begin(const std::vector<std::string>& paths) override {
    direct_.Begin(paths);
    last_ = Clock::now();
  }
  bool Next(const FrameFile** file, const char** why) override {
    if (!stop_.load(std::memory_order_relaxed))
      std::this_thread::sleep_for(2 * (Clock::now() - last_));
    while (!stop_.load(std::memory_order_relaxed) && Clock::now() - LastLatePicture() < kCalm)
      std::this_thread::sleep_for(kWait);
    const bool read = direct_.Next(file, why);
    last_ = Clock::now();
    return read;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kCalm = std::chrono::seconds(5);
  static constexpr Clock::duration kWait = std::chrono::milliseconds(250);
  const std::atomic<bool>& stop_;
  DirectSource direct_;
  Clock::time_point last_{};
};

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && platform::IsPathSeparator(path.back())) path.pop_back();
  return path;
}

// ActivityIndex::Build as the core does it (a fresh index is kept; the file
// is written whole under another name, then renamed), reading through
// `source`. 1 when indexed now, 0 when the stored index was fresh, -1
// (logged) when it cannot be listed, stored, or was stopped.
int BuildThrough(ActivityIndex& index, const std::string& minute, FrameSource& source,
                 const std::atomic<bool>& stop) {
  std::vector<Span> spans;
  if (index.Query(minute.c_str(), Region{}, spans)) return 0;
  const std::string folder = WithoutTrailingSeparators(platform::FullPath(minute.c_str()));
  MinuteListing listing;
  if (listing.List(folder) != 0) return -1;
  MinuteIndexer indexer;
  MinuteIndex made;
  if (!indexer.Index(folder, listing, source, &stop, &made)) return -1;
  std::vector<std::uint8_t> bytes;
  EncodeIndex(made, bytes);
  const std::string file = index.IndexFileOf(folder.c_str());
  const std::string where = file.substr(0, file.find_last_of("\\/"));
  const std::string temporary = file + ".background.tmp";  // this worker's alone
  int error = 0;
  if ((!platform::IsDirectory(where.c_str()) && !platform::MakeDirectories(where.c_str(), &error)) ||
      !platform::WriteWholeFile(temporary.c_str(), bytes.data(), bytes.size(), &error) ||
      !platform::MoveReplacing(temporary.c_str(), file.c_str(), &error)) {
    platform::RemoveFile(temporary.c_str());
    LogWindow::Print("activity: cannot write %.200s (error %d)", file.c_str(), error);
    return -1;
  }
  return 1;
}

}  // namespace

BackgroundIndexer::BackgroundIndexer(ActivityIndex& index) : index_(index) {}

BackgroundIndexer::~BackgroundIndexer() { Stop(); }

void BackgroundIndexer::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (worker_.joinable() || stop_.load()) return;
  worker_ = std::thread([this] { WorkerLoop(); });
}

void BackgroundIndexer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void BackgroundIndexer::SetOnScreen(std::vector<IndexFocus> focus) {
  for (IndexFocus& f : focus) {
    f.from = Floor(f.from, kHundredthsPerMinute);
    f.to = Floor(f.to, kHundredthsPerMinute);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (focus == focus_) return;
    focus_ = std::move(focus);
    ++focusSerial_;
  }
  wake_.notify_one();
}

std::vector<std::string> BackgroundIndexer::TakeIndexed() {
  std::vector<std::string> taken;
  std::lock_guard<std::mutex> lock(mutex_);
  taken.swap(indexed_);
  rung_.store(false);
  return taken;
}

bool BackgroundIndexer::idle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seenSerial_ == focusSerial_ && queueEmpty_;
}

const std::vector<BackgroundIndexer::Minute>& BackgroundIndexer::DayOf(const std::string& camera,
                                                                      WallTime day) {
  const auto key = std::make_pair(camera, day);
  auto it = days_.find(key);
  if (it != days_.end()) return it->second;
  std::vector<std::string> folders;
  MinuteFoldersBetween(camera.c_str(), day, day + kHundredthsPerDay, folders);
  std::vector<Minute>& minutes = days_[key];
  for (std::string& folder : folders) {
    WallTime start = 0;
    if (MinuteFolderStart(folder.c_str(), &start)) minutes.push_back({std::move(folder), start});
  }
  return minutes;
}

void BackgroundIndexer::Order(const std::vector<IndexFocus>& focus) {
  // How far a minute lies from what is on screen: from a window's moment,
  // or, inside the timeline's view, from its middle (outside it, beyond
  // half its width), so that the windows' own minutes come first.
  const auto distance = [](const Minute& m, const IndexFocus& f) {
    const WallTime end = m.start + kHundredthsPerMinute;
    if (f.from == f.to) return m.start > f.from ? m.start - f.from : f.from - m.start;
    const WallTime half = (f.to - f.from) / 2;
    if (end <= f.from) return half + f.from - end;
    if (m.start >= f.to) return half + m.start - f.to;
    const WallTime middle = f.from + half;
    return m.start > middle ? m.start - middle : middle - m.start;
  };
  std::map<std::string, std::pair<WallTime, WallTime>> nearest;  // folder: distance, start
  for (const IndexFocus& f : focus) {
    const WallTime first = Floor(f.from, kHundredthsPerDay);
    const WallTime last = std::min(Floor(std::max(f.from, f.to - 1), kHundredthsPerDay),
                                   first + (kMostDays - 1) * kHundredthsPerDay);
    for (WallTime day = first; day <= last; day += kHundredthsPerDay) {
      for (const Minute& m : DayOf(f.camera, day)) {
        if (done_.count(m.folder) != 0) continue;
        const WallTime d = distance(m, f);
        auto it = nearest.find(m.folder);
        if (it == nearest.end())
          nearest.emplace(m.folder, std::make_pair(d, m.start));
        else
          it->second.first = std::min(it->second.first, d);
      }
    }
  }
  queue_.clear();
  std::vector<std::pair<std::pair<WallTime, WallTime>, const std::string*>> order;
  for (const auto& entry : nearest) order.push_back({entry.second, &entry.first});
  // Nearest (then earliest) at the back, where the worker takes from.
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& o : order) queue_.push_back({*o.second, o.first.second});
}

void BackgroundIndexer::WorkerLoop() {
  if (!platform::LowerThreadPriority())
    LogWindow::Print("activity: the indexing thread keeps its priority (the system refused)");
  YieldingSource source(stop_);
  for (;;) {
    std::vector<IndexFocus> focus;
    bool reorder = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      queueEmpty_ = queue_.empty();
      wake_.wait(lock, [this] {
        return stop_.load() || focusSerial_ != seenSerial_ || !queue_.empty();
      });
      if (stop_.load()) return;
      if (focusSerial_ != seenSerial_) {
        focus = focus_;
        seenSerial_ = focusSerial_;
        queueEmpty_ = false;  // until it is ordered
        reorder = true;
      }
    }
    if (reorder) {
      Order(focus);
      continue;
    }
    const Minute minute = std::move(queue_.back());
    queue_.pop_back();
    if (!done_.insert(minute.folder).second) continue;
    const int built = BuildThrough(index_, minute.folder, source, stop_);
    if (stop_.load()) return;
    if (built < 0) continue;  // logged; not tried again this run
    if (built > 0) ++built_;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      indexed_.push_back(minute.folder);
    }
    if (!rung_.exchange(true) && !(ring_ && ring_())) rung_.store(false);
  }
}

}  // namespace activity
