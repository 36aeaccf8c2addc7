#include "activity/activity.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tools/activity_scene.h"

namespace {

using activity::Span;

const WallTime kOrigin = MakeWallTime({2024, 5, 1, 11, 59, 30, 0});

TEST(ActivitySmoke, MovingObjectFoundAcrossMinutes) {
  testing_support::TempDir dir;
  const std::string camera = dir.Join("cam");
  sample::Scene scene;
  scene.objects.push_back({40, 40, 30, 20, 100, 250, 100, 10.0, 40.0});
  ASSERT_GT(sample::WriteScene(camera, scene, kOrigin, 0, 60), 0);
  activity::ActivityIndex index(dir.Join("index"));
  Span found;
  ASSERT_TRUE(activity::FindActivity(index, camera.c_str(), kOrigin, activity::Direction::kNext,
                                     {}, &found));
  EXPECT_EQ(found.start, kOrigin + 1000);
  EXPECT_NEAR(found.end, kOrigin + 3975, 50);
}

}  // namespace
