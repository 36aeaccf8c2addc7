#include "workspace/activity_search.h"
#include "workspace/mailbox.h"

#include <algorithm>

#include "platform/log.h"
#include "playback/sync_clock.h"
#include "workspace/child_manager.h"
#include "workspace/sync_commands.h"

namespace {

constexpr char kMailboxClass[] = "OrvanelActivityMailbox";
constexpr UINT kMsgSearched = WM_APP + 0x61;

LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgSearched) {
    try {
      auto* self = reinterpret_cast<ActivitySearch*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self != nullptr) self->Apply();
    } catch (...) {
      LogWindow::Print("activity search: its result could not be applied");
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

const char* Name(activity::Direction d) {
  return d == activity::Direction::kNext ? "Next Activity" : "Previous Activity";
}

}  // namespace

ActivitySearch::ActivitySearch(ChildManager& windows, activity::ActivityIndex& index)
    : windows_(windows), index_(index) {}

ActivitySearch::~ActivitySearch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  cancel_.store(true);
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  target_.store(nullptr);
  if (mailbox_ != nullptr && IsWindow(mailbox_)) DestroyWindow(mailbox_);
}

HWND ActivitySearch::Mailbox() {
  if (mailbox_ != nullptr && IsWindow(mailbox_)) return mailbox_;
  mailbox_ = MakeMailbox(kMailboxClass, MailboxProc, this);
  if (mailbox_ == nullptr) LogWindow::Print("activity search: no mailbox (%lu)", GetLastError());
  target_.store(mailbox_);
  return mailbox_;
}

void ActivitySearch::Start(activity::Direction direction) {
  if (index_.folder().empty()) {
    LogWindow::Print("%s: no cache folder to keep the activity index in", Name(direction));
    MessageBeep(MB_ICONWARNING);
    return;
  }
  Job job;
  job.direction = direction;
  for (const WindowSight& s : SightsOfWindows(windows_)) {
    if (!s.selected || s.camera.empty()) continue;
    const std::shared_ptr<SyncClock> clock = s.child->clock();
    auto target = std::find_if(job.targets.begin(), job.targets.end(), [&](const Target& t) {
      return clock && t.clock.lock() == clock;
    });
    if (target == job.targets.end()) {
      const WallTime from = clock ? clock->moment() : s.moment;
      if (from < 0) continue;  // a window that shows no moment of a backup
      job.targets.emplace_back();
      target = job.targets.end() - 1;
      target->window = clock ? nullptr : s.window;
      target->clock = clock;
      target->from = from;
    }
    if (std::find(target->cameras.begin(), target->cameras.end(), s.camera) ==
        target->cameras.end()) {
      target->cameras.push_back(s.camera);
      target->regions.push_back(windows_.regions().Get(s.camera));
    }
  }
  if (job.targets.empty()) {
    LogWindow::Print("%s: no selected window shows a moment of a backup", Name(direction));
    MessageBeep(MB_ICONWARNING);
    return;
  }
  if (Mailbox() == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.clear();
    waiting_.push_back(std::move(job));
    results_.clear();  // an older result is not applied after a newer command
    cancel_.store(true);
  }
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
  wake_.notify_one();
}

bool ActivitySearch::busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ || !waiting_.empty() || !results_.empty();
}

void ActivitySearch::WorkerLoop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      running_ = false;
      wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
      if (quit_) return;
      job = std::move(waiting_.front());
      waiting_.clear();
      running_ = true;
      cancel_.store(false);  // under the lock: a newer Start sets it after this
    }
    Search(job);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (cancel_.load()) continue;  // replaced or ending: dropped
      results_.clear();
      results_.push_back(std::move(job));
    }
    if (!posted_.exchange(true)) {
      HWND target = target_.load();
      if (target == nullptr || !PostMessageA(target, kMsgSearched, 0, 0)) posted_.store(false);
    }
  }
}

void ActivitySearch::Search(Job& job) {
  const bool next = job.direction == activity::Direction::kNext;
  for (Target& t : job.targets) {
    for (std::size_t i = 0; i < t.cameras.size(); ++i) {
      activity::Span span;
      if (!activity::FindActivity(index_, t.cameras[i].c_str(), t.from, job.direction,
                                  t.regions[i], &span, &cancel_))
        continue;
      // A group goes to the nearest span of any of its cameras.
      if (t.found < 0 || (next ? span.start < t.found : span.start > t.found))
        t.found = span.start;
    }
    if (cancel_.load()) return;
  }
}

void ActivitySearch::Apply() {
  std::vector<Job> results;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    results.swap(results_);
    posted_.store(false);
  }
  for (const Job& job : results) {
    bool missed = false;
    for (const Target& t : job.targets) {
      char from[32];
      FormatWallTime(t.from, from, sizeof from);
      if (t.found < 0) {
        LogWindow::Print("%s: nothing %s %s in '%s'%s", Name(job.direction),
                         job.direction == activity::Direction::kNext ? "after" : "before", from,
                         t.cameras.front().c_str(), t.cameras.size() > 1 ? " and the others" : "");
        missed = true;
        continue;
      }
      char to[32];
      FormatWallTime(t.found, to, sizeof to);
      LogWindow::Print("%s: %s -> %s ('%s')", Name(job.direction), from, to,
                       t.cameras.front().c_str());
      if (std::shared_ptr<SyncClock> clock = t.clock.lock()) {
        clock->JumpTo(t.found);
      } else if (VideoChild* child = t.window != nullptr ? windows_.Find(t.window) : nullptr) {
        child->ShowMoment(t.found);
      }
    }
    if (missed) MessageBeep(MB_ICONASTERISK);
  }
}
