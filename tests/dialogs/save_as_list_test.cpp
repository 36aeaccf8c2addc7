// The Save As dialog's input list, its buttons and the Save button's rule,
// driven as a user (or the folder tree's drop) drives them.
#include <string>
#include <vector>

#include "tests/dialogs/dialog_fixture.h"

namespace dialog_test {
namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

// Dropped or typed and added: one backslash-terminated entry per existing
// folder, letter case aside; paths too long to export are refused and said.
TEST_F(SaveAsTest, ListKeepsOneEntryPerFolder) {
  testing_support::MakeDirs(dir_.Join("minute"));
  testing_support::WriteFile(dir_.Join("frame.jpg"), "x");
  const std::string minute = dir_.Join("minute"), other = "C:\\cam\\2004-03-15\\12\\01";
  const std::string longest = "C:\\" + std::string(kMaxFolderEntry - 4, 'a');
  const struct { bool typed; std::string text; bool added; const char* said; } cases[] = {
      {false, other, true},   {false, other + "\\", false},
      {false, "c:\\CAM\\2004-03-15\\12\\01", false}, {false, "", false},
      {false, longest + "a", false, "Dropped folder not taken: 251 characters"},
      {false, longest, true},
      {true, "", false},      {true, dir_.Join("missing"), false},
      {true, dir_.Join("frame.jpg"), false},  // a file, not a folder
      {true, minute, true},   {true, minute + "\\", false},
      {true, dir_.path() + "\\" + std::string(300, 'b'), false, "Path not taken"},
  };
  Strings expected;
  for (const auto& c : cases) {
    testing_support::TraceCapture trace;
    if (c.typed) {
      Type(IDC_SOURCE_FOLDER, c.text);
      Click(IDC_ADD);
    } else {
      App().saveAsDialog.AddDroppedFolder(c.text.c_str());
    }
    if (c.added) expected.push_back(c.text + "\\");
    EXPECT_EQ(Entries(), expected) << c.text;
    if (c.said) {
      EXPECT_TRUE(trace.Contains(c.said)) << c.said;
    }
  }
  EXPECT_EQ(App().saveAsDialog.AddDroppedFolder(nullptr), 0);

  // Save stays off for an output name past 259 characters, however it came.
  testing_support::TraceCapture trace;
  const std::string name = dir_.path() + "\\" + std::string(270, 'n') + ".mpg";
  Type(IDC_OUTPUT_NAME, name);
  EXPECT_FALSE(SaveEnabled());
  EXPECT_TRUE(trace.Contains("Output file name not taken"));
  EXPECT_EQ(WindowText(item(IDC_OUTPUT_NAME)), name) << "the field keeps what was typed";
}

TEST_F(SaveAsTest, UpDownAndRemoveActOnTheSelection) {
  // Entries a, b, c, ...: their order and selection after the button.
  const struct { int n; Ints selected; int button; const char* order; Ints after; } cases[] = {
      {3, {0, 1}, IDC_MOVE_UP, "abc", {0, 1}},  // the run reaches the top
      {5, {0, 2, 3}, IDC_MOVE_UP, "acdbe", {0, 1, 2}},
      {3, {1, 2}, IDC_MOVE_DOWN, "abc", {1, 2}},  // the run reaches the bottom
      {3, {0, 1}, IDC_MOVE_DOWN, "cab", {1, 2}},
      {5, {0, 1, 3}, IDC_MOVE_DOWN, "cabed", {1, 2, 4}},
      {3, {}, IDC_MOVE_UP, "abc", {}},
      {4, {0, 2}, IDC_REMOVE, "bd", {}},
      {5, {1, 3, 4}, IDC_REMOVE, "ac", {}},
      {3, {0, 1, 2}, IDC_REMOVE, "", {}},
  };
  Type(IDC_OUTPUT_NAME, dir_.Join("out.mpg"));
  for (const auto& c : cases) {
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    Strings names;
    for (int i = 0; i < c.n; ++i) names.push_back(std::string("C:\\") + char('a' + i) + "\\");
    Fill(names);
    Select(c.selected);
    Click(c.button);
    std::string order;
    for (const std::string& e : Entries()) order += e[3];
    EXPECT_EQ(order, c.order) << "case " << (&c - cases);
    EXPECT_EQ(Selection(), c.after) << "case " << (&c - cases);
    EXPECT_EQ(SaveEnabled(), !order.empty()) << "case " << (&c - cases);
  }
}

TEST_F(SaveAsTest, SaveIsEnabledExactlyWhenAnExportCanStart) {
  testing_support::WriteFile(dir_.Join("existing.mpg"), "old");
  // Bit rate and format typed; null keeps "400" and ".mpg".
  const struct { bool listed; std::string output; const char *rate, *format; bool on; } cases[] = {
      {false, dir_.Join("new.mpg"), nullptr, nullptr, false},
      {true, "", nullptr, nullptr, false},
      {true, dir_.Join("missing\\new.mpg"), nullptr, nullptr, false},
      {true, dir_.Join("existing.mpg"), nullptr, nullptr, true},  // replaced without asking
      {true, dir_.Join("new.mpg"), nullptr, nullptr, true},
      {true, dir_.path(), nullptr, nullptr, true},  // the folder's name gets ".mpg"
      {true, dir_.Join("new.mpg"), "49", nullptr, false},
      {true, dir_.Join("new.mpg"), "50", nullptr, true},
      {true, dir_.Join("new.mpg"), "20001", nullptr, false},
      {true, dir_.Join("new.mpg"), nullptr, "avi", true},
      {true, dir_.Join("new.mpg"), nullptr, ".mp4", false},
  };
  for (const auto& c : cases) {
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    SendMessageA(item(IDC_BITRATE), CB_SETCURSEL, 6, 0);
    SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, 0, 0);
    if (c.listed) Fill({"C:\\a\\"});
    Type(IDC_OUTPUT_NAME, c.output);
    if (c.rate) Type(IDC_BITRATE, c.rate);
    if (c.format) Type(IDC_FORMAT, c.format);
    EXPECT_EQ(SaveEnabled(), c.on) << "case " << (&c - cases) << " " << c.output;
  }
  // The probe leaves nothing behind and does not touch an existing file.
  EXPECT_EQ(GetFileAttributesA(dir_.Join("new.mpg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(testing_support::ReadFile(dir_.Join("existing.mpg")), "old");
}

// The edit part still shows the old text while a list announces a choice.
TEST_F(SaveAsTest, ChoicesAreReadAsChosenAndTheLabelNamesTheFormat) {
  Fill({"C:\\a\\"});
  Type(IDC_OUTPUT_NAME, dir_.Join("new.mpg"));
  Type(IDC_BITRATE, "7");
  ASSERT_FALSE(SaveEnabled());
  auto choose = [&](int id, int entry) {
    SendMessageA(item(id), CB_SETCURSEL, entry, 0);
    SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(item(id)));
  };
  choose(IDC_BITRATE, 2);
  EXPECT_TRUE(SaveEnabled());
  const struct { int entry; const char* typed; const char* label; } cases[] = {
      {0, nullptr, "File name (MPG)"}, {3, nullptr, "File name (WMV)"},
      {0, "avi", "File name (AVI)"},   {0, ".ASF", "File name (ASF)"},
      {0, ".mp4", "File name"},
  };
  for (const auto& c : cases) {
    choose(IDC_FORMAT, c.entry);
    if (c.typed) Type(IDC_FORMAT, c.typed);
    EXPECT_EQ(WindowText(item(IDC_OUTPUT_LABEL)), c.label) << (c.typed ? c.typed : "chosen");
  }
}

// It opened where it was made, over the tree that items are dragged from;
// used again while shown, it must come to the front.
TEST_F(SaveAsTest, OpensBesideTheTreeAndComesToTheFront) {
  Click(IDCANCEL);
  RECT tree, box, overlap;
  GetWindowRect(App().folderTree.window(), &tree);
  SetWindowPos(dialog(), nullptr, tree.left, tree.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  for (int time = 0; time < 2; ++time) {
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_SAVE_AS, 0);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == dialog(); }, 2000)) << time;
    GetWindowRect(dialog(), &box);
    EXPECT_FALSE(IntersectRect(&overlap, &tree, &box)) << time;
    EXPECT_EQ(box.top, tree.top) << time;
    SetForegroundWindow(main_);
  }
}

}  // namespace
}  // namespace dialog_test
