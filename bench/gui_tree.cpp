// The folder tree on a large backup, in the real main window under Wine:
//  - open: show a root whose camera holds 31 dates x 24 hours x 60 minutes
//    (two frame files in every minute, 1500 in the first: about 91,000
//    files) and expand it to its first minute, on screen;
//  - click: from a click on that minute (1500 frames of 704 x 576) to its
//    first picture painted in a new video window.
// Reference: listing the first minute's frame files once.
//
//   bench-gui_tree [--dates N] [--runs N]
//
// The backup is made once under %TEMP%\orvanel-bench-tree and kept. Prints
// "name: value" lines, the open time split by step (the tree's first paint
// happens in the scroll that shows the minute); the final "ratio:" is open
// time / listing time.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/app.h"
#include "tests/support/pump.h"
#include "tools/sample_backup.h"
#include "tree/folder_tree.h"
#include "workspace/child_manager.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTimeLabelId = 30001;
constexpr int kFrames = 1500;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class P>
bool PumpUntil(P done, DWORD ms = 20000) {
  return test_pump::PumpUntil(done, ms, 1);
}

bool Touch(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

// root\cam\2004-03-DD\HH\MM; returns the first minute's path.
std::string MakeBackup(const std::string& root, int dates) {
  char minute[MAX_PATH];
  std::snprintf(minute, sizeof minute, "%s\\cam\\2004-03-01\\00\\00", root.c_str());
  const std::string ready = root + "\\ready-" + std::to_string(dates);
  if (GetFileAttributesA(ready.c_str()) != INVALID_FILE_ATTRIBUTES) return minute;
  std::printf("making the backup under %s (once)\n", root.c_str());
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\cam").c_str(), nullptr);
  char path[MAX_PATH];
  for (int d = 1; d <= dates; ++d) {
    std::snprintf(path, sizeof path, "%s\\cam\\2004-03-%02d", root.c_str(), d);
    CreateDirectoryA(path, nullptr);
    for (int h = 0; h < 24; ++h) {
      std::snprintf(path, sizeof path, "%s\\cam\\2004-03-%02d\\%02d", root.c_str(), d, h);
      CreateDirectoryA(path, nullptr);
      for (int m = 0; m < 60; ++m) {
        std::snprintf(path, sizeof path, "%s\\cam\\2004-03-%02d\\%02d\\%02d", root.c_str(), d, h, m);
        CreateDirectoryA(path, nullptr);
        if (d == 1 && h == 0 && m == 0) continue;
        Touch(std::string(path) + "\\0000.jpg");
        Touch(std::string(path) + "\\3000.jpg");
      }
    }
  }
  sample::FrameRecipe shot;
  for (int i = 0; i < kFrames; ++i) {
    shot.centis = i * 4;
    char name[32];
    std::snprintf(name, sizeof name, "\\%02d%02d.jpg", shot.centis / 100, shot.centis % 100);
    if (!sample::WriteFrame(minute + std::string(name), shot)) std::exit(1);
  }
  Touch(ready);
  return minute;
}

HTREEITEM Child(HWND tree, HTREEITEM item) { return TreeView_GetChild(tree, item); }

// The registry values the viewer writes when its window closes, kept as the
// user had them.
struct RootListKeeper {
  struct Value { bool present = false; DWORD type = 0; std::vector<BYTE> bytes; };
  Value values[2];
  const char* names[2] = {"ROOTLIST", "ROOTSELECT"};
  static constexpr const char* kKey = "Software\\VELMORA\\Orvanel";
  RootListKeeper() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (int i = 0; i < 2; ++i) {
      DWORD size = 0;
      if (RegQueryValueExA(key, names[i], nullptr, &values[i].type, nullptr, &size)) continue;
      values[i].bytes.resize(size);
      values[i].present = RegQueryValueExA(key, names[i], nullptr, &values[i].type,
                                           values[i].bytes.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
  }
  ~RootListKeeper() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
      return;
    for (int i = 0; i < 2; ++i) {
      if (values[i].present)
        RegSetValueExA(key, names[i], 0, values[i].type, values[i].bytes.data(),
                       static_cast<DWORD>(values[i].bytes.size()));
      else
        RegDeleteValueA(key, names[i]);
    }
    RegCloseKey(key);
  }
};

}  // namespace

int main(int argc, char** argv) {
  int dates = 31, runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--dates") == 0) dates = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string root = std::string(temp) + "orvanel-bench-tree";
  const std::string minute = MakeBackup(root, dates);

  RootListKeeper keeper;
  HWND main = CreateMainWindow(SW_SHOWNORMAL);
  if (!main) return 1;
  PumpUntil([] { return false; }, 300);
  HWND tree = App().folderTree.tree();

  std::vector<double> listing, open, paint, click;
  std::vector<double> steps[6];
  std::vector<platform::DirEntry> entries;
  for (int run = 0; run < runs; ++run) {
    auto t0 = Clock::now();
    int error = 0;
    platform::ListDirectory(minute.c_str(), "*.jpg", entries, &error);
    listing.push_back(Ms(t0, Clock::now()));

    // Show the root and expand it down to the first minute, painted.
    t0 = Clock::now();
    App().folderTree.SetRoot(root.c_str());
    steps[0].push_back(Ms(t0, Clock::now()));
    HTREEITEM item = TreeView_GetRoot(tree);
    for (int level = 0; level < 4 && item; ++level) {
      const auto s0 = Clock::now();
      TreeView_Expand(tree, item, TVE_EXPAND);
      steps[level + 1].push_back(Ms(s0, Clock::now()));
      item = Child(tree, item);
    }
    if (!item) return 1;
    const auto ensuring = Clock::now();
    TreeView_EnsureVisible(tree, item);
    steps[5].push_back(Ms(ensuring, Clock::now()));
    const auto painting = Clock::now();
    UpdateWindow(GetParent(tree));
    UpdateWindow(tree);
    paint.push_back(Ms(painting, Clock::now()));
    open.push_back(Ms(t0, Clock::now()));

    // Click it; wait for the first picture painted.
    RECT r{};
    std::memcpy(&r, &item, sizeof item);  // the item goes in, its rectangle comes out
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, screen = at;
    ClientToScreen(tree, &screen);
    SetCursorPos(screen.x, screen.y);
    t0 = Clock::now();
    PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(tree, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    HWND video = nullptr;
    const bool shown = PumpUntil([&] {
      video = FindWindowExA(App().mdiClient, nullptr, "MDIVideoChild", nullptr);
      char text[64] = "";
      if (video) GetWindowTextA(GetDlgItem(video, kTimeLabelId), text, sizeof text);
      return video && text[0] != '\0' && !GetUpdateRect(video, nullptr, FALSE);
    });
    if (!shown) {
      std::printf("no picture shown\n");
      return 1;
    }
    click.push_back(Ms(t0, Clock::now()));
    SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(video), 0);
    PumpUntil([] { return App().childManager.count() == 0; });
  }
  DestroyWindow(main);
  PumpUntil([] { return App().childManager.count() == 0; }, 5000);

  const double list = Median(listing), opened = Median(open), clicked = Median(click);
  std::printf("backup: %d dates x 24 hours x 60 minutes, %d frame files\n", dates,
              (dates * 24 * 60 - 1) * 2 + kFrames);
  std::printf("runs: %d (medians)\n", runs);
  std::printf("list_first_minute_ms: %.2f\n", list);
  std::printf("open_to_first_minute_ms: %.2f\n", opened);
  const char* stepNames[6] = {"set_root", "expand_root", "expand_camera", "expand_date",
                              "expand_hour", "ensure_visible"};
  for (int i = 0; i < 6; ++i) std::printf("of_which_%s_ms: %.2f\n", stepNames[i], Median(steps[i]));
  std::printf("of_which_painting_ms: %.2f\n", Median(paint));
  std::printf("click_to_first_picture_ms: %.2f\n", clicked);
  std::printf("click_ratio: %.2f\n", clicked / list);
  std::printf("ratio: %.2f\n", opened / list);
  return 0;
}
