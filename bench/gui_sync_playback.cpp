// Synchronised playback in the windowed program (run under Wine): nine video
// windows of 704 x 576 pictures, six cameras at 25 a second and one each at
// 0.06, 0.2 and 0.5 s, from 12:00:50 into minute 12:01, played on one clock
// after Synchronize, against the same windows each on its own clock in the
// same run.
//   bench-gui_sync_playback [seconds]     (60 by default)
// Prints for each way: frames drawn, late frames (drawn over 40 ms after
// they were due), the largest difference between the moments the windows
// show (sampled every 10 ms on the user-interface thread), CPU seconds; then
// "ratio:" = CPU synchronised / CPU on their own clocks (target <= 1.10).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bench/playback_bench.h"
#include "bench/sync_cameras.h"
#include "playback/sync_clock.h"
#include "shell/app.h"
#include "workspace/sync_commands.h"

using namespace playback_bench;
using sync_cameras::kFirst;
using sync_cameras::kSpacings;
using sync_cameras::kStart;
using sync_cameras::Minute;

namespace {

constexpr int kWindows = sync_cameras::kCameras;

std::atomic<bool> g_measuring{false};
std::atomic<long> g_frames{0};
std::atomic<long> g_late{0};

void OnFrame(void*, int, Clock::time_point due, Clock::time_point shown) {
  if (!g_measuring.load()) return;
  ++g_frames;
  if (std::chrono::duration<double, std::milli>(shown - due).count() > 40.0) ++g_late;
}

void Pump(DWORD ms) {
  const DWORD t0 = GetTickCount();
  MSG m;
  do {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) continue;
      if (!PreTranslateAppMessage(m)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (GetTickCount() - t0 < ms);
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto value = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
}


struct Outcome {
  long frames = 0;
  long late = 0;
  double spreadS = 0;
  double cpuS = 0;
};

Outcome Play(const fs::path& root, bool synchronised, int seconds) {
  ChildManager& windows = App().childManager;
  for (int k = 0; k < kWindows; ++k) {
    char camera[32];
    std::snprintf(camera, sizeof camera, "Camera %d", k + 1);
    windows.OpenMinute(Minute(root, k, 0).c_str(), "2004-03-15", camera);
  }
  windows.ArrangeGrid();
  windows.SelectAll();
  windows.SetModeOfSelected(PlaybackMode::Pause);
  const WallTime start = MakeWallTime({2004, 3, 15, 12, 0, 50, 0});
  std::vector<VideoChild*> children;
  for (const WindowSight& s : SightsOfWindows(windows)) children.push_back(s.child);
  if (synchronised) {
    SynchronizeSelected(windows);  // the active window leads
    MoveSelectedTo(windows, start);
  } else {
    for (VideoChild* child : children) child->ShowMoment(start);
  }
  for (int i = 0; i < 1000; ++i) {
    bool all = true;
    for (VideoChild* child : children) all = all && child->shownMoment() >= start - 100;
    if (all) break;
    Pump(10);
  }
  Outcome out;
  g_frames = g_late = 0;
  const double cpu = CpuSeconds();
  const Clock::time_point begin = Clock::now();
  g_measuring = true;
  windows.SetModeOfSelected(PlaybackMode::Forward);  // on the clock when grouped
  WallTime spread = 0;
  while (Clock::now() - begin < std::chrono::seconds(seconds)) {
    Pump(10);
    WallTime low = INT64_MAX, high = INT64_MIN;
    for (VideoChild* child : children) {
      ViewState state;
      child->GetViewState(&state);
      low = std::min(low, state.moment);
      high = std::max(high, state.moment);
    }
    if (Clock::now() - begin > std::chrono::milliseconds(500))
      spread = std::max(spread, high - low);
  }
  g_measuring = false;
  out.cpuS = CpuSeconds() - cpu;
  out.frames = g_frames;
  out.late = g_late;
  out.spreadS = static_cast<double>(spread) / 100.0;
  for (const WindowSight& s : SightsOfWindows(windows))
    SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(s.window), 0);
  for (int i = 0; i < 500 && windows.count() > 0; ++i) Pump(10);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(2, std::min(60, std::atoi(argv[1]))) : 60;
  av_log_set_level(AV_LOG_QUIET);
  ScratchDir scratch("guisync");
  sync_cameras::Make(scratch.path(), seconds);
  App().settings.SetKeyPath("Software\\VELMORA\\OrvanelBench");
  App().settings.SetOverlapped(true);
  App().settings.SetOverMinute(true);
  App().settings.highQuality = false;
  HWND main = CreateMainWindow(SW_SHOWMAXIMIZED);
  if (main == nullptr) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  App().childManager.SetFrameHook(OnFrame, nullptr);
  Pump(500);
  const Outcome own = Play(scratch.path(), false, seconds);
  const Outcome sync = Play(scratch.path(), true, seconds);
  std::printf("windows: %d\nseconds: %d\n", kWindows, seconds);
  const struct {
    const char* name;
    const Outcome& o;
  } rows[] = {{"own_clocks", own}, {"synchronised", sync}};
  for (const auto& r : rows) {
    const double frames = static_cast<double>(std::max(r.o.frames, 1L));
    std::printf("%s_frames: %ld\n", r.name, r.o.frames);
    std::printf("%s_late_pct: %.2f\n", r.name, 100.0 * static_cast<double>(r.o.late) / frames);
    std::printf("%s_max_moment_difference_s: %.2f\n", r.name, r.o.spreadS);
    std::printf("%s_cpu_s: %.2f\n", r.name, r.o.cpuS);
  }
  std::printf("ratio: %.3f\n", own.cpuS > 0 ? sync.cpuS / own.cpuS : 0.0);
  DestroyWindow(main);
  Pump(300);
  return 0;
}
