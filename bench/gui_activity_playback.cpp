// Playback lateness while the background indexer works (run under Wine):
// 16 windows of 704 x 576 at 25 pictures a second play at Half size, in
// turns of `seconds` with nothing indexing and while an indexer builds a
// generated camera's minutes (a fresh one each turn, on the minutes not yet
// indexed), `rounds` times each, so that the machine's other load falls on
// both alike. A frame is late when drawn more than one frame period after it
// was due. The ratio is the late share while indexing over that without.
// Usage: bench-gui_activity_playback [seconds] [windows] [rounds]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "activity/background_indexer.h"
#include "bench/playback_bench.h"
#include "shell/app.h"
#include "workspace/child_manager.h"

namespace {

namespace fs = std::filesystem;
using playback_bench::Clock;

std::atomic<bool> g_measuring{false};
std::atomic<long> g_frames{0};
std::atomic<long> g_late{0};

void OnFrame(void*, int, Clock::time_point due, Clock::time_point shown) {
  if (!g_measuring.load(std::memory_order_relaxed)) return;
  g_frames.fetch_add(1, std::memory_order_relaxed);
  if (shown - due > std::chrono::milliseconds(40)) g_late.fetch_add(1, std::memory_order_relaxed);
}

void Pump(DWORD ms) {
  const DWORD t0 = GetTickCount();
  for (;;) {
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) {
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

double ProcessCpu() {
  FILETIME c, e, k, u;
  if (!GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u)) return 0;
  const auto s = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
  };
  return s(k) + s(u);
}

struct Turn {
  long frames = 0;
  long late = 0;
  double cpuCores = 0;
  double percent() const { return frames > 0 ? 100.0 * late / frames : 0; }
};

Turn Measure(int seconds) {
  g_frames = 0;
  g_late = 0;
  const double cpu0 = ProcessCpu();
  const auto t0 = Clock::now();
  g_measuring = true;
  Pump(static_cast<DWORD>(seconds) * 1000);
  g_measuring = false;
  Turn t;
  t.frames = g_frames.load();
  t.late = g_late.load();
  t.cpuCores = (ProcessCpu() - cpu0) / playback_bench::Seconds(Clock::now() - t0);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
  const int windows = argc > 2 ? std::max(1, std::atoi(argv[2])) : 16;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  av_log_set_level(AV_LOG_QUIET);

  playback_bench::ScratchDir dir("activity");
  const std::vector<std::string> pictures = playback_bench::MakePictures(25);
  const std::string played = playback_bench::MinuteFolder(dir.path(), 12, 0);
  playback_bench::WriteMinute(played, playback_bench::RegularCodes(60), pictures);
  // Played on across ten minutes (hard links to the first): long enough for
  // every turn.
  for (int minute = 1; minute < 10; ++minute) {
    const fs::path folder = playback_bench::MinuteFolder(dir.path(), 12, minute);
    fs::create_directories(folder);
    for (const auto& file : fs::directory_iterator(played)) {
      std::error_code ec;
      fs::create_hard_link(file.path(), folder / file.path().filename(), ec);
      if (ec) fs::copy_file(file.path(), folder / file.path().filename(), ec);
    }
  }
  // The camera to index: 60 minutes at 25 pictures a second, hard links to
  // the played minute's first 25 files (the disc holds them once).
  fs::path indexed = dir.path() / "idx";
  for (int minute = 0; minute < 60; ++minute) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "2004-03-15/13/%02d", minute);
    const fs::path folder = indexed / fs::path(tail);
    fs::create_directories(folder);
    for (int code : playback_bench::RegularCodes(60)) {
      char name[16];
      std::snprintf(name, sizeof name, "%02d%02d.jpg", code / 100 % 100, code % 100);
      char source[16];
      std::snprintf(source, sizeof source, "%02d%02d.jpg", 0, code / 4 % 25 * 4);
      std::error_code ec;
      fs::create_hard_link(fs::path(played) / source, folder / name, ec);
      if (ec) fs::copy_file(fs::path(played) / source, folder / name, ec);
    }
  }

  App().settings.SetKeyPath("Software\\VELMORA\\OrvanelBench");
  App().settings.SetOverMinute(true);
  App().settings.SetOverlapped(true);
  App().settings.highQuality = true;
  HWND main = CreateMainWindow(SW_SHOWMAXIMIZED);
  if (main == nullptr) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  App().indexer.Stop();  // only the benchmark's own indexer works here
  App().childManager.SetFrameHook(OnFrame, nullptr);
  Pump(500);

  for (int i = 0; i < windows; ++i) {
    char camera[32];
    std::snprintf(camera, sizeof camera, "Bench - Camera %d", i + 1);
    App().childManager.OpenMinute(played.c_str(), "2004-03-15", camera);
  }
  App().childManager.ArrangeGrid();
  App().childManager.SelectAll();
  App().childManager.SetSize(SizeMode::Half);
  Pump(2000);  // first pictures, caches

  activity::ActivityIndex index((dir.path() / "index").make_preferred().string());
  const WallTime one = MakeWallTime({2004, 3, 15, 13, 0, 0, 0});
  Turn without, with;
  long minutes = 0;
  for (int round = 0; round < rounds; ++round) {
    const Turn off = Measure(seconds);
    activity::BackgroundIndexer indexer(index);
    indexer.SetOnScreen({{indexed.make_preferred().string(), one, one}});
    indexer.Start();
    const Turn on = Measure(seconds);
    indexer.Stop();
    minutes += indexer.built();
    std::printf("round %d without late_percent: %.2f frames: %ld cpu_cores: %.2f | while_indexing "
                "late_percent: %.2f frames: %ld cpu_cores: %.2f minutes_indexed: %ld\n",
                round + 1, off.percent(), off.frames, off.cpuCores, on.percent(), on.frames,
                on.cpuCores, indexer.built());
    std::fflush(stdout);
    without.frames += off.frames;
    without.late += off.late;
    with.frames += on.frames;
    with.late += on.late;
  }
  std::printf("windows: %d late_percent_without: %.2f late_percent_while_indexing: %.2f "
              "(target < 1) minutes_indexed: %ld in %d s\n",
              windows, without.percent(), with.percent(), minutes, rounds * seconds);
  if (without.late > 0)
    std::printf("ratio late_while_indexing_over_without: %.2f\n", with.percent() / without.percent());
  else
    std::printf("ratio late_while_indexing_over_without: n/a (none late without; %.2f %% with)\n",
                with.percent());
  DestroyWindow(main);
  Pump(300);
  return 0;
}
