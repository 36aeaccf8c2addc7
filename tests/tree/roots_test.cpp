// Choosing roots (selector, browser, registry), rebuilding, a disk that
// changes under the tree, and the panel's layout.
#include <filesystem>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/tree/tree_fixture.h"

namespace tree_test {
namespace {

using testing_support::MakeDirs;
using Names = std::vector<std::string>;

std::string Multi(const Names& names) { return MultiString(names); }

TEST_F(TreePanelTest, RootListLoadsFromTheRegistry) {
  const std::string a = dir_.Join("A\\"), b = dir_.Join("B\\"), c = dir_.Join("C\\");
  const std::string huge = Multi(Names(20, std::string(250, 'x')));  // over 4096 bytes
  const struct { const char* what; bool list; std::string multi; const char* select;
                 int result; Names items; int selected; } cases[] = {
      {"ROOTSELECT names one", true, Multi({a, b, c}), b.c_str(), 1, {a, b, c}, 1},
      {"no ROOTSELECT", true, Multi({a, b, c}), nullptr, 1, {a, b, c}, 0},
      {"ROOTSELECT names none", true, Multi({a, b}), c.c_str(), 1, {a, b}, -1},
      {"empty first string ends it", true, std::string(1, '\0') + Multi({a}), nullptr, 1, {}, -1},
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
  RootListGuard::Write(Multi({"kept\\"}), "kept\\");
  EXPECT_EQ(panel_.SaveRootList(), 0);
  ASSERT_TRUE(RootListGuard::Read("ROOTLIST", &bytes));
  EXPECT_EQ(bytes, Multi({"kept\\"}));

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
  EXPECT_EQ(bytes, Multi(expected));
  ASSERT_TRUE(RootListGuard::Read("ROOTSELECT", &bytes, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, roots[1] + '\0');

  // Loaded again, as at the next start.
  EXPECT_EQ(panel_.LoadRootList(), 1);
  EXPECT_EQ(SelectorTexts(), expected);
  EXPECT_EQ(SelectorSelection(), 0);

  // Items but no selection: the first item stands for the selected one.
  SendMessageA(panel_.rootSelector(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  ASSERT_EQ(panel_.SaveRootList(), 1);
  ASSERT_TRUE(RootListGuard::Read("ROOTSELECT", &bytes));
  EXPECT_EQ(bytes, expected[0] + '\0');
}

TEST_F(TreePanelTest, SelectorChoiceRebuildsWithoutSaving) {
  MakeDirs(dir_.Join("A/cam"));
  MakeDirs(dir_.Join("B/other"));
  panel_.SetRoot(dir_.Join("A").c_str());
  panel_.SetRoot(dir_.Join("B").c_str());
  EXPECT_EQ(SelectorTexts(), (Names{dir_.Join("A\\"), dir_.Join("B\\")}));
  SendMessageA(panel_.rootSelector(), CB_SETCURSEL, 0, 0);
  SendMessageA(panel_.window(), WM_COMMAND, MAKEWPARAM(IDC_ROOT_SELECTOR, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(panel_.rootSelector()));
  HTREEITEM top = TreeView_GetRoot(tree());
  EXPECT_EQ(Text(top), dir_.Join("A\\"));
  EXPECT_EQ(TreeView_GetNextSibling(tree(), top), nullptr) << "one top item only";
  Expand(top);
  EXPECT_EQ(Children(top), (Names{"cam"}));
  std::string bytes;
  EXPECT_FALSE(RootListGuard::Read("ROOTLIST", &bytes)) << "the selector saved the list";
}

// The folder browser, answered by a timer inside its modal loop. (shlobj.h
// would bring the shell's own FolderItem; its message number is spelt out.)
constexpr UINT kBrowserSetSelection = WM_USER + 102;  // BFFM_SETSELECTIONA
std::string g_browseTo;
void CALLBACK AnswerBrowser(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = GetActiveWindow();
  char cls[16] = "";
  GetClassNameA(dialog, cls, sizeof cls);
  if (std::string(cls) != "#32770") return;
  KillTimer(nullptr, timer);
  // Wine's browser selects only one level below what it has expanded:
  // select each ancestor in turn, as a user opens one folder after another.
  for (std::size_t end = 3; !g_browseTo.empty() && end <= g_browseTo.size(); ++end)
    if (end == g_browseTo.size() || g_browseTo[end] == '\\')
      SendMessageA(dialog, kBrowserSetSelection, TRUE,
                   reinterpret_cast<LPARAM>(g_browseTo.substr(0, end).c_str()));
  PostMessageA(dialog, WM_COMMAND, g_browseTo.empty() ? IDCANCEL : IDOK, 0);
}

TEST_F(TreePanelTest, BrowsedRootIsShownAsChosenAndSaved) {
  // Wine's browser reliably selects only folders near the top of a drive.
  const std::string backup = "C:\\orvanel-browse-" + std::to_string(GetCurrentProcessId());
  struct Remove { std::string p; ~Remove() { std::filesystem::remove_all(p); } } remove{backup};
  MakeDirs(backup + "\\cam");
  g_browseTo.clear();
  SetTimer(nullptr, 0, 300, AnswerBrowser);
  EXPECT_EQ(panel_.BrowseForRoot(), 0);
  EXPECT_EQ(TreeView_GetRoot(tree()), nullptr);
  std::string bytes;
  EXPECT_FALSE(RootListGuard::Read("ROOTLIST", &bytes)) << "a cancelled browser saved";

  g_browseTo = backup;
  SetTimer(nullptr, 0, 300, AnswerBrowser);
  SendMessageA(panel_.window(), WM_COMMAND, MAKEWPARAM(IDC_BROWSE_ROOT, BN_CLICKED),
               reinterpret_cast<LPARAM>(panel_.browseButton()));
  EXPECT_EQ(Text(TreeView_GetRoot(tree())), backup);
  EXPECT_EQ(SelectorTexts(), Names{backup + "\\"});
  ASSERT_TRUE(RootListGuard::Read("ROOTLIST", &bytes));
  EXPECT_EQ(bytes, Multi({backup + "\\"}));

  // The next start shows the root as the registry holds it.
  FolderTree next;
  ASSERT_EQ(next.Create(GetModuleHandleA(nullptr), host_, 300), 1);
  char text[MAX_PATH] = "";
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = TreeView_GetRoot(next.tree());
  tv.pszText = text;
  tv.cchTextMax = sizeof text;
  SendMessageA(next.tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  EXPECT_EQ(std::string(text), backup + "\\");
}

TEST_F(TreePanelTest, RefreshRebuildsFromDiskCollapsed) {
  MakeDirs(dir_.Join("cam1/2004-03-15"));
  panel_.SetRoot(dir_.path().c_str());
  Expand(Find({"cam1"}));
  MakeDirs(dir_.Join("cam2"));
  SendMessageA(tree(), WM_KEYDOWN, VK_F5, 0);
  HTREEITEM top = TreeView_GetRoot(tree());
  EXPECT_EQ(TreeView_GetChild(tree(), top), nullptr) << "expanded items survived F5";
  EXPECT_FALSE(TreeView_GetItemState(tree(), top, TVIS_EXPANDED) & TVIS_EXPANDED);
  Expand(top);
  EXPECT_EQ(Children(top), (Names{"cam1", "cam2"}));
}

TEST_F(TreePanelTest, VanishedFoldersLeaveItemsWithoutChildren) {
  testing_support::TraceCapture trace;
  const std::string gone = dir_.Join("usb disk taken out");
  ASSERT_EQ(panel_.SetRoot(gone.c_str()), 1);
  HTREEITEM top = TreeView_GetRoot(tree());
  EXPECT_EQ(Text(top), gone);
  EXPECT_FALSE(HasButton(top));
  Expand(top);
  EXPECT_EQ(TreeView_GetChild(tree(), top), nullptr);

  MakeDirs(dir_.Join("cam/2004-03-15/12/00"));
  panel_.SetRoot(dir_.path().c_str());
  HTREEITEM camera = Find({"cam"});
  std::filesystem::remove_all(dir_.Join("cam"));  // between listing and expanding
  Expand(camera);
  EXPECT_EQ(TreeView_GetChild(tree(), camera), nullptr);
  EXPECT_FALSE(HasButton(camera));
  EXPECT_TRUE(trace.Contains("Cannot list")) << "no trace text for a folder gone";
}

TEST_F(TreePanelTest, ControlsTileThePanelAndMinimisingKeepsItsSize) {
  const int h = panel_.selectorHeight();
  ASSERT_GT(h, 10);
  const struct { int w, h, wantW, wantH; } cases[] = {
      {300, 500, 300, 500}, {0, 0, 300, 500}, {150, -1, 150, 500}, {-5, 640, 150, 640}};
  auto rectIn = [&](HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, panel_.window(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  for (const auto& c : cases) {
    panel_.Resize(c.w, c.h);
    RECT client, selector = rectIn(panel_.rootSelector()), button = rectIn(panel_.browseButton()),
                 treeRect = rectIn(tree());
    GetClientRect(panel_.window(), &client);
    const std::string at = std::to_string(c.w) + "x" + std::to_string(c.h);
    EXPECT_EQ(client.right, c.wantW) << at;
    EXPECT_EQ(client.bottom, c.wantH) << at;
    EXPECT_EQ(selector.left, 0) << at;
    EXPECT_EQ(selector.right, c.wantW - h) << at;
    EXPECT_EQ(selector.bottom, h) << at;
    EXPECT_EQ(button.left, c.wantW - h) << at;
    EXPECT_EQ(button.right, c.wantW) << at;
    EXPECT_EQ(button.bottom - button.top, h) << at;
    EXPECT_EQ(treeRect.top, h) << at;
    EXPECT_EQ(treeRect.right, c.wantW) << at;
    EXPECT_EQ(treeRect.bottom, c.wantH) << at;
  }
}


int SelectorImage(HWND selector, int index) {
  COMBOBOXEXITEMA item{};
  item.mask = CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = index;
  SendMessageA(selector, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage * 100 + item.iSelectedImage;
}

int TreeImages(HWND tree, HTREEITEM item) {
  TVITEMA tv{};
  tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tv.hItem = item;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.iImage * 100 + tv.iSelectedImage;
}

// Needs a CD-ROM drive in the prefix; under Wine, for example:
//   ln -s ../cdrom .wineprefix/dosdevices/r: (a folder with a sub-folder)
//   wine reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom; wineserver -k
TEST_F(TreePanelTest, RootOnCdromShowsTheCdromIcon) {
  std::string cd;
  for (char d = 'D'; d <= 'Z' && cd.empty(); ++d) {
    const std::string drive = std::string(1, d) + ":\\";
    if (GetDriveTypeA(drive.c_str()) == DRIVE_CDROM && FolderTree::HasEntries(drive.c_str(), false))
      cd = drive;
  }
  if (cd.empty()) GTEST_SKIP() << "no CD-ROM drive holding a folder";
  const std::string disk = dir_.path() + "\\";
  panel_.SetRoot(disk.c_str());
  panel_.SetRoot(cd.c_str());
  EXPECT_TRUE(panel_.onCdrom());
  HTREEITEM top = TreeView_GetRoot(tree());
  EXPECT_EQ(TreeImages(tree(), top), kCdromImage * 100 + kCdromImage);
  Expand(top);
  EXPECT_EQ(TreeImages(tree(), TreeView_GetChild(tree(), top)),
            kClosedFolderImage * 100 + kOpenFolderImage) << "folders on the disc";
  EXPECT_EQ(SelectorImage(panel_.rootSelector(), 0), kClosedFolderImage * 100 + kOpenFolderImage);
  EXPECT_EQ(SelectorImage(panel_.rootSelector(), 1), kCdromImage * 100 + kCdromImage);
  // Loaded from the registry, an unselected disc keeps its drive's icon too.
  panel_.SetRoot(disk.c_str());
  ASSERT_EQ(panel_.SaveRootList(), 1);
  ASSERT_EQ(panel_.LoadRootList(), 1);
  EXPECT_FALSE(panel_.onCdrom());
  EXPECT_EQ(SelectorImage(panel_.rootSelector(), 1), kCdromImage * 100 + kCdromImage);
}

}  // namespace
}  // namespace tree_test
