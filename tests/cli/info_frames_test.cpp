#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"

using cli_test::Result;
using cli_test::RunCommand;
using Lines = std::vector<std::string>;

namespace {

class BackupTree : public ::testing::Test {
 protected:
  void Frames(const std::string& minute, const Lines& names) {
    testing_support::MakeDirs(P(minute));
    for (const auto& n : names) testing_support::WriteFile(P(minute + "/" + n), "jpeg");
  }
  void Folders(const Lines& folders) {
    for (const auto& f : folders) testing_support::MakeDirs(P(f));
  }
  std::string P(const std::string& relative) const { return dir_.Join(relative); }

  testing_support::TempDir dir_;
};

// The tree's level rules, end to end: names hidden at each level, files
// among folders, frame totals up the levels.
TEST_F(BackupTree, InfoListsAcceptedFoldersWithFrameTotals) {
  Frames("Cam A/2004-03-15/12/58", {"0100.jpg", "0000.jpg", "4500.jpg", "notes.txt"});
  Frames("Cam A/2004-03-15/12/59", {"0000.jpg", "1000.jpg"});
  Frames("Cam A/2004-03-15/12/5", {"1000.jpg"});   // one-character minute
  Frames("Cam A/2004-03-15/12/60", {"1000.jpg"});  // not a minute
  Frames("Cam A/2004-03-16/00/00", {"0000.jpg"});
  Frames(".hidden/2004-03-15/12/58", {"0000.jpg"});
  Folders({"Cam A/2004-03-15/12/59/9999.jpg", "Cam A/2004-03-15/13/00", "Cam A/2004-03-15/24/00",
           "Cam A/junk/00/00", "z cam"});  // a folder is no frame; empty minute; no hour; no date
  testing_support::WriteFile(P("Cam A/2004-03-17"), "a file is not a date");
  testing_support::WriteFile(P("notes"), "a file is not a camera");

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

// Continuous play's order: empty minutes and hours passed over, on into the
// next or previous date, never into the hidden hour 24 or minute 60, and not
// into another camera.
TEST_F(BackupTree, FramesPlayInOrderEitherWayThroughTheCamerasDates) {
  Frames("cam/2004-03-14/23/59", {"5900.jpg"});
  Frames("cam/2004-03-15/11/59", {"43-07.jpg", "00-00.jpg"});
  Frames("cam/2004-03-15/12/58", {"43100.jpg", "4376.jpg", "00005.jpg"});
  Frames("cam/2004-03-15/12/60", {"0000.jpg"});
  Frames("cam/2004-03-15/14/03", {"4500.jpg", "0007.jpg"});
  Frames("cam/2004-03-15/24/00", {"0000.jpg"});
  Frames("cam/2004-03-16/00/00", {"0000.jpg"});
  Frames("cam2/2004-03-17/00/00", {"0000.jpg"});
  Folders({"cam/2004-03-15/12/59", "cam/2004-03-15/13"});
  const auto lines = [this](const std::string& minute, Lines codes) {  // "<code> <path>"
    for (std::string& c : codes) c = c.substr(0, 4) + " " + P("cam/" + minute + "/" + c.substr(5));
    return codes;
  };
  const auto cat = [](Lines a, const Lines& b) { a.insert(a.end(), b.begin(), b.end()); return a; };
  const Lines m1159 = lines("2004-03-15/11/59", {"0000 00-00.jpg", "4307 43-07.jpg"});
  const Lines m1258 = lines("2004-03-15/12/58", {"0000 00005.jpg", "4307 4376.jpg", "4310 43100.jpg"});
  const Lines m1403 = lines("2004-03-15/14/03", {"0007 0007.jpg", "4500 4500.jpg"});
  const Lines m0000 = lines("2004-03-16/00/00", {"0000 0000.jpg"});
  const Lines m2359 = lines("2004-03-14/23/59", {"5900 5900.jpg"});
  const std::string minute = P("cam/2004-03-15/12/58"), empty = P("cam/2004-03-15/12/59");
  const Lines m1258r(m1258.rbegin(), m1258.rend()), m1159r(m1159.rbegin(), m1159.rend());
  const struct { Lines args; Lines lines; } cases[] = {
      {{minute + platform::kPathSeparator}, m1258},
      {{"--reverse", minute}, m1258r},
      {{"--continue", minute}, cat(cat(m1258, m1403), m0000)},
      {{empty, "--reverse", "--continue"}, cat(cat(m1258r, m1159r), m2359)},
      {{empty}, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    Lines args = {"orvanel-cli", "frames"};  // through the dispatcher, as the program is called
    const Result r = RunCommand(CliMain, cat(args, c.args));
    EXPECT_EQ(r.code, 0) << r.err;
    Lines printed;
    for (std::size_t start = 0, end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
      printed.push_back(r.out.substr(start, end - start));
    EXPECT_EQ(printed, c.lines);
  }
}

TEST_F(BackupTree, BadArgumentsExitTwoWithOneLineNamingThem) {
  Frames("cam/2004-03-15/12/58", {"0000.jpg"});
  testing_support::WriteFile(P("file"), "x");
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
    SCOPED_TRACE(c.named);
    const Result r = RunCommand(c.command, c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
  }
}

}  // namespace
