#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/minute_frame_list.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::WriteFile;

namespace {

FrameName Name(const std::string& text) {
  FrameName n{};
  std::memcpy(n.data(), text.c_str(), text.size() + 1);
  return n;
}

std::vector<FrameName> Table(const std::vector<std::string>& names) {
  std::vector<FrameName> t;
  for (const auto& n : names) t.push_back(Name(n));
  return t;
}

std::vector<std::string> Texts(const std::vector<FrameName>& table) {
  std::vector<std::string> out;
  for (const auto& n : table) out.emplace_back(n.data());
  return out;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::vector<FrameName> t = Table(names);
  SortFrameNames(t.data(), 0, static_cast<int>(t.size()) - 1);
  return Texts(t);
}

std::vector<std::string> Names(const MinuteFrameList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.count(); ++i) out.emplace_back(list.name(i));
  return out;
}

std::string NumberedName(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%05d.jpg", i);
  return buf;
}

class FakeView : public FrameListView {
 public:
  void SetSliderRange(int maximum) override { calls.push_back("range 0.." + std::to_string(maximum)); }
  void SetSliderPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
  std::vector<std::string> calls;
};

void WriteFrames(const std::string& folder, const std::vector<std::string>& names) {
  MakeDirs(folder);
  for (const auto& n : names) WriteFile(folder + platform::kPathSeparator + n, "x");
}

}  // namespace

TEST(SortFrameNames, OrdersBySortKey) {
  EXPECT_EQ(Sorted({"4500.jpg", "0007.jpg", "1234.jpg"}),
            (std::vector<std::string>{"0007.jpg", "1234.jpg", "4500.jpg"}));
  EXPECT_EQ(Sorted({"43100.jpg", "43075.jpg", "4376.jpg"}),
            (std::vector<std::string>{"43075.jpg", "4376.jpg", "43100.jpg"}));
  EXPECT_EQ(Sorted({"43-10.jpg", "43-07.jpg", "01-99.jpg"}),
            (std::vector<std::string>{"01-99.jpg", "43-07.jpg", "43-10.jpg"}));
  // Equal keys end next to each other in either order.
  const auto equal = Sorted({"43100.jpg", "4307.jpg", "00000.jpg", "43007.jpg"});
  EXPECT_EQ(equal.front(), "00000.jpg");
  EXPECT_EQ(equal.back(), "43100.jpg");
  EXPECT_EQ(Sorted({}), std::vector<std::string>{});
  EXPECT_EQ(Sorted({"1.jpg"}), std::vector<std::string>{"1.jpg"});
}

TEST(SortFrameNames, SortsOnlyTheGivenRange) {
  std::vector<FrameName> t = Table({"9.jpg", "3.jpg", "2.jpg", "1.jpg", "0.jpg"});
  SortFrameNames(t.data(), 1, 3);
  EXPECT_EQ(Texts(t), (std::vector<std::string>{"9.jpg", "1.jpg", "2.jpg", "3.jpg", "0.jpg"}));
  SortFrameNames(t.data(), 3, 3);
  SortFrameNames(t.data(), 4, 2);
  EXPECT_EQ(Texts(t)[0], "9.jpg");
}

// In-order, reverse and all-equal inputs are where a last-element-pivot
// quicksort goes quadratic and recurses once per name; 60000 names would take
// seconds and a deep stack there, and are instant for an O(n log n) sort.
TEST(SortFrameNames, LargeOrderedReversedEqualAndShuffledInputs) {
  std::vector<std::string> expected;
  for (int i = 0; i < 60000; ++i) expected.push_back(NumberedName(i));

  EXPECT_EQ(Sorted(expected), expected);
  std::vector<std::string> reversed(expected.rbegin(), expected.rend());
  EXPECT_EQ(Sorted(reversed), expected);
  std::vector<std::string> shuffled = expected;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  EXPECT_EQ(Sorted(shuffled), expected);

  std::vector<std::string> same(60000, "4307.jpg");
  EXPECT_EQ(Sorted(same), same);

  // A mixed minute: 8-character names sort among 9-character ones by key.
  std::vector<std::string> mixed;
  for (int i = 0; i < 1900; ++i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, i % 2 ? "%02d%03d.jpg" : "%02d%02d.jpg", i / 32, i % 32);
    mixed.push_back(buf);
  }
  std::vector<std::string> byKey = mixed;
  std::sort(byKey.begin(), byKey.end(), [](const std::string& a, const std::string& b) {
    char ka[16], kb[16];
    SortKey(a.c_str(), ka, sizeof ka);
    SortKey(b.c_str(), kb, sizeof kb);
    return std::strcmp(ka, kb) < 0;
  });
  std::reverse(mixed.begin(), mixed.end());
  EXPECT_EQ(Sorted(mixed), byKey);
}

TEST(MinuteFrameList, LoadsSortsAndSetsTheSlider) {
  TempDir dir;
  const std::string folder = dir.Join("cam/2004-03-15/12/58");
  WriteFrames(folder, {"4500.jpg", "0007.jpg", "1234.jpg", "notes.txt"});
  MinuteFrameList list;
  FakeView view;
  TraceCapture trace;
  list.position = 5;
  ASSERT_EQ(list.Load(folder.c_str(), &view), 0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"0007.jpg", "1234.jpg", "4500.jpg"}));
  EXPECT_EQ(list.position, -1);
  EXPECT_FALSE(list.millisecondNames());
  EXPECT_STREQ(list.folder(), folder.c_str());
  EXPECT_EQ(view.calls, (std::vector<std::string>{"range 0..2", "pos 0"}));
  EXPECT_TRUE(trace.Contains("The first file found is 0007.jpg\n"));
  EXPECT_TRUE(trace.Contains("files total numbers = 3"));

  char path[platform::kMaxPath];
  ASSERT_TRUE(list.FramePath(2, path, sizeof path));
  EXPECT_EQ(path, folder + platform::kPathSeparator + "4500.jpg");
  char tiny[8];
  EXPECT_FALSE(list.FramePath(0, tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
  EXPECT_FALSE(list.FramePath(3, path, sizeof path));
  EXPECT_FALSE(list.FramePath(-1, path, sizeof path));
}

TEST(MinuteFrameList, MillisecondAndDashedFolders) {
  TempDir dir;
  MinuteFrameList list;
  FakeView view;

  WriteFrames(dir.Join("ms"), {"43100.jpg", "43075.jpg", "4376.jpg"});
  ASSERT_EQ(list.Load(dir.Join("ms").c_str(), &view), 0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"43075.jpg", "4376.jpg", "43100.jpg"}));
  EXPECT_TRUE(list.millisecondNames());
  EXPECT_EQ(list.TimeCodeAt(1), 4307);  // 43 s 076 ms

  // The only long name is the first one listed: the flag is still set.
  WriteFrames(dir.Join("first"), {"00123.jpg", "4375.jpg", "5999.jpg"});
  ASSERT_EQ(list.Load(dir.Join("first").c_str(), &view), 0);
  EXPECT_TRUE(list.millisecondNames());
  EXPECT_EQ(list.TimeCodeAt(1), 4307);

  WriteFrames(dir.Join("dashed"), {"43-10.jpg", "43-07.jpg"});
  ASSERT_EQ(list.Load(dir.Join("dashed").c_str(), &view), 0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"43-07.jpg", "43-10.jpg"}));
  EXPECT_FALSE(list.millisecondNames());
  EXPECT_EQ(list.TimeCodeAt(1), 4310);

  WriteFrames(dir.Join("one"), {"0100.JPG"});
  view.calls.clear();
  ASSERT_EQ(list.Load(dir.Join("one").c_str(), &view), 0);
  EXPECT_EQ(list.count(), 1);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"range 0..0", "pos 0"}));
}

TEST(MinuteFrameList, FailedLoadsLeaveAnEmptyListAndTheSliderAlone) {
  TempDir dir;
  WriteFrames(dir.Join("good"), {"0000.jpg", "0100.jpg"});
  MakeDirs(dir.Join("empty"));
  WriteFrames(dir.Join("other"), {"readme.txt"});
  MakeDirs(dir.Join("folders/4307.jpg"));
  MinuteFrameList list;
  FakeView view;
  TraceCapture trace;

  for (const char* bad : {"missing", "empty", "other", "folders"}) {
    SCOPED_TRACE(bad);
    ASSERT_EQ(list.Load(dir.Join("good").c_str(), &view), 0);
    list.position = 1;
    view.calls.clear();
    trace.Clear();
    const std::string folder = dir.Join(bad);
    EXPECT_EQ(list.Load(folder.c_str(), &view), -1);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.position, -1);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_STREQ(list.folder(), folder.c_str());
  }
  // A folder named like a frame is not a frame file.
  EXPECT_TRUE(trace.Contains("4307.jpg"));

  list.Load(dir.Join("missing").c_str(), &view);
  EXPECT_TRUE(trace.Contains("load file find what = " + dir.Join("missing") +
                             platform::kPathSeparator + "*.jpg"));
  EXPECT_TRUE(trace.Contains("Invalid File Handle. Get Last Error reports "));
}

TEST(MinuteFrameList, LargeMinutesLongNamesAndLongPaths) {
  TempDir dir;
  std::vector<std::string> names;
  for (int i = 2099; i >= 0; --i) names.push_back(NumberedName(i));
  names.push_back("4307.jpg.jpg");  // 12 characters: not a frame name
  names.push_back("1234567.jpg");   // 11 characters: still taken
  WriteFrames(dir.Join("big"), names);
  MinuteFrameList list;
  FakeView view;
  TraceCapture trace;
  ASSERT_EQ(list.Load(dir.Join("big").c_str(), &view), 0);
  EXPECT_EQ(list.count(), 2101);
  EXPECT_STREQ(list.name(0), "00000.jpg");
  EXPECT_STREQ(list.name(2099), "02099.jpg");
  EXPECT_STREQ(list.name(2100), "1234567.jpg");
  EXPECT_EQ(view.calls.front(), "range 0..2100");
  EXPECT_TRUE(trace.Contains("4307.jpg.jpg"));

  // Reloading the folder from the list's own field.
  ASSERT_EQ(list.Load(list.folder(), &view), 0);
  EXPECT_EQ(list.count(), 2101);

  // A path whose pattern cannot fit a path buffer is refused before listing.
  const std::string tooLong(300, 'a');
  trace.Clear();
  view.calls.clear();
  EXPECT_EQ(list.Load(tooLong.c_str(), &view), -1);
  EXPECT_EQ(list.count(), 0);
  EXPECT_TRUE(view.calls.empty());
  EXPECT_TRUE(trace.Contains("too long"));
  EXPECT_EQ(list.Load(std::string(platform::kMaxPath - 6, 'b').c_str(), &view), -1);
  EXPECT_EQ(list.Load(nullptr, &view), -1);
}

#ifndef _WIN32
// Frame paths must fit a path buffer too: in a folder of 250 characters an
// 8-character name fits (259) and an 11-character one would not.
TEST(MinuteFrameList, SkipsNamesWhoseFramePathWouldNotFit) {
  TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 250) {
    const std::size_t room = 250 - folder.size() - 1;  // after the separator
    folder += platform::kPathSeparator;
    folder += std::string(room <= 100 ? room : 50, 'd');
  }
  ASSERT_EQ(folder.size(), 250u);
  WriteFrames(folder, {"0100.jpg", "1234567.jpg"});
  MinuteFrameList list;
  TraceCapture trace;
  ASSERT_EQ(list.Load(folder.c_str(), nullptr), 0);
  EXPECT_EQ(Names(list), std::vector<std::string>{"0100.jpg"});
  EXPECT_TRUE(trace.Contains("1234567.jpg"));
  char path[platform::kMaxPath];
  EXPECT_TRUE(list.FramePath(0, path, sizeof path));
  EXPECT_EQ(std::strlen(path), 259u);
}
#endif
