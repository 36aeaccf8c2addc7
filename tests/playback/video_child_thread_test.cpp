// The playback thread with a user-interface thread (the test) acting on the
// child while it plays: pausing and closing in the middle of a long gap, the
// slider moved, a minute opened into a playing child, a stall, and the child
// destroyed from its own thread's end. Run under TSan as well.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/playback/video_child_fixture.h"

using namespace video_child_test;
using Kind = RecordingView::Kind;

namespace {

struct HookLog {
  std::mutex mutex;
  std::vector<int> indices;
  std::vector<Clock::time_point> dues;
  bool dueAfterShown = false;
  static void Hook(void* context, int index, Clock::time_point due, Clock::time_point shown) {
    auto* log = static_cast<HookLog*>(context);
    std::lock_guard<std::mutex> lock(log->mutex);
    log->indices.push_back(index);
    log->dues.push_back(due);
    if (due > shown) log->dueAfterShown = true;
  }
};

class VideoChildThread : public ::testing::Test {
 protected:
  VideoChildThread() : child(false, &view) { view.child = &child; }
  ~VideoChildThread() override {
    child.RequestQuit();
    child.Join();
  }

  // Used by the playback thread: members, so that they outlive it even when
  // a test ends early.
  HookLog hook;
  std::atomic<bool> once{false};
  Backup backup;
  RecordingView view;
  VideoChild child;
};


TEST_F(VideoChildThread, PlaysAMinuteInOrderParksAtTheEndAndEndsOnRequest) {
  child.SetFrameHook(&HookLog::Hook, &hook);
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, {"0000.jpg", "0002.jpg", "0004.jpg"}).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  EXPECT_EQ(child.StartThread(), -1);  // one thread per child
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitForTexts(3));
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{" 12 : 58 : 00 00", " 12 : 58 : 00 02",
                                                    " 12 : 58 : 00 04"}));
  EXPECT_EQ(view.Of(Kind::Draw).size(), 3u);
  EXPECT_EQ(child.mode(), PlaybackMode::Pause);
  EXPECT_EQ(child.position(), 2);

  child.SetMode(PlaybackMode::Forward);  // the last frame once more
  ASSERT_TRUE(view.WaitForTexts(4));
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_EQ(view.Texts().back(), " 12 : 58 : 00 04");
  {
    std::lock_guard<std::mutex> lock(hook.mutex);
    EXPECT_EQ(hook.indices, (std::vector<int>{0, 1, 2, 2}));
    EXPECT_FALSE(hook.dueAfterShown);
  }

  // Closing a paused child: the parked thread wakes and ends at once.
  const Clock::time_point asked = Clock::now();
  child.RequestQuit();
  child.Join();
  EXPECT_LT(MillisecondsBetween(asked, Clock::now()), 1000);
  EXPECT_EQ(view.Of(Kind::Ended).size(), 1u);
}

TEST_F(VideoChildThread, FramesAreDueAtTheirRecordedTimesWhateverDrawingCosts) {
  // 30 ms apart; each drawing takes 10 ms, which must not add up.
  child.SetFrameHook(&HookLog::Hook, &hook);
  view.beforeRepaint = [] { std::this_thread::sleep_for(milliseconds(10)); };
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(5, 0, 3)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitForTexts(5));
  child.RequestQuit();
  child.Join();  // the hook is not called any more
  ASSERT_EQ(hook.dues.size(), 5u);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(hook.dues[i] - hook.dues[i - 1], milliseconds(30)) << i;
  EXPECT_EQ(hook.dues[4], hook.dues[3]);  // no gap follows the last frame
  EXPECT_FALSE(hook.dueAfterShown);
}

TEST_F(VideoChildThread, AMinuteOpenedBetweenAStepAndItsDrawingIsNotDrawnWithTheOldIndex) {
  const std::string other = backup.Minute(14, 3, Backup::Names(5, 0, 1));
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(5, 0, 1)).c_str()), 0);
  // The playback thread moves the thumb right after choosing frame 2 and
  // before drawing it: open the other minute just then.
  view.onThumb = [this, other](int thumb) {
    if (thumb == 2 && !once.exchange(true)) {
      child.LoadFrameList(other.c_str());
    }
  };
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitForText(" 14 : 03 : 00 04"));
  const auto texts = view.Texts();
  std::size_t first = 0;
  while (first < texts.size() && texts[first].find(" 14 : 03") == std::string::npos) ++first;
  ASSERT_LT(first, texts.size());
  EXPECT_EQ(texts[first], " 14 : 03 : 00 00");
  EXPECT_EQ(first, 2u);  // 12:58 frames 0 and 1 only
}

TEST_F(VideoChildThread, PauseModeChangeAndQuitCutALongGapShort) {
  // Frame 0 is drawn after the 3 s gap that follows it.
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, {"0000.jpg", "0300.jpg"}).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child.position() == 1; }));  // waiting for frame 0

  Clock::time_point asked = Clock::now();
  child.SetMode(PlaybackMode::Pause);
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_LT(MillisecondsBetween(asked, Clock::now()), 1000);
  EXPECT_TRUE(view.Texts().empty());  // the frame waited for is not drawn...
  EXPECT_EQ(child.position(), 0);     // ...and playing resumes from it

  // Rewind from frame 0 has no gap to wait: frame 0 at once, then the start.
  asked = Clock::now();
  child.SetMode(PlaybackMode::Rewind);
  ASSERT_TRUE(view.WaitForTexts(1));
  EXPECT_LT(MillisecondsBetween(asked, view.Of(Kind::Text)[0].at), 1000);
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_EQ(child.position(), 0);

  // Closing a child in the middle of the gap.
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child.position() == 1; }));
  asked = Clock::now();
  child.RequestQuit();
  child.Join();
  EXPECT_LT(MillisecondsBetween(asked, Clock::now()), 1000);
  EXPECT_EQ(view.Texts().size(), 1u);
}

TEST_F(VideoChildThread, AfterAStallPlayingSkipsAheadInsteadOfRacing) {
  // Frames 0.1 s apart; the first drawing blocks the thread for 1.2 s, as a
  // window busy elsewhere would.
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(8, 0, 10)).c_str()), 0);
  view.beforeRepaint = [this] {
    if (!once.exchange(true)) std::this_thread::sleep_for(milliseconds(1200));
  };
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitForTexts(4));
  const auto texts = view.Of(Kind::Text);
  // Frames after the stall keep their spacing (about 100 ms) instead of
  // following each other at once to catch up with the lost second.
  EXPECT_GE(MillisecondsBetween(texts[1].at, texts[2].at), 50);
  EXPECT_GE(MillisecondsBetween(texts[2].at, texts[3].at), 50);
}

TEST_F(VideoChildThread, SliderMovesAndPaintsWhilePlayingAreSafeAndTheLastMoveWins) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(30, 0, 1)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  // The user-interface thread drags, paints and shows frames meanwhile.
  for (int i = 0; i < 150; ++i) {
    child.SetPosition((i * 7) % 30);
    EXPECT_EQ(child.Paint(), 0);
    if (i % 10 == 0) child.ShowFrame(i % 30);
    if (i % 25 == 0) child.SetMode(i % 50 ? PlaybackMode::Forward : PlaybackMode::Rewind);
    std::this_thread::sleep_for(milliseconds(1));
  }
  child.SetMode(PlaybackMode::Forward);
  child.SetPosition(25);
  ASSERT_TRUE(Eventually([&] { return child.parked() && child.position() == 29; }));
  EXPECT_EQ(view.Texts().back(), " 12 : 58 : 00 29");

  // Paused: the window sets the position and shows the frame at once;
  // Forward then plays on from there.
  child.SetPosition(5);
  EXPECT_EQ(child.ShowFrame(5), 0);
  EXPECT_EQ(view.Texts().back(), " 12 : 58 : 00 05");
  const std::size_t shown = view.Texts().size();
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitForTexts(shown + 2));
  const auto texts = view.Texts();
  EXPECT_EQ(texts[shown], " 12 : 58 : 00 05");
  EXPECT_EQ(texts[shown + 1], " 12 : 58 : 00 06");
}

TEST_F(VideoChildThread, AMinuteOpenedIntoAPlayingChildPlaysFromItsStart) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(40, 0, 5)).c_str()), 0);
  const std::string other = backup.Minute(14, 3, Backup::Names(3, 0, 2));
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitForTexts(2));

  ASSERT_EQ(child.LoadFrameList(other.c_str()), 0);
  child.SetPosition(0);
  ASSERT_TRUE(view.WaitForText(" 14 : 03 : 00 04"));
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));

  const auto texts = view.Texts();
  std::size_t first = 0;
  while (first < texts.size() && texts[first].find(" 14 : 03") == std::string::npos) ++first;
  const std::vector<std::string> after(texts.begin() + first, texts.end());
  EXPECT_EQ(after, (std::vector<std::string>{" 14 : 03 : 00 00", " 14 : 03 : 00 02",
                                             " 14 : 03 : 00 04"}));
  EXPECT_EQ(view.Of(Kind::Range).back().value, 2);
}

TEST_F(VideoChildThread, AMinuteOpenedIntoARewindingChildIsNotLeftBeforeItsPositionIsSet) {
  // Rewinding 14:07 with continuation; 14:03 is opened into it and its
  // position set a little later. In between, the thread must not take the
  // fresh list's "no position" for "before the first frame" and leave for
  // 12:59.
  child.SetPlayContinuously(true);
  backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  backup.Minute(12, 59, {"0000.jpg", "0001.jpg"});
  const std::string m1403 = backup.Minute(14, 3, {"0000.jpg", "0050.jpg", "0100.jpg"});
  ASSERT_EQ(child.LoadFrameList(backup.Minute(14, 7, Backup::Names(40, 0, 5)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Rewind);
  ASSERT_TRUE(view.WaitForTexts(2));

  ASSERT_EQ(child.LoadFrameList(m1403.c_str()), 0);
  const std::size_t before = view.Texts().size();
  std::this_thread::sleep_for(milliseconds(30));
  child.SetPosition(0);
  // Then back over the hour gap to 12:59 and 12:58, pausing at the date's
  // first frame.
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  const auto texts = view.Texts();
  ASSERT_GT(texts.size(), before);
  std::size_t first = before;
  while (first < texts.size() && texts[first].find(" 14 : 07") != std::string::npos) ++first;
  const std::vector<std::string> after(texts.begin() + first, texts.end());
  EXPECT_EQ(after, (std::vector<std::string>{" 14 : 03 : 00 00", " 12 : 59 : 00 01",
                                             " 12 : 59 : 00 00", " 12 : 58 : 00 01",
                                             " 12 : 58 : 00 00"}));
  EXPECT_EQ(child.position(), 0);
}

TEST(VideoChildEnd, TheChildMayBeDestroyedFromItsOwnThreadsLastCall) {
  // As the program's ChildManager::Unload does on the playback thread. The
  // view outlives the detached thread.
  static RecordingView view;
  view.Clear();
  Backup backup;
  auto* child = new VideoChild(false, &view);
  view.child = child;
  view.onThreadEnded = [] {
    delete view.child;
    view.child = nullptr;
  };
  ASSERT_EQ(child->LoadFrameList(backup.Minute(12, 58, Backup::Names(5, 0, 100)).c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  child->SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child->position() == 1; }));  // mid-gap
  child->RequestQuit();
  ASSERT_TRUE(view.WaitForEnd());
  EXPECT_EQ(view.child, nullptr);
}

}  // namespace
