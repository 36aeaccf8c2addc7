// The folder tree panel in a window of its own, driven as a user drives it;
// registry values the tests touch are put back afterwards.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/pump.h"
#include "tests/support/test_support.h"
#include "tree/folder_tree.h"

namespace tree_test {

using test_pump::Pump;
using test_pump::PumpUntil;

// ROOTLIST and ROOTSELECT as they were before the test, restored after it.
class RootListGuard {
 public:
  RootListGuard();
  ~RootListGuard();
  static void Delete();  // both values
  static void Write(const std::string& multi, const char* selected);  // selected may be null
  static bool Read(const char* name, std::string* bytes, DWORD* type = nullptr);

 private:
  struct Saved { bool present; DWORD type; std::string bytes; };
  Saved list_, select_;
};

std::string MultiString(const std::vector<std::string>& texts);  // REG_MULTI_SZ bytes

// What the panel asked to open.
struct Opened {
  std::string folder, date, camera;
};
extern std::vector<Opened> g_opened;

class TreePanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  HWND tree() const { return panel_.tree(); }
  // The item reached from the top item through child texts, expanding on the
  // way; null if absent. Children: texts as listed so far, in the tree's order.
  HTREEITEM Find(const std::vector<std::string>& path);
  std::vector<std::string> Children(HTREEITEM item);
  std::string Text(HTREEITEM item);
  bool HasButton(HTREEITEM item);  // children flag
  void Expand(HTREEITEM item);
  POINT Centre(HTREEITEM item);  // of its label, in the tree's client area
  // Moves the cursor onto the item's label and clicks there.
  void Click(HTREEITEM item, bool right = false);
  std::vector<std::string> SelectorTexts();
  int SelectorSelection();

  testing_support::TempDir dir_;
  RootListGuard registry_;
  static HWND host_;
  FolderTree panel_;
};

}  // namespace tree_test
