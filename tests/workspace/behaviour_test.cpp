// What the user does to video windows: select them, steer the selected ones,
// use a window's own menu and keys, open minutes into a camera's window.
#include "tests/workspace/workspace_fixture.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "shell/app.h"
#include "shell/settings.h"

namespace workspace_test {
namespace {

// The options as a first start leaves them, in a scratch registry key.
struct OptionsEnvironment : testing::Environment {
  void SetUp() override {
    App().settings.SetKeyPath("Software\\VELMORA\\OrvanelWorkspaceTests");
    App().settings.SetOverMinute(true);
    App().settings.SetOverlapped(false);
    App().settings.highQuality = true;
    App().isWindowsNT = true;
  }
};
const auto* const kOptions = testing::AddGlobalTestEnvironment(new OptionsEnvironment);

PlaybackMode ModeOf(HWND h) { return App().childManager.Find(h)->mode(); }

void Click(HWND h, UINT message, bool ctrl) {
  SendMessageA(h, message, ctrl ? MK_CONTROL : 0, MAKELPARAM(20, 20));
}

void Key(HWND h, int vk, bool shift = false) {  // Shift held or not
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  SendMessageA(h, WM_KEYDOWN, vk, 1);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

std::string TimeText(HWND h) { return Text(App().childManager.FindView(h)->timeLabel()); }

void PauseAndSettle(HWND h) {
  SendMessageA(h, WM_COMMAND, ID_VIDEO_PAUSE, 0);
  VideoChild* child = App().childManager.Find(h);
  ASSERT_TRUE(PumpUntil([&] { return child->parked(); }));
  Pump(50);  // the last picture's notification
}

struct Three {
  Minutes minutes;
  Workspace ws;
  std::vector<HWND> w;
  Three() {
    // 40 frames 0.5 s apart: 20 s of playing, long enough for any test.
    const std::string folder =
        minutes.Make("Camera 1", "2004-03-15", 12, 58, Minutes::Names(40, 0, 50), 64, 48);
    for (int i = 0; i < 3; ++i) w.push_back(ws.Open(folder));
  }
};

TEST(Selection, ClickCtrlClickRightClickAndSelectAll) {
  Three t;
  const auto selected = [&] {
    std::string s;
    for (HWND h : t.w) s += App().childManager.IsSelected(h) ? '1' : '0';
    return s;
  };
  EXPECT_EQ(selected(), "001");  // the newest alone
  const struct { int window; UINT message; bool ctrl; const char* want; } steps[] = {
      {0, WM_LBUTTONDOWN, false, "100"}, {2, WM_LBUTTONDOWN, true, "101"},
      {2, WM_LBUTTONDOWN, true, "101"},  // Ctrl+click never deselects
      {1, WM_RBUTTONDOWN, false, "010"}, {0, WM_RBUTTONDOWN, true, "110"},
  };
  for (const auto& s : steps) {
    Click(t.w[s.window], s.message, s.ctrl);
    EXPECT_EQ(selected(), s.want) << "window " << s.window;
  }
  // A press on the trackbar is no click on the picture.
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP})
    SendMessageA(App().childManager.FindView(t.w[2])->trackbar(), m, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(selected(), "110");
  App().childManager.SelectAll();
  EXPECT_EQ(selected(), "111");
  // The red border is on the frame of a selected window only.
  Click(t.w[1], WM_LBUTTONDOWN, false);
  Pump(100);
  for (int i = 0; i < 3; ++i) {
    HDC dc = GetWindowDC(t.w[i]);
    EXPECT_EQ(GetPixel(dc, 1, 1) == RGB(255, 0, 0), i == 1) << "window " << i;
    ReleaseDC(t.w[i], dc);
  }
}

// Modes of the three windows as digits (0 FastRewind ... 4 Pause).
std::string Modes(const Three& t) {
  std::string s;
  for (HWND h : t.w) s += static_cast<char>('0' + static_cast<int>(ModeOf(h)));
  return s;
}

TEST(Commands, ReachTheSelectedWindowsOrTheOwnWindowOnly) {
  Three t;
  Click(t.w[0], WM_LBUTTONDOWN, false);
  Click(t.w[2], WM_LBUTTONDOWN, true);
  App().childManager.SetModeOfSelected(PlaybackMode::Pause);
  EXPECT_EQ(Modes(t), "424");
  // The window's own menu: playback commands for itself, sizes for the
  // selected windows; its checks show its mode and "Play Continuously".
  SendMessageA(t.w[1], WM_COMMAND, ID_VIDEO_FAST_FORWARD, 0);
  SendMessageA(t.w[1], WM_COMMAND, ID_VIDEO_PLAY_CONTINUOUSLY, 0);
  EXPECT_EQ(Modes(t), "434");
  for (int i : {0, 1}) {
    ChildManager::ContextMenu m = App().childManager.MakeContextMenu(t.w[i]);
    std::string checks;
    for (int item = 0; m.popup != nullptr && item < GetMenuItemCount(m.popup); ++item)
      checks += GetMenuState(m.popup, item, MF_BYPOSITION) & MF_CHECKED ? 'x' : '-';
    EXPECT_EQ(checks, i == 0 ? "----x------x------------" : "---x--------------------");
    EXPECT_NE(m.bitmaps[9], nullptr);
    m.Release();
  }
  const SIZE before = ClientSize(t.w[1]);
  SendMessageA(t.w[1], WM_COMMAND, ID_VIDEO_DOUBLE_SIZE, 0);
  EXPECT_EQ(ClientSize(t.w[0]).cx, 128);
  EXPECT_EQ(ClientSize(t.w[2]).cy, 2 * 48 + 24);
  EXPECT_EQ(ClientSize(t.w[1]).cx, before.cx);
  // Keys act on the selected windows: Space plays them all when all are
  // paused and pauses them all otherwise; Shift+arrows run fast (from the
  // far end: reaching an end pauses them).
  Key(t.w[0], VK_SPACE);
  EXPECT_EQ(Modes(t), "232");
  SendMessageA(t.w[2], WM_COMMAND, ID_VIDEO_PAUSE, 0);
  Key(t.w[0], VK_SPACE);
  EXPECT_EQ(Modes(t), "434");
  Key(t.w[0], VK_END);
  Key(t.w[0], VK_LEFT, true);
  EXPECT_EQ(Modes(t), "030");
  Key(t.w[0], VK_HOME);
  Key(t.w[0], VK_RIGHT, true);
  EXPECT_EQ(Modes(t), "333");
  // Paused, a window steps frame by frame: time text and thumb follow.
  HWND h = t.w[2];
  Click(h, WM_LBUTTONDOWN, false);
  PauseAndSettle(h);
  const struct { int vk; const char* text; int thumb; } steps[] = {
      {VK_HOME, " 12 : 58 : 00 00", 0},  {VK_RIGHT, " 12 : 58 : 00 50", 1},
      {VK_RIGHT, " 12 : 58 : 01 00", 2}, {VK_LEFT, " 12 : 58 : 00 50", 1},
      {VK_END, " 12 : 58 : 19 50", 39},  {VK_RIGHT, " 12 : 58 : 19 50", 39},
      {VK_HOME, " 12 : 58 : 00 00", 0},  {VK_LEFT, " 12 : 58 : 00 00", 0}};
  HWND bar = App().childManager.FindView(h)->trackbar();
  for (const auto& s : steps) {
    Key(h, s.vk);
    EXPECT_TRUE(PumpUntil([&] { return TimeText(h) == s.text; }, 3000)) << s.vk << TimeText(h);
    EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), s.thumb) << s.vk;
    EXPECT_EQ(ModeOf(h), PlaybackMode::Pause);
  }
}

// "Same window for a camera": the camera's window plays the new minute from
// its first frame; paused, it shows that frame, its time text and date at
// once. Overlapped: a window each. Playing on past midnight, the title follows.
TEST(OpenMinute, SameWindowForACameraUnlessOverlappedAndTheDateInTheTitle) {
  Minutes minutes;
  Workspace ws;
  const std::string first =
      minutes.Make("Camera 1", "2004-03-15", 12, 0, Minutes::Names(30, 0, 50), 64, 48);
  const std::string second =
      minutes.Make("Camera 1", "2004-03-16", 9, 30, Minutes::Names(30, 0, 50), 64, 48);
  const char* camera = "Root - Camera 1";
  for (bool overlapped : {false, true}) {
    SCOPED_TRACE(overlapped ? "overlapped" : "same window");
    App().settings.SetOverlapped(overlapped);
    App().childManager.OpenMinute(first.c_str(), "2004-03-15", camera);
    HWND h = GetWindow(ws.client(), GW_CHILD);
    PauseAndSettle(h);
    App().childManager.OpenMinute(second.c_str(), "2004-03-16", camera);
    App().childManager.OpenMinute(first.c_str(), "2004-03-15", "Root - Camera 2");
    EXPECT_EQ(App().childManager.count(), overlapped ? 3 : 2);
    EXPECT_EQ(App().childManager.Find(h)->folder(), overlapped ? first : second);
    EXPECT_EQ(ModeOf(h), PlaybackMode::Pause);
    // Nothing pumped: what opening the minute itself put on screen.
    EXPECT_EQ(Text(h), std::string(camera) + (overlapped ? "   [ 2004-03-15 ]" : "   [ 2004-03-16 ]"));
    // The picture on show (whose time text names a saved picture) is the new one.
    EXPECT_EQ(TimeText(h) == " 09 : 30 : 00 00", !overlapped) << TimeText(h);
    ws.CloseAll();
  }
  App().settings.SetOverlapped(false);
  minutes.Make("Camera 1", "2004-03-16", 0, 0, Minutes::Names(40, 0, 50), 64, 48);
  HWND h = ws.Open(minutes.Make("Camera 1", "2004-03-15", 23, 59, Minutes::Names(3, 5900, 10), 64, 48));
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return Text(h) == "Root - Camera 1   [ 2004-03-16 ]"; }, 5000));
  EXPECT_TRUE(PumpUntil([&] { return TimeText(h).rfind(" 00 : 00 :", 0) == 0; }, 3000));
}

}  // namespace
}  // namespace workspace_test
