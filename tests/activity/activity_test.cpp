#include "activity/activity.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "activity/index_file.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tools/activity_scene.h"

namespace fs = std::filesystem;

namespace {

using activity::Region;
using activity::Span;
using sample::LightChange;
using sample::SceneObject;
using testing_support::TempDir;

const WallTime kNoon = MakeWallTime({2024, 5, 1, 12, 0, 0, 0});
constexpr WallTime kSecond = kHundredthsPerSecond;

// Counts the frame files read while it lives.
class FrameReads : public platform::AccessHook {
 public:
  FrameReads() { platform::SetAccessHook(this); }
  ~FrameReads() { platform::SetAccessHook(nullptr); }
  void BeforeAccess(const char* path) override {
    const std::string p(path);
    if (p.size() > 4 && p.compare(p.size() - 4, 4, ".jpg") == 0)
      ++count;
    else if (p.find(".idx") == std::string::npos)
      ++listings;
  }
  std::atomic<int> count{0}, listings{0};
};

class Activity : public ::testing::Test {
 protected:
  std::string Minute(WallTime t) const {
    const std::string frame = sample::SceneFramePath(camera_, t);
    return frame.substr(0, frame.size() - 9);  // without "/SSCC.jpg"
  }
  // The spans of a 30 s scene written into the noon minute.
  std::vector<Span> SpansOf(const sample::Scene& scene, const Region& region = {}) {
    EXPECT_GT(sample::WriteScene(camera_, scene, kNoon, 0, 30), 0);
    EXPECT_EQ(index_.Build(Minute(kNoon).c_str()), 0);
    std::vector<Span> spans;
    EXPECT_TRUE(index_.Query(Minute(kNoon).c_str(), region, spans));
    return spans;
  }
  TempDir dir_;
  std::string camera_ = dir_.Join("cam");
  activity::ActivityIndex index_{dir_.Join("index")};
};

// 352 x 288 at 4 pictures a second, noise of 6 levels throughout.
TEST_F(Activity, FindsObjectsButNotNoiseLightOrSmallThings) {
  struct Case {
    const char* what;
    std::vector<SceneObject> objects;
    std::vector<LightChange> lights;
    std::vector<std::pair<double, double>> expected;  // seconds into the minute
  };
  const SceneObject moving{40, 40, 40, 20, 100, 250, 150, 5.0, 20.0};      // 1.6 %
  const SceneObject standing{40, 40, 200, 150, 60, 150, 60, 8.0, 18.0};    // 1.6 %, still
  const SceneObject small{16, 16, 0, 20, 100, 250, 150, 5.0, 20.0};        // 0.25 %
  const SceneObject blob{36, 36, 230, 300, 20, 20, 250, 2.0, 12.0, true};  // 1 %
  std::vector<LightChange> rising;  // most of the minute's samples in the bright light
  for (int i = 0; i < 20; ++i) rising.push_back({3 + i * 0.5, 1.0f + i * 0.04f, 0});
  const Case cases[] = {
      {"moving", {moving}, {}, {{5, 19.75}}},
      {"standing", {standing}, {}, {{8, 17.75}}},
      {"noise alone", {}, {}, {}},
      {"lights on, then off", {}, {{10, 1.6f, -20}, {20, 0.3f, 0}}, {}},
      {"lights coming up over 10 s into the clipped levels", {}, rising, {}},
      {"small", {small}, {}, {}},
      {"moving through a light change", {blob}, {{6, 1.5f, 10}}, {{2, 11.75}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sample::Scene scene;
    scene.objects = c.objects;
    scene.lights = c.lights;
    const std::vector<Span> spans = SpansOf(scene);
    ASSERT_EQ(spans.size(), c.expected.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
      EXPECT_EQ(spans[i].start, kNoon + std::llround(c.expected[i].first * 100));
      EXPECT_EQ(spans[i].end, kNoon + std::llround(c.expected[i].second * 100));
      EXPECT_GT(spans[i].peak, 0.7f);
      EXPECT_LT(spans[i].peak, 2.5f);
    }
  }
}

// A minute's index made by hand: 256 x 256 pictures (32 x 32 small pixels).
activity::MinuteIndex HandIndex(const std::vector<std::pair<double, int>>& frames) {
  activity::MinuteIndex index;
  index.width = index.height = 256;
  index.files = static_cast<std::uint32_t>(frames.size());
  for (const auto& f : frames) {
    index.first.push_back(static_cast<std::uint32_t>(index.changes.size()));
    index.times.push_back(static_cast<std::uint16_t>(std::lround(f.first * 100)));
    index.damaged.push_back(f.second < 0);
    // f.second changed cells (16 small pixels, 1.56 % each) from cell 9 on:
    // small pixels (4..7, 4..7), (8..11, 4..7), ...
    for (int c = 0; c < f.second; ++c)
      index.changes.push_back({static_cast<std::uint16_t>(9 + c), 0xFFFF});
  }
  index.first.push_back(static_cast<std::uint32_t>(index.changes.size()));
  return index;
}

TEST(ActivitySpans, FollowTheGapAndPeakRules) {
  struct Case {
    const char* what;
    std::vector<std::pair<double, int>> frames;  // time, changed cells (-1: damaged)
    std::vector<std::pair<double, double>> expected;
  };
  const Case cases[] = {
      {"still frames 2 s long inside", {{1, 1}, {1.5, 0}, {2.5, 0}, {3, 2}}, {{1, 3}}},
      {"still frames 2.01 s long inside", {{1, 1}, {1.5, 0}, {3.01, 1}}, {{1, 1}, {3.01, 3.01}}},
      {"a recording gap of 2 s", {{10, 1}, {12, 1}}, {{10, 12}}},
      {"a recording gap over 2 s", {{10, 1}, {12.5, 1}}, {{10, 10}, {12.5, 12.5}}},
      {"a damaged frame is no change", {{5, -1}, {20, 1}, {20.5, -1}, {23, 1}}, {{20, 20}, {23, 23}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Span> spans;
    activity::MinuteSpans(HandIndex(c.frames), kNoon, {}, spans);
    ASSERT_EQ(spans.size(), c.expected.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
      EXPECT_EQ(spans[i].start, kNoon + std::llround(c.expected[i].first * 100));
      EXPECT_EQ(spans[i].end, kNoon + std::llround(c.expected[i].second * 100));
    }
  }
  std::vector<Span> two;
  activity::MinuteSpans(HandIndex({{1, 1}, {1.5, 2}, {2, 1}}), kNoon, {}, two);
  ASSERT_EQ(two.size(), 1u);
  EXPECT_NEAR(two[0].peak, 3.125f, 1e-4);  // 32 of 1,024 small pixels

  // Across minutes: the neighbour's span joins when at most 2 s apart.
  std::vector<Span> merged = {{kNoon + 6000, kNoon + 6100, 3}, {kNoon + 5000, kNoon + 5800, 1},
                              {kNoon + 6301, kNoon + 6400, 2}, {kNoon + 6000, kNoon + 6050, 5}};
  activity::MergeSpans(merged);
  ASSERT_EQ(merged.size(), 2u);
  EXPECT_EQ(merged[0].start, kNoon + 5000);
  EXPECT_EQ(merged[0].end, kNoon + 6100);
  EXPECT_EQ(merged[0].peak, 5);
  EXPECT_EQ(merged[1].start, kNoon + 6301);
}

TEST(ActivityRegion, ShareIsOfTheRegionToTheSmallPixel) {
  // Small pixels (4..7, 4..7) changed: full-size pixels 32..63 both ways.
  const activity::MinuteIndex index = HandIndex({{0, 1}});
  struct Case {
    Region region;
    float percent;
  };
  const Case cases[] = {
      {{}, 1.5625f},                 // 16 of 1,024
      {{32, 32, 32, 32}, 100},       // exactly the change
      {{0, 0, 32, 32}, 0},           // beside it
      {{16, 16, 64, 64}, 25},        // 16 of 64
      {{60, 32, 8, 8}, 50},          // half inside the change
      {{1000, 1000, 10, 10}, 0},     // outside the picture
      {{-100, -100, 164, 164}, 25},  // cut to the picture: 16 of 64
  };
  for (const Case& c : cases) {
    std::vector<float> shares;
    activity::FrameShares(index, c.region, shares);
    EXPECT_NEAR(shares.at(0) * 100, c.percent, 1e-3) << c.region.x << "," << c.region.y;
  }
}

// The same index bytes read back as written; a cut or altered file is not
// taken.
TEST(ActivityIndexFile, RoundTripsAndRefusesDamage) {
  activity::MinuteIndex index = HandIndex({{0, 1}, {0.5, -1}, {59.99, 3}});
  index.folder = "/backup/cam/2024-05-01/12/00";
  index.key = 0x123456789abcdefull;
  std::vector<std::uint8_t> bytes, again;
  activity::EncodeIndex(index, bytes);
  activity::MinuteIndex read;
  ASSERT_TRUE(activity::DecodeIndex(bytes.data(), bytes.size(), &read));
  activity::EncodeIndex(read, again);
  EXPECT_EQ(again, bytes);
  EXPECT_FALSE(activity::DecodeIndex(bytes.data(), bytes.size() - 1, &read));
  bytes[bytes.size() / 2] ^= 1;
  EXPECT_FALSE(activity::DecodeIndex(bytes.data(), bytes.size(), &read));
}

// Indexed once: asked again nothing is read; a frame rewritten, or the index
// file damaged, and the minute is indexed again.
TEST_F(Activity, IndexesAgainOnlyWhenTheFilesChange) {
  sample::Scene scene;
  scene.objects.push_back({40, 40, 40, 20, 100, 250, 150, 5.0, 20.0});
  ASSERT_EQ(SpansOf(scene).size(), 1u);
  const std::string minute = Minute(kNoon);
  std::vector<Span> spans;
  {
    FrameReads reads;
    EXPECT_EQ(index_.Build(minute.c_str()), 0);
    EXPECT_EQ(reads.count, 0);
    EXPECT_EQ(reads.listings, 1);
    EXPECT_TRUE(index_.Query(minute.c_str(), {}, spans, activity::Freshness::kFolder));
    EXPECT_EQ(reads.listings, 1);  // the folder's own time told
  }
  // A frame more: the folder's time tells that much.
  const std::string extra = sample::SceneFramePath(camera_, kNoon + 5999);
  testing_support::WriteFile(extra, "");
  EXPECT_FALSE(index_.Query(minute.c_str(), {}, spans, activity::Freshness::kFolder));
  fs::remove(extra);
  // A frame of the still part now shows the object: found there too.
  const std::string still = sample::SceneFramePath(camera_, kNoon + 25 * kSecond);
  testing_support::WriteFile(still, testing_support::ReadFile(
                                        sample::SceneFramePath(camera_, kNoon + 10 * kSecond)));
  EXPECT_FALSE(index_.Query(minute.c_str(), {}, spans));
  {
    FrameReads reads;
    EXPECT_EQ(index_.Build(minute.c_str()), 0);
    EXPECT_EQ(reads.count, 120);
  }
  ASSERT_TRUE(index_.Query(minute.c_str(), {}, spans));
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[1].start, kNoon + 25 * kSecond);

  testing_support::WriteFile(index_.IndexFileOf(minute.c_str()), "ORVACTIX garbage");
  EXPECT_FALSE(index_.Query(minute.c_str(), {}, spans));
  EXPECT_EQ(index_.Build(minute.c_str()), 0);
  EXPECT_TRUE(index_.Query(minute.c_str(), {}, spans));
}

// Empty, cut and foreign frames are logged and count as no change: in the
// still part they make no span, inside one they do not break it.
TEST_F(Activity, DamagedFramesCountAsNoChange) {
  sample::Scene scene;
  scene.objects.push_back({40, 40, 40, 20, 100, 250, 150, 5.0, 20.0});
  ASSERT_GT(sample::WriteScene(camera_, scene, kNoon, 0, 30), 0);
  const auto frame = [&](double s) { return sample::SceneFramePath(camera_, kNoon + std::llround(s * 100)); };
  const std::string whole = testing_support::ReadFile(frame(24));
  testing_support::WriteFile(frame(24), "");
  testing_support::WriteFile(frame(25), whole.substr(0, whole.size() / 2));
  testing_support::WriteFile(frame(26), "not a picture");
  testing_support::WriteFile(frame(12), "");
  testing_support::TraceCapture trace;
  ASSERT_EQ(index_.Build(Minute(kNoon).c_str()), 0);
  int damaged = 0;
  for (const std::string& line : trace.Lines()) damaged += line.find("damaged") != std::string::npos;
  EXPECT_EQ(damaged, 4);
  std::vector<Span> spans;
  ASSERT_TRUE(index_.Query(Minute(kNoon).c_str(), {}, spans));
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].start, kNoon + 5 * kSecond);
  EXPECT_EQ(spans[0].end, kNoon + 1975);
}

}  // namespace
