// The playback thread with a user-interface thread (the test) acting on the
// child while it plays. Run under TSan as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/playback/video_child_fixture.h"

using namespace video_child_test;
using Kind = RecordingView::Kind;

namespace {

std::string HourMinuteOf(const std::string& folder) {
  std::string hhmm = folder.substr(folder.size() - 5);
  hhmm[2] = '/';
  return hhmm;
}

// Read only after Join, when the playback thread no longer calls it.
struct HookLog {
  std::vector<Clock::time_point> dues;
  bool dueAfterShown = false;
  static void Hook(void* context, int, Clock::time_point due, Clock::time_point shown) {
    auto* log = static_cast<HookLog*>(context);
    log->dues.push_back(due);
    if (due > shown) log->dueAfterShown = true;
  }
};

// Two frames due `gap` apart; or the later step came more than a second late
// (a loaded machine) and the engine re-anchored its clock there.
::testing::AssertionResult PacedApart(Clock::duration between, milliseconds gap) {
  if (between == gap || between > gap + std::chrono::seconds(1))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << std::chrono::duration_cast<std::chrono::microseconds>(between).count()
         << " us apart, want " << gap.count() << " ms";
}

class VideoChildThread : public ::testing::Test {
 protected:
  VideoChildThread() : child(false, &view) { view.child = &child; }
  ~VideoChildThread() override {
    child.RequestQuit();
    child.Join();
  }

  // Members, so that they outlive the playback thread even when a test ends
  // early.
  HookLog hook;
  std::atomic<bool> once{false};
  Backup backup;
  RecordingView view;
  VideoChild child;
};

TEST_F(VideoChildThread, FramesAreDueAtTheirRecordedTimesWhateverDrawingCosts) {
  // 30 ms apart; each drawing takes 10 ms, which must not add up. The first
  // blocks the thread for 1.2 s, as a window busy elsewhere would: frame 1 is
  // then due when the stall ends, not owed from before (and so drawn at once
  // with those after it).
  child.SetFrameHook(&HookLog::Hook, &hook);
  const std::thread::id test = std::this_thread::get_id();
  view.onChanged = [this, test] {
    if (std::this_thread::get_id() == test) return;
    std::this_thread::sleep_for(milliseconds(once.exchange(true) ? 10 : 1200));
  };
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(8, 0, 3)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitFor(Kind::Text, 8));
  child.RequestQuit();
  child.Join();
  ASSERT_EQ(hook.dues.size(), 8u);
  EXPECT_GT(hook.dues[1] - hook.dues[0], milliseconds(1100));
  int exact = 0;
  for (int i = 2; i < 7; ++i) {
    EXPECT_TRUE(PacedApart(hook.dues[i] - hook.dues[i - 1], milliseconds(30))) << i;
    exact += hook.dues[i] - hook.dues[i - 1] == milliseconds(30);
  }
  EXPECT_GT(exact, 0) << "every step more than a second late";
  EXPECT_TRUE(PacedApart(hook.dues[7] - hook.dues[6], milliseconds(0)))
      << "no gap follows the last frame";
  EXPECT_FALSE(hook.dueAfterShown);
}

TEST_F(VideoChildThread, PauseModeChangeAndQuitCutALongGapShort) {
  // Frame 0 is drawn after the 50 s gap that follows it; "at once" below is
  // anything well short of that.
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, {"0000.jpg", "5000.jpg"}).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child.position() == 1; }));  // waiting for frame 0

  Clock::time_point asked = Clock::now();
  child.SetMode(PlaybackMode::Pause);
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_LT(MillisecondsBetween(asked, Clock::now()), 10000);
  EXPECT_TRUE(view.Texts().empty());  // the frame waited for is not drawn...
  EXPECT_EQ(child.position(), 0);     // ...and playing resumes from it

  // Closing a child in the middle of the gap.
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child.position() == 1; }));
  asked = Clock::now();
  child.RequestQuit();
  child.Join();
  EXPECT_LT(MillisecondsBetween(asked, Clock::now()), 10000);
  EXPECT_TRUE(view.Texts().empty());
}

// Runs an action on the thread that reads a given file, just before it is read.
class OnRead : public platform::AccessHook {
 public:
  OnRead(std::string path, std::function<void()> action)
      : path_(std::move(path)), action_(std::move(action)) {
    platform::SetAccessHook(this);
  }
  ~OnRead() { platform::SetAccessHook(nullptr); }
  void BeforeAccess(const char* path) override {
    if (path != nullptr && path == path_ && !done_.exchange(true)) action_();
  }

 private:
  std::string path_;
  std::function<void()> action_;
  std::atomic<bool> done_{false};
};

TEST_F(VideoChildThread, AMinuteOpenedWhileAFrameIsReadPlaysFromItsStart) {
  const std::string other = backup.Minute(14, 3, Backup::Names(6, 0, 1));
  const std::string first = backup.Minute(12, 58, Backup::Names(5, 0, 1));
  ASSERT_EQ(child.LoadFrameList(first.c_str()), 0);
  // Open the other minute while the playback thread reads frame 2 of the
  // first: that frame must not be published as frame 2 of the new list.
  OnRead hook(first + platform::kPathSeparator + "0002.jpg",
              [this, other] { child.LoadFrameList(other.c_str()); });
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitFor(Kind::Text, 1, " 14 : 03 : 00 05"));
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{
                              " 12 : 58 : 00 00", " 12 : 58 : 00 01", " 14 : 03 : 00 00",
                              " 14 : 03 : 00 01", " 14 : 03 : 00 02", " 14 : 03 : 00 03",
                              " 14 : 03 : 00 04", " 14 : 03 : 00 05"}));
  EXPECT_EQ(view.Values(Kind::Range), (std::vector<int>{4, 5}));
}

TEST_F(VideoChildThread, AMinuteOpenedIntoARewindingChildIsNotLeftBeforeItsPositionIsSet) {
  // 14:03 is opened into a child rewinding 14:07 with continuation, and its
  // position set a little later (within the 10 s gaps of 14:03). In between,
  // the fresh list's "no position" must not count as "before the first
  // frame" and send it to 12:59.
  child.SetPlayContinuously(true);
  backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  backup.Minute(12, 59, {"0000.jpg", "0001.jpg"});
  const std::string m1403 = backup.Minute(14, 3, {"0000.jpg", "1000.jpg", "2000.jpg"});
  ASSERT_EQ(child.LoadFrameList(backup.Minute(14, 7, Backup::Names(40, 0, 5)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Rewind);
  ASSERT_TRUE(view.WaitFor(Kind::Text, 2));

  ASSERT_EQ(child.LoadFrameList(m1403.c_str()), 0);
  std::this_thread::sleep_for(milliseconds(30));
  child.SetPosition(0);
  // Then back over the hour gap, pausing at the date's first frame.
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  const auto texts = view.Texts();
  const auto after = std::find_if(texts.begin(), texts.end(), [](const std::string& text) {
    return text.find(" 14 : 07") == std::string::npos;
  });
  EXPECT_EQ(std::vector<std::string>(after, texts.end()), (std::vector<std::string>{" 14 : 03 : 00 00", " 12 : 59 : 00 01",
                                             " 12 : 59 : 00 00", " 12 : 58 : 00 01",
                                             " 12 : 58 : 00 00"}));
  EXPECT_EQ(child.position(), 0);
}

TEST_F(VideoChildThread, SliderMovesWhilePlayingAndPausedAndClosingAPausedChild) {
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(30, 0, 1)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  EXPECT_EQ(child.StartThread(), -1);  // one thread per child
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  child.SetMode(PlaybackMode::Forward);
  // The user-interface thread drags, paints and shows frames meanwhile.
  for (int i = 0; i < 150; ++i) {
    child.SetPosition((i * 7) % 30);
    EXPECT_EQ(child.Paint(view), 0);
    if (i % 10 == 0) child.ShowFrame(i % 30);
    if (i % 25 == 0) child.SetMode(i % 50 ? PlaybackMode::Forward : PlaybackMode::Rewind);
    std::this_thread::sleep_for(milliseconds(1));
  }
  // The last move wins: on to the end from there, and paused on the last frame.
  child.SetPosition(25);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child.parked() && child.position() == 29; }));
  std::vector<std::string> texts = view.Texts();
  ASSERT_GE(texts.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(texts.end() - 5, texts.end()),
            (std::vector<std::string>{" 12 : 58 : 00 25", " 12 : 58 : 00 26", " 12 : 58 : 00 27",
                                      " 12 : 58 : 00 28", " 12 : 58 : 00 29"}));

  // Paused: the window sets the position and shows the frame at once;
  // Forward then plays on from there.
  child.SetPosition(5);
  EXPECT_EQ(child.ShowFrame(5), 0);
  EXPECT_EQ(view.Texts().back(), " 12 : 58 : 00 05");
  const std::size_t shown = view.Texts().size();
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitFor(Kind::Text, shown + 2));
  texts = view.Texts();
  EXPECT_EQ(texts[shown], " 12 : 58 : 00 05");
  EXPECT_EQ(texts[shown + 1], " 12 : 58 : 00 06");

  // Closing a paused child: the parked thread wakes and ends.
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  child.RequestQuit();
  ASSERT_TRUE(view.WaitFor(Kind::Ended));
  child.Join();
}

TEST_F(VideoChildThread, TheThumbStandsOnTheFrameShownInEveryMode) {
  // Frame i of the minute is at time code i: its text ends in the index.
  ASSERT_EQ(child.LoadFrameList(backup.Minute(12, 58, Backup::Names(20, 0, 1)).c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  const struct {
    PlaybackMode mode;
    const char* last;  // the text of the last frame it plays
  } cases[] = {{PlaybackMode::Rewind, "00 00"}, {PlaybackMode::FastForward, "00 18"},
               {PlaybackMode::FastRewind, "00 01"}, {PlaybackMode::Forward, "00 19"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    ASSERT_TRUE(Eventually([&] { return child.parked(); }));
    view.Clear();
    child.SetPosition(SpeedOf(c.mode).backwards ? 19 : 0);
    child.SetMode(c.mode);
    ASSERT_TRUE(view.WaitFor(Kind::Text, 1, c.last));
    const auto shown = view.TextsWithThumbs();
    EXPECT_GE(shown.size(), 7u);
    for (const auto& picture : shown) {
      EXPECT_EQ(picture.second, std::stoi(picture.first.substr(picture.first.size() - 2)))
          << picture.first;
    }
  }
}

// Holds every listing of one folder until released, as a disc spinning up
// would; the first listing held can be waited for.
class HeldListing : public platform::AccessHook {
 public:
  explicit HeldListing(std::string folder) : folder_(std::move(folder)) {
    platform::SetAccessHook(this);
  }
  ~HeldListing() {
    platform::SetAccessHook(nullptr);
    Release();
  }
  void BeforeAccess(const char* path) override {
    if (path == nullptr || path != folder_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    started_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, kPatience, [this] { return released_; });
  }
  bool WaitStarted() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [this] { return started_; });
  }
  bool held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_ && !released_;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  void Arm() {
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = released_ = false;
  }

 private:
  std::string folder_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool started_ = false;
  bool released_ = false;
};

TEST_F(VideoChildThread, NothingTheUserDoesWaitsForTheListingOfTheNextMinute) {
  child.SetPlayContinuously(true);
  const std::string first = backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  HeldListing disc(backup.Minute(12, 59, {"0000.jpg", "0001.jpg"}));
  const std::string other = backup.Minute(14, 3, {"0000.jpg", "0001.jpg"});
  ASSERT_EQ(child.LoadFrameList(first.c_str()), 0);
  ASSERT_EQ(child.StartThread(), 0);
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(disc.WaitStarted());

  // All of these return while the listing is still held (a wait for it would
  // end only at the hook's patience).
  child.SetMode(PlaybackMode::Pause);
  EXPECT_EQ(child.position(), 2);
  ViewState state;
  child.GetViewState(&state);
  EXPECT_EQ(state.mode, PlaybackMode::Pause);
  EXPECT_TRUE(disc.held());
  // Paused meanwhile: the minute listed is dropped, and playing resumes by
  // crossing to it.
  disc.Release();
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  EXPECT_EQ(HourMinuteOf(child.folder()), "12/58");
  EXPECT_EQ(child.position(), 2);

  // A minute opened while the next is listed is played instead of it.
  disc.Arm();
  child.SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(disc.WaitStarted());
  EXPECT_EQ(child.LoadFrameList(other.c_str()), 0);
  EXPECT_TRUE(disc.held());
  disc.Release();
  ASSERT_TRUE(view.WaitFor(Kind::Text, 1, " 14 : 03 : 00 01"));
  ASSERT_TRUE(Eventually([&] { return child.parked(); }));
  for (const std::string& text : view.Texts()) EXPECT_EQ(text.find(" 12 : 59"), std::string::npos);
}

TEST(VideoChildStress, UserActionsWhilePlayingAcrossMinutesThenClosing) {
  // For the thread sanitizer: every operation of the user-interface thread
  // while the playback thread crosses minutes (4 frames each, 1 hundredth
  // apart), then the child is destroyed while it plays.
  Backup backup;
  std::vector<std::string> minutes;
  for (int m = 0; m < 6; ++m) minutes.push_back(backup.Minute(12, m, Backup::Names(4, 0, 1)));
  RecordingView view;
  auto child = std::make_unique<VideoChild>(true, &view);
  view.child = child.get();
  ASSERT_EQ(child->LoadFrameList(minutes[0].c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  const PlaybackMode modes[] = {PlaybackMode::Forward, PlaybackMode::FastForward,
                                PlaybackMode::Rewind, PlaybackMode::FastRewind,
                                PlaybackMode::Pause};
  ViewState state;
  for (int i = 0; i < 300; ++i) {
    switch (i % 6) {
      case 0: child->SetMode(modes[(i / 6) % 5]); break;
      case 1: child->SetPosition(i % 5); break;
      case 2: child->GetViewState(&state); break;
      case 3: child->Paint(view); break;
      case 4: if (i % 60 == 4) child->LoadFrameList(minutes[(i / 60) % 6].c_str()); break;
      case 5: child->ShowFrame(i % 4); break;
    }
    if (i % 50 == 0) std::this_thread::sleep_for(milliseconds(2));
  }
  child->SetMode(PlaybackMode::Forward);
  child.reset();
  EXPECT_EQ(view.Values(Kind::Ended).size(), 1u);
}

TEST(VideoChildEnd, TheOwnerDestroysTheChildOnItsThreadsLastCall) {
  // As the program does: ThreadEnded hands the child to the owner's thread,
  // which destroys it and so joins the finished thread.
  RecordingView view;
  Backup backup;
  auto child = std::make_unique<VideoChild>(false, &view);
  view.child = child.get();
  std::promise<void> ended;
  view.onThreadEnded = [&ended] { ended.set_value(); };
  ASSERT_EQ(child->LoadFrameList(backup.Minute(12, 58, Backup::Names(5, 0, 100)).c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  child->SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(Eventually([&] { return child->position() == 1; }));  // mid-gap
  child->RequestQuit();
  ASSERT_EQ(ended.get_future().wait_for(kPatience), std::future_status::ready);
  view.child = nullptr;
  child.reset();
  EXPECT_EQ(view.Values(Kind::Ended).size(), 1u);
}

}  // namespace
