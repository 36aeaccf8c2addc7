// The playback engine: driven step by step on the test thread (which frame
// comes next, how long it waits, where it pauses, how it crosses minutes),
// and on its own thread with the test acting as the user-interface thread.
#include "playback/video_child.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Texts = std::vector<std::string>;

// Long enough for a loaded machine running sanitizers; only a failing test
// waits it out.
constexpr milliseconds kPatience{30000};

bool Eventually(const std::function<bool()>& done) {
  for (const Clock::time_point end = Clock::now() + kPatience; !done(); std::this_thread::sleep_for(milliseconds(1)))
    if (Clock::now() > end) return false;
  return true;
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// Names "SSCC.jpg" for `n` frames from `first` hundredths, `step` apart.
Texts Names(int n, int first, int step) {
  Texts names;
  for (int i = 0; i < n; ++i) names.push_back(std::to_string(10000 + first + i * step).substr(1) + ".jpg");
  return names;
}

// One camera's minute folders of real frames.
struct Backup {
  std::string Path(int hour, int minute, const char* date = "2004-03-15") const {
    char tail[48];
    std::snprintf(tail, sizeof tail, "cam/%s/%02d/%02d", date, hour, minute);
    return dir.Join(tail);
  }
  std::string Minute(int hour, int minute, const Texts& names, int width = 64, int height = 48,
                     const char* date = "2004-03-15") {
    const std::string folder = Path(hour, minute, date);
    testing_support::MakeDirs(folder);
    for (const std::string& name : names)
      EXPECT_TRUE(sample::WriteFrame(folder + platform::kPathSeparator + name, sample::FrameRecipe{width, height}));
    return folder;
  }
  testing_support::TempDir dir;
};

// Does what the window does on Changed: pulls the state and records what
// changed ("range N", "thumb N", each new picture's time text with its thumb
// " HH : MM : SS CC @N"), painting each new picture ("draw WIDTH"); "ended"
// for the thread's last call. One call at a time, as one window thread.
class View : public VideoView, public PictureSink {
 public:
  VideoChild* child = nullptr;
  std::function<void()> onChanged;  // first, e.g. to stall the caller
  std::function<void()> onEnded;    // e.g. to hand the child to its owner

  void Changed() override {
    if (onChanged) onChanged();
    std::lock_guard<std::mutex> pull(pull_);
    ViewState s;
    if (child == nullptr) return;
    child->GetViewState(&s);
    if (s.sliderMaximum != shown_.sliderMaximum) Add("range " + std::to_string(s.sliderMaximum));
    if (s.sliderPosition != shown_.sliderPosition) Add("thumb " + std::to_string(s.sliderPosition));
    if (s.pictureSerial != shown_.pictureSerial) Add(s.timeText + (" @" + std::to_string(s.sliderPosition)));
    if (s.pictureSerial != shown_.pictureSerial) child->Paint(*this);
    shown_ = s;
  }
  // Reads the first and last byte: the sanitizers check the whole buffer.
  int DrawPicture(const BitmapHeader& h, const std::uint8_t* pixels) override {
    volatile std::uint8_t sink = pixels[0] ^ pixels[((3 * h.biWidth + 3) & ~3) * std::abs(h.biHeight) - 1];
    Add("draw " + std::to_string(h.biWidth + 0 * sink));
    return 0;
  }
  void ThreadEnded() override {
    if (onEnded) onEnded();
    Add("ended");
  }
  // The events beginning with `kind`, without it; " " gives the time texts,
  // without their thumbs unless asked.
  Texts Seen(const std::string& kind = " ", bool thumbs = false) const {
    std::lock_guard<std::mutex> lock(mutex_);
    Texts out;
    for (const std::string& e : events_)
      if (e.compare(0, kind.size(), kind) == 0)
        out.push_back(kind != " " ? e.substr(kind.size()) : thumbs ? e : e.substr(0, e.find(" @")));
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  // Waits for `n` events containing `part`.
  bool WaitFor(const std::string& part, long n = 1) {
    return Eventually([&] {
      std::lock_guard<std::mutex> lock(mutex_);
      return std::count_if(events_.begin(), events_.end(),
                           [&](const std::string& e) { return e.find(part) != std::string::npos; }) >= n;
    });
  }

 private:
  void Add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  std::mutex pull_;
  ViewState shown_{-1, -1, {}, 0, PlaybackMode::Pause};  // nothing shown yet
  mutable std::mutex mutex_;
  Texts events_;
};

// Steps until the child pauses; the frames answered as "DD/HH/MM index".
Texts PlayToPause(VideoChild& child) {
  Texts shown;
  for (int guard = 0; guard < 200 && child.mode() != PlaybackMode::Pause; ++guard) {
    const int index = child.Step();
    std::string tail = child.folder().substr(child.folder().size() - 8);
    tail[2] = tail[5] = '/';
    if (index >= 0) shown.push_back(tail + " " + std::to_string(index));
  }
  return shown;
}

// Holds the thread about to read or list `path` there until released, as a
// disc spinning up would.
class Held : public platform::AccessHook {
 public:
  explicit Held(std::string path) : path_(std::move(path)) { platform::SetAccessHook(this); }
  ~Held() {
    platform::SetAccessHook(nullptr);
    Release();
  }
  void BeforeAccess(const char* path) override {
    if (path == nullptr || path != path_) return;
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, kPatience, [this] { return released_; });
  }
  bool WaitHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return held_; });
  }
  // Lets the held thread go on; Release(false) holds the next access again.
  void Release(bool released = true) {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = released;
    held_ = held_ && released;
    changed_.notify_all();
  }

 private:
  const std::string path_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false, released_ = false;
};

class VideoChildTest : public ::testing::Test {
 protected:
  VideoChildTest() { view.child = child.get(); }
  // Read only after the thread ended.
  static void Hook(void* context, int, Clock::time_point due, Clock::time_point shown) {
    static_cast<VideoChildTest*>(context)->dues.push_back(due);
    static_cast<VideoChildTest*>(context)->dueAfterShown |= due > shown;
  }

  // Declared before the child, so that they outlive its thread.
  std::vector<Clock::time_point> dues;
  bool dueAfterShown = false;
  Backup backup;
  View view;
  std::unique_ptr<VideoChild> child = std::make_unique<VideoChild>(false, &view);
};

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

TEST_F(VideoChildTest, EachModePlaysFromItsPositionWaitsItsGapsAndPausesInsideTheList) {
  ASSERT_EQ(child->LoadFrameList(backup.Minute(12, 58, Names(10, 4300, 1)).c_str()), 0);
  const struct {
    int from;  // -1: none chosen
    PlaybackMode mode;
    Texts shown;  // then paused on the last of these
    int pausedOn;
    int sleptMs;  // the gaps between them: 10 ms a hundredth, 3 in fast modes
  } cases[] = {
      {-1, PlaybackMode::Forward, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, 9, 90},
      {-1, PlaybackMode::Rewind, {"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}, 0, 90},
      {-1, PlaybackMode::FastForward, {"0", "3", "6", "9"}, 9, 27},
      {9, PlaybackMode::Forward, {"9"}, 9, 0},  // at the end: the last frame once more
      {1, PlaybackMode::FastRewind, {"1"}, 1, 0},
      {8, PlaybackMode::FastRewind, {"8", "5", "2"}, 2, 18},
      {50, PlaybackMode::Forward, {}, 9, 0},  // beyond the list
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    child->SetPosition(c.from);
    child->SetMode(c.mode);
    const Clock::time_point start = Clock::now();
    Texts shown = PlayToPause(*child);
    for (std::string& s : shown) s = s.substr(9);
    EXPECT_GE(MillisecondsSince(start), c.sleptMs);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(child->position(), c.pausedOn);
  }
  EXPECT_EQ(view.Seen("range "), Texts{"9"});  // by the load; steps alone show nothing
}

// Continuous play passes empty minutes and hours and goes on into the next
// or previous date; without it a minute's end pauses.
TEST_F(VideoChildTest, MinuteEndsCrossGapsAndDatesOrPauseAsContinuationSays) {
  backup.Minute(23, 59, {"0000.jpg"}, 64, 48, "2004-03-14");
  backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  backup.Minute(12, 59, {"0000.jpg"});
  backup.Minute(13, 0, {});  // empty minute, in an hour of no other
  backup.Minute(14, 3, {"0000.jpg", "0001.jpg"});
  backup.Minute(14, 5, {});
  testing_support::MakeDirs(backup.Path(15, 0).substr(0, backup.Path(15, 0).size() - 3));  // empty hour
  backup.Minute(16, 7, {"0000.jpg"});
  backup.Minute(0, 0, {"0000.jpg", "0001.jpg"}, 64, 48, "2004-03-16");  // the camera's last
  const struct {
    bool continuous;
    PlaybackMode mode;
    int hour, minute;
    Texts shown;  // ends paused on the last of these
    Texts ranges;  // the slider resized for each minute crossed into
  } cases[] = {
      {true, PlaybackMode::Forward, 12, 58,
       {"15/12/58 0", "15/12/58 1", "15/12/59 0", "15/14/03 0", "15/14/03 1", "15/16/07 0", "16/00/00 0",
        "16/00/00 1"}, {"1", "0", "1", "0", "1"}},
      {true, PlaybackMode::Rewind, 16, 7,
       {"15/16/07 0", "15/14/03 1", "15/14/03 0", "15/12/59 0", "15/12/58 1", "15/12/58 0", "14/23/59 0"},
       {"0", "1", "0", "1", "0"}},
      {false, PlaybackMode::Forward, 12, 58, {"15/12/58 0", "15/12/58 1"}, {"1"}},
      {false, PlaybackMode::Rewind, 14, 3, {"15/14/03 1", "15/14/03 0"}, {"1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.continuous << ", mode " << static_cast<int>(c.mode));
    View own;  // a fresh child and view each
    VideoChild played(c.continuous, &own);
    own.child = &played;
    ASSERT_EQ(played.LoadFrameList(backup.Path(c.hour, c.minute).c_str()), 0);
    played.SetMode(c.mode);
    EXPECT_EQ(PlayToPause(played), c.shown);
    EXPECT_EQ(played.position(), c.shown.back().back() - '0');
    EXPECT_EQ(own.Seen("range "), c.ranges);
  }
}

TEST_F(VideoChildTest, ShowFrameDrawsThroughTheViewAndKeepsThePictureOnFailure) {
  const std::string folder = backup.Minute(12, 58, {"4307.jpg", "4310.jpg"});
  testing_support::WriteFile(folder + platform::kPathSeparator + "4320.jpg", "not a picture");
  backup.Minute(12, 58, {"4330.jpg"}, 800, 600);  // larger than the usual buffer
  ASSERT_EQ(child->LoadFrameList(folder.c_str()), 0);
  EXPECT_EQ(child->Paint(view), 0);  // nothing decoded: nothing drawn
  view.Clear();
  EXPECT_EQ(child->ShowFrame(0), 0);
  for (int index : {4, -1, 2}) EXPECT_EQ(child->ShowFrame(index), -1) << index;  // outside, or no picture
  EXPECT_EQ(child->Paint(view), 0);
  EXPECT_EQ(view.Seen(""), (Texts{" 12 : 58 : 43 07 @0", "draw 64", "draw 64"}));
  EXPECT_EQ(child->ShowFrame(3), 0);
  EXPECT_EQ(view.Seen("draw "), (Texts{"64", "64", "800"}));
  EXPECT_EQ(child->pictureHeight(), 600);
  // A minute that cannot be listed empties the list and the slider; the
  // picture stays.
  view.Clear();
  EXPECT_EQ(child->LoadFrameList(backup.Path(12, 30).c_str()), -1);
  EXPECT_EQ(child->count() + child->position(), -1);
  EXPECT_EQ(view.Seen(""), (Texts{"range 0", "thumb 0"}));
  EXPECT_EQ(child->ShowFrame(0), -1);
}

TEST_F(VideoChildTest, ShownSizeSetsTheDecodeScaleButSavingAndEnlargingGetWholePictures) {
  const std::string folder = backup.Minute(12, 58, Names(3, 4300, 10), 130, 98);
  ASSERT_EQ(child->LoadFrameList(folder.c_str()), 0);
  child->SetShownSize(65, 49);
  ASSERT_EQ(child->ShowFrame(0), 0);  // learns the picture's size whole
  ASSERT_EQ(child->ShowFrame(1), 0);
  EXPECT_EQ(view.Seen("draw ").back(), "65");
  EXPECT_EQ(child->pictureWidth(), 130);  // what the size commands work from

  // Saving decodes the picture on show again, whole, as a fresh decoder does,
  // and leaves the picture on show as it was.
  struct Copy : PictureSink {
    std::vector<std::uint8_t> rows;
    int DrawPicture(const BitmapHeader& h, const std::uint8_t* p) override {
      for (int y = 0, stride = (3 * h.biWidth + 3) & ~3; y < -h.biHeight; ++y)
        rows.insert(rows.end(), p + y * stride, p + y * stride + 3 * h.biWidth);
      return 0;
    }
  } saved, fresh;
  char text[32] = {};
  ASSERT_EQ(child->PaintRecorded(saved, text, sizeof text), 0);
  EXPECT_STREQ(text, " 12 : 58 : 43 10");
  FrameDecoder decoder;
  ASSERT_EQ(decoder.Decode((folder + platform::kPathSeparator + "4310.jpg").c_str()), 0);
  fresh.DrawPicture(decoder.header(), decoder.pixels());
  EXPECT_TRUE(saved.rows == fresh.rows);
  view.Clear();
  child->Paint(view);
  // Shown larger: the frame on show is decoded whole at once, with its own
  // time text; shown smaller again, it is kept.
  child->SetShownSize(66, 49);
  child->SetShownSize(30, 20);
  EXPECT_EQ(view.Seen(""), (Texts{"draw 65", " 12 : 58 : 43 10 @1", "draw 130"}));
  ASSERT_EQ(child->ShowFrame(2), 0);
  EXPECT_EQ(view.Seen("draw ").back(), "33");  // a quarter, rounded up
}

TEST_F(VideoChildTest, FramesAreDueAtTheirRecordedTimesWhateverDrawingCosts) {
  // 30 ms apart; each drawing takes 10 ms, which must not add up. The first
  // blocks the thread for 1.2 s, as a window busy elsewhere would: frame 1 is
  // then due when the stall ends, not owed from before (and so drawn at once
  // with those after it).
  child->SetFrameHook(&Hook, this);
  const std::thread::id test = std::this_thread::get_id();
  view.onChanged = [this, test] {
    if (std::this_thread::get_id() != test) std::this_thread::sleep_for(milliseconds(dues.empty() ? 1200 : 10));
  };
  ASSERT_EQ(child->LoadFrameList(backup.Minute(12, 58, Names(8, 0, 3)).c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  child->SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(view.WaitFor(" 12 : 58", 8));
  child.reset();
  ASSERT_EQ(dues.size(), 8u);
  EXPECT_GT(dues[1] - dues[0], milliseconds(1100));
  // 30 ms apart, or the later step came more than a second late (a loaded
  // machine) and the clock re-anchored there; no gap after the last frame.
  int exact = 0;
  for (int i = 2; i < 8; ++i) {
    const Clock::duration between = dues[i] - dues[i - 1], gap = milliseconds(i < 7 ? 30 : 0);
    EXPECT_TRUE(between == gap || between > gap + std::chrono::seconds(1)) << i;
    exact += between == gap;
  }
  EXPECT_GT(exact, 0) << "every step more than a second late";
  EXPECT_FALSE(dueAfterShown);
}

// Pause, a slider move and closing each wake a thread waiting out the 50 s
// gap after frame 0; "at once" is anything well short of that. The owner
// destroys a closed child on its thread's last call, as the program does.
TEST_F(VideoChildTest, PauseMoveAndCloseCutALongGapShort) {
  std::promise<void> ended;
  view.onEnded = [&ended] { ended.set_value(); };
  ASSERT_EQ(child->LoadFrameList(backup.Minute(12, 58, {"0000.jpg", "5000.jpg"}).c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  EXPECT_EQ(child->StartThread(), -1);  // one thread per child
  Clock::time_point asked;
  const auto waitingForFrame0 = [&] {
    child->SetPosition(0);
    child->SetMode(PlaybackMode::Forward);
    const bool waiting = Eventually([&] { return child->position() == 1; });
    asked = Clock::now();
    return waiting;
  };
  ASSERT_TRUE(waitingForFrame0());
  child->SetMode(PlaybackMode::Pause);
  ASSERT_TRUE(Eventually([&] { return child->parked(); }));
  EXPECT_LT(MillisecondsSince(asked), 10000);
  EXPECT_EQ(child->position(), 0);  // the frame waited for is not drawn, and plays next
  ASSERT_TRUE(waitingForFrame0());
  child->SetPosition(1);
  ASSERT_TRUE(view.WaitFor(" 12 : 58 : 50 00"));
  EXPECT_LT(MillisecondsSince(asked), 10000);
  ASSERT_TRUE(waitingForFrame0());
  child->RequestQuit();
  ASSERT_EQ(ended.get_future().wait_for(kPatience), std::future_status::ready);
  EXPECT_LT(MillisecondsSince(asked), 10000);
  view.child = nullptr;
  child.reset();
  EXPECT_EQ(view.Seen(), Texts{" 12 : 58 : 50 00"});
  EXPECT_EQ(view.Seen("ended").size(), 1u);
}

TEST_F(VideoChildTest, AMinuteOpenedWhileAFrameIsReadPlaysFromItsStart) {
  const std::string other = backup.Minute(14, 3, Names(6, 0, 1));
  const std::string first = backup.Minute(12, 58, Names(5, 0, 1));
  ASSERT_EQ(child->LoadFrameList(first.c_str()), 0);
  // Open the other minute while the playback thread reads frame 2 of the
  // first: that frame must not be published as frame 2 of the new list.
  Held read(first + platform::kPathSeparator + "0002.jpg");
  ASSERT_EQ(child->StartThread(), 0);
  child->SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(read.WaitHeld());
  ASSERT_EQ(child->LoadFrameList(other.c_str()), 0);
  read.Release();
  ASSERT_TRUE(view.WaitFor(" 14 : 03 : 00 05"));
  ASSERT_TRUE(Eventually([&] { return child->parked(); }));
  EXPECT_EQ(view.Seen(), (Texts{" 12 : 58 : 00 00", " 12 : 58 : 00 01", " 14 : 03 : 00 00", " 14 : 03 : 00 01",
                                " 14 : 03 : 00 02", " 14 : 03 : 00 03", " 14 : 03 : 00 04", " 14 : 03 : 00 05"}));
  EXPECT_EQ(view.Seen("range "), (Texts{"4", "5"}));
}

TEST_F(VideoChildTest, AMinuteOpenedIntoARewindingChildIsNotLeftBeforeItsPositionIsSet) {
  // 14:03 is opened into a child rewinding 14:07 with continuation, and its
  // position set a little later (within the 10 s gaps of 14:03). In between,
  // the fresh list's "no position" must not count as "before the first
  // frame" and send it to 12:59.
  child->SetPlayContinuously(true);
  backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  backup.Minute(12, 59, {"0000.jpg", "0001.jpg"});
  const std::string m1403 = backup.Minute(14, 3, {"0000.jpg", "1000.jpg", "2000.jpg"});
  ASSERT_EQ(child->LoadFrameList(backup.Minute(14, 7, Names(40, 0, 5)).c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  child->SetMode(PlaybackMode::Rewind);
  ASSERT_TRUE(view.WaitFor(" 14 : 07", 2));
  ASSERT_EQ(child->LoadFrameList(m1403.c_str()), 0);
  std::this_thread::sleep_for(milliseconds(30));
  child->SetPosition(0);
  // Then back over the hour gap, pausing at the date's first frame.
  ASSERT_TRUE(Eventually([&] { return child->parked(); }));
  Texts texts = view.Seen();
  texts.erase(texts.begin(), std::find(texts.begin(), texts.end(), " 14 : 03 : 00 00"));
  EXPECT_EQ(texts, (Texts{" 14 : 03 : 00 00", " 12 : 59 : 00 01", " 12 : 59 : 00 00", " 12 : 58 : 00 01",
                          " 12 : 58 : 00 00"}));
  EXPECT_EQ(child->position(), 0);
}

// The thumb pulled with each picture is that picture's frame, in every mode
// and from wherever the slider put it.
TEST_F(VideoChildTest, TheThumbStandsOnTheFrameShownInEveryMode) {
  // Frame i of the minute is at time code i: its text ends in the index.
  ASSERT_EQ(child->LoadFrameList(backup.Minute(12, 58, Names(20, 0, 1)).c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  const struct {
    PlaybackMode mode;
    int from;
    const char* last;  // the text of the last frame it plays
  } cases[] = {{PlaybackMode::Rewind, 19, "00 00"}, {PlaybackMode::FastForward, 0, "00 18"},
               {PlaybackMode::FastRewind, 19, "00 01"}, {PlaybackMode::Forward, 5, "00 19"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    ASSERT_TRUE(Eventually([&] { return child->parked(); }));
    view.Clear();
    child->SetPosition(c.from);
    child->SetMode(c.mode);
    ASSERT_TRUE(view.WaitFor(c.last));
    const Texts shown = view.Seen(" ", true);
    ASSERT_GE(shown.size(), 7u);
    EXPECT_EQ(std::stoi(shown[0].substr(14)), c.from);
    for (const std::string& picture : shown)
      EXPECT_EQ(std::stoi(picture.substr(14)), std::stoi(picture.substr(18))) << picture;
  }
}

TEST_F(VideoChildTest, NothingTheUserDoesWaitsForTheListingOfTheNextMinute) {
  child->SetPlayContinuously(true);
  const std::string first = backup.Minute(12, 58, {"0000.jpg", "0001.jpg"});
  Held disc(backup.Minute(12, 59, {"0000.jpg", "0001.jpg"}));
  const std::string other = backup.Minute(14, 3, {"0000.jpg", "0001.jpg"});
  ASSERT_EQ(child->LoadFrameList(first.c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  child->SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(disc.WaitHeld());
  // These return while the listing is held (a wait for it would end only at
  // the hook's patience).
  child->SetMode(PlaybackMode::Pause);
  ViewState state;
  child->GetViewState(&state);
  EXPECT_EQ(state.mode, PlaybackMode::Pause);
  EXPECT_EQ(child->position(), 2);
  // Paused meanwhile: the minute listed is dropped, and playing resumes by
  // crossing to it.
  disc.Release();
  ASSERT_TRUE(Eventually([&] { return child->parked(); }));
  EXPECT_EQ(child->folder(), first);
  EXPECT_EQ(child->position(), 2);
  // A minute opened while the next is listed is played instead of it.
  disc.Release(false);
  child->SetMode(PlaybackMode::Forward);
  ASSERT_TRUE(disc.WaitHeld());
  EXPECT_EQ(child->LoadFrameList(other.c_str()), 0);
  disc.Release();
  ASSERT_TRUE(view.WaitFor(" 14 : 03 : 00 01"));
  ASSERT_TRUE(Eventually([&] { return child->parked(); }));
  for (const std::string& text : view.Seen()) EXPECT_EQ(text.find(" 12 : 59"), std::string::npos);
}

// For the thread sanitizer: every operation of the user-interface thread
// while the playback thread crosses minutes (4 frames each, 1 hundredth
// apart), then the child is destroyed while it plays.
TEST_F(VideoChildTest, UserActionsWhilePlayingAcrossMinutesThenClosing) {
  Texts minutes;
  for (int m = 0; m < 6; ++m) minutes.push_back(backup.Minute(12, m, Names(4, 0, 1)));
  child->SetPlayContinuously(true);
  ASSERT_EQ(child->LoadFrameList(minutes[0].c_str()), 0);
  ASSERT_EQ(child->StartThread(), 0);
  ViewState state;
  for (int i = 0; i < 300; ++i) {
    switch (i % 6) {
      case 0: child->SetMode(static_cast<PlaybackMode>(i / 6 % 5)); break;
      case 1: child->SetPosition(i % 5); break;
      case 2: child->GetViewState(&state); break;
      case 3: child->Paint(view); break;
      case 4: if (i % 60 == 4) child->LoadFrameList(minutes[i / 60 % 6].c_str()); break;
      case 5: child->ShowFrame(i % 4); break;
    }
    if (i % 50 == 0) std::this_thread::sleep_for(milliseconds(2));
  }
  child->SetMode(PlaybackMode::Forward);
  child.reset();
  EXPECT_EQ(view.Seen("ended").size(), 1u);
}

}  // namespace
