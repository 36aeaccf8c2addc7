// Next/Previous Activity move a window (and a synchronised pair together) to
// span starts across a minute and an hour; the search region is dragged on a
// scaled picture, drawn, kept per camera across a restart and cleared.
#include "tests/workspace/workspace_fixture.h"

#include "resources/resource.h"
#include "shell/settings.h"
#include "workspace/activity_search.h"
#include "workspace/sync_commands.h"

namespace workspace_test {
namespace {

std::string TimeText(HWND h) { return Text(App().childManager.FindView(h)->timeLabel()); }

// The program's search, on an index of the test's own.
struct SearchRig {
  Minutes minutes;
  Workspace ws;
  testing_support::TempDir indexDir;
  activity::ActivityIndex index{indexDir.Join("index")};
  ActivitySearch search{App().childManager, index};
  SearchRig() {
    WriteActivityScenes(minutes.root());
    App().childManager.SetActivityStepper([this](activity::Direction d) { search.Start(d); });
  }
  ~SearchRig() { App().childManager.SetActivityStepper(nullptr); }
  HWND OpenPaused(const char* camera) {
    HWND h = ws.Open(minutes.root() + "\\" + camera + "\\2004-03-15\\09\\59", "2004-03-15", camera);
    if (h == nullptr) return nullptr;
    SendMessageA(h, WM_COMMAND, ID_VIDEO_PAUSE, 0);
    VideoChild* child = App().childManager.Find(h);
    PumpUntil([&] { return child->parked(); });
    return h;
  }
  // A key on `h`; then what each window shows once the search is applied.
  void Press(HWND h, int key) {
    SendMessageA(h, WM_KEYDOWN, key, 1);
    PumpUntil([&] { return !search.busy(); }, 30000);
    Pump(300);  // the windows' own threads show the moment
  }
};

TEST(ActivitySearch, NextAndPreviousReachSpanStartsAloneAndAsAGroup) {
  SearchRig rig;
  HWND one = rig.OpenPaused("Act1");
  ASSERT_NE(one, nullptr);
  const struct { int key; const char* shows; } steps[] = {
      {'N', " 09 : 59 : 10 00"}, {'N', " 09 : 59 : 50 00"},  // on across 10:00
      {'N', " 10 : 00 : 40 00"}, {'N', " 10 : 00 : 40 00"},  // nothing further: stays
      {'P', " 09 : 59 : 50 00"},                             // at a start: the one before
      {'P', " 09 : 59 : 10 00"}, {'P', " 09 : 59 : 10 00"},
  };
  for (const auto& s : steps) {
    rig.Press(one, s.key);
    EXPECT_EQ(TimeText(one), s.shows) << static_cast<char>(s.key);
  }
  // On one clock, the pair goes to the nearest span of either camera.
  HWND two = rig.OpenPaused("Act2");
  ASSERT_NE(two, nullptr);
  App().childManager.SelectAll();
  SendMessageA(rig.ws.client(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(one), 0);
  SynchronizeSelected(App().childManager);
  for (const char* shows : {" 09 : 59 : 30 00", " 09 : 59 : 50 00"}) {
    SendMessageA(one, WM_COMMAND, ID_CONTROL_NEXT_ACTIVITY, 0);  // the window's menu
    PumpUntil([&] { return !rig.search.busy(); }, 30000);
    EXPECT_TRUE(PumpUntil([&] { return TimeText(one) == shows && TimeText(two) == shows; }))
        << shows << ": " << TimeText(one) << " / " << TimeText(two);
  }
}

bool Greyed(HWND h, int command) {
  ChildManager::ContextMenu m = App().childManager.MakeContextMenu(h);
  const bool greyed = (GetMenuState(m.popup, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
  m.Release();
  return greyed;
}

TEST(SearchRegion, DraggedOnAScaledPictureKeptPerCameraAcrossARestartAndCleared) {
  const char* key = "Software\\VELMORA\\OrvanelWorkspaceTests";
  RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(key) + "\\SEARCHREGIONS").c_str());
  App().childManager.regions().SetKeyPath(key);
  App().childManager.regions().Load();
  SearchRig rig;
  HWND other = rig.OpenPaused("Act2");
  HWND h = rig.OpenPaused("Act1");
  ASSERT_TRUE(h && other);
  EXPECT_TRUE(Greyed(h, ID_VIDEO_CLEAR_SEARCH_REGION));
  // A picture area of 200 x 60: the 160 x 120 picture is drawn at half
  // size, 80 x 60 from x = 60, with black bars either side.
  RECT outer{}, client{};
  GetWindowRect(h, &outer);
  GetClientRect(h, &client);
  SetWindowPos(h, HWND_TOP, 0, 0, outer.right - outer.left - client.right + 200,
               outer.bottom - outer.top - client.bottom + 60 + kStripHeight, SWP_NOMOVE);
  const auto drag = [&](POINT from, POINT to, bool escape) {
    SendMessageA(h, WM_COMMAND, ID_VIDEO_SET_SEARCH_REGION, 0);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    if (escape) SendMessageA(h, WM_KEYDOWN, VK_ESCAPE, 1);
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  };
  const std::string act1 = rig.minutes.root() + "\\Act1";
  drag({70, 10}, {110, 40}, true);  // Escape: nothing set
  EXPECT_TRUE(App().childManager.SearchRegion(act1).empty());
  drag({110, 40}, {70, 10}, false);  // dragged up and left: the same rectangle
  const activity::Region want{20, 20, 80, 60};
  EXPECT_EQ(FormatRegion(App().childManager.SearchRegion(act1)), FormatRegion(want));
  EXPECT_TRUE(App().childManager.SearchRegion(rig.minutes.root() + "\\Act2").empty());
  EXPECT_FALSE(Greyed(h, ID_VIDEO_CLEAR_SEARCH_REGION));
  EXPECT_TRUE(Greyed(other, ID_VIDEO_CLEAR_SEARCH_REGION));
  // Drawn where it was dragged: the outline's left edge at x = 70.
  UpdateWindow(h);
  HDC dc = GetDC(h);
  EXPECT_EQ(GetPixel(dc, 70, 25), RGB(255, 210, 0));
  EXPECT_NE(GetPixel(dc, 74, 25), RGB(255, 210, 0));
  ReleaseDC(h, dc);
  SearchRegions restarted;  // as the next run reads them
  restarted.SetKeyPath(key);
  restarted.Load();
  EXPECT_EQ(FormatRegion(restarted.Get(act1)), FormatRegion(want));
  SendMessageA(h, WM_COMMAND, ID_VIDEO_CLEAR_SEARCH_REGION, 0);
  restarted.Load();
  EXPECT_TRUE(restarted.Get(act1).empty());
  EXPECT_TRUE(Greyed(h, ID_VIDEO_CLEAR_SEARCH_REGION));
}

}  // namespace
}  // namespace workspace_test
