// What a window shows and how large, and the arithmetic behind it; the
// program's workspace scrolls to windows larger than itself.
#include "tests/workspace/workspace_fixture.h"

#include <commctrl.h>

#include "cli/cli.h"
#include "resources/resource.h"

namespace workspace_test {
namespace {

std::string TimeText(HWND h) { return Text(App().childManager.FindView(h)->timeLabel()); }

TEST(View, TrackbarClickJumpsToTheFrameUnderIt) {
  Minutes minutes;
  Workspace ws;
  const std::string folder =
      minutes.Make("Camera 1", "2004-03-15", 12, 58, Minutes::Names(100, 0, 50), 64, 48);
  HWND h = ws.Open(folder);
  ASSERT_NE(h, nullptr);
  App().childManager.SetSize(SizeMode::Double);  // a wider channel
  VideoChild* child = App().childManager.Find(h);
  SendMessageA(h, WM_COMMAND, ID_VIDEO_PAUSE, 0);
  ASSERT_TRUE(PumpUntil([&] { return child->parked(); }));
  HWND bar = App().childManager.FindView(h)->trackbar();
  RECT channel{};
  SendMessageA(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  for (int x : {channel.left + (channel.right - channel.left) / 2, channel.left + 1,
                channel.right - 1, channel.right + 40}) {
    const int want = TrackbarClickPosition(x, channel.left, channel.right, 99);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10));
    // A paused window shows the frame at once, before the release.
    char text[32];
    std::snprintf(text, sizeof text, " 12 : 58 : %02d %02d", want * 50 / 100, want * 50 % 100);
    EXPECT_TRUE(PumpUntil([&] { return TimeText(h) == text; }, 3000)) << x << ": " << TimeText(h);
    SendMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(x, 10));
    EXPECT_EQ(child->position(), want) << x;
    EXPECT_EQ(SendMessageA(bar, TBM_GETPOS, 0, 0), want) << x;
  }
  // A press that loses the mouse to another window ends there: the thumb
  // follows the playing picture again, and a later bare release over another
  // window's trackbar moves nothing (the press was not that trackbar's).
  HWND second = ws.Open(folder);
  ASSERT_NE(second, nullptr);
  VideoChild* paused = App().childManager.Find(second);
  SendMessageA(second, WM_COMMAND, ID_VIDEO_PAUSE, 0);
  ASSERT_TRUE(PumpUntil([&] { return paused->parked(); }));
  App().childManager.SetSize(SizeMode::Fit);  // the new window alone is selected
  HWND pausedBar = App().childManager.FindView(second)->trackbar();
  RECT pausedChannel{};
  SendMessageA(pausedBar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&pausedChannel));
  const LPARAM middle = MAKELPARAM((pausedChannel.left + pausedChannel.right) / 2, 10);
  SendMessageA(pausedBar, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  SendMessageA(pausedBar, WM_LBUTTONUP, 0, middle);
  const int pausedAt = paused->position();
  ASSERT_GT(pausedAt, 0);
  SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(channel.left, 10));  // frame 0
  SetCapture(bar);
  SetCapture(ws.frame());  // another window takes the mouse
  ReleaseCapture();
  SendMessageA(h, WM_COMMAND, ID_VIDEO_FORWARD, 0);
  EXPECT_TRUE(PumpUntil([&] { return SendMessageA(bar, TBM_GETPOS, 0, 0) > 0; }, 3000))
      << "the thumb stays where the press left it";
  SendMessageA(pausedBar, WM_LBUTTONUP, 0, middle);
  EXPECT_EQ(paused->position(), pausedAt);
  // The arithmetic itself: truncation toward zero, clamped to the range.
  const int table[][5] = {{50, 0, 100, 99, 49}, {0, 10, 110, 99, 0},   {-30, 10, 110, 99, 0},
                          {500, 10, 110, 99, 99}, {60, 60, 60, 99, 0}, {35, 10, 110, 4, 1}};
  for (const auto& t : table)
    EXPECT_EQ(TrackbarClickPosition(t[0], t[1], t[2], t[3]), t[4]) << t[0];
}

// The picture of a playing window follows its thumb however the thumb moves;
// a drag holds the picture under the thumb until it ends, and one that ends
// on the last frame moves on to the next minute once, at the pace of playing.
TEST(View, PlayingPictureFollowsTheThumb) {
  Minutes minutes;
  Workspace ws;
  const std::string first =
      minutes.Make("Camera 1", "2004-03-15", 12, 58, Minutes::Names(60, 0, 100), 64, 48);
  minutes.Make("Camera 1", "2004-03-15", 12, 59, Minutes::Names(60, 0, 100), 64, 48);
  App().settings.SetOverMinute(true);
  HWND h = ws.Open(first);
  ASSERT_NE(h, nullptr);
  HWND bar = App().childManager.FindView(h)->trackbar();
  const auto thumb = [&] { return static_cast<int>(SendMessageA(bar, TBM_GETPOS, 0, 0)); };
  // Frame `frame` of minute 12:`minute` on show, under the thumb.
  const auto on = [&](int minute, int frame) {
    char text[32];
    std::snprintf(text, sizeof text, " 12 : %02d : %02d 00", minute, frame);
    return TimeText(h) == text && thumb() == frame;
  };
  const auto shows = [&](int minute, int frame) {
    return PumpUntil([&] { return on(minute, frame); }, 3000);
  };
  const struct {
    UINT key;  // to the trackbar, or else `code` with the thumb set to `pos`
    int code, pos, minute;
  } steps[] = {{0, TB_THUMBTRACK, 20, 58},   {0, TB_THUMBTRACK, 59, 58},
               {0, TB_THUMBPOSITION, 59, 59}, {VK_NEXT, 0, 0, 59},
               {VK_PRIOR, 0, 0, 59},          {VK_PRIOR, 0, 0, 59},
               {0, TB_TOP, 0, 59},            {0, TB_BOTTOM, 59, 59}};
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << s.key << "/" << s.code << " " << s.pos);
    if (s.key != 0) {
      SendMessageA(bar, WM_KEYDOWN, s.key, 1);
    } else {
      SendMessageA(bar, TBM_SETPOS, TRUE, s.pos);
      SendMessageA(h, WM_HSCROLL, MAKEWPARAM(s.code, s.pos), reinterpret_cast<LPARAM>(bar));
    }
    if (s.code == TB_THUMBPOSITION) {  // the release: on from the last frame, once
      SendMessageA(h, WM_HSCROLL, TB_ENDTRACK, reinterpret_cast<LPARAM>(bar));
      EXPECT_TRUE(shows(59, 0)) << TimeText(h);
      Pump(1500);
      EXPECT_TRUE(on(59, thumb()) && thumb() <= 3) << TimeText(h);
      continue;
    }
    const int target = thumb();
    EXPECT_TRUE(shows(s.minute, target)) << target << ": " << TimeText(h);
    if (s.code != TB_THUMBTRACK) continue;
    Pump(1500);  // held: the picture stays under the thumb, in its minute
    EXPECT_TRUE(on(s.minute, target)) << target << ": " << TimeText(h);
  }
}

// What Save Picture writes is what the command-line tool's still writes for
// that frame (a bottom-up 24-bit BMP), whatever size the window shows it at
// (a small window decodes coarser pictures) and however many frames its
// decoder decoded before.
TEST(View, SavedPictureEqualsStillAtEverySize) {
  Minutes minutes;
  Workspace ws;
  const std::string folder = minutes.Make("Camera 1", "2004-03-15", 12, 58,
                                          Minutes::Names(5, 4300, 7), 353, 241);
  HWND h = ws.Open(folder);
  ASSERT_NE(h, nullptr);
  VideoChild* child = App().childManager.Find(h);
  const std::string still = minutes.root() + "\\still.bmp";
  std::string args[] = {folder, "4", "-o", still};
  char* argv[] = {&args[0][0], &args[1][0], &args[2][0], &args[3][0]};
  ASSERT_EQ(CmdStill(4, argv, stdout, stderr), 0);
  const std::string want = testing_support::ReadFile(still);
  EXPECT_EQ(want.size(), 54u + 241u * ((353u * 3 + 3) & ~3u));
  struct Width : PictureSink {  // of the picture the window draws from
    int width = 0;
    int DrawPicture(const BitmapHeader& h, const std::uint8_t*) override { width = h.biWidth; return 0; }
  };
  const struct { SizeMode size; int drawnFrom; } cases[] = {
      {SizeMode::Original, 353}, {SizeMode::Half, 177}, {SizeMode::Double, 353}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.size));
    App().childManager.SetSize(c.size);
    SendMessageA(h, WM_COMMAND, ID_VIDEO_FORWARD, 0);  // plays to the last frame at this size
    ASSERT_TRUE(PumpUntil([&] { return child->parked() && TimeText(h) == " 12 : 58 : 43 28"; }));
    const std::string saved = minutes.root() + "\\saved.bmp";
    ASSERT_EQ(App().childManager.FindView(h)->SavePicture(saved.c_str()), 0);
    EXPECT_TRUE(testing_support::ReadFile(saved) == want);
    Width drawn;
    child->Paint(drawn);
    EXPECT_EQ(drawn.width, c.drawnFrom);
  }
  // A folder that does not exist: no file, no crash.
  EXPECT_EQ(App().childManager.FindView(h)->SavePicture((minutes.root() + "\\no\\x.bmp").c_str()), -1);
}

COLORREF PixelAt(HWND h, int x, int y) {
  HDC dc = GetDC(h);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(h, dc);
  return c;
}

// The window opens on its first frame, at its size, not one frame gap
// later. An empty first file leaves the default size and a black picture
// area with its time text.
TEST(Sizes, OpeningShowsTheFirstFrameAtOnce) {
  Minutes minutes;
  Workspace ws;
  const std::string good =
      minutes.Make("Camera 1", "2004-03-15", 12, 0, Minutes::Names(2, 0, 300), 704, 576);
  const std::string empty =
      minutes.Make("Camera 3", "2004-03-15", 12, 0, Minutes::Names(1, 300, 300), 704, 576);
  testing_support::WriteFile(empty + "\\0000.jpg", "");
  const struct { const std::string& folder; int width, height; const char* text; bool black; }
      cases[] = {{good, 704, 576, " 12 : 00 : 00 00", false},
                 {empty, 352, 240, " 12 : 00 : 00 00", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    HWND h = ws.Open(c.folder);
    ASSERT_NE(h, nullptr);
    // Nothing pumped yet: what Load itself put on screen.
    EXPECT_EQ(Text(App().childManager.FindView(h)->timeLabel()), c.text);
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE)) << "not painted yet";
    EXPECT_EQ(ClientSize(h).cx, c.width);
    EXPECT_EQ(ClientSize(h).cy, c.height + 24);
    // Whatever was there before is painted over.
    SendMessageA(h, WM_COMMAND, ID_VIDEO_PAUSE, 0);
    HDC dc = GetDC(h);
    RECT area{0, 0, c.width, c.height};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(h, dc);
    RedrawWindow(h, &area, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const COLORREF middle = PixelAt(h, c.width / 2, c.height / 2);
    EXPECT_NE(middle, RGB(255, 255, 255));
    EXPECT_EQ(middle == RGB(0, 0, 0), c.black) << std::hex << middle;
    ws.CloseAll();
  }
}

TEST(Sizes, FitAndGridShareTheWorkspaceKeepingProportions) {
  Minutes minutes;
  Workspace ws;
  const std::string folder =
      minutes.Make("Camera 2", "2004-03-15", 8, 16, Minutes::Names(2, 0, 50), 352, 240);
  const SIZE area = ClientSize(ws.client());
  std::vector<HWND> opened;
  for (int n = 1; n <= 5; ++n) opened.push_back(ws.Open(folder));
  ASSERT_EQ(App().childManager.count(), 5);
  const FrameAllowance frame{GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME),
                             GetSystemMetrics(SM_CYCAPTION)};
  App().childManager.SetSize(SizeMode::Fit);  // the selected (newest) window
  const Size fit = ClientSizeFor(SizeMode::Fit, 352, 240, {area.cx, area.cy}, 5, frame);
  EXPECT_EQ(ClientSize(opened.back()).cx, fit.width);
  EXPECT_EQ(ClientSize(opened.back()).cy, fit.height);
  App().childManager.ArrangeGrid();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Place(opened[i]), Str(GridCell(i, 5, {area.cx, area.cy})));
  // A cell wider than the picture's proportions: black bars at the sides,
  // unless the pictures are to be stretched (the picture's blue left edge).
  HWND h = opened.back();
  const auto leftEdge = [&] {
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return PixelAt(h, 1, (ClientSize(h).cy - 24) / 2);
  };
  EXPECT_EQ(leftEdge(), RGB(0, 0, 0));
  App().settings.stretch = true;
  EXPECT_NE(leftEdge(), RGB(0, 0, 0));
  App().settings.stretch = false;
}

TEST(Sizes, ArithmeticOnPlainNumbers) {
  const FrameAllowance frame{4, 4, 19};
  const struct { SizeMode mode; int w, h, loaded; Size want; } cases[] = {
      {SizeMode::Half, 352, 240, 1, {176, 144}},  {SizeMode::Half, 353, 241, 1, {176, 144}},
      {SizeMode::Double, 352, 240, 1, {704, 504}}, {SizeMode::Original, 704, 576, 1, {704, 600}},
      {SizeMode::Fit, 0, 0, 1, {992, 741}},        {SizeMode::Fit, 0, 0, 4, {492, 357}},
      {SizeMode::Fit, 0, 0, 5, {325, 229}},
  };
  for (const auto& c : cases) {
    const Size got = ClientSizeFor(c.mode, c.w, c.h, {1000, 768}, c.loaded, frame);
    EXPECT_EQ(Str({0, 0, got.width, got.height}), Str({0, 0, c.want.width, c.want.height}));
  }
  const int sides[][2] = {{0, 0}, {1, 1}, {2, 2}, {4, 2}, {5, 3}, {9, 3}, {10, 4}, {16, 4}, {17, 5}};
  for (const auto& s : sides) EXPECT_EQ(GridSide(s[0]), s[1]) << s[0];
  EXPECT_EQ(Str(GridCell(4, 5, {1000, 768})), "333,256 333x256");
  EXPECT_EQ(Str(GridCell(3, 4, {1000, 768})), "500,384 500x384");
  // Proportions kept: bars at the sides or above and below, centred.
  const struct { Rect area; int w, h; bool stretch; Rect want; } pictures[] = {
      {{0, 0, 400, 240}, 352, 240, false, {24, 0, 352, 240}},
      {{0, 0, 352, 300}, 352, 240, false, {0, 30, 352, 240}},
      {{0, 0, 325, 205}, 704, 576, false, {37, 0, 251, 205}},
      {{0, 0, 400, 240}, 352, 240, true, {0, 0, 400, 240}},
      {{0, 0, 352, 240}, 0, 0, false, {0, 0, 352, 240}},
  };
  for (const auto& p : pictures)
    EXPECT_EQ(Str(PictureRect(p.area, p.w, p.h, p.stretch)), Str(p.want));
  // Saved picture names: characters a name cannot hold become '_'; a long
  // camera name is cut, never the date, time or extension.
  char name[MAX_PATH];
  PictureFileName("D:\\ - Cam?", "2004-03-15", " 12 : 58 : 43 75", name, sizeof name);
  EXPECT_STREQ(name, "D__ - Cam_ 2004-03-15 12-58-43.75.bmp");
  PictureFileName(std::string(300, 'c').c_str(), "2004-03-15", " 12 : 58 : 43 07", name,
                  sizeof name);
  EXPECT_EQ(std::string(name).size(), 255u);
  EXPECT_EQ(std::string(name).substr(250), "7.bmp");
  PictureFileName("bk - Cam", "2004-03-15", " 12 : 58 : 43 07", name, 30);
  EXPECT_STREQ(name, "bk 2004-03-15 12-58-43.07.bmp");
}

// The program's own workspace: scroll bars reach a window larger than it,
// and a click on a video window takes the keys from the tree.
TEST(Workspace, ScrollsToLargeWindowsAndAClickTakesTheKeys) {
  Minutes minutes;
  const std::string folder =
      minutes.Make("Camera 1", "2004-03-15", 12, 0, Minutes::Names(40, 0, 50), 704, 576);
  HWND main = CreateMainWindow(SW_SHOWNORMAL);
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(App().childManager.Load(App().mdiClient, folder.c_str(), "2004-03-15", "bk - Cam"), 0);
  HWND h = GetWindow(App().mdiClient, GW_CHILD);
  App().childManager.SetSize(SizeMode::Double);
  Pump(300);  // the workspace works out its scroll range when posted to
  SCROLLINFO v{};
  v.cbSize = sizeof v;
  v.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(App().mdiClient, SB_VERT, &v));
  EXPECT_TRUE(GetWindowLongPtrA(App().mdiClient, GWL_STYLE) & WS_VSCROLL) << "the bar is hidden";
  // The thumb's last position shows the window's bottom (the range may count
  // the page or, as Wine's does, only what lies beyond it).
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, App().mdiClient, reinterpret_cast<POINT*>(&r), 2);
  const int reach = v.nMax - (v.nPage > 1 ? static_cast<int>(v.nPage) : 1) + 1 - v.nMin;
  EXPECT_GE(reach, r.bottom - ClientSize(App().mdiClient).cy) << v.nMax << " " << v.nPage;
  SetFocus(App().folderTree.tree());
  SendMessageA(h, WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(GetFocus(), h);
  PostMessageA(GetFocus(), WM_KEYDOWN, VK_SPACE, 1);  // as the keyboard does
  EXPECT_TRUE(PumpUntil([&] { return App().childManager.Find(h)->mode() == PlaybackMode::Pause; },
                        3000));
  HWND bar = App().childManager.FindView(h)->trackbar();
  SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(GetFocus(), bar);
  DestroyWindow(main);
  PumpUntil([] { return App().childManager.count() == 0; });
}

}  // namespace
}  // namespace workspace_test
