#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using cli_test::Command;
using cli_test::Result;
using cli_test::RunCommand;
using Lines = std::vector<std::string>;

Lines Split(const std::string& text) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A backup whose folders exercise every level rule.
class BackupTree : public ::testing::Test {
 protected:
  void Frames(const std::string& minute, const std::vector<std::string>& names) {
    MakeDirs(dir_.Join(minute));
    for (const auto& n : names) WriteFile(dir_.Join(minute + "/" + n), "jpeg");
  }
  std::string P(const std::string& relative) const { return dir_.Join(relative); }
  // "<time code> <path>" as the frames command prints it.
  std::string Line(const char* code, const std::string& relative) const {
    return std::string(code) + " " + P(relative);
  }

  TempDir dir_;
};

}  // namespace

TEST_F(BackupTree, InfoListsAcceptedFoldersWithFrameTotals) {
  Frames("Cam A/2004-03-15/12/58", {"0100.jpg", "0000.jpg", "4500.jpg", "notes.txt"});
  Frames("Cam A/2004-03-15/12/59", {"0000.jpg", "1000.jpg"});
  MakeDirs(P("Cam A/2004-03-15/12/59/9999.jpg"));  // a folder is no frame
  Frames("Cam A/2004-03-15/12/5", {"1000.jpg"});     // one-character minute
  Frames("Cam A/2004-03-15/12/60", {"1000.jpg"});    // not a minute
  MakeDirs(P("Cam A/2004-03-15/13/00"));             // empty minute
  MakeDirs(P("Cam A/2004-03-15/24/00"));             // not an hour
  Frames("Cam A/2004-03-16/00/00", {"0000.jpg"});
  MakeDirs(P("Cam A/junk/00/00"));
  WriteFile(P("Cam A/2004-03-17"), "a file is not a date");
  Frames(".hidden/2004-03-15/12/58", {"0000.jpg"});
  WriteFile(P("notes"), "a file is not a camera");
  MakeDirs(P("z cam"));

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
  EXPECT_EQ(RunCommand(CmdInfo, {P("z cam")}).out, "root 0 " + P("z cam") + "\n");
}

TEST_F(BackupTree, FramesPlayInOrderEitherWayThroughTheCamerasDates) {
  Frames("cam/2004-03-14/23/59", {"5900.jpg"});
  Frames("cam/2004-03-15/11/59", {"43-07.jpg", "00-00.jpg"});
  Frames("cam/2004-03-15/12/58", {"43100.jpg", "4376.jpg", "00005.jpg"});
  MakeDirs(P("cam/2004-03-15/12/59"));  // empty minute and hour: passed over
  MakeDirs(P("cam/2004-03-15/13"));
  Frames("cam/2004-03-15/14/03", {"4500.jpg", "0007.jpg"});
  Frames("cam/2004-03-16/00/00", {"0000.jpg"});  // after midnight; the camera ends there
  Frames("cam2/2004-03-17/00/00", {"0000.jpg"});  // another camera is not entered
  const Lines m1159 = {Line("0000", "cam/2004-03-15/11/59/00-00.jpg"),
                       Line("4307", "cam/2004-03-15/11/59/43-07.jpg")};
  const Lines m1258 = {Line("0000", "cam/2004-03-15/12/58/00005.jpg"),
                       Line("4307", "cam/2004-03-15/12/58/4376.jpg"),
                       Line("4310", "cam/2004-03-15/12/58/43100.jpg")};
  const Lines m1403 = {Line("0007", "cam/2004-03-15/14/03/0007.jpg"),
                       Line("4500", "cam/2004-03-15/14/03/4500.jpg")};
  const Lines m0000 = {Line("0000", "cam/2004-03-16/00/00/0000.jpg")};
  const Lines m2359 = {Line("5900", "cam/2004-03-14/23/59/5900.jpg")};
  const auto cat = [](Lines a, const Lines& b) { a.insert(a.end(), b.begin(), b.end()); return a; };
  const auto reversed = [](Lines a) { std::reverse(a.begin(), a.end()); return a; };
  const std::string minute = P("cam/2004-03-15/12/58"), empty = P("cam/2004-03-15/12/59");
  struct Case { Lines args; Lines lines; };
  const Case cases[] = {
      {{minute + platform::kPathSeparator}, m1258},
      {{"--reverse", minute}, reversed(m1258)},
      {{"--continue", minute}, cat(cat(m1258, m1403), m0000)},
      {{empty, "--reverse", "--continue"}, cat(cat(reversed(m1258), reversed(m1159)), m2359)},
      {{empty}, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    const Result r = RunCommand(CmdFrames, c.args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Split(r.out), c.lines);
  }
  // Through the dispatcher, as the program is called.
  EXPECT_EQ(Split(RunCommand(CliMain, {"orvanel-cli", "frames", minute}).out), m1258);
}

TEST_F(BackupTree, BadArgumentsExitTwoWithOneLineNamingThem) {
  Frames("cam/2004-03-15/12/58", {"0000.jpg"});
  WriteFile(P("file"), "x");
  const std::string minute = P("cam/2004-03-15/12/58");
  struct Case { Command command; Lines args; std::string named; };
  const Case cases[] = {  // both commands check their folder alike: each case once
      {CmdInfo, {P("missing")}, P("missing")},
      {CmdInfo, {}, "ROOT"},
      {CmdInfo, {P("a"), P("b")}, "ROOT"},
      {CmdInfo, {std::string(300, 'x')}, std::string(300, 'x')},
      {CmdFrames, {P("file")}, P("file")},
      {CmdFrames, {"--loop", minute}, "--loop"},
      {CmdFrames, {minute, minute}, minute},
      {CmdFrames, {"--continue"}, "MINUTE_FOLDER"},
      {CmdFrames, {std::string(280, 'y')}, std::string(280, 'y')}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    const Result r = RunCommand(c.command, c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
  }
}

// End to end over the sample backup: what info counts is what frames plays.
TEST(SampleBackup, InfoTotalsAgreeWithContinuousFrames) {
  TempDir dir;
  const std::string root = dir.Join("backup");
  ASSERT_EQ(sample::GenerateSampleBackup(root), 0);
  const Result info = RunCommand(CmdInfo, {root});
  ASSERT_EQ(info.code, 0);

  // Totals by "camera/date" and by "camera/date/HH/MM" (ordered by time).
  std::map<std::string, long long> dates, minutes;
  std::string camera, date, hour;
  long long rootTotal = -1;
  for (const std::string& line : Split(info.out)) {
    std::istringstream fields(line);
    std::string level, name;
    long long count = 0;
    fields >> level >> count;
    std::getline(fields >> std::ws, name);
    if (level == "root") rootTotal = count;
    if (level == "camera") camera = name;
    if (level == "date") dates[date = camera + "/" + name] = count;
    if (level == "hour") hour = name;
    if (level == "minute") minutes[date + "/" + hour + "/" + name] = count;
  }

  // info shows exactly the sample's minute folders with their frame counts.
  std::map<std::string, long long> expected;
  long long all = 0;
  for (const sample::SampleMinute& m : sample::SampleMinutes()) {
    char hm[8];
    std::snprintf(hm, sizeof hm, "%02d/%02d", m.hour, m.minute);
    expected[std::string(sample::kSampleCameras[m.camera].name) + "/" + m.date + "/" + hm] = m.frames;
    all += m.frames;
  }
  ASSERT_EQ(minutes, expected);
  EXPECT_EQ(rootTotal, all);

  // Played on from a camera's first minute forwards, or from its last one
  // backwards, the shown minutes' frames add up to the camera's total over
  // all its dates, and no folder the tree hides is entered.
  const auto slashed = [](std::string path) {
    std::replace(path.begin(), path.end(), platform::kPathSeparator, '/');
    return path;
  };
  const std::string base = slashed(root) + "/";
  std::set<std::string> hiddenReached;
  ASSERT_EQ(dates.size(), 4u);
  std::map<std::string, long long> cameras;
  for (const auto& [name, total] : dates) cameras[name.substr(0, name.find('/'))] += total;
  ASSERT_EQ(cameras.size(), 2u);
  for (const auto& [name, total] : cameras) {
    // The camera's minutes: keys from name + "/" up to name + "0" ('0' follows '/').
    const auto from = minutes.lower_bound(name + "/"), to = minutes.lower_bound(name + "0");
    ASSERT_TRUE(from != to);
    const std::string first = from->first, last = std::prev(to)->first;
    for (bool reverse : {false, true}) {
      SCOPED_TRACE(name + (reverse ? " backwards" : " forwards"));
      Lines args = {"--continue", dir.Join("backup/" + (reverse ? last : first))};
      if (reverse) args.push_back("--reverse");
      const Result frames = RunCommand(CmdFrames, args);
      ASSERT_EQ(frames.code, 0);
      long long shown = 0;
      for (const std::string& line : Split(frames.out)) {
        const std::string path = slashed(line.substr(5));
        const std::string minute = path.substr(base.size(), path.rfind('/') - base.size());
        if (minutes.count(minute)) ++shown; else hiddenReached.insert(minute);
      }
      EXPECT_EQ(shown, total);
    }
  }
  EXPECT_TRUE(hiddenReached.empty());
}
