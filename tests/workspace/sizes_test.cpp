// Window sizes: the opening size from the probed picture, the four size
// commands on the selected windows, and the grid.
#include "tests/workspace/workspace_fixture.h"

namespace workspace_test {
namespace {

struct PictureCase {
  int width;
  int height;
  sample::Chroma chroma;
};

TEST(Sizes, OpeningAndSizeCommandsFollowThePicture) {
  Minutes minutes;
  Workspace ws;
  const PictureCase cases[] = {{352, 240, sample::Chroma::k420},
                               {704, 576, sample::Chroma::k420},
                               {353, 241, sample::Chroma::k422},
                               {800, 600, sample::Chroma::kGray}};
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    const std::string folder = minutes.Make("Camera 1", "2004-03-15", 12, 0,
                                            Minutes::Names(3, 0, 50), c.width, c.height, c.chroma);
    HWND h = ws.Open(folder);
    ASSERT_NE(h, nullptr);
    SIZE s = ClientSize(h);
    EXPECT_EQ(s.cx, c.width);
    EXPECT_EQ(s.cy, c.height + 24);
    EXPECT_EQ(Text(h), "Root - Camera 1   [ 2004-03-15 ]");

    struct {
      SizeMode mode;
      int width, height;
    } const modes[] = {{SizeMode::Half, c.width / 2, c.height / 2 + 24},
                       {SizeMode::Double, 2 * c.width, 2 * c.height + 24},
                       {SizeMode::Original, c.width, c.height + 24}};
    for (const auto& m : modes) {
      EXPECT_EQ(App().childManager.SetSize(m.mode), 0);
      s = ClientSize(h);
      EXPECT_EQ(s.cx, m.width) << static_cast<int>(m.mode);
      EXPECT_EQ(s.cy, m.height) << static_cast<int>(m.mode);
    }
    EXPECT_EQ(App().childManager.SetSize(static_cast<SizeMode>(4)), -1);
    ws.CloseAll();
  }
}

// The window opens on its first frame, not one frame gap later; a first
// frame that is no picture leaves the default size and no time text.
TEST(Sizes, OpeningShowsTheFirstFrameAtOnce) {
  Minutes minutes;
  Workspace ws;
  const std::string good =
      minutes.Make("Camera 1", "2004-03-15", 12, 0, Minutes::Names(2, 0, 300), 704, 576);
  const std::string bad =
      minutes.Make("Camera 2", "2004-03-15", 12, 0, Minutes::Names(2, 100, 300), 704, 576);
  testing_support::WriteFile(bad + "\\0000.jpg", "not a picture");
  const struct { const std::string& folder; int width, height; const char* text; } cases[] = {
      {good, 704, 576, " 12 : 00 : 00 00"},
      {bad, 352, 240, ""},
  };
  for (const auto& c : cases) {
    HWND h = ws.Open(c.folder);
    ASSERT_NE(h, nullptr);
    // Nothing pumped yet: what Load itself put on screen.
    EXPECT_EQ(Text(App().childManager.FindView(h)->timeLabel()), c.text) << c.folder;
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE)) << c.folder << ": not painted yet";
    const SIZE s = ClientSize(h);
    EXPECT_EQ(s.cx, c.width) << c.folder;
    EXPECT_EQ(s.cy, c.height + 24) << c.folder;
    ws.CloseAll();
  }
}

TEST(Sizes, FitAndGridShareTheWorkspaceInSquareCells) {
  Minutes minutes;
  Workspace ws;
  const std::string folder =
      minutes.Make("Camera 2", "2004-03-15", 8, 16, Minutes::Names(2, 0, 50), 352, 240);
  const SIZE area = ClientSize(ws.client());
  const int cx = GetSystemMetrics(SM_CXFRAME), cy = GetSystemMetrics(SM_CYFRAME);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  std::vector<HWND> opened;
  for (int n = 1; n <= 5; ++n) {
    SCOPED_TRACE(testing::Message() << n << " windows");
    opened.push_back(ws.Open(folder));
    ASSERT_NE(opened.back(), nullptr);
    const int k = n == 1 ? 1 : n <= 4 ? 2 : 3;

    // Fit acts on the selected (the newest) window only, without moving it.
    const RECT before = PlaceInParent(opened.back());
    const RECT other = PlaceInParent(opened.front());
    App().childManager.SetSize(SizeMode::Fit);
    const SIZE s = ClientSize(opened.back());
    EXPECT_EQ(s.cx, area.cx / k - 2 * cx);
    EXPECT_EQ(s.cy, area.cy / k - 2 * cy - caption);
    const RECT after = PlaceInParent(opened.back());
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    if (n > 1) {
      const RECT still = PlaceInParent(opened.front());
      EXPECT_TRUE(EqualRect(&other, &still));
    }

    App().childManager.ArrangeGrid();
    for (int i = 0; i < n; ++i) {
      const RECT r = PlaceInParent(opened[i]);
      EXPECT_EQ(r.left, (i % k) * (area.cx / k)) << i;
      EXPECT_EQ(r.top, (i / k) * (area.cy / k)) << i;
      EXPECT_EQ(r.right - r.left, area.cx / k) << i;
      EXPECT_EQ(r.bottom - r.top, area.cy / k) << i;
    }
  }
}

TEST(Sizes, ArithmeticOnPlainNumbers) {
  const FrameAllowance frame{4, 4, 19};
  struct {
    SizeMode mode;
    int w, h, loaded;
    Size want;
  } const cases[] = {
      {SizeMode::Half, 352, 240, 1, {176, 144}},  {SizeMode::Half, 353, 241, 1, {176, 144}},
      {SizeMode::Double, 352, 240, 1, {704, 504}}, {SizeMode::Original, 704, 576, 1, {704, 600}},
      {SizeMode::Fit, 0, 0, 1, {992, 741}},        {SizeMode::Fit, 0, 0, 4, {492, 357}},
      {SizeMode::Fit, 0, 0, 5, {325, 229}},
  };
  for (const auto& c : cases) {
    const Size got = ClientSizeFor(c.mode, c.w, c.h, {1000, 768}, c.loaded, frame);
    EXPECT_EQ(got.width, c.want.width) << static_cast<int>(c.mode) << " n=" << c.loaded;
    EXPECT_EQ(got.height, c.want.height) << static_cast<int>(c.mode) << " n=" << c.loaded;
  }
  const int sides[][2] = {{0, 0}, {1, 1}, {2, 2}, {4, 2}, {5, 3}, {9, 3}, {10, 4}, {16, 4}, {17, 5}};
  for (const auto& s : sides) EXPECT_EQ(GridSide(s[0]), s[1]) << s[0];

  const StripLayout l = LayoutStrip(352, 264);
  const Rect want[] = {{0, 0, 352, 240}, {75, 240, 277, 24}, {0, 240, 75, 5}, {0, 245, 75, 19}};
  const Rect got[] = {l.picture, l.trackbar, l.spacer, l.timeLabel};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(got[i].x, want[i].x) << i;
    EXPECT_EQ(got[i].y, want[i].y) << i;
    EXPECT_EQ(got[i].width, want[i].width) << i;
    EXPECT_EQ(got[i].height, want[i].height) << i;
  }
}

}  // namespace
}  // namespace workspace_test
