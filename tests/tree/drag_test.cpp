// Dragging tree items onto the Save As dialog, driven by the messages a
// drag brings the panel: the tree's TVN_BEGINDRAG, then the mouse move and
// the release (or Escape) while the panel holds the capture.
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/save_as_dialog.h"
#include "resources/resource.h"
#include "tests/tree/tree_fixture.h"

namespace tree_test {
namespace {

using testing_support::MakeDirs;
using Names = std::vector<std::string>;

enum class When { Shown, Escape, F5, Hidden };  // what happens during a drag

class DragTest : public TreePanelTest {
 protected:
  void SetUp() override {
    TreePanelTest::SetUp();
    if (App().saveAsDialog.window() == nullptr) {
      ASSERT_EQ(App().saveAsDialog.Create(host_), 1);
    }
    panel_.SetDropTarget(&App().saveAsDrop);
    App().saveAsDialog.Show();
    SendMessageA(List(), LB_RESETCONTENT, 0, 0);
  }
  void TearDown() override {
    App().saveAsDialog.Hide();
    TreePanelTest::TearDown();
  }
  static HWND List() { return GetDlgItem(App().saveAsDialog.window(), IDC_INPUT_LIST); }
  static Names Entries() {
    Names entries;
    const int n = static_cast<int>(SendMessageA(List(), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char text[1024] = "";
      SendMessageA(List(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      entries.push_back(text);
    }
    return entries;
  }
  // Drags `item` from its label and lets go at the screen point `drop`,
  // pressing Escape or F5 in the tree first when `key` says so.
  void Drag(HTREEITEM item, POINT drop, When key) {
    NMTREEVIEWA begin{};
    begin.hdr.hwndFrom = tree();
    begin.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tree()));
    begin.hdr.code = TVN_BEGINDRAGA;
    begin.itemNew.mask = TVIF_HANDLE | TVIF_PARAM;
    begin.itemNew.hItem = item;
    begin.ptDrag = Centre(item);
    HWND panel = panel_.window();
    SendMessageA(panel, WM_NOTIFY, begin.hdr.idFrom, reinterpret_cast<LPARAM>(&begin));
    ASSERT_TRUE(panel_.dragging());
    EXPECT_EQ(GetCapture(), panel);
    POINT at = drop;
    ScreenToClient(panel, &at);
    const LPARAM where = MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
    SendMessageA(panel, WM_MOUSEMOVE, MK_LBUTTON, where);
    if (key == When::Escape || key == When::F5) {
      SendMessageA(tree(), WM_KEYDOWN, key == When::F5 ? VK_F5 : VK_ESCAPE, 0);
      EXPECT_FALSE(panel_.dragging()) << "a key left the drag on";
    }
    SendMessageA(panel, WM_LBUTTONUP, 0, where);
    EXPECT_FALSE(panel_.dragging());
    EXPECT_NE(GetCapture(), panel);
  }
  bool Expanded(HTREEITEM item) {
    return (TreeView_GetItemState(tree(), item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  }
};

// Empty (11), vanished (2004-03-16/08) and unreadable hours are passed over:
// the walk once stopped at the first of them.
TEST_F(DragTest, DropAddsTheMinutesBelowTheItemInTreeOrder) {
  for (const char* p : {"cam/2004-03-15/11", "cam/2004-03-15/12/00", "cam/2004-03-15/12/01",
                        "cam/2004-03-15/13/30", "cam/2004-03-16/08/00", "cam/2004-03-16/09/00",
                        "cam/2004-03-16/09/59", "cam/2004-03-17/10/00"})
    MakeDirs(dir_.Join(p));
  panel_.SetRoot(dir_.path().c_str());
  ASSERT_NE(Find({"cam", "2004-03-16", "08"}), nullptr);  // listed, then gone
  std::filesystem::remove_all(dir_.Join("cam/2004-03-16/08"));
  const std::string cam = dir_.path() + "\\cam\\", day15 = cam + "2004-03-15\\";
  RECT box{};
  GetWindowRect(App().saveAsDialog.window(), &box);
  const POINT onDialog{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  const POINT beside{box.right + 5, box.bottom + 5};

  const struct {
    const char* what;
    Names item;
    POINT drop;
    When when;
    Names added;
  } cases[] = {
      {"a minute", {"cam", "2004-03-15", "12", "01"}, onDialog, When::Shown, {day15 + "12\\01\\"}},
      // Listed already by the minute's own drop: skipped, the rest still added.
      {"its hour", {"cam", "2004-03-15", "12"}, onDialog, When::Shown, {day15 + "12\\00\\"}},
      {"the same hour again", {"cam", "2004-03-15", "12"}, onDialog, When::Shown, {}},
      {"a date, Escape pressed", {"cam", "2004-03-16"}, onDialog, When::Escape, {}},
      {"a date beside the dialog", {"cam", "2004-03-16"}, beside, When::Shown, {}},
      {"a date on the hidden dialog", {"cam", "2004-03-16"}, onDialog, When::Hidden, {}},
      {"a date whose first hour is empty", {"cam", "2004-03-15"}, onDialog, When::Shown,
       {day15 + "13\\30\\"}},
      {"a date whose first hour vanished", {"cam", "2004-03-16"}, onDialog, When::Shown,
       {cam + "2004-03-16\\09\\00\\", cam + "2004-03-16\\09\\59\\"}},
      {"the camera, F5 pressed", {"cam"}, onDialog, When::F5, {}},
      {"the camera: only the minute not listed yet", {"cam"}, onDialog, When::Shown,
       {cam + "2004-03-17\\10\\00\\"}},
      {"the root", {}, onDialog, When::Shown, {}},
  };
  Names expected;
  for (const auto& c : cases) {
    HTREEITEM item = Find(c.item);
    ASSERT_NE(item, nullptr) << c.what;
    const bool wasExpanded = Expanded(item);
    if (c.when == When::Hidden) App().saveAsDialog.Hide();
    testing_support::TraceCapture trace;
    Drag(item, c.drop, c.when);
    if (c.when == When::Hidden) App().saveAsDialog.Show();
    expected.insert(expected.end(), c.added.begin(), c.added.end());
    EXPECT_EQ(Entries(), expected) << c.what;
    if (c.when != When::F5) {
      EXPECT_EQ(Expanded(item), wasExpanded) << c.what << ": expansion changed";
    }
    if (std::string(c.what) == "a date whose first hour is empty") {
      EXPECT_TRUE(trace.Contains("Nothing to export below " + day15 + "11\\"));
    }
  }
}

}  // namespace
}  // namespace tree_test
