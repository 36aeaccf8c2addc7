#include <windowsx.h>

#include "resources/resource.h"
#include "shell/log_window.h"
#include "tests/shell/shell_fixture.h"
#include "dialogs/save_as_dialog.h"
#include "tree/folder_tree.h"

using namespace shell_test;

namespace {

// Where the three children stand after the main window's client became W x H.
struct Tiling {
  RECT host, frame;
  int treeWidth, treeHeight;
};

Tiling Measure() {
  Tiling t;
  t.host = ChildRect(App().commandBar.GetHostWindow());
  t.frame = ChildRect(App().mdiFrame);
  t.treeWidth = App().folderTree.width();
  t.treeHeight = App().folderTree.height();
  return t;
}

void ExpectTiles(int w, int h, int tree) {
  const Tiling t = Measure();
  const int bar = App().commandBar.GetHeight();
  EXPECT_GT(bar, 20);
  EXPECT_EQ(t.host.left, 0);
  EXPECT_EQ(t.host.top, 0);
  EXPECT_EQ(t.host.right, w);
  EXPECT_EQ(t.host.bottom, bar);
  EXPECT_EQ(t.frame.left, tree);
  EXPECT_EQ(t.frame.top, bar);
  EXPECT_EQ(t.frame.right, w);
  EXPECT_EQ(t.frame.bottom, h);
  EXPECT_EQ(t.treeWidth, tree);
  EXPECT_EQ(t.treeHeight, h - bar);
  // The MDI client fills the frame's client area.
  RECT frameClient, client;
  GetClientRect(App().mdiFrame, &frameClient);
  GetClientRect(App().mdiClient, &client);
  EXPECT_EQ(client.right, frameClient.right);
  EXPECT_EQ(client.bottom, frameClient.bottom);
}

}  // namespace

TEST_F(MainWindowTest, ChildrenTileTheClientAreaAtEverySize) {
  EXPECT_TRUE(IsWindowVisible(main_));
  char title[32] = {};
  GetWindowTextA(main_, title, sizeof title);
  EXPECT_STREQ(title, "Orvanel");
  const struct { int w, h; } sizes[] = {{800, 600}, {1100, 700}, {400, 300}, {260, 200}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    SizeClient(s.w, s.h);
    ExpectTiles(s.w, s.h, kFolderTreeWidth);
  }
}

TEST_F(MainWindowTest, SplitterIsTheFrameLeftEdgeOnlyAndItsWidthOutlivesResizes) {
  SizeClient(800, 600);
  RECT f;
  GetWindowRect(App().mdiFrame, &f);
  const int midY = (f.top + f.bottom) / 2;
  const struct { int x, y; bool left; } probes[] = {
      {f.left, midY, true},           {f.left + 1, midY, true},
      {f.left, f.top + 1, false},     {f.left, f.bottom - 2, false},  // ends of the left edge
      {(f.left + f.right) / 2, f.top, false},                          // top border
      {f.right - 1, midY, false},                                      // right border
      {(f.left + f.right) / 2, f.bottom - 1, false},                   // bottom border
  };
  for (const auto& p : probes) {
    const LRESULT hit = SendMessageA(App().mdiFrame, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(hit == HTLEFT, p.left) << "at " << p.x - f.left << "," << p.y - f.top << " hit " << hit;
  }
  // Dragging the left edge to x = 300 is what the system's sizing loop does.
  const int bar = App().commandBar.GetHeight();
  SetWindowPos(App().mdiFrame, nullptr, 300, bar, 500, 600 - bar, SWP_NOZORDER);
  Pump(30);
  EXPECT_EQ(App().folderTree.width(), 300);
  SizeClient(900, 650);
  ExpectTiles(900, 650, 300);
  // Minimised, the zero sizes leave the width alone.
  ShowWindow(main_, SW_MINIMIZE);
  Pump(50);
  ShowWindow(main_, SW_RESTORE);
  Pump(50);
  EXPECT_EQ(App().folderTree.width(), 300);
  RECT client;
  GetClientRect(main_, &client);
  ExpectTiles(client.right, client.bottom, 300);
}

TEST_F(MainWindowTest, CtrlAIsConsumedWithoutTypingAndPlainAIsTyped) {
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, main_, nullptr,
                              GetAppInstance(), nullptr);
  SetFocus(edit);
  BYTE keys[256];
  GetKeyboardState(keys);
  const struct { bool ctrl; const char* typed; } cases[] = {{true, ""}, {false, "a"}};
  for (const auto& c : cases) {
    SetWindowTextA(edit, "");
    keys[VK_CONTROL] = c.ctrl ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageA(edit, WM_KEYDOWN, 'A', 0x001E0001);
    Pump(60);
    char text[8] = {};
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, c.typed) << "ctrl " << c.ctrl;
  }
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  DestroyWindow(edit);
}

TEST_F(MainWindowTest, F10AndAltToggleTheMenuButtonsAndOpenNoSystemMenu) {
  MenuButtonBar& bar = App().commandBar.menuButtons;
  bool menuSeen = false;
  // Should any menu open, this records it and closes it.
  InModalLoop guard([&] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetCurrentThreadId(), &info);
    menuSeen = (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
    EndMenu();
  }, 300);
  SetFocus(main_);
  bar.SetHotIndex(-1);
  const struct { UINT down, up; WPARAM key; } strokes[] = {
      {WM_SYSKEYDOWN, WM_SYSKEYUP, VK_F10},
      {WM_SYSKEYDOWN, WM_SYSKEYUP, VK_MENU},
  };
  for (const auto& s : strokes) {
    for (int expected : {0, -1}) {
      PostMessageA(main_, s.down, s.key, 0x00440001);
      PostMessageA(main_, s.up, s.key, static_cast<LPARAM>(0xC0440001));
      Pump(60);
      EXPECT_EQ(bar.HotIndex(), expected) << "key " << s.key;
    }
  }
  Pump(400);
  EXPECT_FALSE(menuSeen);
}

TEST_F(MainWindowTest, CloseBoxSavesThePlacementAndExitDoesNot) {
  SetWindowPos(main_, nullptr, 123, 45, 700, 500, SWP_NOZORDER);
  Pump(30);
  // File > Exit: the quit message at once, nothing written.
  g_quitSeen = false;
  PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_EXIT, 0);
  EXPECT_TRUE(PumpUntil([] { return g_quitSeen; }, 1000));
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_EQ(GetDword("MAINWNDXPOS"), -1);
  // The close box destroys the window, which saves where it stood.
  SendMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_EQ(GetDword("MAINWNDXPOS"), 123);
  EXPECT_EQ(GetDword("MAINWNDYPOS"), 45);
  EXPECT_EQ(GetDword("MAINWNDXSIZE"), 700);
  EXPECT_EQ(GetDword("MAINWNDYSIZE"), 500);
  EXPECT_EQ(GetDword("MAINWNDMAXIMIZED"), 0);
  g_quitSeen = false;
  Pump(20);
  EXPECT_TRUE(g_quitSeen);
}

TEST_F(MainWindowTest, LogWindowIsAHiddenChildOfTheWorkspaceAndWriteLandsInIt) {
  HWND log = LogWindowHandle();
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(GetParent(log), App().mdiClient);
  EXPECT_FALSE(IsWindowVisible(log));
  const RECT r = ChildRect(log);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 350);
  HWND list = LogListHandle();
  const LRESULT before = SendMessageA(list, LB_GETCOUNT, 0, 0);
  LogWindow::Write("New media(%d) loaded.", 7);
  LogWindow::Write("(%d) Remove successfully.", 7);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), before + 2);
  char first[64] = {};
  SendMessageA(list, LB_GETTEXT, SendMessageA(list, LB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(first));
  EXPECT_STREQ(first, "(7) Remove successfully.");
}

TEST_F(MainWindowTest, SaveAsDialogWaitsHiddenUntilSaveAsShowsIt) {
  HWND dialog = App().saveAsDialog.window();
  if (!dialog) GTEST_SKIP() << "the Save As dialog makes no window yet";
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), main_);
  ShowWindow(dialog, SW_HIDE);  // as start-up left it, whatever ran before
  PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_SAVE_AS, 0);
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(dialog) != 0; }, 1000));
  ShowWindow(dialog, SW_HIDE);
}
