#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/layout.h"
#include "store/minute_frame_list.h"
#include "store/navigation.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;
using Names = std::vector<std::string>;

namespace {

TEST(LevelNames, AcceptedAndRefusedPerLevel) {
  struct Case { const char* name; int level; bool ok; };
  const Case cases[] = {
      {".anything", 1, true}, {nullptr, 1, false}, {"Front door", 2, true}, {".hidden", 2, false},
      {"", 2, false}, {"2004-03-15", 3, true}, {"2004-3-5", 3, true}, {"2004-03-15 backup", 3, true},
      {"2004-02-31", 3, true}, {"8284-12-31", 3, true}, {" 2004- 3-+5", 3, true},
      {"0000-01-01", 3, false}, {"2004-13-01", 3, false}, {"2004-00-10", 3, false},
      {"8285-01-01", 3, false}, {"2004-03", 3, false}, {"20040315", 3, false},
      {"-2004-03-15", 3, false}, {"2004-03-32", 3, false}, {"", 3, false},
      {"07", 4, true}, {"7", 4, true}, {"23", 4, true}, {"24", 4, false}, {"000", 4, false},
      {"ab", 4, false}, {"-1", 4, false}, {"", 4, false}, {"59", 5, true}, {"60", 5, false},
      {"07", 6, false}};
  for (const Case& c : cases)
    EXPECT_EQ(IsValidLevelName(c.name, c.level), c.ok) << (c.name ? c.name : "(null)") << " at " << c.level;
}

TEST(FrameNames, TimeCodesNumbersAndBoundedUnsignedKeys) {
  struct Case { const char* name; bool millisecondNames; int code; };
  const Case cases[] = {
      {"4307.jpg", false, 4307}, {"43-07.jpg", false, 4307}, {"43075.jpg", true, 4307},
      {"4375.jpg", true, 4307},  // 43 s 075 ms among millisecond names
      {"4375.jpg", false, 4375},
      // Reading stops at the first non-digit; short names stay in bounds.
      {"4x07.jpg", false, 4}, {"43-", false, 43}, {"", true, 0}};
  for (const Case& c : cases) EXPECT_EQ(TimeCode(c.name, c.millisecondNames), c.code) << c.name;

  const struct { const char* text; int number; } numbers[] = {
      {"  -12x", -12}, {"- 5", 0}, {nullptr, 0}, {"99999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN}, {"-99999999999999999999999", INT_MIN}};
  for (const auto& n : numbers) EXPECT_EQ(LeadingNumber(n.text), n.number) << (n.text ? n.text : "(null)");

  char key[16];
  SortKey("4307.jpg", key, 4);  // bounded
  EXPECT_STREQ(key, "430");
  EXPECT_EQ(CompareFrameNames("4307.jpg", "43007.jpg"), 0);
  EXPECT_LT(CompareFrameNames("ab", "abc"), 0);
  EXPECT_GT(CompareFrameNames("\xe9.jpg", "z.jpg"), 0);  // bytes compare unsigned
}

std::string Name(const char* format, int a, int b = 0) {
  char buf[16];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

Names Sorted(const Names& names, int first = 0, int last = -2) {
  std::vector<FrameName> t(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) std::snprintf(t[i].data(), kFrameNameSize, "%s", names[i].c_str());
  SortFrameNames(t.data(), first, last == -2 ? static_cast<int>(t.size()) - 1 : last);
  Names out;
  for (const auto& n : t) out.emplace_back(n.data());
  return out;
}

// Ordered, reversed and all-equal inputs make a naive quicksort quadratic and
// as deep as the count; an O(n log n) sort finishes them at once.
TEST(SortFrameNames, OrdersByKeyAndCopesWithLargeOrderedInputs) {
  EXPECT_EQ(Sorted({"43100.jpg", "4500.jpg", "0007.jpg", "43075.jpg", "4376.jpg"}),
            (Names{"0007.jpg", "43075.jpg", "4376.jpg", "43100.jpg", "4500.jpg"}));
  EXPECT_EQ(Sorted({"9", "3", "2", "1", "0"}, 1, 3), (Names{"9", "1", "2", "3", "0"}));
  Names ordered;
  for (int i = 0; i < 60000; ++i) ordered.push_back(Name("%05d.jpg", i));
  EXPECT_EQ(Sorted(ordered), ordered);
  EXPECT_EQ(Sorted(Names(ordered.rbegin(), ordered.rend())), ordered);
  EXPECT_EQ(Sorted(Names(60000, "4307.jpg")), Names(60000, "4307.jpg"));
  // Listings arrive in NTFS order, which differs from key order once
  // 8-character names mix in ("0031.jpg" is key "00031.jpg").
  Names mixed;
  for (int i = 0; i < 1900; ++i) mixed.push_back(Name(i % 2 ? "%02d%03d.jpg" : "%02d%02d.jpg", i / 32, i % 32));
  Names ntfs = mixed;
  std::sort(ntfs.begin(), ntfs.end());
  EXPECT_EQ(Sorted(ntfs), mixed);
}

struct FakeView : FrameListView {
  void SetSliderRange(int maximum) override { calls.push_back("range 0.." + std::to_string(maximum)); }
  void SetSliderPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
  Names calls;
};

void WriteFrames(const std::string& folder, const Names& names) {
  MakeDirs(folder);
  for (const auto& n : names) WriteFile(folder + platform::kPathSeparator + n, "x");
}

Names Listed(const MinuteFrameList& list) {
  Names out;
  for (int i = 0; i < list.count(); ++i) out.emplace_back(list.name(i));
  return out;
}

TEST(MinuteFrameList, LoadsSortedFramesOrLeavesAnEmptyList) {
  TempDir dir;
  const std::string folder = dir.Join("cam/2004-03-15/12/58");
  WriteFrames(folder, {"4500.jpg", "0007.JPG", "1234.jpg", "notes.txt"});
  MinuteFrameList list;
  FakeView view;
  list.position = 5;
  ASSERT_EQ(list.Load(folder.c_str(), &view), 0);
  EXPECT_EQ(Listed(list), (Names{"0007.JPG", "1234.jpg", "4500.jpg"}));
  EXPECT_EQ(list.position, -1);
  EXPECT_EQ(view.calls, (Names{"range 0..2", "pos 0"}));
  char path[platform::kMaxPath], tiny[8];
  ASSERT_TRUE(list.FramePath(2, path, sizeof path));
  EXPECT_EQ(path, folder + platform::kPathSeparator + "4500.jpg");
  EXPECT_FALSE(list.FramePath(0, tiny, sizeof tiny));
  EXPECT_FALSE(list.FramePath(3, path, sizeof path));

  // One long name, even listed first, makes 8-character names milliseconds.
  WriteFrames(dir.Join("ms"), {"00123.jpg", "4376.jpg", "5999.jpg"});
  ASSERT_EQ(list.Load(dir.Join("ms").c_str(), &view), 0);
  EXPECT_TRUE(list.millisecondNames());
  EXPECT_EQ(list.TimeCodeAt(1), 4307);

  // Failed loads leave an empty list and the slider alone; a folder whose
  // listing pattern cannot fit a path buffer is refused.
  MakeDirs(dir.Join("empty"));
  WriteFrames(dir.Join("other"), {"readme.txt"});
  MakeDirs(dir.Join("folders/4307.jpg"));  // a folder named like a frame
  testing_support::TraceCapture trace;
  for (const std::string& bad : {dir.Join("missing"), dir.Join("empty"), dir.Join("other"), dir.Join("folders"),
                                 std::string(kMaxMinuteFolderLength + 1, 'b')}) {
    SCOPED_TRACE(bad);
    ASSERT_EQ(list.Load(folder.c_str(), &view), 0);
    list.position = 1;
    view.calls.clear();
    EXPECT_EQ(list.Load(bad.c_str(), &view), -1);
    EXPECT_EQ(list.count() + list.position, -1);
    EXPECT_TRUE(view.calls.empty());
  }
  EXPECT_TRUE(trace.Contains("too long"));
}

TEST(MinuteFrameList, LargeMinutesLongNamesAndLongPaths) {
  TempDir dir;
  Names names = {"4307.jpg.jpg", "1234567.jpg"};  // 12 characters: not a frame name; 11: taken
  for (int i = 2099; i >= 0; --i) names.push_back(Name("%05d.jpg", i));
  WriteFrames(dir.Join("big"), names);
  MinuteFrameList list;
  FakeView view;
  testing_support::TraceCapture trace;
  ASSERT_EQ(list.Load(dir.Join("big").c_str(), &view), 0);
  EXPECT_EQ(list.count(), 2101);
  EXPECT_STREQ(list.name(2099), "02099.jpg");
  EXPECT_STREQ(list.name(2100), "1234567.jpg");
  EXPECT_EQ(view.calls.front(), "range 0..2100");
  EXPECT_TRUE(trace.Contains("4307.jpg.jpg"));
  ASSERT_EQ(list.Load(list.folder(), &view), 0);  // from its own field
  EXPECT_EQ(list.count(), 2101);

#ifndef _WIN32  // Windows cannot make the 262-character path below
  // In the longest folder that opens an 8-character name fits a path buffer
  // (259) and an 11-character one does not: it is skipped, not overflowed.
  std::string folder = dir.path();
  while (folder.size() < kMaxMinuteFolderLength) {
    const std::size_t room = kMaxMinuteFolderLength - 1 - folder.size();  // after the separator
    folder += platform::kPathSeparator + std::string(room > 60 ? 50 : room, 'd');
  }
  WriteFrames(folder, {"0100.jpg", "1234567.jpg"});
  ASSERT_EQ(list.Load(folder.c_str(), nullptr), 0);
  EXPECT_EQ(Listed(list), Names{"0100.jpg"});
  char path[platform::kMaxPath];
  EXPECT_TRUE(list.FramePath(0, path, sizeof path));
#endif
}

// The minutes the tree shows, in order across hours and dates; the hidden
// hour 24 and minute 60, files and odd names are passed over.
TEST(Navigation, FindsNeighbouringMinutesAcrossHoursAndDatesOfTheCamera) {
  TempDir dir;
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
    const std::string from = dir.Join(std::string("d/") + c.from);
    char folder[platform::kMaxPath];
    std::snprintf(folder, sizeof folder, "%s", from.c_str());
    EXPECT_EQ((c.next ? FindNextMinute : FindPreviousMinute)(folder), c.to ? 0 : -1);
    EXPECT_EQ(folder, c.to ? dir.Join(std::string("d/") + c.to) : from);
  }
  char shortPath[] = "12";
  EXPECT_EQ(FindNextMinute(shortPath), -1);
  EXPECT_STREQ(shortPath, "12");
  EXPECT_EQ(FindNextNumber(dir.Join("missing").c_str(), -1), -1);
  EXPECT_EQ(FindPreviousNumber(dir.Join("missing").c_str(), 60), -1);
}

}  // namespace
