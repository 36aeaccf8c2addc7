// The engine's decisions, driven step by step on the test thread: which frame
// comes next, how long it waits, where it pauses, how it crosses minutes; and
// what ShowFrame and Paint hand to the view.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/playback/video_child_fixture.h"

using namespace video_child_test;
using testing_support::TraceCapture;
using Kind = RecordingView::Kind;

namespace {

std::string Text(const char* folder, const char* name, std::size_t size = 64) {
  std::vector<char> out(size, 'x');
  FormatTimeText(folder, name, out.data(), out.size());
  return std::string(out.data());
}

TEST(VideoChildTimeText, ShowsHourMinuteSecondAndHundredthsOfEveryScheme) {
  const std::string sep(1, platform::kPathSeparator);
  const std::string folder = "root" + sep + "cam" + sep + "2004-03-15" + sep + "12" + sep + "58";
  EXPECT_EQ(Text(folder.c_str(), "4307.jpg"), " 12 : 58 : 43 07");
  EXPECT_EQ(Text(folder.c_str(), "43-07.jpg"), " 12 : 58 : 43 07");
  EXPECT_EQ(Text(folder.c_str(), "43075.jpg"), " 12 : 58 : 43 07");
  // An 8-character name of a millisecond folder shows its digits as they are.
  EXPECT_EQ(Text(folder.c_str(), "4375.jpg"), " 12 : 58 : 43 75");
}

TEST(VideoChildTimeText, ShortPathsAndNamesAndSmallBuffersStayBounded) {
  EXPECT_EQ(Text("5", "4"), " ?? : ?5 : 4? ??");
  EXPECT_EQ(Text(nullptr, nullptr), " ?? : ?? : ?? ??");
  EXPECT_EQ(Text("a/12/58", "4307.jpg", 6), " 12 :");
  char untouched = 'u';
  FormatTimeText("a/12/58", "4307.jpg", &untouched, 0);
  EXPECT_EQ(untouched, 'u');
}

class VideoChildSteps : public ::testing::Test {
 protected:
  VideoChildSteps() : child(false, &view) { view.child = &child; }

  // Steps until the child pauses; the frames answered as (HH/MM, index).
  std::vector<std::pair<std::string, int>> PlayToPause() {
    std::vector<std::pair<std::string, int>> shown;
    for (int guard = 0; guard < 200 && child.mode() != PlaybackMode::Pause; ++guard) {
      const int index = child.Step();
      if (index >= 0) {
        const std::string folder = child.folder();
        std::string hhmm = folder.substr(folder.size() - 5);
        hhmm[2] = '/';
        shown.emplace_back(hhmm, index);
      }
    }
    return shown;
  }

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

  // A new Forward shows the last frame once more and pauses again.
  child.SetMode(PlaybackMode::Forward);
  EXPECT_EQ(child.Step(), 2);
  EXPECT_EQ(child.Step(), -1);
  EXPECT_EQ(child.mode(), PlaybackMode::Pause);
  EXPECT_EQ(child.position(), 2);

  // The load sets range and thumb; each step puts the thumb on the frame
  // about to be shown.
  std::vector<int> thumbs;
  for (const auto& e : view.Of(Kind::Thumb)) thumbs.push_back(e.value);
  EXPECT_EQ(thumbs, (std::vector<int>{0, 0, 1, 2, 2}));
  ASSERT_EQ(view.Of(Kind::Range).size(), 1u);
  EXPECT_EQ(view.Of(Kind::Range)[0].value, 2);
}

TEST_F(VideoChildSteps, FastModesShowEveryThirdFrameAtAThirdOfTheDelay) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(10, 4300, 1)).c_str()), 0);
  child.SetMode(PlaybackMode::FastForward);
  const Clock::time_point start = Clock::now();
  std::vector<int> shown;
  for (int index; (index = child.Step()) >= 0;) shown.push_back(index);
  EXPECT_EQ(shown, (std::vector<int>{0, 3, 6, 9}));
  // 3 ms per hundredth over three hundredths, before each of the first three.
  EXPECT_GE(MillisecondsBetween(start, Clock::now()), 25);
  EXPECT_EQ(child.mode(), PlaybackMode::Pause);
  EXPECT_EQ(child.position(), 9);

  // FastRewind from 1 shows frame 1, passes the start, and stays on 1.
  child.SetPosition(1);
  child.SetMode(PlaybackMode::FastRewind);
  EXPECT_EQ(child.Step(), 1);
  EXPECT_EQ(child.Step(), -1);
  EXPECT_EQ(child.mode(), PlaybackMode::Pause);
  EXPECT_EQ(child.position(), 1);
}

TEST_F(VideoChildSteps, RewindStartsAtTheLastFrameOfAFreshListAndEndsStayInside) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(3, 0, 1)).c_str()), 0);
  EXPECT_EQ(child.position(), -1);
  child.SetMode(PlaybackMode::Rewind);
  EXPECT_EQ(child.position(), 2);
  std::vector<int> shown;
  for (int index; (index = child.Step()) >= 0;) shown.push_back(index);
  EXPECT_EQ(shown, (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(child.position(), 0);
  child.SetMode(PlaybackMode::Rewind);
  EXPECT_EQ(child.Step(), 0);
  EXPECT_EQ(child.Step(), -1);

  // A position beyond the list pauses on its last frame.
  child.SetPosition(50);
  child.SetMode(PlaybackMode::Forward);
  EXPECT_EQ(child.Step(), -1);
  EXPECT_EQ(child.position(), 2);
  child.SetMode(PlaybackMode::Forward);
  EXPECT_EQ(child.Step(), 2);
}

TEST_F(VideoChildSteps, PauseAndDraggingLeaveThingsWhereTheyAre) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(4, 0, 1)).c_str()), 0);
  EXPECT_EQ(child.Step(), -1);  // made paused
  EXPECT_EQ(child.position(), -1);
  child.SetMode(PlaybackMode::Pause);
  EXPECT_EQ(child.position(), -1);

  view.Clear();
  child.SetDragging(true);
  child.SetMode(PlaybackMode::Forward);
  EXPECT_EQ(child.Step(), 0);
  EXPECT_EQ(child.Step(), 1);
  EXPECT_TRUE(view.Of(Kind::Thumb).empty());
  child.SetDragging(false);
  EXPECT_EQ(child.Step(), 2);
  ASSERT_EQ(view.Of(Kind::Thumb).size(), 1u);
}

// Minutes 12:58 (2 frames), 12:59 (1), no hour 13, 14:03 (2), 14:05 empty,
// 14:07 (1).
class VideoChildMinutes : public VideoChildSteps {
 protected:
  VideoChildMinutes() {
    m1258 = backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
    backup.Minute(12, 59, {"0000.jpg"});
    backup.Minute(14, 3, {"0000.jpg", "0001.jpg"});
    testing_support::MakeDirs(backup.MinutePath(14, 5));
    m1407 = backup.Minute(14, 7, {"0000.jpg"});
  }
  std::string m1258, m1407;
};

TEST_F(VideoChildMinutes, ForwardWithContinuationCrossesMinutesAndHoursAndPassesEmptyOnes) {
  child.SetPlayContinuously(true);
  ASSERT_EQ(child.LoadFrameList(m1258.c_str()), 0);
  child.SetMode(PlaybackMode::Forward);
  const auto shown = PlayToPause();
  const std::vector<std::pair<std::string, int>> want = {
      {"12/58", 0}, {"12/58", 1}, {"12/59", 0}, {"14/03", 0}, {"14/03", 1}, {"14/07", 0}};
  EXPECT_EQ(shown, want);
  // The date has no later minute: paused on the last frame of 14:07.
  EXPECT_EQ(child.folder(), m1407);
  EXPECT_EQ(child.position(), 0);
  // Every minute loaded on the way resized the slider; the empty one did not.
  std::vector<int> ranges;
  for (const auto& e : view.Of(Kind::Range)) ranges.push_back(e.value);
  EXPECT_EQ(ranges, (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(VideoChildMinutes, RewindWithContinuationGoesBackToTheDatesFirstFrame) {
  child.SetPlayContinuously(true);
  ASSERT_EQ(child.LoadFrameList(m1407.c_str()), 0);
  child.SetMode(PlaybackMode::Rewind);
  const auto shown = PlayToPause();
  const std::vector<std::pair<std::string, int>> want = {
      {"14/07", 0}, {"14/03", 1}, {"14/03", 0}, {"12/59", 0}, {"12/58", 1}, {"12/58", 0}};
  EXPECT_EQ(shown, want);
  EXPECT_EQ(child.folder(), m1258);
  EXPECT_EQ(child.position(), 0);
}

TEST_F(VideoChildMinutes, WithoutContinuationTheMinutesEndPauses) {
  ASSERT_EQ(child.LoadFrameList(m1258.c_str()), 0);
  child.SetMode(PlaybackMode::Forward);
  EXPECT_EQ(PlayToPause(), (std::vector<std::pair<std::string, int>>{{"12/58", 0}, {"12/58", 1}}));
  EXPECT_EQ(child.folder(), m1258);
  child.TogglePlayContinuously();
  child.SetMode(PlaybackMode::Forward);
  const auto shown = PlayToPause();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().first, "14/07");
}

TEST_F(VideoChildSteps, LoadFrameListReplacesTheListAndMovesTheSliderOnlyOnSuccess) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(3, 0, 1)).c_str()), 0);
  child.SetPosition(2);
  view.Clear();
  EXPECT_EQ(child.LoadFrameList(backup.MinutePath(12, 30).c_str()), -1);
  EXPECT_EQ(child.count(), 0);
  EXPECT_EQ(child.position(), -1);
  EXPECT_TRUE(view.Events().empty());
  EXPECT_EQ(child.ShowFrame(0), -1);
}

TEST_F(VideoChildSteps, ShowFrameDecodesSetsTheTextAndDrawsThroughTheView) {
  const std::string folder = backup.Minute(12, 58, {"4307.jpg", "4310.jpg"});
  testing_support::WriteFile(folder + platform::kPathSeparator + "4320.jpg", "not a picture");
  ASSERT_EQ(child.LoadFrameList(folder.c_str()), 0);
  EXPECT_EQ(child.pictureWidth(), 0);
  EXPECT_EQ(child.Paint(), 0);  // nothing decoded: nothing drawn
  EXPECT_TRUE(view.Of(Kind::Draw).empty());

  view.Clear();
  EXPECT_EQ(child.ShowFrame(0), 0);
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{" 12 : 58 : 43 07"}));
  ASSERT_EQ(view.Of(Kind::Draw).size(), 1u);
  EXPECT_EQ(view.Of(Kind::Draw)[0].value, 64);
  EXPECT_EQ(child.pictureWidth(), 64);
  EXPECT_EQ(child.pictureHeight(), 48);

  // Outside the list, or a file that is no picture: nothing changes.
  view.Clear();
  EXPECT_EQ(child.ShowFrame(3), -1);
  EXPECT_EQ(child.ShowFrame(-1), -1);
  EXPECT_EQ(child.ShowFrame(2), -1);
  EXPECT_TRUE(view.Events().empty());
  EXPECT_EQ(child.pictureWidth(), 64);
  EXPECT_EQ(child.Paint(), 0);
  EXPECT_EQ(view.Of(Kind::Draw).size(), 1u);
}

TEST_F(VideoChildSteps, APictureLargerThanTheUsualBufferIsDrawnWhole) {
  // 800 x 600 x 3 is more than the 704 x 576 buffer: the view reads its
  // last byte, which the sanitizers check.
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, {"0000.jpg"}, 800, 600).c_str()), 0);
  EXPECT_EQ(child.ShowFrame(0), 0);
  ASSERT_EQ(view.Of(Kind::Draw).size(), 1u);
  EXPECT_EQ(view.Of(Kind::Draw)[0].value, 800);
  EXPECT_EQ(child.pictureHeight(), 600);
}

TEST(VideoChild, WithoutAViewNothingIsDrawnAndTheTraceSaysWhy) {
  Backup backup;
  VideoChild child(false);
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, {"0000.jpg"}).c_str()), 0);
  TraceCapture trace;
  EXPECT_EQ(child.ShowFrame(0), -1);
  EXPECT_TRUE(trace.Contains("Not available child"));
  EXPECT_EQ(child.pictureWidth(), 64);  // decoded all the same
  trace.Clear();
  EXPECT_EQ(child.Paint(), -1);
  EXPECT_TRUE(trace.Contains("Not available child"));
}

TEST(VideoChild, KeepsABoundedCameraName) {
  VideoChild child(true);
  const std::string longName(400, 'c');
  child.SetCameraName(longName.c_str());
  EXPECT_EQ(std::strlen(child.cameraName()), platform::kMaxPath - 1);
}

}  // namespace
