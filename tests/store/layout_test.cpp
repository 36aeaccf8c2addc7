#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "store/layout.h"

TEST(LevelNames, AcceptedAndRefusedPerLevel) {
  struct Case { const char* name; int level; bool ok; };
  const Case cases[] = {
      {".anything", 1, true}, {nullptr, 1, false}, {"Front door", 2, true}, {".hidden", 2, false},
      {"", 2, false}, {"2004-03-15", 3, true}, {"2004-3-5", 3, true}, {"2004-03-15 backup", 3, true},
      {"2004-02-31", 3, true}, {"8284-12-31", 3, true}, {" 2004- 3-+5", 3, true},
      {"0000-01-01", 3, false}, {"2004-13-01", 3, false}, {"2004-00-10", 3, false},
      {"8285-01-01", 3, false}, {"2004-03", 3, false}, {"20040315", 3, false},
      {"-2004-03-15", 3, false}, {"2004-03-32", 3, false}, {"", 3, false},
      {"00", 4, true}, {"0", 4, true}, {"07", 4, true}, {"7", 4, true}, {"23", 4, true},
      {"24", 4, false}, {"000", 4, false}, {"ab", 4, false}, {"-1", 4, false}, {"", 4, false},
      {"59", 5, true}, {"60", 5, false}, {"07", 6, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name ? c.name : "(null)") + " at level " + std::to_string(c.level));
    EXPECT_EQ(IsValidLevelName(c.name, c.level), c.ok);
  }
}

TEST(LeadingNumber, ReadsAsAtoiWithoutOverflow) {
  EXPECT_EQ(LeadingNumber("  -12x"), -12);
  EXPECT_EQ(LeadingNumber("- 5"), 0);
  EXPECT_EQ(LeadingNumber(nullptr), 0);
  EXPECT_EQ(LeadingNumber("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(LeadingNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(LeadingNumber("-99999999999999999999999"), INT_MIN);
}

TEST(TimeCode, ThreeSchemesAndTheFolderFlag) {
  struct Case { const char* name; bool millisecondNames; int code; };
  const Case cases[] = {
      {"4307.jpg", false, 4307}, {"43-07.jpg", false, 4307}, {"43075.jpg", true, 4307},
      {"4375.jpg", true, 4307},  // 43 s 075 ms among millisecond names
      {"4375.jpg", false, 4375},
      // Reading stops at the first non-digit; short names stay in bounds.
      {"4x07.jpg", false, 4}, {"43-", false, 43}, {"", true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TimeCode(c.name, c.millisecondNames), c.code);
  }
}

TEST(FrameNameOrder, KeysAreBoundedAndCompareAsUnsignedBytes) {
  char key[16];
  SortKey("4307.jpg", key, 4);  // bounded
  EXPECT_STREQ(key, "430");
  EXPECT_EQ(CompareFrameNames("4307.jpg", "43007.jpg"), 0);
  EXPECT_LT(CompareFrameNames("ab", "abc"), 0);
  EXPECT_GT(CompareFrameNames("\xe9.jpg", "z.jpg"), 0);  // bytes compare unsigned
}

// The same root chosen with "?" (a full path) or read back from the registry
// (as it was stored) titles its windows alike.
TEST(CameraName, RootsLastFolderOrDriveAndTheCamera) {
  const struct { const char* root; const char* want; } cases[] = {
      {"Z:\\home\\user\\sample\\", "sample - Cam 1"}, {"sample\\", "sample - Cam 1"},
      {"C:/bk", "bk - Cam 1"},  {"D:\\", "D:\\ - Cam 1"}, {"D:", "D:\\ - Cam 1"},
      {"\\\\server\\share\\", "share - Cam 1"}, {"", " - Cam 1"},
  };
  char name[260];
  for (const auto& c : cases) {
    EXPECT_TRUE(CameraName(c.root, "Cam 1", name, sizeof name));
    EXPECT_STREQ(name, c.want) << c.root;
  }
  EXPECT_FALSE(CameraName("C:\\bk", "Cam 1", name, 8));
  EXPECT_STREQ(name, "bk - Ca");
}
