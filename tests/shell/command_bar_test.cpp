#include <set>
#include <vector>

#include "resources/resource.h"
#include "platform/log.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"

using namespace shell_test;

namespace {

struct Item {
  int id;  // 0: separator
  const char* text;
};

std::vector<Item> ItemsOf(HMENU popup) {
  std::vector<Item> items;
  static char texts[32][64];
  const int n = GetMenuItemCount(popup);
  for (int i = 0; i < n && i < 32; ++i) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = texts[i];
    info.cch = sizeof texts[i];
    texts[i][0] = '\0';
    GetMenuItemInfoA(popup, i, TRUE, &info);
    items.push_back({(info.fType & MFT_SEPARATOR) ? 0 : static_cast<int>(info.wID), texts[i]});
  }
  return items;
}

void ExpectItems(HMENU popup, const std::vector<Item>& expected) {
  const std::vector<Item> items = ItemsOf(popup);
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].id, expected[i].id) << "item " << i;
    if (expected[i].id) {
      EXPECT_STREQ(items[i].text, expected[i].text) << "item " << i;
    }
  }
}

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

bool Checked(int command) {
  return SendMessageA(PictureToolbar(), TB_ISBUTTONCHECKED, command, 0) != 0;
}

void PostCommand(int id) {
  PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, id, 0);
}

}  // namespace

TEST_F(MainWindowTest, MenuButtonsDropTheMenusWithTheirTextsAndIds) {
  MenuButtonBar& bar = App().commandBar.menuButtons;
  const char* labels[4] = {"File", "Control", "View", "Help"};
  for (int i = 0; i < 4; ++i) {
    char text[16] = {};
    SendMessageA(bar.toolbar, TB_GETBUTTONTEXTA, ID_MENUBUTTON_FILE + i, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, labels[i]);
  }
  ExpectItems(bar.PopupOf(0), {{32799, "&Refresh Tree"}, {32771, "Select &Root Folder..."},
                               {32800, "&Save As..."}, {32833, "Export &Range..."},
                               {32778, "&Options..."}, {0, ""},
                               {105, "E&xit"}});
  ExpectItems(bar.PopupOf(1), {{32773, "Fast Rewind"}, {32774, "Rewind"}, {32776, "Forward"},
                               {32777, "Fast Forward"}, {32775, "Pause"}, {0, ""},
                               {32786, "Select All Windows"}});
  ExpectItems(bar.PopupOf(2), {{32793, "&Cascade"}, {32784, "Tile &Horizontally"},
                               {32785, "&Tile Vertically"}, {32797, "&Grid"}, {0, ""},
                               {32794, "&Half Size"}, {32795, "&Original Size"},
                               {32796, "&Double Size"}, {32805, "&Fit Size"}});
  ExpectItems(bar.PopupOf(3), {{104, "&About..."}});
  // The video window's own menu comes from the same resources.
  HMENU video = LoadMenuA(GetAppInstance(), MAKEINTRESOURCEA(IDM_VIDEO_CONTROL));
  ExpectItems(GetSubMenu(video, 0),
              {{32787, "Fast Rewind"}, {32788, "Rewind"}, {32789, "Forward"},
               {32790, "Fast Forward"}, {32791, "Pause"}, {0, ""}, {32801, "Half Size"},
               {32802, "Original Size"}, {32803, "Double Size"}, {32804, "Fit Size"}, {0, ""},
               {32792, "Play Continuously"}, {0, ""}, {32834, "Mark In\tI"},
               {32835, "Mark Out\tO"}, {32833, "Export Range..."}});
  DestroyMenu(video);
}

TEST_F(MainWindowTest, KeyboardModeMovesWrapsAndOpensTheHotButtonsMenu) {
  MenuButtonBar& bar = App().commandBar.menuButtons;
  SetFocus(main_);
  // key sequence from no hot button -> hot button after it
  const struct { std::vector<WPARAM> keys; int hot; } moves[] = {
      {{VK_LEFT}, 3},                      // no hot button: Left makes Help hot
      {{VK_RIGHT}, 0},                     // Help -> File
      {{VK_LEFT, VK_LEFT}, 2},
      {{VK_RIGHT, VK_RIGHT, VK_RIGHT}, 2},
      {{VK_RIGHT, VK_ESCAPE}, -1},
  };
  for (const auto& m : moves) {
    bar.SetHotIndex(-1);
    for (WPARAM key : m.keys) SendMessageA(main_, WM_KEYDOWN, key, 0);
    EXPECT_EQ(bar.HotIndex(), m.hot);
  }
  // With no hot button, Enter opens nothing.
  bar.SetHotIndex(-1);
  int opened = -2;
  {
    InModalLoop probe([&] { opened = bar.OpenIndex(); EndMenu(); }, 150);
    SendMessageA(main_, WM_KEYDOWN, VK_RETURN, 0);
    Pump(250);
  }
  EXPECT_EQ(opened, -1);
  // F10, Right, Right, Enter drops "View" under the "View" button, with the
  // hook in place while it is open.
  bool hooked = false;
  {
    InModalLoop probe([&] {
      opened = bar.OpenIndex();
      hooked = bar.hook != nullptr;
      EndMenu();
    }, 150);
    PostMessageA(main_, WM_SYSKEYDOWN, VK_F10, 0);
    PostMessageA(main_, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageA(main_, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageA(main_, WM_KEYDOWN, VK_RETURN, 0);
    PumpUntil([&] { return probe.fired(); }, 3000);
  }
  EXPECT_EQ(opened, 2);
  EXPECT_TRUE(hooked);
  EXPECT_EQ(bar.hook, nullptr);  // removed when the menu closed
  EXPECT_EQ(bar.OpenIndex(), -1);
  EXPECT_EQ(bar.HotIndex(), -1);  // and the keyboard mode ended with it
}

namespace {

// The centre of menu button `index`, in screen coordinates.
POINT MenuButtonCentre(int index) {
  RECT r;
  SendMessageA(App().commandBar.menuButtons.toolbar, TB_GETRECT, ID_MENUBUTTON_FILE + index,
               reinterpret_cast<LPARAM>(&r));
  POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(App().commandBar.menuButtons.toolbar, &p);
  return p;
}

MSG g_injected;                  // handed to the hook from inside the open menu
std::vector<int>* g_opened;      // the menus seen open, in order

void CALLBACK WatchMenus(HWND, UINT, UINT_PTR, DWORD) {
  const int open = App().commandBar.menuButtons.OpenIndex();
  if (open < 0) return;
  g_opened->push_back(open);
  if (g_opened->size() == 1) {
    MSG m = g_injected;  // what the menu loop shows the hook
    CallMsgFilterA(&m, MSGF_MENU);
  } else {
    EndMenu();
  }
}

}  // namespace

TEST_F(MainWindowTest, InAnOpenMenuArrowsAndPointingSwitchToAnotherMenu) {
  MenuButtonBar& bar = App().commandBar.menuButtons;
  // With "Control" open: the message, then the menu that is open next.
  const struct { const char* what; UINT message; WPARAM key; int pointAt; int next; } cases[] = {
      {"Left", WM_KEYDOWN, VK_LEFT, -1, 0},
      {"Right", WM_KEYDOWN, VK_RIGHT, -1, 2},
      {"mouse onto Help", WM_MOUSEMOVE, 0, 3, 3},
      {"mouse within Control", WM_MOUSEMOVE, 0, 1, 1},  // stays open, nothing changes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int> opened;
    g_opened = &opened;
    g_injected = MSG{};
    g_injected.message = c.message;
    g_injected.wParam = c.key;
    if (c.pointAt >= 0) g_injected.pt = MenuButtonCentre(c.pointAt);
    const UINT_PTR timer = SetTimer(nullptr, 0, 150, WatchMenus);
    bar.SetHotIndex(1);
    PostMessageA(App().commandBar.GetHostWindow(), WM_KEYDOWN, VK_DOWN, 0);
    PumpUntil([&] { return opened.size() >= 2 && bar.OpenIndex() < 0; }, 3000);
    KillTimer(nullptr, timer);
    Pump(50);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], 1);
    EXPECT_EQ(opened[1], c.next);
    EXPECT_EQ(bar.OpenIndex(), -1);
  }
}

TEST_F(MainWindowTest, PlaybackButtonsShowTheLastClickedModeOnly) {
  ClickButton(ID_CONTROL_FORWARD);
  EXPECT_TRUE(Checked(ID_CONTROL_FORWARD));
  ClickButton(ID_CONTROL_REWIND);
  EXPECT_TRUE(Checked(ID_CONTROL_REWIND));
  EXPECT_FALSE(Checked(ID_CONTROL_FORWARD));
  // A second click on the checked button leaves it unchecked.
  ClickButton(ID_CONTROL_REWIND);
  EXPECT_FALSE(Checked(ID_CONTROL_REWIND));
  ClickButton(ID_CONTROL_PAUSE);
  EXPECT_TRUE(Checked(ID_CONTROL_PAUSE));
  // Any later command unchecks it, also one from a menu.
  PostCommand(ID_VIEW_GRID);
  Pump(30);
  for (int id = ID_CONTROL_FAST_REWIND; id <= ID_CONTROL_FAST_FORWARD; ++id)
    EXPECT_FALSE(Checked(id)) << id;
}

TEST_F(MainWindowTest, PictureButtonsInOrderWithTooltipsAndStyles) {
  const struct { int id; const char* tip; bool check; } expected[] = {
      {32799, "Refresh Folder Tree", false}, {32786, "Select All Windows", false},
      {32778, "Options...", false},          {32800, "Save As...", false},
      {0, nullptr, false},
      {32773, "Fast Rewind", true},          {32774, "Rewind", true},
      {32775, "Pause", true},                {32776, "Forward", true},
      {32777, "Fast Forward", true},
      {0, nullptr, false},
      {32793, "Cascade", false},             {32785, "Tile Vertical", false},
      {32784, "Tile Horizontal", false},     {32797, "Grid", false},
      {0, nullptr, false},
      {32794, "Half Size", false},           {32795, "Original Size", false},
      {32796, "Double Size", false},         {32805, "Fit Size", false},
  };
  HWND bar = PictureToolbar();
  ASSERT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), 20);
  for (int i = 0; i < 20; ++i) {
    TBBUTTON b = {};
    SendMessageA(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
    const auto& e = expected[i];
    SCOPED_TRACE(i);
    if (!e.id) {
      EXPECT_TRUE(b.fsStyle & BTNS_SEP);
      continue;
    }
    EXPECT_EQ(b.idCommand, e.id);
    EXPECT_EQ((b.fsStyle & BTNS_CHECK) != 0, e.check);
    // What the host answers the tooltip's question with.
    NMTTDISPINFOA request = {};
    request.hdr.hwndFrom = bar;
    request.hdr.idFrom = e.id;
    request.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(App().commandBar.GetHostWindow(), WM_NOTIFY, e.id, reinterpret_cast<LPARAM>(&request));
    ASSERT_NE(request.lpszText, nullptr);
    EXPECT_STREQ(request.lpszText, e.tip);
  }
}

TEST_F(MainWindowTest, EveryCommandReachesItsHandlerOnce) {
  const struct { int id; const char* handler; } routes[] = {
      {32773, "SetModeOfSelected(FastRewind)"}, {32774, "SetModeOfSelected(Rewind)"},
      {32775, "SetModeOfSelected(Pause)"},      {32776, "SetModeOfSelected(Forward)"},
      {32777, "SetModeOfSelected(FastForward)"}, {32786, "ChildManager::SelectAll"},
      {32794, "SetSize(Half)"},                 {32795, "SetSize(Original)"},
      {32796, "SetSize(Double)"},               {32805, "SetSize(Fit)"},
      {32797, "ChildManager::ArrangeGrid"},     {32784, "tile horizontally"},
      {32785, "tile vertically"},               {32793, "cascade"},
      {32799, "FolderTree::Refresh"},           {32800, "SaveAsDialog::Show"},
      {32771, "FolderTree::BrowseForRoot"},     {32778, "Options"},
      {104, "About"},
  };
  testing_support::TraceCapture trace;
  for (const auto& r : routes) {
    trace.Clear();
    // Commands that open a modal window get it closed from inside its loop.
    InModalLoop closer([] {
      HWND active = GetActiveWindow();
      if (active && active != App().mainWindow) PostMessageA(active, WM_COMMAND, IDCANCEL, 0);
    }, 300);
    PostCommand(r.id);
    PumpUntil([&] { return !trace.Lines().empty(); }, 2000);
    Pump(20);
    const std::vector<std::string> lines = trace.Lines();
    int hits = 0;
    for (const std::string& line : lines)
      if (line.find("Command " + std::to_string(r.id) + ":") == 0) {
        ++hits;
        EXPECT_NE(line.find(r.handler), std::string::npos) << line;
      }
    EXPECT_EQ(hits, 1) << "command " << r.id;
  }
  // Save As leaves its dialog shown; it is hidden again for the next tests.
  if (HWND dialog = FindDialog("Save As...")) ShowWindow(dialog, SW_HIDE);
}

TEST_F(MainWindowTest, ArrangementCommandsArrangeTheWorkspace) {
  // Two plain MDI children stand in for video windows.
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefMDIChildProcA;
  wc.hInstance = GetAppInstance();
  wc.lpszClassName = "ShellTestChild";
  RegisterClassA(&wc);
  HWND children[2];
  for (HWND& child : children) {
    MDICREATESTRUCTA create = {"ShellTestChild", "child", GetAppInstance(), 0, 0, 100, 80,
                               WS_OVERLAPPEDWINDOW, 0};
    child = reinterpret_cast<HWND>(SendMessageA(App().mdiClient, WM_MDICREATE, 0,
                                                reinterpret_cast<LPARAM>(&create)));
    ASSERT_NE(child, nullptr);
  }
  RECT client;
  GetClientRect(App().mdiClient, &client);
  PostCommand(ID_VIEW_TILE_VERTICAL);  // side by side
  Pump(50);
  RECT a = ChildRect(children[0]), b = ChildRect(children[1]);
  EXPECT_EQ(a.top, b.top);
  EXPECT_NE(a.left, b.left);
  EXPECT_EQ(a.bottom - a.top, client.bottom);
  PostCommand(ID_VIEW_TILE_HORIZONTAL);  // one above the other
  Pump(50);
  a = ChildRect(children[0]);
  b = ChildRect(children[1]);
  EXPECT_EQ(a.left, b.left);
  EXPECT_NE(a.top, b.top);
  EXPECT_EQ(a.right - a.left, client.right);
  PostCommand(ID_VIEW_CASCADE);  // offset diagonally
  Pump(50);
  a = ChildRect(children[0]);
  b = ChildRect(children[1]);
  EXPECT_NE(a.left, b.left);
  EXPECT_NE(a.top, b.top);
  for (HWND child : children) SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(child), 0);
}
