// The clock that a group of video children plays on together.
//
// Design, in three lines:
//   one clock per group: a steady-clock anchor, the moment there and the mode's rate (short lock);
//   each member's own thread shows its last frame at or before the moment, sleeps till the next;
//   a change re-anchors and wakes all; no member waits for another, and no drift accumulates.
//
// How the window side uses it (all calls from the user-interface thread,
// none waits for a disc read):
//   Synchronize:  clock = SyncClock::StartFrom(focused child); then
//                 child->Synchronize(clock) for every selected child. Once
//                 more on a child that left: child->Synchronize(group's clock)
//                 (any member's child->clock()).
//   Modes, keys and the Control menu on grouped windows: clock->SetMode(m),
//                 clock->StepFrame(forward); a timeline click: clock->JumpTo(t).
//   A command aimed at one window alone (its slider, its context menu's
//                 mode, a minute opened into it, ShowMoment) goes to the
//                 child as before: the child leaves the group by itself.
//   Drawing:      ViewState::grouped (the strip's link mark),
//                 ViewState::noRecording (black picture: draw "No recording"
//                 with the time text), ViewState::moment (the timeline marker).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "playback/video_child.h"
#include "store/wall_clock.h"

class SyncClock {
 public:
  using Clock = std::chrono::steady_clock;

  // What a member reads at the start of each of its steps.
  struct Reading {
    PlaybackMode mode = PlaybackMode::Pause;
    WallTime moment = 0;     // at `since`
    Clock::time_point since{};
    std::uint64_t step = 0;  // a frame step waiting for the members' answers
    bool stepForward = true;
    WallTime stepFrom = 0;

    // The moment at steady time `t`: the anchor moved at the mode's rate
    // (a hundredth per delay factor in milliseconds), whole hundredths.
    WallTime MomentAt(Clock::time_point t) const;
    // When a playing clock reaches `m` (`since` if it has already).
    Clock::time_point DueAt(WallTime m) const;
  };

  SyncClock(WallTime moment, PlaybackMode mode);
  ~SyncClock();  // after every member has left (members hold the clock)
  SyncClock(const SyncClock&) = delete;
  SyncClock& operator=(const SyncClock&) = delete;

  // A clock at the moment `leader` shows, in its mode.
  static std::shared_ptr<SyncClock> StartFrom(const VideoChild& leader);

  Reading Read() const;
  WallTime moment() const;  // now
  PlaybackMode mode() const;
  int members() const;

  // Re-anchored at the current moment; the members follow at once.
  void SetMode(PlaybackMode mode);
  void JumpTo(WallTime moment);
  // Pauses, then moves to the nearest frame time of the members' cameras
  // beyond the current moment (the first after it, or the latest before
  // it), once every member has answered from its own thread, which lists
  // the minutes it needs. No frame beyond: the moment stays.
  void StepFrame(bool forward);

 private:
  friend class VideoChild;
  void Add(VideoChild* child);
  void Remove(VideoChild* child);
  void Answer(std::uint64_t step, VideoChild* child, bool found, WallTime time);
  void ReanchorLocked(Clock::time_point now);
  void FinishStepLocked();
  void WakeLocked();  // each member's state lock: clock lock first, never the reverse

  mutable std::mutex mutex_;
  Reading reading_;
  std::vector<VideoChild*> members_;
  std::vector<VideoChild*> unanswered_;
  bool stepFound_ = false;
  WallTime stepBest_ = 0;
  std::uint64_t steps_ = 0;
};
