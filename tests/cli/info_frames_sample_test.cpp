// End to end over the sample backup: what info counts is what frames plays.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace {

std::string Output(int (*command)(int, char**, std::FILE*, std::FILE*),
                std::vector<std::string> args, int* code) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  *code = command(static_cast<int>(argv.size()), argv.data(), out, err);
  std::fclose(err);
  std::string text;
  std::rewind(out);
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) text.append(buf, n);
  std::fclose(out);
  return text;
}

std::string Slashed(std::string path) {
  for (char& c : path)
    if (c == platform::kPathSeparator) c = '/';
  return path;
}

}  // namespace

TEST(SampleBackup, InfoTotalsAgreeWithContinuousFrames) {
  testing_support::TempDir dir;
  const std::string root = dir.Join("backup");
  ASSERT_EQ(sample::GenerateSampleBackup(root), 0);

  int code = -1;
  std::istringstream info(Output(CmdInfo, {root}, &code));
  ASSERT_EQ(code, 0);

  // Minute counts by "camera/date/HH/MM"; date totals with their first and
  // last minutes.
  struct Date { long long total = 0; std::string first, last; };
  std::map<std::string, long long> minutes;
  std::map<std::string, Date> dates;
  std::string camera, date, hour, line;
  long long rootTotal = -1;
  while (std::getline(info, line)) {
    std::istringstream fields(line);
    std::string level, name;
    long long count = 0;
    fields >> level >> count;
    std::getline(fields >> std::ws, name);
    if (level == "root") rootTotal = count;
    if (level == "camera") camera = name;
    if (level == "date") dates[date = camera + "/" + name].total = count;
    if (level == "hour") hour = name;
    if (level == "minute") {
      const std::string m = date + "/" + hour + "/" + name;
      minutes[m] = count;
      if (dates[date].first.empty()) dates[date].first = m;
      dates[date].last = m;
    }
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
  EXPECT_EQ(minutes, expected);
  EXPECT_EQ(rootTotal, all);

  // Played on from a date's first minute forwards, or from its last one
  // backwards, the frames of the shown minutes add up to the date's total.
  // Navigation compares numbers only, so forwards it also reaches the one
  // minute folder the tree hides behind a shown minute.
  const std::string base = Slashed(root) + "/";
  std::set<std::string> hiddenReached;
  ASSERT_EQ(dates.size(), 4u);
  for (const auto& [name, d] : dates) {
    for (bool reverse : {false, true}) {
      SCOPED_TRACE(name + (reverse ? " backwards" : " forwards"));
      std::vector<std::string> args = {"--continue", dir.Join("backup/" + (reverse ? d.last : d.first))};
      if (reverse) args.push_back("--reverse");
      std::istringstream frames(Output(CmdFrames, args, &code));
      ASSERT_EQ(code, 0);
      long long shown = 0;
      while (std::getline(frames, line)) {
        const std::string path = Slashed(line.substr(5));
        const std::string minute = path.substr(base.size(), path.rfind('/') - base.size());
        if (minutes.count(minute)) ++shown; else hiddenReached.insert(minute);
      }
      EXPECT_EQ(shown, d.total);
    }
  }
  EXPECT_EQ(hiddenReached, std::set<std::string>{"Camera 1/2004-03-16/09/60"});
}
