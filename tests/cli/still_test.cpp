#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

// Whether pixel (x, y) of a bottom-up 24-bit BMP, y counted from the top, is
// within 6 of blue, green, red.
bool PixelNear(const std::string& bmp, int x, int y, std::vector<int> bgr) {
  const std::size_t at = U32(bmp, 10) + ((3 * U32(bmp, 18) + 3) & ~3u) * (U32(bmp, 22) - 1 - y) + 3 * x;
  for (int i = 0; i < 3; ++i)
    if (std::abs(static_cast<unsigned char>(bmp[at + i]) - bgr[i]) > 6) return false;
  return true;
}

// A minute of three frames; frame 1 in play order is 0150.jpg, 353 x 241.
class StillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::MakeDirs(minute_);
    for (const char* name : {"3000.jpg", "0000.jpg"})
      ASSERT_TRUE(sample::WriteFrame(Frame(name), sample::FrameRecipe{352, 240}));
    ASSERT_TRUE(sample::WriteFrame(Frame("0150.jpg"), sample::FrameRecipe{353, 241}));
  }
  std::string Frame(const std::string& name) const { return dir_.Join("cam/2004-03-15/12/58/" + name); }
  static bool Exists(const std::string& p) { return std::filesystem::exists(p); }

  testing_support::TempDir dir_;
  const std::string minute_ = dir_.Join("cam/2004-03-15/12/58");
  const std::string bmpPath_ = dir_.Join("out.bmp");
};

TEST_F(StillTest, WritesTheFrameAsABottomUpBmp) {
  WriteFile(bmpPath_, "an older file that must be replaced whole");
  const cli_test::Result r = cli_test::RunCommand(CmdStill, {minute_, "1", "-o", bmpPath_});
  ASSERT_EQ(r.code, 0) << r.err;

  const std::string bmp = ReadFile(bmpPath_);
  const std::uint32_t imageBytes = 1060 * 241;  // 353 x 3 = 1059, padded to 4
  ASSERT_EQ(bmp.size(), 54 + imageBytes);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  const std::uint32_t fields[][2] = {{2, 54 + imageBytes}, {10, 54}, {14, 40}, {18, 353},
                                     {22, 241},  // positive: bottom-up
                                     {26, 1 | 24 << 16},  // one plane, 24 bits
                                     {30, 0}, {34, imageBytes}};
  for (const auto& f : fields) EXPECT_EQ(U32(bmp, f[0]), f[1]) << "offset " << f[0];
  // WriteFrame's blue block at the left edge and red at the right, in the
  // middle third of the rows; the yellow block of second 0 at the bottom
  // left (rows 222 to 234), which tells up from down.
  EXPECT_TRUE(PixelNear(bmp, 0, 120, {240, 15, 16}));
  EXPECT_TRUE(PixelNear(bmp, 352, 120, {14, 14, 238}));
  EXPECT_TRUE(PixelNear(bmp, 5, 228, {19, 231, 241})) << "rows upside down";
  EXPECT_EQ(bmp[54 + 1059], 0) << "padding is zero";
  EXPECT_FALSE(Exists(bmpPath_ + ".part"));
}

TEST_F(StillTest, FailuresExitWithOneLineAndLeaveNoFile) {
  WriteFile(Frame("4000.jpg"), "not a picture");
  WriteFile(Frame("5000.jpg"), "");
  const struct {
    std::vector<std::string> args;
    int code;           // 2: bad arguments, 1: no picture or no file written
    const char* named;  // in the message
  } cases[] = {
      {{minute_, "0"}, 2, "-o"},
      {{minute_, "0", "-o"}, 2, "-o"},
      {{minute_, "zero", "-o", bmpPath_}, 2, "zero"},
      {{minute_, "-1", "-o", bmpPath_}, 2, "-1"},
      {{minute_, "1x", "-o", bmpPath_}, 2, "1x"},
      {{minute_, "5", "-o", bmpPath_}, 2, "5"},  // past the last frame
      {{minute_, "99999999999999999999", "-o", bmpPath_}, 2, "9999"},
      {{dir_.Join("missing"), "0", "-o", bmpPath_}, 2, "missing"},
      {{dir_.Join("cam"), "0", "-o", bmpPath_}, 2, "cam"},  // no frame files
      {{minute_, "0", "-o", bmpPath_, "extra"}, 2, "extra"},
      {{minute_, "3", "-o", bmpPath_}, 1, "4000.jpg"},
      {{minute_, "4", "-o", bmpPath_}, 1, "5000.jpg"},  // empty
      {{minute_, "0", "-o", dir_.Join("nowhere/out.bmp")}, 1, "nowhere"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    const cli_test::Result r = cli_test::RunCommand(CmdStill, c.args);
    EXPECT_EQ(r.code, c.code);
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(bmpPath_) || Exists(bmpPath_ + ".part"));
  }
}

}  // namespace
