// The time stamp burned into exported pictures and the checksum manifest
// beside every export.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "export/export_job.h"
#include "export/time_stamp.h"
#include "tests/export/export_test_util.h"
#include "tests/export/readback.h"
#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using export_test::FakeUi;
using export_test::MakeMinute;
using testing_support::TempDir;

namespace {

class StampUi : public FakeUi {
 public:
  bool GetTimeStamp() override { return true; }
};

}  // namespace

// The stamp lies in the lower left corner on its band, letters at least 12
// pixels high on 352 x 240, one line or two as the width allows; no pixel
// outside the band changes.
TEST(TimeStamp, PlacedOnItsBandOnly) {
  EXPECT_EQ(StampCameraName("/b/bk/CamA/2004-03-15/12/00/"), "bk - CamA");
  EXPECT_EQ(StampCameraName("/b/clips/a"), "a");
  const std::string when = StampTimeText(MakeWallTime({2004, 3, 15, 12, 0, 10, 4}));
  EXPECT_EQ(when, "2004-03-15 12:00:10.04");
  const struct {
    int width, height, scale, lines;
  } kCases[] = {{352, 240, 2, 2}, {704, 576, 4, 2}, {1280, 720, 6, 1}, {177, 145, 1, 2}, {64, 48, 1, 2}};
  std::mt19937 random(7);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.width);
    const int n = c.width * c.height;
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(n + 2 * (n / 4)));
    for (std::uint8_t& v : picture) v = static_cast<std::uint8_t>(random());
    const std::vector<std::uint8_t> before = picture;
    StampMask mask;
    RenderStamp(c.width, c.height, "bk - CamA", when, &mask);
    StampYuv420(picture.data(), c.width, c.height, mask);
    EXPECT_EQ(mask.scale, c.scale);
    EXPECT_EQ(mask.x, 0);
    EXPECT_EQ(mask.y + mask.height, c.height & ~1);
    EXPECT_EQ(mask.height, ((c.lines * kStampLineHeight + 1) * c.scale + 1) & ~1);
    EXPECT_GE(7 * mask.scale, c.width >= 352 ? 12 : 7);  // capital height
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const bool inBand = x < mask.width && y >= mask.y && y < mask.y + mask.height;
        const std::size_t i = static_cast<std::size_t>(y) * c.width + x;
        const int expected = !inBand ? before[i] : mask.ink[(y - mask.y) * mask.width + x] ? 235 : 16;
        ASSERT_EQ(picture[i], expected) << x << "," << y;
      }
    for (int k = n; k < static_cast<int>(picture.size()); ++k) {
      const int plane = k - n < n / 4 ? 0 : 1, i = k - n - plane * (n / 4);
      const int x = i % (c.width / 2) * 2, y = i / (c.width / 2) * 2;
      const bool inBand = x < mask.width && y >= mask.y && y < c.height - 1;
      ASSERT_EQ(picture[k], inBand ? 128 : before[k]) << k;
    }
  }
}

#ifndef _WIN32
// Read back from a stamped export, the band shows the font's own rendering
// of the camera and the frame's time: legible through the encoder.
TEST(TimeStamp, LegibleInTheExport) {
  TempDir dir;
  StampUi ui;
  ui.folders = {MakeMinute(dir, "bk/CamA/2004-03-15/12/00", {1000, 1010}, 352, 240)};
  ui.format = 1;
  ui.outputName = dir.Join("stamped.avi");
  ExportJob job(&ui);
  {
    testing_support::StderrCapture quiet;
    ASSERT_TRUE(job.Start());
    job.Join();
  }
  const readback::Video video = readback::Read(ui.outputName);
  ASSERT_TRUE(video.ok && video.pictures.size() == 2u) << video.error;
  for (int k = 0; k < 2; ++k) {
    StampMask mask;
    RenderStamp(352, 240, "bk - CamA", k ? "2004-03-15 12:00:10.10" : "2004-03-15 12:00:10.00",
                &mask);
    const readback::Picture& p = video.pictures[k];
    int wrong = 0;
    for (int y = 0; y < mask.height; ++y)
      for (int x = 0; x < mask.width; ++x)
        wrong += (p.y[(mask.y + y) * p.width + x] > 128) != (mask.ink[y * mask.width + x] == 1);
    EXPECT_LE(wrong, mask.width * mask.height / 1000) << k;  // not one glyph amiss
  }
}
#endif
