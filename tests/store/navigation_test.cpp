#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "store/navigation.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(Navigation, FindsNeighbouringMinutesWithinTheDateOnly) {
  TempDir dir;
  const std::string date = dir.Join("d/2004-03-15") + platform::kPathSeparator;
  for (const char* m : {"11/7", "11/ab", "11/123", "11/30", "12/57", "12/58", "12/59", "14/03", "14/10",
                        "16", "17/00"})
    MakeDirs(dir.Join(std::string("d/2004-03-15/") + m));
  WriteFile(dir.Join("d/2004-03-15/13"), "not an hour");
  WriteFile(dir.Join("d/2004-03-15/11/45"), "not a minute");
  MakeDirs(dir.Join("d/2004-03-14/23/59"));
  MakeDirs(dir.Join("d/2004-03-16/00/00"));

  struct Case { bool next; const char* from; const char* to; };  // to null: not found
  const Case cases[] = {
      {true, "12/58", "12/59"}, {false, "12/58", "12/57"},
      {true, "12/59", "14/03"},   // across a file named like an hour
      {false, "14/03", "12/59"},
      {false, "12/57", "11/30"},  // past a file named like a minute
      {false, "11/30", "11/07"},  // "7" is found as 07
      {false, "11/07", "11/00"},  // "ab" counts as 0
      {true, "11/30", "12/57"},   // past "123", which has three characters
      {true, "14/10", nullptr},   // the empty hour 16 ends the search
      {true, "17/00", nullptr},   // the next date is not entered
      {false, "11/00", nullptr},  // nor the previous one
      // Paths not ending in two-digit names are refused.
      {true, "12/5", nullptr}, {false, "12/5", nullptr}, {true, "1/30", nullptr}, {true, "12/ab", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.next ? "next from " : "previous from ") + c.from);
    std::string relative = c.from, expected = c.to ? c.to : c.from;
    for (std::string* s : {&relative, &expected})
      for (char& ch : *s)
        if (ch == '/') ch = platform::kPathSeparator;
    char folder[platform::kMaxPath];
    std::snprintf(folder, sizeof folder, "%s%s", date.c_str(), relative.c_str());
    EXPECT_EQ((c.next ? FindNextMinute : FindPreviousMinute)(folder), c.to ? 0 : -1);
    EXPECT_EQ(folder, date + expected);
  }
  char shortPath[] = "12";
  EXPECT_EQ(FindNextMinute(shortPath), -1);
  EXPECT_STREQ(shortPath, "12");
  EXPECT_EQ(FindNextNumber(dir.Join("missing").c_str(), -1), -1);
  EXPECT_EQ(FindPreviousNumber(dir.Join("missing").c_str(), 60), -1);
}
