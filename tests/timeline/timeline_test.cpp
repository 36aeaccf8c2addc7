// The timeline: the time under a pixel at each zoom, on plain numbers; and
// the panel with three cameras (one with gaps) whose click moves the selected
// windows, alone and on one clock, as their time texts show. Its pictures,
// a day and a zoomed-in hour, go to out/screens for a person to look at.
#include <cstdio>
#include <cstdlib>

#include "activity/background_indexer.h"
#include "resources/resource.h"
#include "shell/timeline_dock.h"
#include "tests/workspace/workspace_fixture.h"
#include "timeline/timeline_scale.h"
#include "workspace/sync_commands.h"

namespace {

using namespace workspace_test;

const WallTime kDay = MakeWallTime({2004, 3, 15, 0, 0, 0, 0});
WallTime At(int h, int m, int s = 0, int cs = 0) {
  return MakeWallTime({2004, 3, 15, h, m, s, cs});
}

TEST(TimelineScale, TimeUnderAPixelAtEachZoom) {
  const struct { WallTime start, span; int x; WallTime expected; } cases[] = {
      {kDay, kHundredthsPerDay, 100, kDay},                   // the area's left edge
      {kDay, kHundredthsPerDay, 40, kDay},                    // the names' column
      {kDay, kHundredthsPerDay, 101, kDay + 8640},            // a column is 86.4 s
      {kDay, kHundredthsPerDay, 600, At(12, 0)},
      {kDay, kHundredthsPerDay, 1100, kDay + kHundredthsPerDay},  // right edge: 24:00
      {At(12, 0), kHundredthsPerHour, 350, At(12, 15)},
      {At(12, 0), kHundredthsPerHour, 1099, At(12, 59, 56, 40)},
      {At(12, 58), kHundredthsPerMinute, 101, At(12, 58, 0, 6)},
      {At(12, 58), kHundredthsPerMinute, 600, At(12, 58, 30)},
  };
  for (const auto& c : cases) {
    const TimeScale s{c.start, c.span, 100, 1000};
    SCOPED_TRACE(c.x);
    EXPECT_EQ(TimeAtPixel(s, c.x), c.expected);
    if (c.x >= 100 && c.x < 1100) {
      EXPECT_EQ(PixelAtTime(s, c.expected), c.x);
    }
  }
  EXPECT_EQ(TickStep({kDay, kHundredthsPerDay, 100, 1000}, 64), 2 * kHundredthsPerHour);
  EXPECT_EQ(TickStep({At(12, 58), kHundredthsPerMinute, 100, 1000}, 64), 5 * kHundredthsPerSecond);
}

TEST(TimelineScale, ZoomKeepsTheMomentUnderTheCursorWithinTheDay) {
  TimeScale s{kDay, kHundredthsPerDay, 100, 1000};
  for (int i = 0; i < 20; ++i) {
    s = ZoomAround(s, 600, 0.5, kDay);
    EXPECT_LE(std::llabs(TimeAtPixel(s, 600) - At(12, 0)), s.span / 1000 + 1) << i;
  }
  EXPECT_EQ(s.span, kTimelineMinSpan);
  for (int i = 0; i < 20; ++i) s = ZoomAround(s, 1050, 2.0, kDay);
  EXPECT_EQ(s.start, kDay);
  EXPECT_EQ(s.span, kHundredthsPerDay);
  s = ZoomAround(s, 1099, 1.0 / 64, kDay);  // at the day's end
  EXPECT_EQ(PanBy(s, -1000000, kDay).start + s.span, kDay + kHundredthsPerDay);
  s = PanBy({At(12, 0), kHundredthsPerHour, 100, 1000}, 500, kDay);
  EXPECT_EQ(s.start, At(11, 30));
  EXPECT_EQ(PanBy(s, 1000000, kDay).start, kDay);
}

class TimelinePanelTest : public ::testing::Test {
 protected:
  // Frames at :00 and :59 of each minute, so that minutes join into spans:
  // one minute encoded, the others copies.
  void Record(const char* camera, int hour, int from, int to) {
    const std::string first = minutes_.Make(camera, "2004-03-15", hour + from / 60, from % 60,
                                            {"0000.jpg", "5900.jpg"}, 64, 48);
    const std::string date = first.substr(0, first.size() - 6);  // less "\\HH\\MM"
    for (int m = from + 1; m <= to; ++m) {
      char tail[16];
      std::snprintf(tail, sizeof tail, "\\%02d\\%02d", hour + m / 60, m % 60);
      testing_support::MakeDirs(date + tail);
      for (const char* name : {"\\0000.jpg", "\\5900.jpg"})
        CopyFileA((first + name).c_str(), (date + tail + name).c_str(), FALSE);
    }
  }
  std::string Label(HWND h) { return Text(App().childManager.FindView(h)->timeLabel()); }
  // A click just after `moment`, seen ten minutes wide (0.7 s a column).
  void Click(WallTime moment) {
    TimelinePanel& panel = dock_.panel();
    panel.ShowRange(moment - 5 * kHundredthsPerMinute, 10 * kHundredthsPerMinute);
    const int x = PixelAtTime(panel.scale(), moment) + 1;
    SendMessageA(panel.window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 100));
    SendMessageA(panel.window(), WM_LBUTTONUP, 0, MAKELPARAM(x, 100));
  }
  bool Shows(HWND h, const std::string& text) {
    return PumpUntil([&] { return Label(h).rfind(text, 0) == 0; });
  }
  void Screenshot(const char* name) {
    PumpUntil([&] { return dock_.panel().Idle(); });
    RedrawWindow(ws_.frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(300);
    RECT r{};
    GetWindowRect(ws_.frame(), &r);
    const int w = r.right - r.left, h = r.bottom - r.top, stride = (3 * w + 3) & ~3;
    BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * h);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    GetDIBits(memory, bitmap, 0, h, bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const std::string folder = std::string("Z:") + ORVANEL_SOURCE_DIR + "/out";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "/screens").c_str(), nullptr);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(54 + bits.size()), 0, 0, 54};
    if (FILE* f = std::fopen((folder + "/screens/" + name).c_str(), "wb")) {
      std::fwrite(&file, sizeof file, 1, f);
      std::fwrite(&info, sizeof info, 1, f);
      std::fwrite(bits.data(), 1, bits.size(), f);
      std::fclose(f);
    }
  }

  Minutes minutes_;
  Workspace ws_;
  TimelineDock dock_{App().childManager, App().folderTree, App().settings};
};

TEST_F(TimelinePanelTest, AClickMovesTheSelectedWindowsAloneAndOnOneClock) {
  Record("Cam1", 9, 0, 179);                        // 09:00-11:59
  Record("Cam2", 9, 10, 39);                        // with gaps
  Record("Cam2", 10, 20, 44);
  Record("Cam2", 13, 0, 19);
  Record("Cam3", 9, 30, 119);
  Record("Cam3", 20, 0, 14);
  // A frame a second, and in Cam2 a gap inside the minute.
  minutes_.Make("Cam1", "2004-03-15", 10, 30, Minutes::Names(60, 0, 100), 64, 48);
  minutes_.Make("Cam2", "2004-03-15", 10, 30, Minutes::Names(21, 0, 100), 64, 48);
  minutes_.Make("Cam2", "2004-03-15", 10, 30, Minutes::Names(20, 4000, 100), 64, 48);
  HWND cam1 = ws_.Open(minutes_.root() + "\\Cam1\\2004-03-15\\09\\00", "2004-03-15", "Cam1");
  HWND cam2 = ws_.Open(minutes_.root() + "\\Cam2\\2004-03-15\\09\\10", "2004-03-15", "Cam2");
  HWND cam3 = ws_.Open(minutes_.root() + "\\Cam3\\2004-03-15\\09\\30", "2004-03-15", "Cam3");
  ASSERT_TRUE(cam1 && cam2 && cam3);
  App().childManager.SelectAll();
  App().childManager.SetModeOfSelected(PlaybackMode::Pause);
  ASSERT_TRUE(Shows(cam3, " 09 : 30 : 00 00")) << Label(cam3);

  RECT frame{};
  GetClientRect(ws_.frame(), &frame);
  MoveWindow(ws_.client(), 0, 0, frame.right, frame.bottom - 200, TRUE);
  ASSERT_NE(dock_.panel().Create(ws_.frame(), &dock_), nullptr);
  MoveWindow(dock_.panel().window(), 0, frame.bottom - 200, frame.right, 200, TRUE);
  ShowWindow(dock_.panel().window(), SW_SHOWNA);
  dock_.panel().Update();
  EXPECT_EQ(dock_.panel().day(), kDay);

  // Two selected windows alone: Cam2 has nothing at 09:45.
  App().childManager.Select(cam1, true);
  App().childManager.Select(cam2, false);
  Click(At(9, 45, 0, 10));
  EXPECT_TRUE(Shows(cam1, " 09 : 45 : 00 00")) << Label(cam1);
  EXPECT_TRUE(Shows(cam2, " 09 : 45 : 00 ")) << Label(cam2);
  ViewState state{};
  App().childManager.Find(cam2)->GetViewState(&state);
  EXPECT_TRUE(state.noRecording);

  // Marks from two windows on show: the panel draws the range (the shot).
  ASSERT_EQ(App().childManager.Mark(cam3, false), 0);
  ASSERT_EQ(App().childManager.Mark(cam1, true), 0);
  dock_.panel().Update();

  // The pair on one clock; Cam2's last frame before its gap is 10:30:20.
  SendMessageA(ws_.client(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(cam1), 0);
  SynchronizeSelected(App().childManager);
  App().childManager.ArrangeGrid();
  dock_.panel().ShowRange(kDay, kHundredthsPerDay);
  Screenshot("timeline-day.bmp");
  Click(At(10, 30, 21, 10));
  EXPECT_TRUE(Shows(cam1, " 10 : 30 : 21 00")) << Label(cam1);
  EXPECT_TRUE(Shows(cam2, " 10 : 30 : 20 00")) << Label(cam2);
  App().childManager.Find(cam2)->GetViewState(&state);
  EXPECT_TRUE(state.grouped);
  EXPECT_EQ(Label(cam3), " 09 : 30 : 00 00");  // not selected: left alone

  dock_.panel().Update();
  dock_.panel().ShowRange(At(10, 25), 10 * kHundredthsPerMinute);
  SendMessageA(dock_.panel().window(), WM_MOUSEMOVE, 0, MAKELPARAM(500, 100));
  Screenshot("timeline-zoomed.bmp");
}

// Nothing is shaded before the minutes are indexed; the indexer's news
// shades the spans (the hour's change does not split one); a region the
// objects never cross shades nothing.
TEST_F(TimelinePanelTest, ShadesActivityAsItIsIndexedInTheCamerasRegion) {
  WriteActivityScenes(minutes_.root());
  const std::string camera = minutes_.root() + "\\Act1";
  HWND h = ws_.Open(camera + "\\2004-03-15\\09\\59", "2004-03-15", "Act1");
  ASSERT_NE(h, nullptr);
  SendMessageA(h, WM_COMMAND, ID_VIDEO_PAUSE, 0);
  testing_support::TempDir indexDir;
  activity::ActivityIndex index(indexDir.Join("index"));
  TimelinePanel& panel = dock_.panel();
  panel.SetActivityIndex(&index);
  ASSERT_NE(panel.Create(ws_.frame(), &dock_), nullptr);
  panel.Update();
  ASSERT_TRUE(PumpUntil([&] { return panel.Idle(); }));
  EXPECT_TRUE(panel.ActivityOf(camera).empty());

  activity::BackgroundIndexer indexer(index);
  indexer.SetOnScreen({{camera, At(10, 0), At(10, 0)}});
  indexer.Start();
  ASSERT_TRUE(PumpUntil([&] { return indexer.idle(); }, 60000));
  panel.MinutesIndexed(indexer.TakeIndexed());
  ASSERT_TRUE(PumpUntil([&] { return panel.Idle(); }));
  std::string spans;
  for (const activity::Span& s : panel.ActivityOf(camera)) {
    char text[64], end[32];
    FormatWallTime(s.start, text, sizeof text);
    FormatWallTime(s.end, end, sizeof end);
    spans += std::string(text + 11) + "-" + (end + 11) + " ";
  }
  EXPECT_EQ(spans, "09:59:10.00-09:59:19.50 09:59:50.00-10:00:09.50 10:00:40.00-10:00:44.50 ");

  App().childManager.SetSearchRegion(camera, {0, 0, 60, 40});  // the top left corner
  panel.Update();
  ASSERT_TRUE(PumpUntil([&] { return panel.Idle(); }));
  EXPECT_TRUE(panel.ActivityOf(camera).empty());
  App().childManager.SetSearchRegion(camera, {});
}

}  // namespace
