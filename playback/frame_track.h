// One camera's frames by wall-clock moment, for a child that plays on a
// shared clock or is moved to a moment: the few minute folders near the
// moment, listed on demand on the caller's thread (no lock held) and kept.
// Used by one thread at a time: the child's playback thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/minute_frame_list.h"
#include "store/wall_clock.h"

class FrameTrack {
 public:
  struct Minute {
    WallTime start = 0;
    bool cached = false;
    MinuteFrameList list;          // empty when the folder is missing
    std::vector<WallTime> times;   // each frame's moment, in list order
    std::uint64_t used = 0;
  };
  // A frame found; `minute` is null when there is none, and stays valid
  // until the next call that may list another minute.
  struct Frame {
    const Minute* minute = nullptr;
    int index = -1;
    WallTime time = 0;
  };

  // The camera folder whose dates, hours and minutes are searched. A new
  // one forgets the minutes kept.
  void SetCamera(const std::string& camera);
  const std::string& camera() const { return camera_; }

  // The minute folder holding `moment`, listed when not kept.
  const Minute& MinuteAt(WallTime moment);
  // The latest frame at or before `moment` and no more than `reach` before it
  // (reach < 0: however long before, across recorded minutes).
  Frame LastAtOrBefore(WallTime moment, WallTime reach);
  // The earliest frame after `moment`, however long after.
  Frame FirstAfter(WallTime moment);

 private:
  Minute& Slot(WallTime start);  // kept, or the least recently used one emptied
  Minute& Load(WallTime start, const std::string& folder);

  static constexpr int kSlots = 4;
  std::string camera_;
  Minute slots_[kSlots];
  std::uint64_t uses_ = 0;
};
