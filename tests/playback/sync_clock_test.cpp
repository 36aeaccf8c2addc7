// Children on one shared clock: cameras of 0.04, 0.06 and 0.5 s steps, the
// last with a gap, across a minute, hour and date at midnight. Run under
// TSan as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "playback/sync_clock.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const WallTime kMidnight = MakeWallTime({2004, 3, 16, 0, 0, 0, 0});
// Scheduling latency allowed, in hundredths: below the sparsest step (50).
constexpr WallTime kSlack = 40;

struct Camera {
  const char* name;
  int step;                                // hundredths
  std::vector<std::pair<int, int>> spans;  // hundredths from midnight, inclusive
  std::vector<WallTime> times;
};

struct QuietView : VideoView {
  void Changed() override {}
  void ThreadEnded() override {}
};

class SyncClockTest : public ::testing::Test {
 protected:
  SyncClockTest() {
    const std::string first = dir.Join("first.jpg");
    sample::FrameRecipe recipe;
    recipe.width = 32;
    recipe.height = 24;
    EXPECT_TRUE(sample::WriteFrame(first, recipe));
    const std::string bytes = testing_support::ReadFile(first);
    for (Camera& camera : cameras) {
      for (const auto& span : camera.spans) {
        for (int t = span.first; t <= span.second; t += camera.step) {
          const WallTime time = kMidnight + t;
          const CivilTime c = SplitWallTime(time);
          char name[64];
          std::snprintf(name, sizeof name, "%s/%04d-%02d-%02d/%02d/%02d/%02d%02d.jpg", camera.name,
                        c.year, c.month, c.day, c.hour, c.minute, c.second, c.hundredths);
          testing_support::WriteFile(dir.Join(name), bytes);
          camera.times.push_back(time);
        }
      }
      children.push_back(std::make_unique<VideoChild>(false, &view));
      // Opened elsewhere first: the clock brings each to its moment.
      children.back()->LoadFrameList(dir.Join(camera.name + std::string("/2004-03-16/00/00")).c_str());
      children.back()->StartThread();
    }
  }

  // The last frame at or before `m` within 2 s, or -1: what camera `c` shows.
  WallTime Expected(int c, WallTime m) const {
    const auto& times = cameras[c].times;
    const auto after = std::upper_bound(times.begin(), times.end(), m);
    if (after == times.begin() || m - *(after - 1) > 200) return -1;
    return *(after - 1);
  }

  // Each child shows what its camera recorded at some moment within the
  // clock's moments around the reading, give or take kSlack. Answers whether
  // camera c shows "No recording".
  bool CheckGroup(const std::shared_ptr<SyncClock>& clock) {
    const WallTime before = clock->moment();
    std::vector<ViewState> states(children.size());
    for (std::size_t c = 0; c < children.size(); ++c) children[c]->GetViewState(&states[c]);
    const WallTime after = clock->moment();
    for (std::size_t c = 0; c < children.size(); ++c) {
      const WallTime shown = states[c].noRecording ? -1 : states[c].moment;
      bool agrees = false;
      for (WallTime m = std::min(before, after) - kSlack; m <= std::max(before, after) + kSlack; ++m)
        agrees = agrees || Expected(static_cast<int>(c), m) == shown;
      EXPECT_TRUE(agrees) << cameras[c].name << " shows " << shown - kMidnight << " at "
                          << before - kMidnight;
      EXPECT_TRUE(states[c].grouped);
    }
    return states[2].noRecording;
  }

  bool Eventually(const std::function<bool()>& done) {
    for (const Clock::time_point end = Clock::now() + std::chrono::seconds(30); !done();) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
  }
  bool Shows(int c, WallTime moment) {
    ViewState state;
    children[c]->GetViewState(&state);
    return moment < 0 ? state.noRecording : !state.noRecording && state.moment == moment;
  }
  bool AllShow(WallTime moment) {
    return Eventually([&] { return Shows(0, Expected(0, moment)) && Shows(1, Expected(1, moment)) &&
                                   Shows(2, Expected(2, moment)); });
  }

  testing_support::TempDir dir;
  std::vector<Camera> cameras = {{"a", 4, {{-300, 300}}, {}},
                                 {"b", 6, {{-298, 300}}, {}},
                                 {"c", 50, {{-400, -300}, {100, 300}}, {}}};  // gap: -100 to 99
  QuietView view;  // one for all: it keeps nothing
  std::vector<std::unique_ptr<VideoChild>> children;  // destroyed first
};

TEST_F(SyncClockTest, EveryModeKeepsTheGroupOnItsCamerasFramesAcrossMidnightAndItsGaps) {
  const struct {
    PlaybackMode mode;
    int from;        // hundredths from midnight
    int ms;          // played for
  } cases[] = {{PlaybackMode::Forward, -150, 2800},
               {PlaybackMode::FastForward, -300, 1500},
               {PlaybackMode::Rewind, 150, 2800},
               {PlaybackMode::FastRewind, 280, 1500}};
  auto clock = std::make_shared<SyncClock>(kMidnight, PlaybackMode::Pause);
  for (auto& child : children) child->Synchronize(clock);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    clock->JumpTo(kMidnight + c.from);
    ASSERT_TRUE(AllShow(kMidnight + c.from));
    clock->SetMode(c.mode);
    std::vector<bool> gap;  // camera c's "No recording", reading by reading
    for (const Clock::time_point end = Clock::now() + milliseconds(c.ms); Clock::now() < end;) {
      gap.push_back(CheckGroup(clock));
      std::this_thread::sleep_for(milliseconds(15));
    }
    // c goes into its gap and rejoins the group after it.
    const auto into = std::find(gap.begin(), gap.end(), true);
    EXPECT_NE(into, gap.end());
    EXPECT_NE(std::find(into, gap.end(), false), gap.end());
    clock->SetMode(PlaybackMode::Pause);
    ASSERT_TRUE(AllShow(clock->moment()));
  }
}

TEST_F(SyncClockTest, FrameStepsJumpsLeavingRejoiningAndAMomentForOneChild) {
  auto clock = std::make_shared<SyncClock>(kMidnight - 301, PlaybackMode::Pause);
  for (auto& child : children) child->Synchronize(clock);
  // Steps go to the nearest frame of any camera beyond the pictures on show.
  const struct {
    bool forward;
    WallTime to;
  } steps[] = {{true, -300}, {true, -298}, {true, -296}, {true, -292}, {false, -296},
               {false, -298}, {false, -300}, {false, -350}, {false, -400}};
  for (const auto& s : steps) {
    clock->StepFrame(s.forward);
    ASSERT_TRUE(Eventually([&] { return clock->moment() == kMidnight + s.to; })) << s.to;
  }
  ASSERT_TRUE(AllShow(kMidnight - 400));

  // A jump into c's gap: "No recording" there, frames elsewhere.
  clock->JumpTo(kMidnight + 50);
  ASSERT_TRUE(Eventually([&] { return Shows(2, -1) && Shows(0, kMidnight + 48); }));

  // b alone: paused by its own command while the group plays, then back.
  clock->SetMode(PlaybackMode::Forward);
  children[1]->SetMode(PlaybackMode::Pause);
  EXPECT_EQ(clock->members(), 2);
  EXPECT_EQ(children[1]->mode(), PlaybackMode::Pause);
  std::this_thread::sleep_for(milliseconds(300));
  ViewState b;
  children[1]->GetViewState(&b);
  EXPECT_FALSE(b.grouped);
  EXPECT_LT(b.moment, clock->moment() - 20);
  children[1]->Synchronize(clock);
  EXPECT_EQ(children[1]->mode(), PlaybackMode::Forward);
  clock->SetMode(PlaybackMode::Pause);
  ASSERT_TRUE(AllShow(clock->moment()));

  // One child alone to a moment: the minute that holds it, or "No recording".
  children[2]->ShowMoment(kMidnight - 350);
  ASSERT_TRUE(Eventually([&] { return Shows(2, kMidnight - 350); }));
  EXPECT_EQ(clock->members(), 2);
  children[2]->ShowMoment(kMidnight - 50);
  ASSERT_TRUE(Eventually([&] { return Shows(2, -1); }));
  clock->SetMode(PlaybackMode::FastForward);  // and destroyed while playing
}

}  // namespace
