#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/minute_frame_list.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;
using Names = std::vector<std::string>;

namespace {

Names Sorted(const Names& names, int first = 0, int last = -2) {
  std::vector<FrameName> t(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    std::snprintf(t[i].data(), kFrameNameSize, "%s", names[i].c_str());
  SortFrameNames(t.data(), first, last == -2 ? static_cast<int>(t.size()) - 1 : last);
  Names out;
  for (const auto& n : t) out.emplace_back(n.data());
  return out;
}

Names Listed(const MinuteFrameList& list) {
  Names out;
  for (int i = 0; i < list.count(); ++i) out.emplace_back(list.name(i));
  return out;
}

std::string Name(const char* format, int a, int b = 0) {
  char buf[16];
  std::snprintf(buf, sizeof buf, format, a, b);
  return buf;
}

class FakeView : public FrameListView {
 public:
  void SetSliderRange(int maximum) override { calls.push_back("range 0.." + std::to_string(maximum)); }
  void SetSliderPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
  Names calls;
};

void WriteFrames(const std::string& folder, const Names& names) {
  MakeDirs(folder);
  for (const auto& n : names) WriteFile(folder + platform::kPathSeparator + n, "x");
}

}  // namespace

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
  const Names same(60000, "4307.jpg");
  EXPECT_EQ(Sorted(same), same);

  // Listings arrive in NTFS order, which differs from key order once
  // 8-character names mix in ("0031.jpg" is key "00031.jpg").
  Names mixed;
  for (int i = 0; i < 1900; ++i) mixed.push_back(Name(i % 2 ? "%02d%03d.jpg" : "%02d%02d.jpg", i / 32, i % 32));
  Names ntfs = mixed;
  std::sort(ntfs.begin(), ntfs.end());
  EXPECT_EQ(Sorted(ntfs), mixed);
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
  EXPECT_FALSE(list.millisecondNames());
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

  // Failed loads leave an empty list and the slider alone.
  MakeDirs(dir.Join("empty"));
  WriteFrames(dir.Join("other"), {"readme.txt"});
  MakeDirs(dir.Join("folders/4307.jpg"));  // a folder named like a frame
  for (const char* bad : {"missing", "empty", "other", "folders"}) {
    SCOPED_TRACE(bad);
    ASSERT_EQ(list.Load(folder.c_str(), &view), 0);
    list.position = 1;
    view.calls.clear();
    EXPECT_EQ(list.Load(dir.Join(bad).c_str(), &view), -1);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.position, -1);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(list.folder(), dir.Join(bad));
  }
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

  // A folder whose listing pattern cannot fit a path buffer is refused.
  view.calls.clear();
  EXPECT_EQ(list.Load(std::string(kMaxMinuteFolderLength + 1, 'b').c_str(), &view), -1);
  EXPECT_EQ(list.count(), 0);
  EXPECT_TRUE(view.calls.empty());
  EXPECT_TRUE(trace.Contains("too long"));

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
