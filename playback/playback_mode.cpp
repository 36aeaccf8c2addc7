#include "playback/playback_mode.h"

ModeSpeed SpeedOf(PlaybackMode mode) {
  switch (mode) {
    case PlaybackMode::FastRewind: return {3, 3, true};
    case PlaybackMode::Rewind: return {1, 10, true};
    case PlaybackMode::Forward: return {1, 10, false};
    case PlaybackMode::FastForward: return {3, 3, false};
    case PlaybackMode::Pause: break;
  }
  return {0, 0, false};
}
