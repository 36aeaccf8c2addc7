// The time stamp burned into exported pictures and the checksum manifest
// beside every export.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "export/manifest.h"
#include "export/sha256.h"
#include "export/time_stamp.h"
#include "platform/version.h"
#include "tests/export/export_test_util.h"
#include "tests/export/readback.h"

using export_test::FakeUi;
using export_test::MakeMinute;
using testing_support::TempDir;

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
  FakeUi ui;
  ui.stamp = true;
  ui.folders = {MakeMinute(dir, "bk/CamA/2004-03-15/12/00", {1000, 1010}, 352, 240)};
  ui.format = 1;
  ui.outputName = dir.Join("stamped.avi");
  ExportJob job(&ui);
  export_test::RunJob(job);
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

// FIPS 180-4's examples, and input split at every block boundary.
TEST(Sha256, KnownDigests) {
  const struct {
    std::string input;
    const char* digest;
  } kCases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : kCases) {
    Sha256 whole, pieces;
    whole.Update(c.input.data(), c.input.size());
    EXPECT_EQ(whole.HexDigest(), c.digest);
    for (std::size_t i = 0; i < c.input.size(); i += 63)
      pieces.Update(c.input.data() + i, std::min<std::size_t>(63, c.input.size() - i));
    EXPECT_EQ(pieces.HexDigest(), c.digest);
  }
}

// Every kept export gets its manifest, which `sha256sum -c` accepts (its
// name escaped where it holds a backslash); a changed file fails it.
TEST(Manifest, BesideEveryExportAndReadBySha256sum) {
  TempDir dir;
  FakeUi ui;
  ui.stamp = true;
  const std::string minute = MakeMinute(dir, "bk/CamA/2004-03-15/12/00", {1000, 1010, 1020});
  std::vector<std::string> names = {"clip"};
  if (!platform::IsPathSeparator('\\')) names.push_back("odd\\name");
  for (const std::string& name : names) {
    ui.folders = {minute};
    ui.format = 2;
    ui.outputName = dir.Join(name);
    ExportJob job(&ui);
    export_test::RunJob(job);
    ASSERT_EQ(job.manifestPath(), dir.Join(name + ".asf.sha256"));
    const std::string manifest = testing_support::ReadFile(job.manifestPath());
    EXPECT_NE(manifest.find("\n# exported by Orvanel " ORVANEL_VERSION "\n# time range: "
                            "2004-03-15T12:00:10.00 to 2004-03-15T12:00:10.20 (whole minutes)\n"
                            "# frames: 3 (3 pictures)\n# minute folder: " + minute + "\n"),
              std::string::npos)
        << manifest;
    std::string message;
    EXPECT_EQ(VerifyManifest(ui.outputName, &message), VerifyOutcome::kOk) << message;
#ifndef _WIN32
    const std::string check = "cd '" + dir.path() + "' && sha256sum --quiet -c '" +
                              job.manifestPath() + "' > /dev/null 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << manifest;
    testing_support::WriteFile(ui.outputName, testing_support::ReadFile(ui.outputName) + "x");
    EXPECT_NE(std::system(check.c_str()), 0);
    EXPECT_EQ(VerifyManifest(job.manifestPath(), &message), VerifyOutcome::kMismatch);
#endif
  }
}
