// The root list in the registry, and the panel's layout.
#include <string>
#include <vector>

#include "tests/tree/tree_fixture.h"

namespace tree_test {
namespace {

using Names = std::vector<std::string>;

TEST_F(TreePanelTest, RootListLoadsFromTheRegistry) {
  const std::string a = dir_.Join("A\\"), b = dir_.Join("B\\"), c = dir_.Join("C\\");
  const std::string huge = MultiString(Names(20, std::string(250, 'x')));  // over 4096 bytes
  const struct { const char* what; bool list; std::string multi; const char* select;
                 int result; Names items; int selected; } cases[] = {
      {"ROOTSELECT names one", true, MultiString({a, b, c}), b.c_str(), 1, {a, b, c}, 1},
      {"no ROOTSELECT", true, MultiString({a, b, c}), nullptr, 1, {a, b, c}, 0},
      {"ROOTSELECT names none", true, MultiString({a, b}), c.c_str(), 1, {a, b}, -1},
      {"empty first string ends it", true, MultiString({"", a}), nullptr, 1, {}, -1},
      {"no ROOTLIST", false, "", a.c_str(), 0, {}, -1},
      {"ROOTLIST over 4096 bytes", true, huge, nullptr, 0, {}, -1},
  };
  for (const auto& c : cases) {
    RootListGuard::Delete();
    if (c.list) RootListGuard::Write(c.multi, c.select);
    panel_.SetRoot(dir_.path().c_str());  // whatever was shown before
    SendMessageA(panel_.rootSelector(), CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(panel_.LoadRootList(), c.result) << c.what;
    EXPECT_EQ(SelectorTexts(), c.items) << c.what;
    EXPECT_EQ(SelectorSelection(), c.selected) << c.what;
    if (c.selected >= 0) {
      EXPECT_EQ(Text(TreeView_GetRoot(tree())), c.items[c.selected]) << c.what;
    }
  }
}

TEST_F(TreePanelTest, RootListSavesWhatLoadsBack) {
  std::string bytes;
  // An empty selector writes nothing.
  RootListGuard::Write(MultiString({"kept\\"}), "kept\\");
  EXPECT_EQ(panel_.SaveRootList(), 0);
  ASSERT_TRUE(RootListGuard::Read("ROOTLIST", &bytes));
  EXPECT_EQ(bytes, MultiString({"kept\\"}));

  // Forty roots of 200 characters do not fit 4096 bytes: the oldest go,
  // except the selected one.
  Names roots;
  for (int i = 0; i < 40; ++i) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "%02d\\", i);
    roots.push_back(dir_.path() + "\\" + std::string(200 - dir_.path().size() - 4, 'r') + tail);
    panel_.SetRoot(roots.back().c_str());
  }
  panel_.SetRoot(roots[1].c_str());  // an old root, selected again
  ASSERT_EQ(panel_.SaveRootList(), 1);
  DWORD type = 0;
  ASSERT_TRUE(RootListGuard::Read("ROOTLIST", &bytes, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_LE(bytes.size(), 4096u);
  const int kept = static_cast<int>(bytes.size() - 1) / 201;
  Names expected = {roots[1]};
  expected.insert(expected.end(), roots.end() - (kept - 1), roots.end());
  EXPECT_EQ(bytes, MultiString(expected));
  ASSERT_TRUE(RootListGuard::Read("ROOTSELECT", &bytes, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, roots[1] + '\0');

  // Loaded again, as at the next start.
  EXPECT_EQ(panel_.LoadRootList(), 1);
  EXPECT_EQ(SelectorTexts(), expected);
  EXPECT_EQ(SelectorSelection(), 0);
}

// Minimising gives the panel 0 x 0 (or -1): it keeps its size, its
// controls tile it.
TEST_F(TreePanelTest, ControlsTileThePanelAndMinimisingKeepsItsSize) {
  const long h = panel_.selectorHeight(), w = 300, b = 500;
  panel_.Resize(300, 500);
  panel_.Resize(0, -1);
  auto rectIn = [&](HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, panel_.window(), reinterpret_cast<POINT*>(&r), 2);
    return std::vector<long>{r.left, r.top, r.right, r.bottom};
  };
  EXPECT_EQ(rectIn(panel_.window()), (std::vector<long>{0, 0, w, b}));
  EXPECT_EQ(rectIn(panel_.browseButton()), (std::vector<long>{w - h, 0, w, h}));
  EXPECT_EQ(rectIn(tree()), (std::vector<long>{0, h, w, b}));
}

}  // namespace
}  // namespace tree_test
