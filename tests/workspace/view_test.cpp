// What a window shows: the time text for every naming scheme, the trackbar
// that jumps to the clicked frame, and the picture that Save Picture writes.
#include "tests/workspace/workspace_fixture.h"

#include <commctrl.h>

#include "cli/cli.h"
#include "resources/resource.h"

namespace workspace_test {
namespace {

std::string TimeText(HWND h) { return Text(App().childManager.FindView(h)->timeLabel()); }

void Home(HWND h) { SendMessageA(h, WM_KEYDOWN, VK_HOME, 1); }

TEST(View, TimeTextForEachNamingScheme) {
  Minutes minutes;
  Workspace ws;
  const struct {
    std::vector<std::string> names;
    const char* first;  // text of frame 0
  } cases[] = {
      {{"4307.jpg", "4350.jpg"}, " 12 : 58 : 43 07"},
      {{"43-07.jpg", "43-50.jpg"}, " 12 : 58 : 43 07"},
      {{"43075.jpg", "43500.jpg"}, " 12 : 58 : 43 07"},
      {{"4375.jpg", "43100.jpg"}, " 12 : 58 : 43 75"},  // 43.075 s, short name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names[0]);
    // Each its own camera: a minute of the same camera would reuse a window.
    const std::string folder =
        minutes.Make("Camera " + c.names[0], "2004-03-15", 12, 58, c.names, 64, 48);
    HWND h = ws.Open(folder);
    ASSERT_NE(h, nullptr);
    VideoChild* child = App().childManager.Find(h);
    ASSERT_TRUE(PumpUntil([&] { return child->parked(); }));  // played to its end
    Home(h);
    EXPECT_TRUE(PumpUntil([&] { return TimeText(h) == c.first; }, 3000)) << TimeText(h);
  }
}

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

TEST(View, SavePictureWritesA24BitBmpLikeStillAndNamesItByTime) {
  Minutes minutes;
  Workspace ws;
  const std::string folder = minutes.Make("Camera 1", "2004-03-15", 12, 58,
                                          Minutes::Names(5, 4300, 7), 353, 241);
  HWND h = ws.Open(folder);
  ASSERT_NE(h, nullptr);
  VideoChild* child = App().childManager.Find(h);
  ASSERT_TRUE(PumpUntil([&] { return child->parked(); }));
  Home(h);
  SendMessageA(h, WM_KEYDOWN, VK_RIGHT, 1);
  SendMessageA(h, WM_KEYDOWN, VK_RIGHT, 1);
  ASSERT_TRUE(PumpUntil([&] { return TimeText(h) == " 12 : 58 : 43 14"; }, 3000));

  const std::string saved = minutes.root() + "\\saved.bmp";
  const std::string still = minutes.root() + "\\still.bmp";
  ASSERT_EQ(App().childManager.FindView(h)->SavePicture(saved.c_str()), 0);
  std::string args[] = {folder, "2", "-o", still};
  char* argv[] = {&args[0][0], &args[1][0], &args[2][0], &args[3][0]};
  ASSERT_EQ(CmdStill(4, argv, stdout, stderr), 0);
  const std::string bytes = testing_support::ReadFile(saved);
  EXPECT_EQ(bytes.size(), 54u + 241u * ((353u * 3 + 3) & ~3u));
  const std::string other = testing_support::ReadFile(still);
  EXPECT_EQ(bytes.substr(0, 54), other.substr(0, 54));
  // A folder that does not exist: no file, no crash, the picture kept.
  EXPECT_EQ(App().childManager.FindView(h)->SavePicture((minutes.root() + "\\no\\x.bmp").c_str()), -1);

  char name[MAX_PATH];
  PictureFileName("Camera 1", "2004-03-15", " 12 : 58 : 43 07", name, sizeof name);
  EXPECT_STREQ(name, "Camera 1 2004-03-15 12-58-43.07.bmp");
  PictureFileName("D:\\ - Cam?", "2004-03-15", " 12 : 58 : 43 75", name, sizeof name);
  EXPECT_STREQ(name, "D__ - Cam_ 2004-03-15 12-58-43.75.bmp");
}

// What Save Picture writes is what the command-line tool's still writes for
// that frame, whatever size the window shows it at (a small window decodes
// coarser pictures) and however many frames its decoder decoded before.
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
  // The width of the picture the window draws from.
  struct Width : PictureSink {
    int width = 0;
    int DrawPicture(const BitmapHeader& header, const std::uint8_t*) override {
      width = header.biWidth;
      return 0;
    }
  };
  const struct {
    SizeMode size;
    int drawnFrom;
  } cases[] = {{SizeMode::Original, 353}, {SizeMode::Half, 177}, {SizeMode::Double, 353}};
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
}

}  // namespace
}  // namespace workspace_test
