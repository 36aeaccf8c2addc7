// Shared pieces of the video window tests: a workspace of the test's own,
// small minute folders of real JPEG frames, a pump, and small helpers.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <string>
#include <vector>

#include "tests/support/pump.h"
#include "tests/support/test_support.h"
#include "tools/activity_scene.h"
#include "tools/sample_backup.h"
#include "workspace/child_manager.h"
#include "workspace/video_window.h"

namespace workspace_test {

// Served as the program serves them; waits of up to 10 s for playback.
template <class P>
bool PumpUntil(P done, DWORD ms = 10000) {
  return test_pump::PumpUntil(done, ms);
}
using test_pump::Pump;

// The test's own workspace: a frame window with an MDI client filling it,
// and the "MDIVideoChild" class as the program registers it.
class Workspace {
 public:
  Workspace() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    for (const auto& c : {std::make_pair("MDIVideoChild", &VideoWindowProc),
                          std::make_pair("WorkspaceTestFrame", &FrameProc)}) {
      WNDCLASSA wc{};
      if (GetClassInfoA(instance, c.first, &wc)) continue;
      wc.lpfnWndProc = c.second;
      wc.hInstance = instance;
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.lpszClassName = c.first;
      RegisterClassA(&wc);
    }
    frame_ = CreateWindowExA(0, "WorkspaceTestFrame", "workspace test",
                             WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 1024,
                             768, nullptr, nullptr, instance, nullptr);
    CLIENTCREATESTRUCT ccs{nullptr, 30000};
    RECT r{};
    GetClientRect(frame_, &r);
    client_ = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                              WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, r.right, r.bottom,
                              frame_, nullptr, instance, &ccs);
    App().childManager.SetWorkspace(client_);
  }
  ~Workspace() {
    CloseAll();
    DestroyWindow(frame_);
  }
  HWND client() const { return client_; }
  HWND frame() const { return frame_; }
  // Opens a minute and answers its window (null if it failed).
  HWND Open(const std::string& folder, const char* date = "2004-03-15",
            const char* camera = "Root - Camera 1") {
    if (App().childManager.Load(client_, folder.c_str(), date, camera) != 0) return nullptr;
    return GetWindow(client_, GW_CHILD);  // the newest is on top
  }
  void CloseAll() {
    while (HWND h = IsWindow(client_) ? GetWindow(client_, GW_CHILD) : nullptr)
      SendMessageA(client_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
    PumpUntil([] { return App().childManager.count() == 0; });
  }

 private:
  static LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefFrameProcA(h, nullptr, m, w, l);
  }
  HWND frame_ = nullptr;
  HWND client_ = nullptr;
};

// Minute folders of generated frames: root\<camera>\<date>\HH\MM.
class Minutes {
 public:
  std::string Make(const std::string& camera, const std::string& date, int hour, int minute,
                   const std::vector<std::string>& names, int width, int height) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "/%s/%02d/%02d", date.c_str(), hour, minute);
    const std::string folder = dir_.Join(camera + tail);
    testing_support::MakeDirs(folder);
    const sample::FrameRecipe shot{width, height, hour, minute};
    for (const std::string& name : names)
      if (!sample::WriteFrame(folder + "\\" + name, shot)) ADD_FAILURE() << "WriteFrame " << name;
    return folder;
  }
  // "SSCC.jpg" names: n frames from `first` hundredths, `step` apart.
  static std::vector<std::string> Names(int n, int first, int step) {
    std::vector<std::string> names;
    char name[16];
    for (int code = first; code < first + n * step; code += step) {
      std::snprintf(name, sizeof name, "%02d%02d.jpg", (code / 100) % 100, code % 100);
      names.push_back(name);
    }
    return names;
  }
  const std::string& root() const { return dir_.path(); }

 private:
  testing_support::TempDir dir_;
};

// Two cameras recording 2004-03-15 09:59:00-10:01:00 at 2 pictures a
// second, 160 x 120, with objects crossing the picture: "Act1" from 09:59:10,
// 09:59:50 (on across the minute and hour) and 10:00:40; "Act2" from
// 09:59:30 only, 5 s. Each crosses the lower half of the picture.
inline void WriteActivityScenes(const std::string& root) {
  const WallTime origin = MakeWallTime({2004, 3, 15, 9, 59, 0, 0});
  const auto scene = [](std::initializer_list<std::pair<double, double>> times) {
    sample::Scene s;
    s.width = 160;
    s.height = 120;
    s.fps = 2;
    for (const auto& t : times) s.objects.push_back({30, 30, 240, 5, 70, 125, 70, t.first, t.second});
    return s;
  };
  ASSERT_GT(sample::WriteScene(root + "\\Act1", scene({{10, 20}, {50, 70}, {100, 105}}), origin,
                               0, 120), 0);
  ASSERT_GT(sample::WriteScene(root + "\\Act2", scene({{30, 35}}), origin, 0, 120), 0);
}

inline std::string Text(HWND h) {
  char buffer[300] = {};
  return GetWindowTextA(h, buffer, sizeof buffer) >= 0 ? buffer : "";
}
inline SIZE ClientSize(HWND h) {
  RECT r{};
  GetClientRect(h, &r);
  return {r.right, r.bottom};
}

// A rectangle as "x,y wxh", for comparisons that print what they compare.
inline std::string Str(const Rect& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d %dx%d", r.x, r.y, r.width, r.height);
  return text;
}
// Where a window lies in its parent's client coordinates.
inline std::string Place(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return Str({r.left, r.top, r.right - r.left, r.bottom - r.top});
}

}  // namespace workspace_test
