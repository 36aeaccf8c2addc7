// Drawing the timeline panel (run under Wine): 16 camera rows over 24 hours,
// each camera with 200 recorded minutes scattered over the day (one frame
// each, so every minute is a span of its own: 3,200 spans to draw), against
// the same panel with its 16 rows empty, in the same run.
//   bench-gui_timeline [paints]     (100 by default)
// Prints the time per paint of each and "ratio:" = full / empty; the target
// is under 16 ms per paint.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "timeline/timeline_panel.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kCameras = 16;
constexpr int kMinutesPerCamera = 200;

void Pump(DWORD ms) {
  const DWORD t0 = GetTickCount();
  MSG m;
  do {
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - t0 < ms);
}

class FixedRows final : public TimelineHost {
 public:
  std::vector<TimelineRow> rows;
  WallTime day = 0;
  std::vector<TimelineRow> Rows() override { return rows; }
  WallTime SelectedMoment() override { return day; }
};

double MsPerPaint(HWND panel, int paints) {
  const auto t0 = Clock::now();
  for (int i = 0; i < paints; ++i) {
    InvalidateRect(panel, nullptr, FALSE);
    UpdateWindow(panel);
  }
  GdiFlush();
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / paints;
}

LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcA(h, m, w, l);
}

}  // namespace

int main(int argc, char** argv) {
  const int paints = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100;
  const fs::path root = fs::temp_directory_path() /
                        ("orvanel-bench-timeline-" + std::to_string(GetCurrentProcessId()));
  FixedRows host;
  host.day = MakeWallTime({2004, 3, 15, 0, 0, 0, 0});
  std::uint32_t seed = 7;
  for (int c = 0; c < kCameras; ++c) {
    const fs::path camera = root / ("Camera " + std::to_string(c + 1));
    std::vector<int> minutes;
    while (static_cast<int>(minutes.size()) < kMinutesPerCamera) {
      seed = seed * 1664525u + 1013904223u;
      const int m = static_cast<int>((seed >> 8) % 1440);
      if (std::find(minutes.begin(), minutes.end(), m) == minutes.end()) minutes.push_back(m);
    }
    for (int m : minutes) {
      char tail[32];
      std::snprintf(tail, sizeof tail, "2004-03-15/%02d/%02d", m / 60, m % 60);
      fs::create_directories(camera / tail);
      std::ofstream(camera / tail / "3000.jpg") << "x";  // listed, never opened
    }
    TimelineRow row;
    row.camera = camera.string();
    row.name = "Camera " + std::to_string(c + 1);
    row.markers.push_back({host.day + (c + 1) * kHundredthsPerHour, c == 0, false});
    host.rows.push_back(row);
  }

  WNDCLASSA wc{};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "BenchTimelineFrame";
  RegisterClassA(&wc);
  HWND frame = CreateWindowExA(0, wc.lpszClassName, "timeline", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, 1280, 500, nullptr, nullptr, wc.hInstance, nullptr);
  RECT client{};
  GetClientRect(frame, &client);
  // Empty rows first: the same rows, their cameras with nothing recorded.
  FixedRows empty = host;
  for (TimelineRow& row : empty.rows) row.camera = (root / "nothing").string() + row.name;
  double emptyMs = 0, fullMs = 0;
  {
    TimelinePanel panel;
    HWND h = panel.Create(frame, &empty);
    MoveWindow(h, 0, 0, client.right, 16 * 22 + 40, TRUE);
    ShowWindow(h, SW_SHOW);
    panel.Update();
    for (int i = 0; i < 500 && !panel.Idle(); ++i) Pump(10);
    emptyMs = MsPerPaint(h, paints);
  }
  const auto walk0 = Clock::now();
  TimelinePanel panel;
  HWND h = panel.Create(frame, &host);
  MoveWindow(h, 0, 0, client.right, 16 * 22 + 40, TRUE);
  ShowWindow(h, SW_SHOW);
  panel.Update();
  for (int i = 0; i < 6000 && !panel.Idle(); ++i) Pump(10);
  const double coverageMs = std::chrono::duration<double, std::milli>(Clock::now() - walk0).count();
  fullMs = MsPerPaint(h, paints);

  std::printf("timeline_rows: %d\n", kCameras);
  std::printf("timeline_spans: %d\n", kCameras * kMinutesPerCamera);
  std::printf("timeline_coverage_read_ms: %.1f\n", coverageMs);
  std::printf("timeline_paint_empty_ms: %.3f\n", emptyMs);
  std::printf("timeline_paint_ms: %.3f (target < 16)\n", fullMs);
  std::printf("ratio: %.2f\n", emptyMs > 0 ? fullMs / emptyMs : 0.0);
  DestroyWindow(frame);
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
