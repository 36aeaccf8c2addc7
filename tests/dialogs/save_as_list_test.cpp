// The Save As dialog's input list, its buttons and the Save button's rule,
// driven as a user (or the folder tree's drop) drives them.
#include <string>
#include <vector>

#include "tests/dialogs/dialog_fixture.h"

namespace dialog_test {
namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

TEST_F(SaveAsTest, DropsKeepOneBackslashTerminatedEntryPerFolder) {
  struct Drop {
    const char* folder;
    int added;
  };
  const Drop drops[] = {
      {"C:\\cam\\2004-03-15\\12\\00", 1},    // gets its backslash
      {"C:\\cam\\2004-03-15\\12\\00\\", 0},  // the same folder
      {"c:\\CAM\\2004-03-15\\12\\00", 0},    // letter case does not count
      {"C:\\cam\\2004-03-15\\12\\01\\", 1},
      {"", 0},
      {nullptr, 0},
  };
  for (const Drop& d : drops)
    EXPECT_EQ(App().saveAsDialog.AddDroppedFolder(d.folder), d.added) << (d.folder ? d.folder : "null");
  EXPECT_EQ(Entries(), (Strings{"C:\\cam\\2004-03-15\\12\\00\\", "C:\\cam\\2004-03-15\\12\\01\\"}));
}

TEST_F(SaveAsTest, TooLongPathsAreRefusedAndSaid) {
  testing_support::TraceCapture trace;
  const std::string longest = "C:\\" + std::string(kMaxFolderEntry - 4, 'a') + "\\";
  const std::string tooLong = "C:\\" + std::string(kMaxFolderEntry - 3, 'a');
  EXPECT_EQ(App().saveAsDialog.AddDroppedFolder(tooLong.c_str()), 0);
  EXPECT_TRUE(trace.Contains("Dropped folder not taken: 251 characters"));
  EXPECT_EQ(App().saveAsDialog.AddDroppedFolder(longest.c_str()), 1);

  Type(IDC_SOURCE_FOLDER, dir_.path() + "\\" + std::string(300, 'b'));
  Click(IDC_ADD);
  EXPECT_TRUE(trace.Contains("Path not taken"));
  EXPECT_EQ(Entries(), Strings{longest});

  // Save stays off for a name past 259 characters, however it came.
  const std::string name = dir_.path() + "\\" + std::string(270, 'n') + ".mpg";
  Type(IDC_OUTPUT_NAME, name);
  EXPECT_FALSE(SaveEnabled());
  EXPECT_TRUE(trace.Contains("Output file name not taken"));
  EXPECT_EQ(WindowText(item(IDC_OUTPUT_NAME)), name) << "the field keeps what was typed";
}

TEST_F(SaveAsTest, AddTakesExistingFoldersOnly) {
  testing_support::MakeDirs(dir_.Join("minute"));
  testing_support::WriteFile(dir_.Join("frame.jpg"), "x");
  const std::string minute = dir_.Join("minute");
  struct Case {
    std::string typed;
    Strings after;
  };
  const Case cases[] = {
      {"", {}},
      {dir_.Join("missing"), {}},
      {dir_.Join("frame.jpg"), {}},  // a file, not a folder
      {minute, {minute + "\\"}},
      {minute + "\\", {minute + "\\"}},  // already there
  };
  for (const Case& c : cases) {
    Type(IDC_SOURCE_FOLDER, c.typed);
    Click(IDC_ADD);
    EXPECT_EQ(Entries(), c.after) << c.typed;
  }
}

TEST_F(SaveAsTest, UpAndDownMoveSelectedEntriesExceptRunsAtTheEnds) {
  struct Case {
    int entries;
    Ints selected;
    int button;
    const char* order;  // entries a, b, c, ... afterwards
    Ints selectedAfter;
  };
  const Case cases[] = {
      {3, {0, 1}, IDC_MOVE_UP, "abc", {0, 1}},  // the run reaches the top
      {3, {1, 2}, IDC_MOVE_UP, "bca", {0, 1}},
      {4, {0, 3}, IDC_MOVE_UP, "abdc", {0, 2}},
      {5, {0, 2, 3}, IDC_MOVE_UP, "acdbe", {0, 1, 2}},
      {3, {1, 2}, IDC_MOVE_DOWN, "abc", {1, 2}},  // the run reaches the bottom
      {3, {0, 1}, IDC_MOVE_DOWN, "cab", {1, 2}},
      {5, {0, 1, 3}, IDC_MOVE_DOWN, "cabed", {1, 2, 4}},
      {3, {}, IDC_MOVE_UP, "abc", {}},
  };
  for (const Case& c : cases) {
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    Strings names;
    for (int i = 0; i < c.entries; ++i) names.push_back(std::string("C:\\") + char('a' + i) + "\\");
    Fill(names);
    Select(c.selected);
    Click(c.button);
    std::string order;
    for (const std::string& e : Entries()) order += e[3];
    EXPECT_EQ(order, c.order) << "case " << (&c - cases);
    EXPECT_EQ(Selection(), c.selectedAfter) << "case " << (&c - cases);
  }
}

TEST_F(SaveAsTest, RemoveDeletesScatteredSelections) {
  struct Case {
    int entries;
    Ints selected;
    const char* left;
  };
  const Case cases[] = {
      {4, {0, 2}, "bd"},
      {5, {1, 3, 4}, "ac"},
      {3, {}, "abc"},
      {3, {0, 1, 2}, ""},
  };
  const std::string out = dir_.Join("out.mpg");
  for (const Case& c : cases) {
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    Strings names;
    for (int i = 0; i < c.entries; ++i) names.push_back(std::string("C:\\") + char('a' + i) + "\\");
    Fill(names);
    Type(IDC_OUTPUT_NAME, out);
    ASSERT_TRUE(SaveEnabled());
    Select(c.selected);
    Click(IDC_REMOVE);
    std::string left;
    for (const std::string& e : Entries()) left += e[3];
    EXPECT_EQ(left, c.left) << "case " << (&c - cases);
    EXPECT_EQ(SaveEnabled(), !left.empty()) << "case " << (&c - cases);
  }
}

TEST_F(SaveAsTest, SaveIsEnabledExactlyWhenAnExportCanStart) {
  testing_support::WriteFile(dir_.Join("existing.mpg"), "old");
  struct Case {
    bool listed;
    std::string output;
    const char* bitRate;  // typed; null keeps "400"
    const char* format;   // typed; null keeps ".mpg"
    bool enabled;
  };
  const Case cases[] = {
      {false, dir_.Join("new.mpg"), nullptr, nullptr, false},
      {true, "", nullptr, nullptr, false},
      {true, dir_.Join("missing\\new.mpg"), nullptr, nullptr, false},
      {true, dir_.Join("existing.mpg"), nullptr, nullptr, true},  // replaced without asking
      {true, dir_.Join("new.mpg"), nullptr, nullptr, true},
      {true, dir_.path(), nullptr, nullptr, true},  // the folder's name gets ".mpg"
      {true, dir_.Join("new.mpg"), "49", nullptr, false},
      {true, dir_.Join("new.mpg"), "50", nullptr, true},
      {true, dir_.Join("new.mpg"), "20000", nullptr, true},
      {true, dir_.Join("new.mpg"), "20001", nullptr, false},
      {true, dir_.Join("new.mpg"), "4o0", nullptr, false},
      {true, dir_.Join("new.mpg"), "", nullptr, false},
      {true, dir_.Join("new.mpg"), nullptr, "avi", true},
      {true, dir_.Join("new.mpg"), nullptr, ".WMV", true},
      {true, dir_.Join("new.mpg"), nullptr, ".mp4", false},
  };
  for (const Case& c : cases) {
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    SendMessageA(item(IDC_BITRATE), CB_SETCURSEL, 6, 0);
    SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, 0, 0);
    if (c.listed) Fill({"C:\\a\\"});
    Type(IDC_OUTPUT_NAME, c.output);
    if (c.bitRate) Type(IDC_BITRATE, c.bitRate);
    if (c.format) Type(IDC_FORMAT, c.format);
    EXPECT_EQ(SaveEnabled(), c.enabled) << "case " << (&c - cases) << " " << c.output;
  }
  // The probe leaves nothing behind and does not touch an existing file.
  EXPECT_EQ(GetFileAttributesA(dir_.Join("new.mpg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(testing_support::ReadFile(dir_.Join("existing.mpg")), "old");
}

TEST_F(SaveAsTest, ChoosingABitRateFromTheListIsReadAsChosen) {
  Fill({"C:\\a\\"});
  Type(IDC_OUTPUT_NAME, dir_.Join("new.mpg"));
  Type(IDC_BITRATE, "7");
  ASSERT_FALSE(SaveEnabled());
  // As the list reports a choice: the edit part still shows "7" then.
  SendMessageA(item(IDC_BITRATE), CB_SETCURSEL, 2, 0);
  SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(IDC_BITRATE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(item(IDC_BITRATE)));
  EXPECT_TRUE(SaveEnabled());
}

TEST_F(SaveAsTest, ListsStartWithTheirDefaults) {
  HWND rates = item(IDC_BITRATE), formats = item(IDC_FORMAT);
  ASSERT_EQ(SendMessageA(rates, CB_GETCOUNT, 0, 0), 19);
  char text[16] = "";
  SendMessageA(rates, CB_GETLBTEXT, 18, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "1000");
  EXPECT_EQ(WindowText(rates), "400");
  const struct {
    const char* text;
    int code;
  } expected[] = {{".mpg", 6}, {".avi", 1}, {".asf", 2}, {".wmv", 4}};
  ASSERT_EQ(SendMessageA(formats, CB_GETCOUNT, 0, 0), 4);
  for (int i = 0; i < 4; ++i) {
    SendMessageA(formats, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, expected[i].text);
    EXPECT_EQ(SendMessageA(formats, CB_GETITEMDATA, i, 0), expected[i].code);
  }
  EXPECT_EQ(WindowText(formats), ".mpg");
  EXPECT_FALSE(SaveEnabled());
}

TEST_F(SaveAsTest, DropsNeedTheShownDialog) {
  RECT r;
  GetWindowRect(dialog(), &r);
  const POINT inside = {(r.left + r.right) / 2, r.bottom - 3}, outside = {r.right + 5, r.top};
  EXPECT_EQ(App().saveAsDialog.IsDropPoint(&inside), 1);
  EXPECT_EQ(App().saveAsDialog.IsDropPoint(&outside), 0);
  EXPECT_EQ(App().saveAsDialog.IsDropPoint(nullptr), 0);

  Click(IDCANCEL);  // Close hides it
  ASSERT_FALSE(IsWindowVisible(dialog()));
  EXPECT_EQ(App().saveAsDialog.IsDropPoint(&inside), 0);
  EXPECT_EQ(App().saveAsDialog.AddDroppedFolder("C:\\a\\"), 0);
  EXPECT_TRUE(Entries().empty());
}

// Keys reach the modeless dialog through the program's message loop.
TEST_F(SaveAsTest, TabAndShiftTabMoveBetweenControls) {
  auto press = [](bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    Pump(30);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  };
  SetActiveWindow(dialog());
  SetFocus(item(IDC_OUTPUT_NAME));
  press(false);
  EXPECT_EQ(GetFocus(), item(IDC_OUTPUT_BROWSE));
  press(false);
  EXPECT_EQ(GetParent(GetFocus()), item(IDC_BITRATE));  // its edit part
  press(true);
  press(true);
  EXPECT_EQ(GetFocus(), item(IDC_OUTPUT_NAME));
}

TEST_F(SaveAsTest, BrowseChoosesTheOutputFileWithTheSaveDialog) {
  Fill({"C:\\a\\"});
  Type(IDC_OUTPUT_NAME, dir_.Join("before.mpg"));
  const std::string chosen = dir_.Join("chosen.avi");
  bool answered = false;
  std::string prefilled;
  int misses = 0;
  Every every(50, [&] {
    // The save-file dialog: owned by the Save As dialog.
    HWND box = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) -> BOOL {
          if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == App().saveAsDialog.window()) {
            *reinterpret_cast<HWND*>(found) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    HWND name = box ? GetDlgItem(box, 0x47c) : nullptr;  // the file name field
    if (box && !name && ++misses > 100) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);  // no hang
    if (!name || answered) return;
    answered = true;
    prefilled = WindowText(name);
    SetWindowTextA(name, chosen.c_str());
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  PostMessageA(item(IDC_OUTPUT_BROWSE), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return WindowText(item(IDC_OUTPUT_NAME)) == chosen; }, 10000));
  EXPECT_NE(prefilled.find("before.mpg"), std::string::npos) << prefilled;
  EXPECT_TRUE(SaveEnabled());
}

}  // namespace
}  // namespace dialog_test
