// The playback modes and the pace of each, shared by the playback engine and
// the clock that synchronised windows play on.
#pragma once

#include <cstdint>

enum class PlaybackMode : std::int32_t {
  FastRewind = 0,
  Rewind = 1,
  Forward = 2,
  FastForward = 3,
  Pause = 4,
};

// Frame step and delay factor (milliseconds per hundredth of a second of
// time code) of a playing mode; Pause has neither.
struct ModeSpeed {
  int frameStep;
  int delayFactor;
  bool backwards;
};
ModeSpeed SpeedOf(PlaybackMode mode);
