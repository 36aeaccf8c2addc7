#include <gtest/gtest.h>

#include <climits>

#include "store/layout.h"

TEST(LevelNames, DatesHoursMinutesAndCameras) {
  for (const char* ok : {"2004-03-15", "2004-3-5", "2004-03-15 backup", "2004-02-31",
                         "8284-12-31", " 2004- 3-+5"})
    EXPECT_TRUE(IsValidLevelName(ok, 3)) << ok;
  for (const char* bad : {"0000-01-01", "2004-13-01", "2004-00-10", "8285-01-01", "2004-03",
                          "20040315", "-2004-03-15", "2004-03-32", ""})
    EXPECT_FALSE(IsValidLevelName(bad, 3)) << bad;
  for (const char* ok : {"00", "0", "07", "7", "23"}) EXPECT_TRUE(IsValidLevelName(ok, 4)) << ok;
  for (const char* bad : {"24", "000", "ab", "-1", ""}) EXPECT_FALSE(IsValidLevelName(bad, 4)) << bad;
  EXPECT_TRUE(IsValidLevelName("59", 5));
  EXPECT_FALSE(IsValidLevelName("60", 5));
  EXPECT_TRUE(IsValidLevelName("Front door", 2));
  EXPECT_FALSE(IsValidLevelName(".hidden", 2));
  EXPECT_TRUE(IsValidLevelName(".anything", 1));
  EXPECT_FALSE(IsValidLevelName(nullptr, 1));
  EXPECT_FALSE(IsValidLevelName("07", 6));
}

TEST(LeadingNumber, ReadsAsAtoiWithoutOverflow) {
  EXPECT_EQ(LeadingNumber("  -12x"), -12);
  EXPECT_EQ(LeadingNumber("+7"), 7);
  EXPECT_EQ(LeadingNumber("ab"), 0);
  EXPECT_EQ(LeadingNumber("- 5"), 0);
  EXPECT_EQ(LeadingNumber(nullptr), 0);
  EXPECT_EQ(LeadingNumber("2147483647"), INT_MAX);
  EXPECT_EQ(LeadingNumber("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(LeadingNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(LeadingNumber("-99999999999999999999999"), INT_MIN);
}

TEST(TimeCode, ThreeSchemesAndTheFolderFlag) {
  EXPECT_EQ(TimeCode("4307.jpg", false), 4307);
  EXPECT_EQ(TimeCode("43-07.jpg", false), 4307);
  EXPECT_EQ(TimeCode("43075.jpg", true), 4307);
  EXPECT_EQ(TimeCode("4375.jpg", true), 4307);  // 43 s 075 ms
  EXPECT_EQ(TimeCode("4375.jpg", false), 4375);
  // Reading stops at the first non-digit; short names stay in bounds.
  EXPECT_EQ(TimeCode("4x07.jpg", false), 4);
  EXPECT_EQ(TimeCode("43-", false), 43);
  EXPECT_EQ(TimeCode("", true), 0);
}

TEST(SortKey, EightCharacterNamesGetAZeroAfterTheSecond) {
  char key[16];
  SortKey("4307.jpg", key, sizeof key);
  EXPECT_STREQ(key, "43007.jpg");
  SortKey("4307.jpg", key, 4);  // bounded
  EXPECT_STREQ(key, "430");
  EXPECT_LT(CompareFrameNames("43075.jpg", "4376.jpg"), 0);
  EXPECT_LT(CompareFrameNames("4376.jpg", "43100.jpg"), 0);
  EXPECT_EQ(CompareFrameNames("4307.jpg", "43007.jpg"), 0);
  EXPECT_LT(CompareFrameNames("ab", "abc"), 0);
  EXPECT_GT(CompareFrameNames("\xe9.jpg", "z.jpg"), 0);  // bytes compare unsigned
}
