#include "playback/late_pictures.h"

#include <atomic>
#include <cstdint>

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<std::int64_t> g_lastLate{0};  // Clock ticks since its epoch

}  // namespace

void NotePictureShown(Clock::time_point due, Clock::time_point shown) {
  if (shown - due > kLatePicture)
    g_lastLate.store(shown.time_since_epoch().count(), std::memory_order_relaxed);
}

Clock::time_point LastLatePicture() {
  return Clock::time_point(Clock::duration(g_lastLate.load(std::memory_order_relaxed)));
}
