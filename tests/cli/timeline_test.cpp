#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "store/coverage.h"
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"

using cli_test::RunCommand;
using testing_support::MakeDirs;
using testing_support::WriteFile;

namespace {

// One camera: gaps of exactly 2 s and of 2.01 s, within and across minutes,
// the three name schemes, an empty minute and hour, folders the level rules
// hide (with frames that would add spans), and a span across midnight.
class Timeline : public ::testing::Test {
 protected:
  void SetUp() override {
    Frames("2004-03-15/07/05", {"0000.jpg", "0200.jpg", "0401.jpg", "5901.jpg"});
    Frames("2004-03-15/07/06", {"43100.jpg", "01010.jpg", "4375.jpg"});  // 43.075 s
    Frames("2004-03-15/07/08", {"00-00.jpg", "01-50.jpg"});
    MakeDirs(P("cam/2004-03-15/12/02"));
    MakeDirs(P("cam/2004-03-15/13"));
    for (const char* hidden : {"2004-03-15/24/00", "2004-03-15/12/60", "2004-03-15/.x/00"})
      Frames(hidden, {"3000.jpg"});
    Frames("2004-03-15/23/59", {"5800.jpg", "5950.jpg"});
    Frames("2004-03-16/00/00", {"0100.jpg"});
  }
  void Frames(const std::string& minute, const std::vector<std::string>& names) {
    for (const auto& n : names) WriteFile(P("cam/" + minute + "/" + n), "jpeg");
  }
  std::string P(const std::string& relative) const { return dir_.Join(relative); }
  static WallTime T(const char* text) {
    WallTime t = 0;
    EXPECT_TRUE(ParseWallTime(text, &t)) << text;
    return t;
  }
  static std::string Csv(const std::vector<CoverageSpan>& spans) {
    std::string csv;
    char a[32], b[32];
    for (const CoverageSpan& s : spans) {
      FormatWallTime(s.start, a, sizeof a);
      FormatWallTime(s.end, b, sizeof b);
      csv += std::string(a) + "," + b + "," + std::to_string(s.frames) + "\n";
    }
    return csv;
  }

  testing_support::TempDir dir_;
};

const char kHeader[] = "start,end,frames\n";
const char kMorning[] =
    "2004-03-15T07:05:00.00,2004-03-15T07:05:02.00,2\n"
    "2004-03-15T07:05:04.01,2004-03-15T07:05:04.01,1\n"
    "2004-03-15T07:05:59.01,2004-03-15T07:06:01.01,2\n"
    "2004-03-15T07:06:43.07,2004-03-15T07:06:43.10,2\n"
    "2004-03-15T07:08:00.00,2004-03-15T07:08:01.50,2\n";

}  // namespace

TEST_F(Timeline, CommandPrintsSpansOfACameraOrADateAndRefusesOtherFolders) {
  MakeDirs(P("empty cam"));
  WriteFile(P("file"), "x");
  const std::string sep(1, platform::kPathSeparator);
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out, err;  // err: a part of the message
  } cases[] = {
      {{P("cam")}, 0,
       kHeader + std::string(kMorning) + "2004-03-15T23:59:58.00,2004-03-16T00:00:01.00,3\n", ""},
      {{P("cam/2004-03-15") + sep}, 0,
       kHeader + std::string(kMorning) + "2004-03-15T23:59:58.00,2004-03-15T23:59:59.50,2\n", ""},
      {{P("empty cam")}, 0, kHeader, ""},
      {{P("cam/2004-03-16/00")}, 2, "", "not a camera or date folder (an hour folder)"},
      {{dir_.path()}, 2, "", "not a camera or date folder (a backup root)"},
      {{P("missing")}, 2, "", "'" + P("missing") + "': no such folder"},
      {{P("file")}, 2, "", "not a folder"},
      {{}, 2, "", "no folder given"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    const cli_test::Result r = RunCommand(CmdTimeline, c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out, c.out);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.err.empty(), c.code == 0) << r.err;
  }
  EXPECT_EQ(RunCommand(CliMain, {"orvanel-cli", "timeline", P("empty cam")}).out, kHeader);
}

TEST_F(Timeline, MinuteLevelJoinsWholeMinutesAndStepsReplacePendingMinutes) {
  std::vector<std::string> folders;
  ASSERT_EQ(MinuteFoldersBetween(P("cam").c_str(), T("2004-03-15T00:00:00"),
                                 T("2004-03-17T00:00:00"), folders), 0);
  ASSERT_EQ(folders.size(), 6u);  // with the empty 12:02
  CoverageScan scan(folders, CoverageLevel::kMinute);
  const char* pending[] = {
      "2004-03-15T07:05:00.00,2004-03-15T07:06:59.99,0\n"
      "2004-03-15T07:08:00.00,2004-03-15T07:08:59.99,0\n"
      "2004-03-15T12:02:00.00,2004-03-15T12:02:59.99,0\n"
      "2004-03-15T23:59:00.00,2004-03-16T00:00:59.99,0\n",
      "2004-03-15T12:02:00.00,2004-03-15T12:02:59.99,0\n"
      "2004-03-15T23:59:00.00,2004-03-16T00:00:59.99,0\n",
      ""};
  const char* read[] = {
      "",
      "2004-03-15T07:05:00.00,2004-03-15T07:06:43.10,7\n"
      "2004-03-15T07:08:00.00,2004-03-15T07:08:01.50,2\n",
      "2004-03-15T07:05:00.00,2004-03-15T07:06:43.10,7\n"
      "2004-03-15T07:08:00.00,2004-03-15T07:08:01.50,2\n"
      "2004-03-15T23:59:58.00,2004-03-16T00:00:01.00,3\n"};
  for (int step = 0; step < 3; ++step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(Csv(scan.spans()), read[step]);
    EXPECT_EQ(Csv(scan.PendingSpans()), pending[step]);
    EXPECT_EQ(scan.Step(3), step == 0);
  }
}

TEST_F(Timeline, FrameLevelReadsOnlyTheMinutesOfARangeAcrossMidnight) {
  const struct {
    const char* from;
    const char* to;
    std::string spans;
  } cases[] = {
      {"2004-03-15T07:06:30", "2004-03-15T07:08:00",
       "2004-03-15T07:06:01.01,2004-03-15T07:06:01.01,1\n"
       "2004-03-15T07:06:43.07,2004-03-15T07:06:43.10,2\n"},
      {"2004-03-15T23:30:00", "2004-03-16T00:30:00",
       "2004-03-15T23:59:58.00,2004-03-16T00:00:01.00,3\n"},
      {"2004-03-15T13:00:00", "2004-03-15T23:59:00", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    std::vector<std::string> folders;
    ASSERT_EQ(MinuteFoldersBetween(P("cam").c_str(), T(c.from), T(c.to), folders), 0);
    CoverageScan scan(std::move(folders), CoverageLevel::kFrame);
    while (scan.Step(1)) {
    }
    EXPECT_EQ(Csv(scan.spans()), c.spans);
  }
  std::vector<std::string> none;
  EXPECT_EQ(MinuteFoldersBetween(P("missing").c_str(), 0, 1, none), -1);
}
