// What the tree shows at each level, when it lists, and what a click opens.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tree/tree_fixture.h"

namespace tree_test {
namespace {

using testing_support::MakeDirs;
using testing_support::WriteFile;
using Names = std::vector<std::string>;

TEST_F(TreePanelTest, EachLevelShowsOnlyItsNamesInOrder) {
  // Folders unless the name ends in ".f" (a file of that name without ".f").
  const Names disk = {
      "cam", ".sync", "cam/.thumbs", "cam/misc",
      "cam/2004-03-15", "cam/2004-3-5", "cam/2004-02-31", "cam/2004-03-15x", "cam/8284-12-31",
      "cam/2004-13-01", "cam/2004-00-10", "cam/0000-01-01", "cam/8285-01-01", "cam/index.txt.f",
      "cam/2004-03-15/0", "cam/2004-03-15/00", "cam/2004-03-15/07", "cam/2004-03-15/7",
      "cam/2004-03-15/23", "cam/2004-03-15/24", "cam/2004-03-15/000", "cam/2004-03-15/ab",
      "cam/2004-03-15/-1", "cam/2004-03-15/.x", "cam/2004-03-15/05.f",
      "cam/2004-03-15/07/00", "cam/2004-03-15/07/59", "cam/2004-03-15/07/60",
      "cam/2004-03-15/07/5", "cam/2004-03-15/07/.5"};
  for (const std::string& p : disk) {
    if (p.size() > 2 && p.compare(p.size() - 2, 2, ".f") == 0)
      WriteFile(dir_.Join(p.substr(0, p.size() - 2)), "x");
    else
      MakeDirs(dir_.Join(p));
  }
  ASSERT_EQ(panel_.SetRoot(dir_.path().c_str()), 1);
  const struct { Names path; Names shown; } cases[] = {
      {{}, {"cam"}},
      {{"cam"}, {"2004-02-31", "2004-03-15", "2004-03-15x", "2004-3-5", "8284-12-31"}},
      {{"cam", "2004-03-15"}, {"0", "00", "05", "07", "23", "7"}},
      {{"cam", "2004-03-15", "07"}, {"00", "5", "59"}},
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
}

TEST_F(TreePanelTest, ListsOneLevelAtEachFirstExpansion) {
  for (const char* p : {"A/2004-03-15/12/00", "A/2004-03-15/12/01", "B/2004-03-16/09/30"})
    MakeDirs(dir_.Join(p));
  for (int i = 0; i < 50; ++i) WriteFile(dir_.Join("A/2004-03-15/12/00/" + std::to_string(1000 + i) + ".jpg"), "");
  panel_.SetRoot(dir_.path().c_str());
  HTREEITEM top = TreeView_GetRoot(tree());
  EXPECT_EQ(Text(top), dir_.path()) << "the root as given, without a backslash";
  EXPECT_TRUE(HasButton(top));
  EXPECT_EQ(TreeView_GetChild(tree(), top), nullptr) << "listed before expansion";
  Expand(top);
  HTREEITEM a = TreeView_GetChild(tree(), top);
  ASSERT_EQ(Children(top), (Names{"A", "B"}));
  EXPECT_TRUE(HasButton(a));
  EXPECT_EQ(TreeView_GetChild(tree(), a), nullptr) << "camera listed before its expansion";
}

TEST_F(TreePanelTest, HundredsOfLongNamesAreAllShown) {
  Names expected;
  for (int i = 0; i < 400; ++i) {
    char name[128];
    std::snprintf(name, sizeof name, "%03d camera with a name well past sixty-four characters, in full", i);
    MakeDirs(dir_.Join(name));
    expected.push_back(name);
  }
  panel_.SetRoot(dir_.path().c_str());
  HTREEITEM top = TreeView_GetRoot(tree());
  Expand(top);
  EXPECT_EQ(Children(top), expected);
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
    if (c.opened == 0) continue;
    std::string folder = root + c.path[0] + "\\" + c.path[1] + "\\" + c.path[2] + "\\" + c.path[3];
    EXPECT_EQ(g_opened[0].folder, folder);
    EXPECT_EQ(g_opened[0].date, c.path[1].substr(0, 11));
    EXPECT_EQ(g_opened[0].camera, camera);
  }
}

TEST_F(TreePanelTest, EmptyMinuteOpensNothingAndSaysSo) {
  MakeDirs(dir_.Join("c/2004-03-15/12/02"));
  panel_.SetRoot(dir_.path().c_str());
  testing_support::TraceCapture trace;
  Click(Find({"c", "2004-03-15", "12", "02"}));
  EXPECT_TRUE(g_opened.empty());
  EXPECT_TRUE(trace.Contains("holds no frames")) << "no trace text for an empty minute";
}

TEST_F(TreePanelTest, MouseSelectionExpands) {
  MakeDirs(dir_.Join("c/2004-03-15/12/00"));
  panel_.SetRoot(dir_.path().c_str());
  Expand(TreeView_GetRoot(tree()));
  HTREEITEM camera = TreeView_GetChild(tree(), TreeView_GetRoot(tree()));
  Click(camera);
  EXPECT_TRUE(TreeView_GetItemState(tree(), camera, TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_EQ(Children(camera), (Names{"2004-03-15"}));
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
