#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "store/navigation.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(Navigation, FindsNeighbouringMinutesAcrossHoursAndDatesOfTheCamera) {
  TempDir dir;
  const std::string camera = dir.Join("d") + platform::kPathSeparator;
  for (const char* m : {"2004-03-15/11/7", "2004-03-15/11/ab", "2004-03-15/11/123", "2004-03-15/11/30",
                        "2004-03-15/12/57", "2004-03-15/12/58", "2004-03-15/12/59", "2004-03-15/14/03",
                        "2004-03-15/14/10", "2004-03-15/16", "2004-03-15/17/00", "2004-03-15/17/60",
                        "2004-03-15/24/00", "2004-03-14/23/59",
                        "2004-03-16/00/00", "2004-03-17/03", "2004-03-18/05/30", "thumbs/00/00"})
    MakeDirs(dir.Join(std::string("d/") + m));
  WriteFile(dir.Join("d/2004-03-15/13"), "not an hour");
  WriteFile(dir.Join("d/2004-03-15/11/45"), "not a minute");
  WriteFile(dir.Join("d/2004-03-19"), "not a date");

  struct Case { bool next; const char* from; const char* to; };  // to null: not found
  const Case cases[] = {
      {true, "2004-03-15/12/58", "2004-03-15/12/59"}, {false, "2004-03-15/12/58", "2004-03-15/12/57"},
      {true, "2004-03-15/12/59", "2004-03-15/14/03"},   // across a file named like an hour
      {false, "2004-03-15/14/03", "2004-03-15/12/59"},
      {false, "2004-03-15/12/57", "2004-03-15/11/30"},  // past a file named like a minute
      {false, "2004-03-15/11/30", "2004-03-15/11/07"},  // "7" is found as 07
      {false, "2004-03-15/11/07", "2004-03-14/23/59"},  // "ab" and "123" are no minutes
      {true, "2004-03-15/11/30", "2004-03-15/12/57"},   // past "123", which has three characters
      {true, "2004-03-15/14/10", "2004-03-15/17/00"},   // past the empty hour 16
      {true, "2004-03-15/17/00", "2004-03-16/00/00"},   // through midnight, past 17/60 and 24
      {false, "2004-03-15/11/00", "2004-03-14/23/59"},
      {true, "2004-03-16/00/00", "2004-03-18/05/30"},   // past a date with an empty hour only
      {false, "2004-03-18/05/30", "2004-03-16/00/00"},
      {true, "2004-03-18/05/30", nullptr},              // the camera ends: "thumbs" is no date
      {false, "2004-03-14/23/59", nullptr},
      // Paths not ending in two-digit names are refused.
      {true, "2004-03-15/12/5", nullptr}, {false, "2004-03-15/12/5", nullptr},
      {true, "2004-03-15/1/30", nullptr}, {true, "2004-03-15/12/ab", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.next ? "next from " : "previous from ") + c.from);
    std::string relative = c.from, expected = c.to ? c.to : c.from;
    for (std::string* s : {&relative, &expected})
      for (char& ch : *s)
        if (ch == '/') ch = platform::kPathSeparator;
    char folder[platform::kMaxPath];
    std::snprintf(folder, sizeof folder, "%s%s", camera.c_str(), relative.c_str());
    EXPECT_EQ((c.next ? FindNextMinute : FindPreviousMinute)(folder), c.to ? 0 : -1);
    EXPECT_EQ(folder, camera + expected);
  }
  char shortPath[] = "12";
  EXPECT_EQ(FindNextMinute(shortPath), -1);
  EXPECT_STREQ(shortPath, "12");
  EXPECT_EQ(FindNextNumber(dir.Join("missing").c_str(), -1), -1);
  EXPECT_EQ(FindPreviousNumber(dir.Join("missing").c_str(), 60), -1);
}
