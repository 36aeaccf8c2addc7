// Real-time playback in the windowed program (run under Wine):
//   1. how many 704 x 576, 25 pictures-per-second recordings play at once at
//      Half size with high quality on while under 1 % of their frames are
//      late (drawn more than one frame period after they were due);
//   2. with those windows playing, how long from posting Pause to the command
//      bar's host window until every playback thread is parked;
//   the same at Original size with high quality off. Ratios are against one
//   window in the same run. Usage: bench-gui_playback [seconds] [max windows]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "bench/playback_bench.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/command_bar.h"
#include "shell/settings.h"
#include "workspace/child_manager.h"
#include "workspace/video_window.h"

namespace {

using playback_bench::Clock;

// Frames drawn by the engine in the measured span, and how many were late.
struct Lateness {
  std::atomic<bool> measuring{false};
  std::atomic<long> frames{0};
  std::atomic<long> late{0};
  std::atomic<long long> lagMicros{0};
};
Lateness g_late;

void OnFrame(void*, int, Clock::time_point due, Clock::time_point shown) {
  if (!g_late.measuring.load(std::memory_order_relaxed)) return;
  const auto lag = std::chrono::duration_cast<std::chrono::microseconds>(shown - due).count();
  g_late.frames.fetch_add(1, std::memory_order_relaxed);
  g_late.lagMicros.fetch_add(lag, std::memory_order_relaxed);
  if (lag > 40000) g_late.late.fetch_add(1, std::memory_order_relaxed);
}

void Pump(DWORD ms) {
  const DWORD t0 = GetTickCount();
  MSG m;
  for (;;) {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) continue;
      if (!PreTranslateAppMessage(m)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
    }
    const DWORD elapsed = GetTickCount() - t0;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(10, ms - elapsed), QS_ALLINPUT);
  }
}

std::vector<HWND> VideoWindows() {
  std::vector<HWND> all;
  for (HWND h = GetWindow(App().mdiClient, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (App().childManager.Find(h)) all.push_back(h);
  return all;
}

double Seconds(const FILETIME& t) {
  return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
}
double ThreadCpu(HANDLE thread) {
  FILETIME c, e, k, u;
  return GetThreadTimes(thread, &c, &e, &k, &u) ? Seconds(k) + Seconds(u) : 0;
}
double ProcessCpu() {
  FILETIME c, e, k, u;
  return GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u) ? Seconds(k) + Seconds(u) : 0;
}

struct Result {
  int windows;
  double latePercent;
  double meanLagMs;
  double paintedPercent;  // of the frames the engine drew, how many reached the screen
  double uiBusy;          // user-interface thread CPU / wall time
  double cpuCores;        // process CPU / wall time
  double cpuMsPerFrame;   // process CPU per frame drawn: what the cores must give
  double pauseMs;         // median
};

Result Run(const std::string& folder, int windows, SizeMode size, bool halftone, int seconds) {
  App().settings.highQuality = halftone;
  App().settings.SetOverlapped(true);
  for (int i = 0; i < windows; ++i) {
    char camera[32];
    std::snprintf(camera, sizeof camera, "Bench - Camera %d", i + 1);
    App().childManager.OpenMinute(folder.c_str(), "2004-03-15", camera);
  }
  App().childManager.ArrangeGrid();
  App().childManager.SelectAll();
  App().childManager.SetSize(size);
  Pump(2000);  // settle: first pictures, caches

  long paintsBefore = 0;
  for (HWND h : VideoWindows()) paintsBefore += App().childManager.FindView(h)->paints();
  g_late.frames = 0;
  g_late.late = 0;
  g_late.lagMicros = 0;
  HANDLE ui = GetCurrentThread();
  const double ui0 = ThreadCpu(ui), cpu0 = ProcessCpu();
  const auto t0 = Clock::now();
  g_late.measuring = true;
  Pump(static_cast<DWORD>(seconds) * 1000);
  g_late.measuring = false;
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  long paints = -paintsBefore;
  for (HWND h : VideoWindows()) paints += App().childManager.FindView(h)->paints();

  Result r{};
  r.windows = windows;
  const long frames = g_late.frames.load();
  r.latePercent = frames ? 100.0 * g_late.late.load() / frames : 100.0;
  r.meanLagMs = frames ? g_late.lagMicros.load() / 1000.0 / frames : 0;
  r.paintedPercent = frames ? 100.0 * paints / frames : 0;
  r.uiBusy = (ThreadCpu(ui) - ui0) / wall;
  r.cpuCores = (ProcessCpu() - cpu0) / wall;
  r.cpuMsPerFrame = frames ? (ProcessCpu() - cpu0) * 1000.0 / frames : 0;

  // Pause from the command bar, as the user presses it, five times.
  std::vector<double> pauses;
  HWND host = App().commandBar.GetHostWindow();
  for (int k = 0; k < 5; ++k) {
    App().childManager.SetModeOfSelected(PlaybackMode::Forward);
    Pump(300);
    const auto p0 = Clock::now();
    PostMessageA(host, WM_COMMAND, ID_CONTROL_PAUSE, 0);
    for (;;) {
      Pump(0);
      bool all = true;
      for (HWND h : VideoWindows()) all = all && App().childManager.Find(h)->parked();
      if (all) break;
      if (Clock::now() - p0 > std::chrono::seconds(5)) break;
      Sleep(0);
    }
    pauses.push_back(std::chrono::duration<double, std::milli>(Clock::now() - p0).count());
  }
  std::sort(pauses.begin(), pauses.end());
  r.pauseMs = pauses[pauses.size() / 2];

  for (HWND h : VideoWindows()) SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
  for (int i = 0; i < 500 && App().childManager.count() > 0; ++i) Pump(10);
  return r;
}

void Print(const char* label, const Result& r) {
  std::printf("%s windows=%d late_percent: %.2f mean_lag_ms: %.1f on_screen_percent: %.1f "
              "ui_thread_busy: %.2f cpu_cores: %.2f cpu_ms_per_frame: %.2f pause_ms: %.1f\n",
              label, r.windows, r.latePercent, r.meanLagMs, r.paintedPercent, r.uiBusy,
              r.cpuCores, r.cpuMsPerFrame, r.pauseMs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
  const int maxWindows = argc > 2 ? std::max(1, std::atoi(argv[2])) : 24;
  av_log_set_level(AV_LOG_QUIET);

  // 704 x 576 at 25 pictures a second, long enough to play through the span.
  playback_bench::ScratchDir dir("gui");
  const std::string folder = playback_bench::MinuteFolder(dir.path(), 12, 0);
  const std::vector<int> codes = playback_bench::RegularCodes(60);
  playback_bench::WriteMinute(folder, codes, playback_bench::MakePictures(25));

  App().settings.SetKeyPath("Software\\VELMORA\\OrvanelBench");
  App().settings.SetOverMinute(false);
  HWND main = CreateMainWindow(SW_SHOWMAXIMIZED);
  if (main == nullptr) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  App().childManager.SetFrameHook(OnFrame, nullptr);
  Pump(500);

  struct Config {
    const char* label;
    SizeMode size;
    bool halftone;
  } const configs[] = {{"half_hq", SizeMode::Half, true}, {"original_plain", SizeMode::Original, false}};
  for (const Config& c : configs) {
    const Result one = Run(folder, 1, c.size, c.halftone, seconds);
    Print(c.label, one);
    int best = 1;
    Result at16{};
    for (int n = 4; n <= maxWindows; n += 4) {
      const Result r = Run(folder, n, c.size, c.halftone, seconds);
      Print(c.label, r);
      if (n == 16) at16 = r;
      if (r.latePercent < 1.0) best = n;
      if (r.latePercent >= 1.0 && n >= 16) break;
    }
    std::printf("%s max_windows_under_1_percent_late: %d (target 16)\n", c.label, best);
    if (at16.windows == 16) {
      std::printf("%s pause_ms_16_windows: %.1f (target < 40)\n", c.label, at16.pauseMs);
      std::printf("ratio %s pause_16_over_1: %.2f late_16_minus_1_percent: %.2f\n", c.label,
                  one.pauseMs > 0 ? at16.pauseMs / one.pauseMs : 0,
                  at16.latePercent - one.latePercent);
    }
  }
  DestroyWindow(main);
  Pump(300);
  return 0;
}
