// orvanel-cli info, frames and still, end to end on small backups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using cli_test::Result;
using cli_test::RunCommand;
using testing_support::WriteFile;
using Lines = std::vector<std::string>;

namespace {

class Cli : public ::testing::Test {
 protected:
  void Frames(const std::string& minute, const Lines& names) {
    testing_support::MakeDirs(P(minute));
    for (const auto& n : names) WriteFile(P(minute + "/" + n), "jpeg");
  }
  void Folders(const Lines& folders) {
    for (const auto& f : folders) testing_support::MakeDirs(P(f));
  }
  std::string P(const std::string& relative) const { return dir_.Join(relative); }

  testing_support::TempDir dir_;
};

// The tree's level rules: names hidden at each level, files among folders,
// frame totals up the levels.
TEST_F(Cli, InfoListsAcceptedFoldersWithFrameTotals) {
  Frames("Cam A/2004-03-15/12/58", {"0100.jpg", "0000.jpg", "4500.jpg", "notes.txt"});
  Frames("Cam A/2004-03-15/12/59", {"0000.jpg", "1000.jpg"});
  Frames("Cam A/2004-03-15/12/5", {"1000.jpg"});   // one-character minute
  Frames("Cam A/2004-03-15/12/60", {"1000.jpg"});  // not a minute
  Frames("Cam A/2004-03-16/00/00", {"0000.jpg"});
  Frames(".hidden/2004-03-15/12/58", {"0000.jpg"});
  Folders({"Cam A/2004-03-15/12/59/9999.jpg", "Cam A/2004-03-15/13/00", "Cam A/2004-03-15/24/00",
           "Cam A/junk/00/00", "z cam"});  // a folder is no frame; empty minute; no hour; no date
  WriteFile(P("Cam A/2004-03-17"), "a file is not a date");
  WriteFile(P("notes"), "a file is not a camera");
  const Result r = RunCommand(CmdInfo, {dir_.path() + platform::kPathSeparator});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "root 7 " + dir_.path() + "\n" +
                       "  camera 7 Cam A\n"
                       "    date 6 2004-03-15\n"
                       "      hour 6 12\n"
                       "        minute 1 5\n"
                       "        minute 3 58\n"
                       "        minute 2 59\n"
                       "      hour 0 13\n"
                       "        minute 0 00\n"
                       "    date 1 2004-03-16\n"
                       "      hour 1 00\n"
                       "        minute 1 00\n"
                       "  camera 0 z cam\n");
}

// Continuous play's order either way: empty minutes and hours passed over,
// on into the next or previous date, never into the hidden hour 24 or minute
// 60, nor into another camera.
TEST_F(Cli, FramesPlayInOrderEitherWayThroughTheCamerasDates) {
  Frames("cam/2004-03-14/23/59", {"5900.jpg"});
  Frames("cam/2004-03-15/11/59", {"43-07.jpg", "00-00.jpg"});
  Frames("cam/2004-03-15/12/58", {"43100.jpg", "4376.jpg", "00005.jpg"});
  Frames("cam/2004-03-15/12/60", {"0000.jpg"});
  Frames("cam/2004-03-15/14/03", {"4500.jpg", "0007.jpg"});
  Frames("cam/2004-03-15/24/00", {"0000.jpg"});
  Frames("cam/2004-03-16/00/00", {"0000.jpg"});
  Frames("cam2/2004-03-17/00/00", {"0000.jpg"});
  Folders({"cam/2004-03-15/12/59", "cam/2004-03-15/13"});
  const auto lines = [this](Lines frames) {  // "<code> <path>" from "<code> <date/HH/MM/name>"
    for (std::string& f : frames) f = f.substr(0, 5) + P("cam/" + f.substr(5));
    return frames;
  };
  const struct { Lines args, lines; } cases[] = {
      {{"--continue", P("cam/2004-03-15/12/58") + platform::kPathSeparator},
       lines({"0000 2004-03-15/12/58/00005.jpg", "4307 2004-03-15/12/58/4376.jpg", "4310 2004-03-15/12/58/43100.jpg",
              "0007 2004-03-15/14/03/0007.jpg", "4500 2004-03-15/14/03/4500.jpg", "0000 2004-03-16/00/00/0000.jpg"})},
      {{P("cam/2004-03-15/12/59"), "--reverse", "--continue"},  // from an empty minute
       lines({"4310 2004-03-15/12/58/43100.jpg", "4307 2004-03-15/12/58/4376.jpg", "0000 2004-03-15/12/58/00005.jpg",
              "4307 2004-03-15/11/59/43-07.jpg", "0000 2004-03-15/11/59/00-00.jpg", "5900 2004-03-14/23/59/5900.jpg"})}};
  for (const auto& c : cases) {
    Lines args = {"orvanel-cli", "frames"};  // through the dispatcher, as the program is called
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = RunCommand(CliMain, args);
    EXPECT_EQ(r.code, 0) << r.err;
    Lines printed;
    for (std::size_t start = 0, end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
      printed.push_back(r.out.substr(start, end - start));
    EXPECT_EQ(printed, c.lines);
  }
}

TEST_F(Cli, BadArgumentsExitTwoWithOneLineNamingThem) {
  Frames("cam/2004-03-15/12/58", {"0000.jpg"});
  WriteFile(P("file"), "x");
  const std::string minute = P("cam/2004-03-15/12/58");
  const struct { cli_test::Command command; Lines args; std::string named; } cases[] = {
      // Both commands check their folder alike: each case once.
      {CmdInfo, {P("missing")}, P("missing")},
      {CmdInfo, {}, "ROOT"},
      {CmdInfo, {P("a"), P("b")}, "ROOT"},
      {CmdInfo, {std::string(300, 'x')}, std::string(300, 'x')},
      {CmdFrames, {P("file")}, P("file")},
      {CmdFrames, {"--loop", minute}, "--loop"},
      {CmdFrames, {minute, minute}, minute},
      {CmdFrames, {"--continue"}, "MINUTE_FOLDER"},
      {CmdFrames, {std::string(280, 'y')}, std::string(280, 'y')}};
  for (const auto& c : cases) {
    const Result r = RunCommand(c.command, c.args);
    EXPECT_EQ(r.code, 2) << c.named;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
  }
}

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
class Still : public Cli {
 protected:
  void SetUp() override {
    testing_support::MakeDirs(minute_);
    for (const char* name : {"3000.jpg", "0000.jpg"})
      ASSERT_TRUE(sample::WriteFrame(P(kMinute + name), sample::FrameRecipe{352, 240}));
    ASSERT_TRUE(sample::WriteFrame(P(kMinute + "0150.jpg"), sample::FrameRecipe{353, 241}));
  }
  static bool Exists(const std::string& p) { return std::filesystem::exists(p); }

  const std::string kMinute = "cam/2004-03-15/12/58/";
  const std::string minute_ = P("cam/2004-03-15/12/58"), bmp_ = P("out.bmp");
};

TEST_F(Still, WritesTheFrameAsABottomUpBmp) {
  WriteFile(bmp_, "an older file that must be replaced whole");
  const Result r = RunCommand(CmdStill, {minute_, "1", "-o", bmp_});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string bmp = testing_support::ReadFile(bmp_);
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
  EXPECT_FALSE(Exists(bmp_ + ".part"));
}

TEST_F(Still, FailuresExitWithOneLineAndLeaveNoFile) {
  WriteFile(P(kMinute + "4000.jpg"), "not a picture");
  WriteFile(P(kMinute + "5000.jpg"), "");
  const struct {
    Lines args;
    int code;           // 2: bad arguments, 1: no picture or no file written
    const char* named;  // in the message
  } cases[] = {
      {{minute_, "0"}, 2, "-o"},
      {{minute_, "0", "-o"}, 2, "-o"},
      {{minute_, "zero", "-o", bmp_}, 2, "zero"},
      {{minute_, "-1", "-o", bmp_}, 2, "-1"},
      {{minute_, "1x", "-o", bmp_}, 2, "1x"},
      {{minute_, "5", "-o", bmp_}, 2, "5"},  // past the last frame
      {{minute_, "99999999999999999999", "-o", bmp_}, 2, "9999"},
      {{P("missing"), "0", "-o", bmp_}, 2, "missing"},
      {{P("cam"), "0", "-o", bmp_}, 2, "cam"},  // no frame files
      {{minute_, "0", "-o", bmp_, "extra"}, 2, "extra"},
      {{minute_, "3", "-o", bmp_}, 1, "4000.jpg"},
      {{minute_, "4", "-o", bmp_}, 1, "5000.jpg"},  // empty
      {{minute_, "0", "-o", P("nowhere/out.bmp")}, 1, "nowhere"},
  };
  for (const auto& c : cases) {
    const Result r = RunCommand(CmdStill, c.args);
    EXPECT_EQ(r.code, c.code) << c.named;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(bmp_) || Exists(bmp_ + ".part"));
  }
}

}  // namespace
