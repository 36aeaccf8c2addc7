// What the tree shows at each level, when it lists, and what a click opens.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "store/minute_frame_list.h"
#include "tests/tree/tree_fixture.h"

namespace tree_test {
namespace {

using testing_support::MakeDirs;
using testing_support::WriteFile;
using Names = std::vector<std::string>;

TEST_F(TreePanelTest, EachLevelShowsOnlyItsNamesInOrder) {
  // Folders unless the name ends in ".f" (a file of that name without ".f").
  // The names' own rules are the store's; here each level applies its own.
  const Names disk = {
      "cam", ".sync", "cam/.thumbs", "cam/misc", "cam/2004-03-15", "cam/2004-3-5",
      "cam/2004-13-01", "cam/index.txt.f", "cam/2004-03-15/07", "cam/2004-03-15/24",
      "cam/2004-03-15/.x", "cam/2004-03-15/05.f", "cam/2004-03-15/07/00", "cam/2004-03-15/07/60"};
  for (const std::string& p : disk) {
    if (p.size() > 2 && p.compare(p.size() - 2, 2, ".f") == 0)
      WriteFile(dir_.Join(p.substr(0, p.size() - 2)), "x");
    else
      MakeDirs(dir_.Join(p));
  }
  ASSERT_EQ(panel_.SetRoot(dir_.path().c_str()), 1);
  const struct { Names path; Names shown; } cases[] = {
      {{}, {"cam"}},
      {{"cam"}, {"2004-03-15", "2004-3-5"}},
      {{"cam", "2004-03-15"}, {"05", "07"}},
      {{"cam", "2004-03-15", "07"}, {"00"}},
  };
  for (const auto& c : cases) {
    HTREEITEM item = Find(c.path);
    ASSERT_NE(item, nullptr);
    Expand(item);
    EXPECT_EQ(Children(item), c.shown) << (c.path.empty() ? "root" : c.path.back());
  }
  // Minutes have no expand button; the file "05" shows as a folder item.
  EXPECT_FALSE(HasButton(Find({"cam", "2004-03-15", "07", "00"})));
  EXPECT_TRUE(HasButton(Find({"cam", "2004-03-15", "05"})));
  // A root gone from the disk (a drive taken out) shows without children.
  panel_.SetRoot(dir_.Join("gone").c_str());
  EXPECT_FALSE(HasButton(TreeView_GetRoot(tree())));
}

// Clicks: which items open what, with the exact date text and camera name.
TEST_F(TreePanelTest, ClickOnMinuteOpensItWithDateAndCameraName) {
  for (const char* p : {"Cam 1/2004-03-15/12/00/0000.jpg", "Cam 1/2004-03-15/12/01/0000.jpg",
                        "Cam 1/2004-03-15x/12/03/0000.jpg"})
    WriteFile(dir_.Join(p), "");
  MakeDirs(dir_.Join("Cam 1/2004-03-15/12/02"));  // a minute without frames
  WriteFile(dir_.Join("Cam 1/2004-03-15/12/02/index.dat"), "");
  const std::string root = dir_.path() + "\\";  // shown as given, backslash and all
  panel_.SetRoot(root.c_str());
  // The root's last folder name, however the root was chosen.
  const std::size_t last = root.rfind('\\', root.size() - 2) + 1;
  const std::string camera = root.substr(last, root.size() - 1 - last) + " - Cam 1";
  const struct { Names path; bool right; int opened; } cases[] = {
      {{"Cam 1", "2004-03-15", "12", "00"}, false, 1},
      {{"Cam 1", "2004-03-15", "12", "01"}, true, 1},
      {{"Cam 1", "2004-03-15", "12", "02"}, false, 0},
      {{"Cam 1", "2004-03-15", "12"}, false, 0},
      {{"Cam 1", "2004-03-15x", "12", "03"}, false, 1},
  };
  for (const auto& c : cases) {
    g_opened.clear();
    HTREEITEM item = Find(c.path);
    ASSERT_NE(item, nullptr);
    testing_support::TraceCapture trace;
    Click(item, c.right);
    ASSERT_EQ(static_cast<int>(g_opened.size()), c.opened) << c.path.back();
    EXPECT_EQ(TreeView_GetSelection(tree()), item) << "a click selects";
    EXPECT_EQ(trace.Contains("holds no frames"), c.path.back() == "02") << "empty minute";
    if (c.opened == 0) continue;
    std::string folder = root + c.path[0] + "\\" + c.path[1] + "\\" + c.path[2] + "\\" + c.path[3];
    EXPECT_EQ(g_opened[0].folder, folder);
    EXPECT_EQ(g_opened[0].date, c.path[1].substr(0, 11));
    EXPECT_EQ(g_opened[0].camera, camera);
  }
}

// Minute folders of 250 to 258 characters were listed, yet opened a window
// without frames or nothing at all: the tree lists a minute exactly when its
// frames' paths fit with the longest frame name, and says why it skips one.
TEST_F(TreePanelTest, MinuteIsListedExactlyWhenItsFramesCanBeOpened) {
  const std::string root = dir_.path() + "\\";
  const std::size_t fixed = root.size() + std::strlen("\\2004-03-15\\12\\58");
  const struct { std::size_t length; bool listed; } cases[] = {
      {248, true}, {249, true}, {250, false}, {251, false}, {257, false}, {258, false}};
  for (const auto& c : cases) {
    const std::string minute = root + std::string(c.length - fixed, 'c') + "\\2004-03-15\\12\\58";
    ASSERT_EQ(minute.size(), c.length);
    MakeDirs(minute);
    if (minute.size() + std::strlen("\\4307.jpg") < MAX_PATH) WriteFile(minute + "\\4307.jpg", "");
  }
  panel_.SetRoot(dir_.path().c_str());
  for (const auto& c : cases) {
    const std::string camera(c.length - fixed, 'c');
    testing_support::TraceCapture trace;
    g_opened.clear();
    HTREEITEM item = Find({camera, "2004-03-15", "12", "58"});
    EXPECT_EQ(item != nullptr, c.listed) << c.length;
    if (item == nullptr) {
      EXPECT_TRUE(trace.Contains("cannot be opened")) << c.length;
      continue;
    }
    Click(item);
    ASSERT_EQ(g_opened.size(), 1u) << c.length;
    MinuteFrameList list;
    char path[MAX_PATH];
    EXPECT_EQ(list.Load(g_opened[0].folder.c_str(), nullptr), 0) << c.length;
    EXPECT_TRUE(list.count() == 1 && list.FramePath(0, path, sizeof path)) << c.length;
  }
}

// The tree hides its painting while it changes; it must be back on screen,
// with scroll bars that fit its items, as soon as each change returns.
TEST_F(TreePanelTest, TreeIsShownAfterEveryChange) {
  for (int m = 10; m < 60; ++m) MakeDirs(dir_.Join("c/2004-03-15/12/" + std::to_string(m)));
  MakeDirs(dir_.Join("c/2004-03-16/00"));
  panel_.SetRoot(dir_.path().c_str());
  ASSERT_NE(Find({"c", "2004-03-16"}), nullptr);  // listed, then taken away
  std::filesystem::remove_all(std::filesystem::path(dir_.Join("c/2004-03-16")));
  // 50 minutes do not fit in the tree's height: the vertical bar shows.
  const struct { const char* what; Names path; bool bar; } cases[] = {
      {"date gone from the disk", {"c", "2004-03-16"}, false},
      {"hour with 50 minutes", {"c", "2004-03-15", "12"}, true},
      {"tree rebuilt", {}, false},
  };
  for (const auto& c : cases) {
    if (c.path.empty()) {
      panel_.Refresh();
    } else {
      HTREEITEM item = Find(c.path);
      ASSERT_NE(item, nullptr) << c.what;
      Expand(item);
    }
    EXPECT_TRUE(IsWindowVisible(tree())) << c.what;
    Pump();
    EXPECT_TRUE(IsWindowVisible(tree())) << c.what;
    EXPECT_FALSE(GetUpdateRect(tree(), nullptr, FALSE)) << c.what << ": not painted";
    EXPECT_EQ((GetWindowLongPtrA(tree(), GWL_STYLE) & WS_VSCROLL) != 0, c.bar) << c.what;
  }
}

TEST_F(TreePanelTest, NamesOutsideTheCodePageAreSkippedAndSaidSo) {
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / L"\u76f8\u673a 3" / L"2004-03-15");
  MakeDirs(dir_.Join("cam"));
  testing_support::TraceCapture trace;
  panel_.SetRoot(dir_.path().c_str());
  HTREEITEM top = TreeView_GetRoot(tree());
  Expand(top);
  EXPECT_EQ(Children(top), (Names{"cam"}));
  EXPECT_TRUE(trace.Contains("outside the code page"));
}

}  // namespace
}  // namespace tree_test
