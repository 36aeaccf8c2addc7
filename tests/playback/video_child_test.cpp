// The engine's decisions, driven step by step on the test thread: which frame
// comes next, how long it waits, where it pauses, how it crosses minutes; and
// what ShowFrame and Paint hand to the view.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/playback/video_child_fixture.h"

using namespace video_child_test;
using Kind = RecordingView::Kind;
using Shown = std::vector<std::pair<std::string, int>>;

namespace {

TEST(VideoChildTimeText, ShowsTheTimeOfEveryNamingSchemeWithinItsBuffer) {
  const std::string sep(1, platform::kPathSeparator);
  const std::string folder = "cam" + sep + "2004-03-15" + sep + "12" + sep + "58";
  char out[32];
  for (const char* name : {"4307.jpg", "43-07.jpg", "43075.jpg"}) {
    FormatTimeText(folder.c_str(), name, out, sizeof out);
    EXPECT_STREQ(out, " 12 : 58 : 43 07") << name;
  }
  FormatTimeText("5", nullptr, out, 6);  // what is missing shows as '?'
  EXPECT_STREQ(out, " ?? :");
}

std::string HourMinute(const std::string& folder) {
  std::string hhmm = folder.substr(folder.size() - 5);
  hhmm[2] = '/';
  return hhmm;
}

// Steps until the child pauses; the frames answered as (HH/MM, index).
Shown PlayToPause(VideoChild& child) {
  Shown shown;
  for (int guard = 0; guard < 200 && child.mode() != PlaybackMode::Pause; ++guard) {
    const int index = child.Step();
    if (index >= 0) shown.emplace_back(HourMinute(child.folder()), index);
  }
  return shown;
}

class VideoChildSteps : public ::testing::Test {
 protected:
  VideoChildSteps() : child(false, &view) { view.child = &child; }

  Backup backup;
  RecordingView view;
  VideoChild child;
};

TEST_F(VideoChildSteps, ForwardWaitsTheGapAfterEachFrameThenPausesOnTheLast) {
  // Frames at 0.00 s, 0.05 s and 0.20 s.
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, {"0000.jpg", "0005.jpg", "0020.jpg"}).c_str()), 0);
  child.SetMode(PlaybackMode::Forward);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(child.Step(), 0);
  EXPECT_GE(MillisecondsBetween(start, Clock::now()), 45);
  EXPECT_EQ(child.Step(), 1);
  // Paced from one anchor: the two gaps add up, whatever the steps cost.
  EXPECT_GE(MillisecondsBetween(start, Clock::now()), 195);
  EXPECT_EQ(child.Step(), 2);  // past the end: no gap
  EXPECT_EQ(child.Step(), -1);
  EXPECT_EQ(child.mode(), PlaybackMode::Pause);
  EXPECT_EQ(child.position(), 2);
  // The load sets range and thumb; steps alone show nothing.
  EXPECT_EQ(view.Values(Kind::Thumb), (std::vector<int>{0}));
  EXPECT_EQ(view.Values(Kind::Range), (std::vector<int>{2}));
}

TEST_F(VideoChildSteps, EachModePlaysFromItsPositionAndPausesInsideTheList) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(10, 4300, 1)).c_str()), 0);
  struct Case {
    int from;
    PlaybackMode mode;
    std::vector<int> shown;  // then paused on the last of these
    int pausedOn;
    int sleptMs;  // the gaps between them: 10 ms a hundredth, 3 in fast modes
  };
  const Case cases[] = {
      {-1, PlaybackMode::Rewind, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, 0, 90},  // none: from the end
      {-1, PlaybackMode::FastForward, {0, 3, 6, 9}, 9, 27},               // none: from the start
      {9, PlaybackMode::Forward, {9}, 9, 0},  // at the end: the last frame once more
      {1, PlaybackMode::FastRewind, {1}, 1, 0},
      {8, PlaybackMode::FastRewind, {8, 5, 2}, 2, 18},
      {50, PlaybackMode::Forward, {}, 9, 0},  // beyond the list
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    child.SetPosition(c.from);
    child.SetMode(c.mode);
    const Clock::time_point start = Clock::now();
    std::vector<int> shown;
    for (const auto& frame : PlayToPause(child)) shown.push_back(frame.second);
    EXPECT_GE(MillisecondsBetween(start, Clock::now()), c.sleptMs);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(child.position(), c.pausedOn);
  }
}

// "DD/HH/MM" of a minute folder.
std::string DayHourMinute(const std::string& folder) {
  std::string tail = folder.substr(folder.size() - 8);
  tail[2] = tail[5] = '/';
  return tail;
}

TEST(VideoChildMinutes, MinuteEndsCrossGapsAndDatesOrPauseAsContinuationSays) {
  Backup backup;
  backup.MinuteOn("2004-03-14", 23, 59, {"0000.jpg"});
  backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  backup.Minute(12, 59, {"0000.jpg"});
  testing_support::MakeDirs(backup.MinutePath(13, 0));  // empty minute, in an hour of no other
  backup.Minute(14, 3, {"0000.jpg", "0001.jpg"});
  testing_support::MakeDirs(backup.MinutePath(14, 5));
  testing_support::MakeDirs(backup.HourPath(15));
  backup.Minute(16, 7, {"0000.jpg"});  // past the empty hour 15
  backup.MinuteOn("2004-03-16", 0, 0, {"0000.jpg", "0001.jpg"});  // after midnight: the camera's last
  struct Case {
    bool continuous;
    PlaybackMode mode;
    const char* date;
    int hour, minute;
    Shown shown;  // ends paused on the last of these
    std::vector<int> ranges;  // the slider resized for each minute crossed into
  };
  const Case cases[] = {
      {true, PlaybackMode::Forward, "2004-03-15", 12, 58,
       {{"15/12/58", 0}, {"15/12/58", 1}, {"15/12/59", 0}, {"15/14/03", 0}, {"15/14/03", 1},
        {"15/16/07", 0}, {"16/00/00", 0}, {"16/00/00", 1}},
       {1, 0, 1, 0, 1}},
      {true, PlaybackMode::Rewind, "2004-03-15", 16, 7,
       {{"15/16/07", 0}, {"15/14/03", 1}, {"15/14/03", 0}, {"15/12/59", 0}, {"15/12/58", 1},
        {"15/12/58", 0}, {"14/23/59", 0}},
       {0, 1, 0, 1, 0}},
      {false, PlaybackMode::Forward, "2004-03-15", 12, 58, {{"15/12/58", 0}, {"15/12/58", 1}}, {1}},
      {false, PlaybackMode::Rewind, "2004-03-15", 14, 3, {{"15/14/03", 1}, {"15/14/03", 0}}, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.continuous << ", mode " << static_cast<int>(c.mode));
    RecordingView view;
    VideoChild child(c.continuous, &view);
    view.child = &child;
    ASSERT_EQ(child.LoadFrameList(backup.MinutePathOn(c.date, c.hour, c.minute).c_str()), 0);
    child.SetMode(c.mode);
    Shown shown;
    for (int guard = 0; guard < 200 && child.mode() != PlaybackMode::Pause; ++guard) {
      const int index = child.Step();
      if (index >= 0) shown.emplace_back(DayHourMinute(child.folder()), index);
    }
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(DayHourMinute(child.folder()), c.shown.back().first);
    EXPECT_EQ(child.position(), c.shown.back().second);
    EXPECT_EQ(view.Values(Kind::Range), c.ranges);
  }
}

TEST_F(VideoChildSteps, ShowFrameDrawsThroughTheViewAndKeepsThePictureOnFailure) {
  const std::string folder = backup.Minute(12, 58, {"4307.jpg", "4310.jpg"});
  testing_support::WriteFile(folder + platform::kPathSeparator + "4320.jpg", "not a picture");
  backup.Minute(12, 58, {"4330.jpg"}, 800, 600);  // larger than the usual buffer
  ASSERT_EQ(child.LoadFrameList(folder.c_str()), 0);
  EXPECT_EQ(child.Paint(view), 0);  // nothing decoded: nothing drawn
  EXPECT_TRUE(view.Values(Kind::Draw).empty());

  view.Clear();
  EXPECT_EQ(child.ShowFrame(0), 0);
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{" 12 : 58 : 43 07"}));
  EXPECT_EQ(view.Values(Kind::Draw), (std::vector<int>{64}));
  EXPECT_EQ(child.pictureHeight(), 48);

  // Outside the list, or a file that is no picture: nothing changes.
  view.Clear();
  for (int index : {4, -1, 2}) EXPECT_EQ(child.ShowFrame(index), -1) << index;
  EXPECT_EQ(view.Count(), 0u);
  EXPECT_EQ(child.Paint(view), 0);
  EXPECT_EQ(view.Values(Kind::Draw), (std::vector<int>{64}));

  // The view reads the last byte of the larger picture (the sanitizers check).
  EXPECT_EQ(child.ShowFrame(3), 0);
  EXPECT_EQ(view.Values(Kind::Draw).back(), 800);
  EXPECT_EQ(child.pictureHeight(), 600);

  // A minute that cannot be listed empties the list and the slider; the
  // picture stays.
  child.SetPosition(2);
  view.Clear();
  EXPECT_EQ(child.LoadFrameList(backup.MinutePath(12, 30).c_str()), -1);
  EXPECT_EQ(child.count(), 0);
  EXPECT_EQ(child.position(), -1);
  EXPECT_EQ(view.Values(Kind::Range), (std::vector<int>{0}));
  EXPECT_EQ(view.Values(Kind::Thumb), (std::vector<int>{0}));
  EXPECT_TRUE(view.Texts().empty());
  EXPECT_EQ(child.ShowFrame(0), -1);
}

}  // namespace

TEST_F(VideoChildSteps, ShownSizeSetsTheDecodeScaleButSavingAndEnlargingGetWholePictures) {
  const std::string folder = backup.Minute(12, 58, Backup::Names(3, 4300, 10), 130, 98);
  ASSERT_EQ(child.LoadFrameList(folder.c_str()), 0);
  child.SetShownSize(65, 49);
  ASSERT_EQ(child.ShowFrame(0), 0);  // learns the picture's size whole
  ASSERT_EQ(child.ShowFrame(1), 0);
  EXPECT_EQ(view.Values(Kind::Draw).back(), 65);
  EXPECT_EQ(child.pictureWidth(), 130);  // what the size commands work from

  // Saving decodes the picture on show again, whole, as a fresh decoder does.
  struct Copy : PictureSink {
    BitmapHeader header{};
    std::vector<std::uint8_t> rows;
    int DrawPicture(const BitmapHeader& h, const std::uint8_t* p) override {
      header = h;
      const int stride = (3 * h.biWidth + 3) & ~3;
      for (int y = 0; y < -h.biHeight; ++y)
        rows.insert(rows.end(), p + y * stride, p + y * stride + 3 * h.biWidth);
      return 0;
    }
  } saved, fresh;
  char text[32] = {};
  ASSERT_EQ(child.PaintRecorded(saved, text, sizeof text), 0);
  EXPECT_STREQ(text, " 12 : 58 : 43 10");
  FrameDecoder decoder;
  ASSERT_EQ(decoder.Decode((folder + platform::kPathSeparator + "4310.jpg").c_str()), 0);
  fresh.DrawPicture(decoder.header(), decoder.pixels());
  EXPECT_EQ(saved.header.biWidth, 130);
  EXPECT_TRUE(saved.rows == fresh.rows);
  // ...and leaves the picture on show as it was.
  view.Clear();
  child.Paint(view);
  EXPECT_EQ(view.Values(Kind::Draw), (std::vector<int>{65}));

  // Shown larger: the frame on show is decoded whole at once, with its own
  // time text; shown smaller again, it is kept.
  view.Clear();
  child.SetShownSize(66, 49);
  EXPECT_EQ(view.Values(Kind::Draw), (std::vector<int>{130}));
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{" 12 : 58 : 43 10"}));
  view.Clear();
  child.SetShownSize(30, 20);
  EXPECT_EQ(view.Count(), 0u);
  ASSERT_EQ(child.ShowFrame(2), 0);
  EXPECT_EQ(view.Values(Kind::Draw).back(), 33);  // a quarter, rounded up
}
