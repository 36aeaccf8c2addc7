#include "playback/sync_clock.h"

#include <algorithm>

namespace {

bool IsPlaying(PlaybackMode mode) { return SpeedOf(mode).delayFactor > 0; }

}  // namespace

WallTime SyncClock::Reading::MomentAt(Clock::time_point t) const {
  const ModeSpeed speed = SpeedOf(mode);
  if (speed.delayFactor <= 0 || t <= since) return moment;
  const WallTime passed = (t - since) / std::chrono::milliseconds(speed.delayFactor);
  return speed.backwards ? moment - passed : moment + passed;
}

SyncClock::Clock::time_point SyncClock::Reading::DueAt(WallTime m) const {
  const ModeSpeed speed = SpeedOf(mode);
  const WallTime ahead = speed.backwards ? moment - m : m - moment;
  if (speed.delayFactor <= 0 || ahead <= 0) return since;
  return since + std::chrono::milliseconds(speed.delayFactor) * ahead;
}

SyncClock::SyncClock(WallTime moment, PlaybackMode mode) {
  reading_.moment = moment;
  reading_.mode = IsPlaying(mode) ? mode : PlaybackMode::Pause;
  reading_.since = Clock::now();
}

SyncClock::~SyncClock() = default;

std::shared_ptr<SyncClock> SyncClock::StartFrom(const VideoChild& leader) {
  return std::make_shared<SyncClock>(leader.shownMoment(), leader.mode());
}

SyncClock::Reading SyncClock::Read() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reading_;
}

WallTime SyncClock::moment() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reading_.MomentAt(Clock::now());
}

PlaybackMode SyncClock::mode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reading_.mode;
}

int SyncClock::members() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(members_.size());
}

void SyncClock::ReanchorLocked(Clock::time_point now) {
  reading_.moment = reading_.MomentAt(now);
  reading_.since = now;
  reading_.step = 0;  // a step still waiting for answers is dropped
  unanswered_.clear();
}

void SyncClock::SetMode(PlaybackMode mode) {
  if (!IsPlaying(mode) && mode != PlaybackMode::Pause) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ReanchorLocked(Clock::now());
  reading_.mode = mode;
  WakeLocked();
}

void SyncClock::JumpTo(WallTime moment) {
  std::lock_guard<std::mutex> lock(mutex_);
  ReanchorLocked(Clock::now());
  reading_.moment = moment;
  WakeLocked();
}

void SyncClock::StepFrame(bool forward) {
  std::lock_guard<std::mutex> lock(mutex_);
  ReanchorLocked(Clock::now());
  reading_.mode = PlaybackMode::Pause;
  reading_.step = ++steps_;
  reading_.stepForward = forward;
  reading_.stepFrom = reading_.moment;
  unanswered_ = members_;
  stepFound_ = false;
  if (unanswered_.empty()) reading_.step = 0;
  WakeLocked();
}

void SyncClock::Add(VideoChild* child) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::find(members_.begin(), members_.end(), child) == members_.end())
    members_.push_back(child);
}

void SyncClock::Remove(VideoChild* child) {
  std::lock_guard<std::mutex> lock(mutex_);
  members_.erase(std::remove(members_.begin(), members_.end(), child), members_.end());
  const auto waiting = std::find(unanswered_.begin(), unanswered_.end(), child);
  if (waiting == unanswered_.end()) return;
  unanswered_.erase(waiting);
  if (unanswered_.empty()) FinishStepLocked();
}

void SyncClock::Answer(std::uint64_t step, VideoChild* child, bool found, WallTime time) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto waiting = std::find(unanswered_.begin(), unanswered_.end(), child);
  if (step != reading_.step || waiting == unanswered_.end()) return;
  unanswered_.erase(waiting);
  if (found) {
    const bool nearer = reading_.stepForward ? time < stepBest_ : time > stepBest_;
    if (!stepFound_ || nearer) stepBest_ = time;
    stepFound_ = true;
  }
  if (unanswered_.empty()) FinishStepLocked();
}

void SyncClock::FinishStepLocked() {
  if (reading_.step == 0) return;
  reading_.step = 0;
  reading_.since = Clock::now();
  if (stepFound_) reading_.moment = stepBest_;
  WakeLocked();
}

void SyncClock::WakeLocked() {
  for (VideoChild* child : members_) child->ClockChanged();
}
