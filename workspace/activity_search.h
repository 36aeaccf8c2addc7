// Next Activity / Previous Activity: the selected windows move to the start
// of the next (previous) span of activity of their camera, in its search
// region, across minutes, hours and dates. A group on one clock moves
// together through its clock, to the nearest span of any of its cameras.
//
// The search may index minutes on the way, so it runs on a worker of its
// own; the worker never touches a window: it leaves its result in a mailbox
// under a short lock and posts one notification, and the user-interface
// thread moves the windows. A newer command stops and replaces an older
// search. Nothing found: a beep and a trace line; the windows stay.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "activity/activity.h"
#include "store/wall_clock.h"

class ChildManager;
class SyncClock;

class ActivitySearch {
 public:
  // Both outlive it.
  ActivitySearch(ChildManager& windows, activity::ActivityIndex& index);
  ~ActivitySearch();  // stops the search and joins the worker
  ActivitySearch(const ActivitySearch&) = delete;
  ActivitySearch& operator=(const ActivitySearch&) = delete;

  // Starts a search from what the selected windows show now.
  void Start(activity::Direction direction);
  // A search runs, or its result waits for the user-interface thread.
  bool busy() const;

  // Moves the windows by the last result (the mailbox's message).
  void Apply();

 private:
  struct Target {
    HWND window = nullptr;           // a window alone, or
    std::weak_ptr<SyncClock> clock;  // a group, moved through its clock
    std::vector<std::string> cameras;
    std::vector<activity::Region> regions;  // by camera
    WallTime from = -1;
    WallTime found = -1;  // the span's start; -1: none
  };
  struct Job {
    activity::Direction direction = activity::Direction::kNext;
    std::vector<Target> targets;
  };

  void WorkerLoop();
  void Search(Job& job);
  HWND Mailbox();

  ChildManager& windows_;
  activity::ActivityIndex& index_;
  HWND mailbox_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Job> waiting_;  // at most one: the newest command
  bool running_ = false;      // the worker holds a job
  std::vector<Job> results_;  // at most one, for Apply
  bool quit_ = false;
  std::atomic<bool> cancel_{false};  // the running search is replaced
  std::atomic<bool> posted_{false};
  std::atomic<HWND> target_{nullptr};
  std::thread worker_;
};
