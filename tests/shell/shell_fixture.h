// The real main window, created in-process for each test, with its settings
// under a scratch registry key; helpers to pump, click, read and query.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>

#include "shell/app.h"
#include "tests/support/pump.h"
#include "shell/command_bar.h"
#include "shell/settings.h"
#include "tree/folder_tree.h"

namespace shell_test {

constexpr char kScratchKey[] = "Software\\VELMORA\\OrvanelShellTest";

using test_pump::g_quitSeen;
using test_pump::Pump;
using test_pump::PumpUntil;

inline RECT ChildRect(HWND child) {  // in its parent's client coordinates
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

inline void DeleteKey(const char* path) { RegDeleteTreeA(HKEY_CURRENT_USER, path); }

inline void PutValue(const char* name, DWORD type, const void* data, DWORD size,
                     const char* path = kScratchKey) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}
inline void PutDword(const char* name, DWORD value) { PutValue(name, REG_DWORD, &value, 4); }

// -1 when missing.
inline long long GetDword(const char* name, const char* path = kScratchKey) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return -1;
  return value;
}

// A modal loop's helper: runs `action` once from a thread timer, that is
// from inside whatever modal loop (menu, dialog) is running by then.
class InModalLoop {
 public:
  explicit InModalLoop(std::function<void()> action, UINT delayMs = 200)
      : action_(std::move(action)) {
    current_ = this;
    id_ = SetTimer(nullptr, 0, delayMs, &InModalLoop::Fire);
  }
  ~InModalLoop() {
    KillTimer(nullptr, id_);
    current_ = nullptr;
  }
  bool fired() const { return fired_; }

 private:
  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (current_ && !current_->fired_) {
      current_->fired_ = true;
      current_->action_();
    }
  }
  static inline InModalLoop* current_ = nullptr;
  std::function<void()> action_;
  UINT_PTR id_ = 0;
  bool fired_ = false;
};

// The visible dialog with the given caption, if any.
inline HWND FindDialog(const char* caption) {
  HWND found = FindWindowA("#32770", caption);
  return found && IsWindowVisible(found) ? found : nullptr;
}

// One main window serves the tests in turn: under Wine without a window
// manager, hiding or destroying a top-level window waits 2 s for the window
// manager that is not there. Tests that destroy it get a new one next time.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKey(kScratchKey);
    App().settings.SetKeyPath(kScratchKey);
    if (!shared_ || !IsWindow(shared_)) Create();
    main_ = shared_;
    // Undo a moved splitter.
    if (App().folderTree.width() != kFolderTreeWidth) {
      const RECT frame = ChildRect(App().mdiFrame);
      RECT client;
      GetClientRect(main_, &client);
      SetWindowPos(App().mdiFrame, nullptr, kFolderTreeWidth, frame.top, client.right - kFolderTreeWidth,
                   frame.bottom - frame.top, SWP_NOZORDER);
    }
    SetFocus(main_);
    Pump(20);
  }
  void TearDown() override {
    Pump(20);
    DeleteKey(kScratchKey);
  }
  static void TearDownTestSuite() {
    if (shared_ && IsWindow(shared_)) DestroyWindow(shared_);
    shared_ = nullptr;
  }
  void Create(int show = SW_SHOWNORMAL) {
    shared_ = main_ = CreateMainWindow(show);
    ASSERT_NE(main_, nullptr);
    Pump(50);
  }
  // Sets the main window's client area to w x h.
  void SizeClient(int w, int h) {
    RECT r = {0, 0, w, h};
    AdjustWindowRectEx(&r, GetWindowLongA(main_, GWL_STYLE), FALSE, GetWindowLongA(main_, GWL_EXSTYLE));
    SetWindowPos(main_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    Pump(30);
  }
  HWND main_ = nullptr;
  static inline HWND shared_ = nullptr;
};

}  // namespace shell_test
