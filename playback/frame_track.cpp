#include "playback/frame_track.h"

#include <algorithm>

namespace {

// Empty minute folders passed over by one search, at most: a search never
// runs through a whole backup.
constexpr int kMaxEmptyMinutes = 120;

WallTime MinuteOf(WallTime moment) {
  return moment - ((moment % kHundredthsPerMinute) + kHundredthsPerMinute) % kHundredthsPerMinute;
}

}  // namespace

void FrameTrack::SetCamera(const std::string& camera) {
  if (camera == camera_) return;
  camera_ = camera;
  for (Minute& slot : slots_) slot.cached = false;
}

FrameTrack::Minute& FrameTrack::Slot(WallTime start) {
  Minute* oldest = &slots_[0];
  for (Minute& slot : slots_) {
    if (slot.cached && slot.start == start) {
      slot.used = ++uses_;
      return slot;
    }
    if (!slot.cached || (oldest->cached && slot.used < oldest->used)) oldest = &slot;
  }
  oldest->cached = false;
  oldest->start = start;
  oldest->used = ++uses_;
  return *oldest;
}

FrameTrack::Minute& FrameTrack::Load(WallTime start, const std::string& folder) {
  Minute& minute = Slot(start);
  if (minute.cached) return minute;
  minute.cached = true;
  minute.times.clear();
  if (folder.empty() || minute.list.Load(folder.c_str(), nullptr) != 0) {
    MinuteFrameList none;
    minute.list.Swap(none);
    return minute;
  }
  for (int i = 0; i < minute.list.count(); ++i)
    minute.times.push_back(start + minute.list.TimeCodeAt(i));
  return minute;
}

const FrameTrack::Minute& FrameTrack::MinuteAt(WallTime moment) {
  const WallTime start = MinuteOf(moment);
  Minute& kept = Slot(start);
  if (kept.cached) return kept;
  std::string folder;
  if (camera_.empty() ||
      !FindMinuteFolder(camera_.c_str(), start, MinuteSeek::Exact, &folder, nullptr)) {
    folder.clear();
  }
  return Load(start, folder);
}

FrameTrack::Frame FrameTrack::LastAtOrBefore(WallTime moment, WallTime reach) {
  const Minute* minute = &MinuteAt(moment);
  for (int passed = 0;; ++passed) {
    const auto after = std::upper_bound(minute->times.begin(), minute->times.end(), moment);
    if (after != minute->times.begin()) {
      const WallTime time = *(after - 1);
      if (reach >= 0 && moment - time > reach) return {};
      return {minute, static_cast<int>(after - minute->times.begin()) - 1, time};
    }
    const WallTime earlier = minute->start - 1;
    if ((reach >= 0 && moment - earlier > reach) || passed == kMaxEmptyMinutes) return {};
    if (reach >= 0) {
      minute = &MinuteAt(earlier);
      continue;
    }
    std::string folder;
    WallTime start = 0;
    if (!FindMinuteFolder(camera_.c_str(), earlier, MinuteSeek::AtOrBefore, &folder, &start))
      return {};
    minute = &Load(start, folder);
  }
}

FrameTrack::Frame FrameTrack::FirstAfter(WallTime moment) {
  const Minute* minute = &MinuteAt(moment);
  for (int passed = 0; passed <= kMaxEmptyMinutes; ++passed) {
    const auto after = std::upper_bound(minute->times.begin(), minute->times.end(), moment);
    if (after != minute->times.end())
      return {minute, static_cast<int>(after - minute->times.begin()), *after};
    std::string folder;
    WallTime start = 0;
    if (!FindMinuteFolder(camera_.c_str(), minute->start + kHundredthsPerMinute,
                          MinuteSeek::AtOrAfter, &folder, &start))
      return {};
    minute = &Load(start, folder);
  }
  return {};
}
