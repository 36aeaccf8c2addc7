#include <cstdio>
#include <vector>

#include "resources/resource.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using namespace shell_test;

namespace {

HWND PictureToolbar() { return App().commandBar.toolButtons.toolbar; }

void ClickButton(int command) {
  HWND bar = PictureToolbar();
  RECT r;
  SendMessageA(bar, TB_GETRECT, command, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageA(bar, WM_MOUSEMOVE, 0, at);
  SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(bar, WM_LBUTTONUP, 0, at);
  Pump(30);
}

// The checked mode button, 0 when none is.
int CheckedMode() {
  int checked = 0;
  for (int id = ID_CONTROL_FAST_REWIND; id <= ID_CONTROL_FAST_FORWARD; ++id)
    if (SendMessageA(PictureToolbar(), TB_ISBUTTONCHECKED, id, 0)) checked = checked ? -1 : id;
  return checked;
}

}  // namespace

// The centre of menu button `index`, in screen coordinates.
POINT MenuButtonCentre(int index) {
  HWND bar = App().commandBar.menuButtons.toolbar;
  RECT r;
  SendMessageA(bar, TB_GETRECT, ID_MENUBUTTON_FILE + index, reinterpret_cast<LPARAM>(&r));
  POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(bar, &p);
  return p;
}

TEST_F(MainWindowTest, MenuButtonsWorkAsAMenuBarWhereverTheFocusIs) {
  MenuButtonBar& bar = App().commandBar.menuButtons;
  HWND tree = App().folderTree.tree();
  const UINT kDown = WM_KEYDOWN, kSys = WM_SYSKEYDOWN, kSysUp = WM_SYSKEYUP;
  struct Key { UINT message; WPARAM key; };
  using Keys = std::vector<Key>;
  const Keys f10 = {{kSys, VK_F10}, {kSysUp, VK_F10}}, alt = {{kSys, VK_MENU}, {kSysUp, VK_MENU}};
  const auto then = [](Keys keys, const Keys& more) {
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
  };
  const Keys control = then(f10, {{kDown, VK_RIGHT}, {kDown, VK_DOWN}});
  // Keys posted to the focused tree: the menu then open (-1: none) and the
  // hot button; then a message the open menu sees, and the menu open next.
  const struct { const char* what; Keys keys; int open, hot; Key inject; int pointAt, next; } cases[] = {
      {"F10", f10, -1, 0, {}, -1, -1},
      {"lone Alt", alt, -1, 0, {}, -1, -1},
      {"F10 twice", then(f10, f10), -1, -1, {}, -1, -1},
      {"F10 Escape", then(f10, {{kDown, VK_ESCAPE}}), -1, -1, {}, -1, -1},
      {"F10 Enter", then(f10, {{kDown, VK_RETURN}}), 0, -1, {}, -1, -1},
      {"Alt Right Down", then(alt, {{kDown, VK_RIGHT}, {kDown, VK_DOWN}}), 1, -1, {}, -1, -1},
      {"F10 Left Left Enter", then(f10, {{kDown, VK_LEFT}, {kDown, VK_LEFT}, {kDown, VK_RETURN}}),
       2, -1, {}, -1, -1},
      {"Alt+V", {{kSys, VK_MENU}, {kSys, 'V'}, {kSysUp, 'V'}, {kSysUp, VK_MENU}}, 2, -1, {}, -1, -1},
      {"F10 H", then(f10, {{kDown, 'H'}}), 3, -1, {}, -1, -1},
      {"Control, Left", control, 1, -1, {kDown, VK_LEFT}, -1, 0},
      {"Control, Right", control, 1, -1, {kDown, VK_RIGHT}, -1, 2},
      {"Control, the mouse onto Help", control, 1, -1, {WM_MOUSEMOVE, 0}, 3, 3},
      {"Control, the mouse within it", control, 1, -1, {WM_MOUSEMOVE, 0}, 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bar.LeaveKeyboardMode();
    SetFocus(tree);
    const LRESULT selected = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    int open = -2, hot = -2, next = -2;
    {
      // Fires inside the menu if one opened, else after the keys.
      InModalLoop probe([&] {
        open = bar.OpenIndex();
        hot = bar.HotIndex();
        MSG m = {};
        m.message = c.inject.message;
        m.wParam = c.inject.key;
        if (c.pointAt >= 0) m.pt = MenuButtonCentre(c.pointAt);
        if (m.message) CallMsgFilterA(&m, MSGF_MENU);  // as the menu loop shows it the hook
        EndMenu();
      }, 400);
      for (const Key& key : c.keys)
        PostMessageA(tree, key.message, key.key, key.message == kSysUp ? 0xC0000001 : 0x20000001);
      PumpUntil([&] { return probe.fired(); }, 3000);
    }
    {
      InModalLoop probe([&] { next = bar.OpenIndex(); EndMenu(); }, 300);
      PumpUntil([&] { return probe.fired(); }, 3000);
      Pump(50);
    }
    EXPECT_EQ(open, c.open);
    if (c.open < 0) {
      EXPECT_EQ(hot, c.hot);
    }
    EXPECT_EQ(next, c.next);
    EXPECT_EQ(GetFocus(), tree);
    EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), selected);  // no key reached it
  }
  bar.LeaveKeyboardMode();
}

TEST_F(MainWindowTest, ModeButtonShowsTheSelectedWindowsModeAndCtrlASelectsText) {
  // Two minutes of twenty pictures 0.25 s apart; no play over the minute's end.
  testing_support::TempDir root;
  std::string folders[2];
  sample::FrameRecipe shot;
  shot.width = 64;
  shot.height = 48;
  for (int i = 0; i < 40; ++i) {
    std::string& folder = folders[i / 20];
    if (i % 20 == 0)
      testing_support::MakeDirs(folder = root.Join("Cam" + std::to_string(i / 20) + "/2004-03-15/12/00"));
    char name[16];
    std::snprintf(name, sizeof name, "\\%02d%02d.jpg", i % 20 / 4, i % 4 * 25);
    ASSERT_TRUE(sample::WriteFrame(folder + name, shot));
  }
  App().settings.SetOverMinute(false);
  ChildManager& windows = App().childManager;
  HWND w[2];
  for (int m = 0; m < 2; ++m) {
    ASSERT_EQ(windows.Load(App().mdiClient, folders[m].c_str(), "2004-03-15",
                           ("Cam" + std::to_string(m)).c_str()), 0);
    w[m] = GetWindow(App().mdiClient, GW_CHILD);
    windows.Find(w[m])->SetMode(PlaybackMode::Pause);
  }
  Pump(50);
  const auto expectChecked = [](int id, const char* what) {
    EXPECT_TRUE(PumpUntil([&] { return CheckedMode() == id; }, 3000)) << what << ": " << CheckedMode();
  };
  windows.Select(w[0], true);
  expectChecked(ID_CONTROL_PAUSE, "one selected, paused");
  windows.Find(w[0])->SetMode(PlaybackMode::Forward);  // as the context menu and keys do
  expectChecked(ID_CONTROL_FORWARD, "its mode changed elsewhere");
  // Ctrl+A in a text field selects its text, not the windows.
  HWND edit = CreateWindowExA(0, "EDIT", "some text", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, main_,
                              nullptr, GetAppInstance(), nullptr);
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(edit, EM_SETSEL, 0, 0);
  for (HWND focus : {edit, App().folderTree.tree()}) {
    SetFocus(focus);
    PostMessageA(focus, WM_KEYDOWN, 'A', 0x001E0001);
    Pump(60);
  }
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  DWORD from = 1, to = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  DestroyWindow(edit);
  EXPECT_EQ(from, 0u);  // selected by the first Ctrl+A, kept by the second
  EXPECT_EQ(to, 9u);
  ASSERT_TRUE(windows.IsSelected(w[1]));  // the tree's Ctrl+A selected both
  expectChecked(0, "two selected, modes differ");
  ClickButton(ID_CONTROL_PAUSE);
  expectChecked(ID_CONTROL_PAUSE, "both paused from the button");
  ClickButton(ID_CONTROL_PAUSE);  // a second click must not uncheck it
  expectChecked(ID_CONTROL_PAUSE, "clicked again");
  // Playing on to the minute's end pauses by itself, and the button follows.
  windows.Select(w[1], true);
  windows.Find(w[1])->SetPosition(17);
  ClickButton(ID_CONTROL_FORWARD);
  EXPECT_EQ(CheckedMode(), ID_CONTROL_FORWARD);
  expectChecked(ID_CONTROL_PAUSE, "paused at the end");
  for (HWND h : w) SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
  EXPECT_TRUE(PumpUntil([&] { return windows.count() == 0; }, 5000));
  expectChecked(0, "none left");
  App().settings.SetOverMinute(true);
}
