#include <gtest/gtest.h>

#include "store/wall_clock.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

TEST(WallClock, ParsesAndFormatsMomentsAcrossMonthsYearsAndLeapDays) {
  const struct {
    const char* text;
    bool ok;
    const char* formatted;
  } cases[] = {
      {"2004-03-15T12:58:43.07", true, "2004-03-15T12:58:43.07"},
      {"2004-03-15 12:58:43", true, "2004-03-15T12:58:43.00"},
      {"2004-03-15T12:58:43.5", true, "2004-03-15T12:58:43.50"},
      {"2004-02-29T23:59:59.99", true, "2004-02-29T23:59:59.99"},
      {"1999-12-31T00:00:00", true, "1999-12-31T00:00:00.00"},
      {"2003-02-29T00:00:00", false, nullptr},  // no such day
      {"2004-03-15T24:00:00", false, nullptr},
      {"2004-03-15T12:58", false, nullptr},
      {"2004-03-15T12:58:43.07x", false, nullptr},
      {"2004-3-15T12:58:43", false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WallTime t = -1;
    ASSERT_EQ(ParseWallTime(c.text, &t), c.ok);
    if (!c.ok) continue;
    char out[32];
    FormatWallTime(t, out, sizeof out);
    EXPECT_STREQ(out, c.formatted);
  }
  WallTime a = 0, b = 0;
  ASSERT_TRUE(ParseWallTime("2004-02-28T23:59:59.99", &a));
  ASSERT_TRUE(ParseWallTime("2004-03-01T00:00:00", &b));
  EXPECT_EQ(b - a, kHundredthsPerDay + 1);  // the leap day lies between
}

TEST(WallClock, ExpandsAnyLevelToItsMinuteFoldersInTimeOrder) {
  TempDir dir;
  for (const char* f : {"cam/2004-03-16/00/00", "cam/2004-03-15/23/59", "cam/2004-03-15/7/05",
                        "cam/2004-03-15/12/00", "cam/2004-03-15/24/00", "cam/2004-03-15/12/60",
                        "cam/2004-03-15/.h/00", "cam/notes/00/00", "cam/2004-03-15/13"})
    testing_support::MakeDirs(dir.Join(f));
  const struct {
    const char* folder;
    int level;
    std::vector<const char*> minutes;
  } cases[] = {
      {"cam", 2, {"2004-03-15/7/05", "2004-03-15/12/00", "2004-03-15/23/59", "2004-03-16/00/00"}},
      {"cam/2004-03-15/", 3, {"2004-03-15/7/05", "2004-03-15/12/00", "2004-03-15/23/59"}},
      {"cam/2004-03-15/12", 4, {"2004-03-15/12/00"}},
      {"cam/2004-03-15/13", 4, {}},
      {"cam/2004-03-16/00/00", 5, {"2004-03-16/00/00"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const std::string folder = dir.Join(c.folder);
    EXPECT_EQ(BackupLevelOf(folder.c_str()), c.level);
    std::vector<std::string> got;
    ASSERT_EQ(ListMinuteFolders(folder.c_str(), got), 0);
    std::vector<std::string> want;
    for (const char* m : c.minutes) want.push_back(dir.Join(std::string("cam/") + m));
    EXPECT_EQ(got, want);
  }
  WallTime start = 0, expected = 0;
  ASSERT_TRUE(MinuteFolderStart(dir.Join("cam/2004-03-15/7/05").c_str(), &start));
  ASSERT_TRUE(ParseWallTime("2004-03-15T07:05:00", &expected));
  EXPECT_EQ(start, expected);
  std::vector<std::string> none;
  EXPECT_EQ(ListMinuteFolders(dir.Join("missing").c_str(), none), -1);
}
