// The user-interface thread never waits for another thread's disc read.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "playback/video_child.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kStall{1500};

// Holds the read of one file for kStall on the thread that reads it.
class StalledRead : public platform::AccessHook {
 public:
  explicit StalledRead(std::string path) : path_(std::move(path)) { platform::SetAccessHook(this); }
  ~StalledRead() { platform::SetAccessHook(nullptr); }
  void BeforeAccess(const char* path) override {
    if (path == nullptr || path != path_) return;
    started = true;
    std::this_thread::sleep_for(kStall);
  }
  std::atomic<bool> started{false};

 private:
  std::string path_;
};

struct QuietView : VideoView, PictureSink {
  void Changed() override {}
  void ThreadEnded() override {}
  int DrawPicture(const BitmapHeader&, const std::uint8_t*) override { return 0; }
};

TEST(ReadOutsideTheLock, ResizingAndSavePictureDoNotWaitForAFrameBeingRead) {
  testing_support::TempDir dir;
  const std::string minute = dir.Join("cam/2004-03-15/12/58");
  testing_support::MakeDirs(minute);
  sample::FrameRecipe recipe;
  recipe.width = 64;
  recipe.height = 48;
  for (const char* name : {"0000.jpg", "0001.jpg"})
    ASSERT_TRUE(sample::WriteFrame(minute + platform::kPathSeparator + name, recipe));
  QuietView view;
  VideoChild child(false, &view);
  ASSERT_EQ(child.LoadFrameList(minute.c_str()), 0);
  child.SetShownSize(16, 12);  // decoded at a quarter: enlarging decodes again
  ASSERT_EQ(child.ShowFrame(0), 0);

  StalledRead disc(minute + platform::kPathSeparator + "0001.jpg");
  std::thread player([&] { child.ShowFrame(1); });  // as the playback thread does
  while (!disc.started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const Clock::time_point start = Clock::now();
  child.SetShownSize(64, 48);
  const Clock::duration resized = Clock::now() - start;
  char text[32] = {};
  EXPECT_EQ(child.PaintRecorded(view, text, sizeof text), 0);
  const Clock::duration saved = Clock::now() - start - resized;
  player.join();
  EXPECT_LT(resized, kStall / 2);
  EXPECT_LT(saved, kStall / 2);
  EXPECT_EQ(child.pictureWidth(), 64);
}

}  // namespace
