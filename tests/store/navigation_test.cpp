#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "store/navigation.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::WriteFile;

namespace {

// Trees of empty folders under one date folder d/2004-03-15.
class Navigation : public ::testing::Test {
 protected:
  void Make(const std::string& relative) { MakeDirs(dir_.Join("d/2004-03-15/" + relative)); }

  // Runs a minute search from "HH/MM" of the date; returns the answer and the
  // resulting "HH/MM" (the whole path if it left the date).
  std::string Search(int (*search)(char*), const std::string& from, int* result) {
    const std::string date = dir_.Join("d/2004-03-15") + platform::kPathSeparator;
    std::string relative = from;
    for (char& c : relative)
      if (c == '/') c = platform::kPathSeparator;
    char folder[platform::kMaxPath];
    std::snprintf(folder, sizeof folder, "%s%s", date.c_str(), relative.c_str());
    *result = search(folder);
    std::string out = folder;
    if (out.compare(0, date.size(), date) == 0) out = out.substr(date.size());
    for (char& c : out)
      if (c == platform::kPathSeparator) c = '/';
    return out;
  }

  TempDir dir_;
};

}  // namespace

TEST_F(Navigation, WithinTheHourAcrossHoursAndAtTheEndsOfTheDate) {
  for (const char* m : {"12/57", "12/58", "12/59", "14/03", "14/10"}) Make(m);
  MakeDirs(dir_.Join("d/2004-03-16/00/00"));
  int r = 0;
  EXPECT_EQ(Search(FindNextMinute, "12/58", &r), "12/59");
  EXPECT_EQ(Search(FindPreviousMinute, "12/58", &r), "12/57");
  EXPECT_EQ(Search(FindNextMinute, "12/59", &r), "14/03");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Search(FindPreviousMinute, "14/03", &r), "12/59");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Search(FindNextMinute, "14/10", &r), "14/10");  // next date not entered
  EXPECT_EQ(r, -1);
  EXPECT_EQ(Search(FindPreviousMinute, "12/57", &r), "12/57");
  EXPECT_EQ(r, -1);
}

TEST_F(Navigation, EmptyHourEndsTheSearchAndFilesAreNotFolders) {
  Make("11/30");
  Make("12/59");
  Make("14");
  Make("15/00");
  WriteFile(dir_.Join("d/2004-03-15/13"), "not an hour");
  WriteFile(dir_.Join("d/2004-03-15/11/45"), "not a minute");
  Make("11/7");  // found as the two-digit name "07"
  int r = 0;
  EXPECT_EQ(Search(FindNextMinute, "12/59", &r), "12/59");
  EXPECT_EQ(r, -1);
  EXPECT_EQ(Search(FindPreviousMinute, "12/59", &r), "11/30");
  EXPECT_EQ(Search(FindPreviousMinute, "11/30", &r), "11/07");
}

TEST_F(Navigation, NumberSearches) {
  for (const char* n : {"ab", "07", "5", "123"}) Make(std::string("h/") + n);
  WriteFile(dir_.Join("d/2004-03-15/h/09"), "file");
  const std::string h = dir_.Join("d/2004-03-15/h");
  EXPECT_EQ(FindNextNumber(h.c_str(), -1), 0);  // "ab" counts as 0
  EXPECT_EQ(FindNextNumber(h.c_str(), 0), 5);
  EXPECT_EQ(FindNextNumber(h.c_str(), 7), -1);  // 123 has three characters
  EXPECT_EQ(FindPreviousNumber(h.c_str(), 60), 7);
  EXPECT_EQ(FindPreviousNumber(h.c_str(), 0), -1);

  TraceCapture trace;
  Make("empty");
  EXPECT_EQ(FindNextNumber(dir_.Join("d/2004-03-15/empty").c_str(), -1), -1);
  EXPECT_TRUE(trace.Lines().empty());
  EXPECT_EQ(FindNextNumber(dir_.Join("missing").c_str(), -1), -1);
  EXPECT_TRUE(trace.Contains("Can't Find File(next_min), errno: "));
  EXPECT_EQ(FindPreviousNumber(dir_.Join("missing").c_str(), 60), -1);
  EXPECT_TRUE(trace.Contains("Can't Find File(prev find1), errno: "));
}

TEST_F(Navigation, PathsNotEndingInTwoDigitNamesAreRefused) {
  for (const char* m : {"12/5", "12/06", "1/30"}) Make(m);
  TraceCapture trace;
  int r = 0;
  for (const char* bad : {"12/5", "1/30", "12/ab"}) {
    EXPECT_EQ(Search(FindNextMinute, bad, &r), bad);
    EXPECT_EQ(r, -1) << bad;
    EXPECT_EQ(Search(FindPreviousMinute, bad, &r), bad);
    EXPECT_EQ(r, -1) << bad;
  }
  EXPECT_TRUE(trace.Contains("not a minute folder"));
  char shortPath[] = "12";
  EXPECT_EQ(FindNextMinute(shortPath), -1);
  EXPECT_STREQ(shortPath, "12");
}
