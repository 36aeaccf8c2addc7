// Nine video children of 704 x 576 pictures, six cameras at 25 a second and
// one each at 0.06, 0.2 and 0.5 s, played on one shared clock (SyncClock)
// and, as the reference in the same run, each on its own. Both start at
// 12:00:50 and cross into minute 12:01 with continuation.
//
//   bench-sync_playback [--seconds N]      (20 by default)
//
// Prints, for each way: frames drawn, late frames (drawn more than 40 ms
// after they were due), the largest difference between the moments the
// children show (sampled every 10 ms), and the process's CPU seconds; then
// "ratio:" = CPU synchronised / CPU on their own clocks (target <= 1.10).
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/playback_bench.h"
#include "bench/sync_cameras.h"
#include "playback/video_child.h"

using namespace playback_bench;
using sync_cameras::kFirst;
using sync_cameras::kSpacings;
using sync_cameras::kStart;
using sync_cameras::Minute;

namespace {

constexpr int kChildren = sync_cameras::kCameras;
constexpr double kLateMs = 40.0;

struct Lags {
  std::mutex mutex;
  long frames = 0;
  long late = 0;
  static void Hook(void* context, int, Clock::time_point due, Clock::time_point shown) {
    auto* lags = static_cast<Lags*>(context);
    std::lock_guard<std::mutex> lock(lags->mutex);
    ++lags->frames;
    lags->late += std::chrono::duration<double, std::milli>(shown - due).count() > kLateMs;
  }
};

// Processor time of this process so far (all threads), seconds.
double CpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto value = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

struct Outcome {
  long frames = 0;
  long late = 0;
  double spreadS = 0;  // largest difference between the moments shown
  double cpuS = 0;
};


Outcome Play(const fs::path& root, bool synchronised, int seconds) {
  std::vector<std::unique_ptr<NullView>> views;
  std::vector<std::unique_ptr<Lags>> lags;
  std::vector<std::unique_ptr<VideoChild>> children;
  const WallTime start = MakeWallTime({2004, 3, 15, 12, 0, 50, 0});
  for (int k = 0; k < kChildren; ++k) {
    views.push_back(std::make_unique<NullView>());
    lags.push_back(std::make_unique<Lags>());
    children.push_back(std::make_unique<VideoChild>(true, views.back().get()));
    views.back()->child = children.back().get();
    children.back()->SetFrameHook(&Lags::Hook, lags.back().get());
    children.back()->LoadFrameList(Minute(root, k, 0).c_str());
    children.back()->StartThread();
  }
  std::shared_ptr<SyncClock> clock;
  if (synchronised) {
    clock = std::make_shared<SyncClock>(start, PlaybackMode::Pause);
    for (auto& child : children) child->Synchronize(clock);
  } else {
    for (int k = 0; k < kChildren; ++k) {
      children[k]->SetPosition((kStart - kFirst + kSpacings[k] - 1) / kSpacings[k]);
      children[k]->ShowFrame((kStart - kFirst + kSpacings[k] - 1) / kSpacings[k]);
    }
  }
  for (auto& child : children) {
    while (child->shownMoment() < start - 100)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (auto& l : lags) {
    std::lock_guard<std::mutex> lock(l->mutex);
    l->frames = l->late = 0;
  }

  Outcome out;
  const double cpu = CpuSeconds();
  const Clock::time_point begin = Clock::now();
  if (synchronised) {
    clock->SetMode(PlaybackMode::Forward);
  } else {
    for (auto& child : children) child->SetMode(PlaybackMode::Forward);
  }
  WallTime spread = 0;
  while (Clock::now() - begin < std::chrono::seconds(seconds)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    WallTime low = INT64_MAX, high = INT64_MIN;
    for (auto& child : children) {
      ViewState state;
      child->GetViewState(&state);
      low = std::min(low, state.moment);
      high = std::max(high, state.moment);
    }
    // After the first half second: the reference's children start one by one.
    if (Clock::now() - begin > std::chrono::milliseconds(500)) spread = std::max(spread, high - low);
  }
  out.cpuS = CpuSeconds() - cpu;
  for (auto& child : children) child->RequestQuit();
  children.clear();  // leaves the clock and joins
  for (auto& l : lags) {
    out.frames += l->frames;
    out.late += l->late;
  }
  out.spreadS = static_cast<double>(spread) / 100.0;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 20;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--seconds N]\n", argv[0]);
      return 2;
    }
  }
  if (seconds < 1 || seconds > 60) {
    std::fprintf(stderr, "--seconds takes 1 to 60\n");
    return 2;
  }

  ScratchDir scratch("sync");
  sync_cameras::Make(scratch.path(), seconds);

  const Outcome own = Play(scratch.path(), false, seconds);
  const Outcome sync = Play(scratch.path(), true, seconds);
  std::printf("sync_children: %d\n", kChildren);
  std::printf("sync_seconds: %d\n", seconds);
  const struct {
    const char* name;
    const Outcome& o;
  } rows[] = {{"own_clocks", own}, {"synchronised", sync}};
  for (const auto& r : rows) {
    std::printf("%s_frames: %ld\n", r.name, r.o.frames);
    const double frames = static_cast<double>(std::max(r.o.frames, 1L));
    std::printf("%s_late_pct: %.2f\n", r.name, 100.0 * static_cast<double>(r.o.late) / frames);
    std::printf("%s_max_moment_difference_s: %.2f\n", r.name, r.o.spreadS);
    std::printf("%s_cpu_s: %.2f\n", r.name, r.o.cpuS);
  }
  std::printf("ratio: %.3f\n", own.cpuS > 0 ? sync.cpuS / own.cpuS : 0.0);
  return 0;
}
