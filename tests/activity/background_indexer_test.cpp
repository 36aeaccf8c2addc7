// The background indexer: nothing while playback has just been late, then
// the minute nearest to what is on screen first; a new focus reorders what is
// left, one ring until the news is taken, and Stop cuts the work short
// instead of finishing the queue.
#include "activity/background_indexer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/platform.h"
#include "playback/late_pictures.h"
#include "tests/support/test_support.h"
#include "tools/activity_scene.h"

namespace {

const WallTime kTen = MakeWallTime({2024, 5, 1, 10, 0, 0, 0});

// Every frame read takes a little while, so that the queue is still long
// when the test changes the focus.
struct SlowReads final : platform::AccessHook {
  void BeforeAccess(const char* path) override {
    if (std::strstr(path, ".jpg") != nullptr)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
};

template <class P>
bool WaitFor(P done) {
  for (int i = 0; i < 3000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return done();
}

// "10:06" for each minute folder.
std::vector<std::string> Minutes(const std::vector<std::string>& folders) {
  std::vector<std::string> names;
  for (const std::string& f : folders) names.push_back(f.substr(f.size() - 5, 2) + ":" + f.substr(f.size() - 2));
  return names;
}

TEST(BackgroundIndexer, GivesWayNearestFirstReorderedByFocusRingsOnceAndStopsMidQueue) {
  testing_support::TempDir dir;
  const std::string camera = dir.Join("cam");
  sample::Scene scene;
  scene.width = 160;
  scene.height = 120;
  scene.fps = 2;
  ASSERT_GT(sample::WriteScene(camera, scene, kTen, 0, 600), 0);  // 10:00-10:09

  activity::ActivityIndex index(dir.Join("index"));
  std::atomic<int> rings{0};
  {
    activity::BackgroundIndexer indexer(index);
    indexer.SetDoorbell([&] { return ++rings > 0; });
    indexer.SetOnScreen({{camera, kTen + 390 * kHundredthsPerSecond, kTen + 390 * kHundredthsPerSecond}});
    const auto now = std::chrono::steady_clock::now();
    NotePictureShown(now - 2 * kLatePicture, now);  // playback fell behind
    indexer.Start();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(indexer.built(), 0);
    ASSERT_TRUE(WaitFor([&] { return indexer.idle(); }));
    EXPECT_EQ(rings.load(), 1);  // never answered: one ring for ten minutes
    EXPECT_EQ(Minutes(indexer.TakeIndexed()),
              (std::vector<std::string>{"10:06", "10:05", "10:07", "10:04", "10:08", "10:03",
                                        "10:09", "10:02", "10:01", "10:00"}));
  }

  // Again on an empty index, slowly: the focus moves from the last minute
  // to the first while the queue is long.
  activity::ActivityIndex fresh(dir.Join("index2"));
  SlowReads slow;
  platform::SetAccessHook(&slow);
  activity::BackgroundIndexer indexer(fresh);
  std::vector<std::string> seen;
  indexer.SetDoorbell([] { return true; });
  indexer.SetOnScreen({{camera, kTen + 9 * kHundredthsPerMinute, kTen + 9 * kHundredthsPerMinute}});
  indexer.Start();
  ASSERT_TRUE(WaitFor([&] {
    for (std::string& m : Minutes(indexer.TakeIndexed())) seen.push_back(m);
    return !seen.empty();
  }));
  indexer.SetOnScreen({{camera, kTen, kTen}});
  ASSERT_TRUE(WaitFor([&] {
    for (std::string& m : Minutes(indexer.TakeIndexed())) seen.push_back(m);
    return seen.size() >= 3;
  }));
  indexer.Stop();
  platform::SetAccessHook(nullptr);
  EXPECT_LT(indexer.built(), 10);
  ASSERT_EQ(seen[0], "10:09");
  // At most the minute under way when the focus moved, then the new nearest.
  const std::size_t next = seen[1] == "10:08" ? 2 : 1;
  EXPECT_EQ(seen[next], "10:00");
}

}  // namespace
