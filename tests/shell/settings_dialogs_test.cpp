#include <vector>

#include "resources/resource.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"

using namespace shell_test;

TEST_F(MainWindowTest, OptionsComeFromDefaultsStoredValuesOrFallbacks) {
  const struct {
    const char* name;
    bool createKey;
    void (*fill)();
    bool overMinute, overlapped, highQuality;
  } cases[] = {
      {"new key", false, [] {}, true, false, true},
      {"empty key", true, [] {}, true, false, true},
      {"HIGHQUALITY 7, OVERMINUTE 0", true,
       [] { PutDword("HIGHQUALITY", 7); PutDword("OVERMINUTE", 0); }, false, false, true},
      {"OVERLAPPED 1", true, [] { PutDword("OVERLAPPED", 1); }, true, true, true},
      // Wrong types and sizes count as missing: the defaults.
      {"a 4-byte REG_SZ, a 4-byte REG_BINARY, an 8-byte REG_DWORD", true,
       [] {
         PutValue("OVERLAPPED", REG_SZ, "abc", 4);
         const DWORD zero[2] = {0, 0};
         PutValue("HIGHQUALITY", REG_BINARY, zero, 4);
         PutValue("OVERMINUTE", REG_DWORD, zero, 8);
       },
       true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteKey(kScratchKey);
    if (c.createKey) PutDword("UNRELATED", 0);
    c.fill();
    App().settings.SetOverMinute(false);
    App().settings.SetOverlapped(false);
    App().settings.highQuality = false;
    EXPECT_EQ(App().settings.Load(), 0);
    EXPECT_EQ(App().settings.GetOverMinute(), c.overMinute);
    EXPECT_EQ(App().settings.GetOverlapped(), c.overlapped);
    EXPECT_EQ(App().settings.highQuality, c.highQuality);
  }
}

TEST_F(MainWindowTest, PlacementIsRestoredOnlyWhenAllFourValuesAreInRange) {
  const struct { long long x, y, w, h; bool restored; DWORD xType = REG_DWORD; } cases[] = {
      {100, 50, 640, 480, true},
      {100, 50, 640, 480, false, REG_BINARY},  // the right bytes, the wrong type
      {1600, 1200, 300, 200, true},   // the upper ends are accepted...
      {1601, 50, 640, 480, false},    // ...one beyond voids the lot
      {-1, 50, 640, 480, false},
      {100, 1201, 640, 480, false},
      {100, 50, -5, 480, false},
      {100, 50, 0, 480, true},        // width 0 is passed on
      {100, 50, 640, -1, false},      // the last one missing below
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " " + std::to_string(c.w) +
                 "x" + std::to_string(c.h));
    DeleteKey(kScratchKey);
    const DWORD x = static_cast<DWORD>(c.x);
    PutValue("MAINWNDXPOS", c.xType, &x, sizeof x);
    PutDword("MAINWNDYPOS", static_cast<DWORD>(c.y));
    PutDword("MAINWNDXSIZE", static_cast<DWORD>(c.w));
    if (c.h >= 0) PutDword("MAINWNDYSIZE", static_cast<DWORD>(c.h));
    // A pop-up: no minimum size of its own, so a stored width 0 stays 0.
    HWND w = CreateWindowExA(0, "STATIC", "p", WS_POPUP, 10, 20, 300, 200, nullptr, nullptr,
                             nullptr, nullptr);
    RECT before, after;
    GetWindowRect(w, &before);
    EXPECT_EQ(App().settings.RestorePlacement(w), c.restored ? 0 : -1);
    GetWindowRect(w, &after);
    if (c.restored) {
      // Xvfb's one screen shows (1600, 1200) only when it is that large;
      // anywhere else the window is moved onto it, size kept.
      EXPECT_EQ(after.right - after.left, c.w);
      EXPECT_EQ(after.bottom - after.top, c.h);
    } else {
      EXPECT_TRUE(EqualRect(&before, &after));
    }
    DestroyWindow(w);
  }
}

TEST(KeepOnSomeScreen, MovesOnlyRectanglesThatNoScreenShows) {
  const RECT screens[2] = {{0, 0, 1280, 800}, {1280, 0, 2560, 1024}};
  const RECT work = {0, 0, 1280, 770};
  const struct { RECT in, out; } cases[] = {
      {{100, 100, 900, 700}, {100, 100, 900, 700}},        // on the first screen
      {{1500, 900, 2000, 1000}, {1500, 900, 2000, 1000}},  // on the second only
      {{1270, 790, 1900, 1300}, {1270, 790, 1900, 1300}},  // a corner showing is enough
      {{1600, 1100, 2400, 1700}, {0, 0, 800, 600}},        // below both: to the corner
      {{1600, 1100, 3600, 2100}, {0, 0, 1280, 770}},       // larger than the work area
  };
  for (const auto& c : cases) {
    const RECT r = KeepOnSomeScreen(c.in, screens, 2, work);
    EXPECT_TRUE(EqualRect(&r, &c.out)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}

TEST_F(MainWindowTest, MaximisedCloseStoresTheNormalRectangleAndReopensMaximised) {
  SetWindowPos(main_, nullptr, 40, 30, 640, 480, SWP_NOZORDER);
  // Read at once: under Xvfb no window manager keeps the maximised state,
  // and Wine restores the window once X has answered.
  ShowWindow(main_, SW_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(main_));
  DestroyWindow(main_);
  EXPECT_EQ(GetDword("MAINWNDXPOS"), 40);
  EXPECT_EQ(GetDword("MAINWNDXSIZE"), 640);
  EXPECT_EQ(GetDword("MAINWNDMAXIMIZED"), 1);
  shared_ = main_ = CreateMainWindow(SW_SHOWNORMAL);
  ASSERT_NE(main_, nullptr);
  EXPECT_TRUE(IsZoomed(main_));
  WINDOWPLACEMENT p = {};
  p.length = sizeof p;
  GetWindowPlacement(main_, &p);
  EXPECT_EQ(p.rcNormalPosition.right - p.rcNormalPosition.left, 640);
  DestroyWindow(main_);  // the next test starts from an ordinary window
  shared_ = nullptr;
}

TEST_F(MainWindowTest, OptionsOkStoresTheBoxesAndCancelChangesNothing) {
  ASSERT_EQ(App().settings.Load(), 0);  // new key: on, off, on
  // In turn: Windows NT or not, the boxes clicked and the button; then the
  // boxes as shown, and OVERLAPPED and HIGHQUALITY after it (-1: unwritten).
  const struct { const char* what; bool nt; std::vector<int> clicks; int button; bool shown[3];
                 bool qualityEnabled; long long overlapped, highQuality; } runs[] = {
      {"Cancel", true, {IDC_OVER_MINUTE, IDC_SAME_WINDOW, IDC_HIGH_QUALITY}, IDCANCEL,
       {true, true, true}, true, -1, -1},
      {"OK", true, {IDC_SAME_WINDOW}, IDOK, {true, true, true}, true, 1, 1},
      {"OK outside NT: quality greyed, stored off", false, {}, IDOK, {true, false, false}, false, 1, 0},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    App().isWindowsNT = run.nt;
    HWND dialog = nullptr;
    RECT dialogRect = {};
    bool shown[3] = {}, qualityEnabled = false;
    InModalLoop user([&] {
      if (!(dialog = FindDialog("Options"))) return;
      GetWindowRect(dialog, &dialogRect);
      const int boxes[3] = {IDC_OVER_MINUTE, IDC_SAME_WINDOW, IDC_HIGH_QUALITY};
      for (int i = 0; i < 3; ++i) shown[i] = IsDlgButtonChecked(dialog, boxes[i]) == BST_CHECKED;
      qualityEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_HIGH_QUALITY));
      for (int id : run.clicks) SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
      SendDlgItemMessageA(dialog, run.button, BM_CLICK, 0, 0);
    });
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_OPTIONS, 0);
    PumpUntil([&] { return user.fired() && !FindDialog("Options"); });
    App().isWindowsNT = true;
    ASSERT_NE(dialog, nullptr);
    RECT workspace;
    GetWindowRect(App().mdiClient, &workspace);
    EXPECT_EQ(dialogRect.left, workspace.left);
    EXPECT_EQ(dialogRect.top, workspace.top);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(shown[i], run.shown[i]) << i;
    EXPECT_EQ(qualityEnabled, run.qualityEnabled);
    EXPECT_EQ(GetDword("OVERLAPPED"), run.overlapped);
    EXPECT_EQ(GetDword("HIGHQUALITY"), run.highQuality);
    EXPECT_EQ(App().settings.GetOverlapped(), run.overlapped == 1);
    EXPECT_EQ(App().settings.highQuality, run.highQuality != 0);
  }
  RECT mainRect;
  GetWindowRect(main_, &mainRect);
  EXPECT_EQ(GetDword("MAINWNDXPOS"), mainRect.left);  // OK stores the placement too
}

TEST(DialogTemplates, EveryTemplateCreates) {
  for (int id : {IDD_ABOUT, IDD_SAVE_AS, IDD_PROGRESS, IDD_OPTIONS}) {
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    EXPECT_NE(d, nullptr) << id;
    if (d) DestroyWindow(d);
  }
}

TEST_F(MainWindowTest, TreeWidthIsReadWithItsTypeSizeAndRange) {
  const struct { DWORD type, value, size; int width; } cases[] = {
      {REG_DWORD, 300, 4, 300},        {REG_DWORD, 4096, 4, 4096}, {REG_DWORD, 0, 4, 210},
      {REG_DWORD, 4097, 4, 210},       {REG_DWORD, 0xFFFFFFFF, 4, 210},
      {REG_BINARY, 300, 4, 210},       {REG_DWORD, 300, 2, 210},   {REG_NONE, 0, 0, 210},
  };
  for (const auto& c : cases) {
    DeleteKey(kScratchKey);
    if (c.type != REG_NONE) PutValue("TREEWIDTH", c.type, &c.value, c.size);
    EXPECT_EQ(App().settings.LoadTreeWidth(210, 4096), c.width) << c.type << " " << c.value;
  }
}

TEST_F(MainWindowTest, RootValuesOfTheWrongTypeFallBackToTheirDefaults) {
  testing_support::TempDir dir;
  const std::string a = dir.Join("A\\"), b = dir.Join("B\\");
  testing_support::MakeDirs(a);
  testing_support::MakeDirs(b);
  const std::string list = a + '\0' + b + '\0' + '\0';
  const DWORD one = 1;
  // Then LoadRootList's answer and the root shown ("": the one shown before).
  const struct { const char* what; DWORD listType, selectType; const void* select; size_t size;
                 int loaded; std::string shown; } cases[] = {
      {"ROOTSELECT a DWORD: the first root", REG_MULTI_SZ, REG_DWORD, &one, 4, 1, a},
      {"ROOTSELECT as bytes: the first root", REG_MULTI_SZ, REG_BINARY, b.c_str(), b.size() + 1, 1, a},
      {"ROOTLIST a REG_SZ: no roots", REG_SZ, REG_SZ, b.c_str(), b.size() + 1, 0, dir.path()},
  };
  // The program's own key: its values wait under the scratch key meanwhile.
  HKEY real, saved;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &real, nullptr), ERROR_SUCCESS);
  RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &saved, nullptr);
  RegCopyTreeA(real, nullptr, saved);
  HWND tree = App().folderTree.tree();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    App().folderTree.SetRoot(dir.path().c_str());
    PutValue("ROOTLIST", c.listType, list.data(), static_cast<DWORD>(list.size()), SETTINGS_KEY);
    PutValue("ROOTSELECT", c.selectType, c.select, static_cast<DWORD>(c.size), SETTINGS_KEY);
    EXPECT_EQ(App().folderTree.LoadRootList(), c.loaded);
    char text[MAX_PATH] = {};
    TVITEMA item = {TVIF_TEXT, TreeView_GetRoot(tree), 0, 0, text, sizeof text};
    TreeView_GetItem(tree, &item);
    EXPECT_EQ(text, c.shown);
  }
  RegDeleteValueA(real, "ROOTLIST");
  RegDeleteValueA(real, "ROOTSELECT");
  RegCopyTreeA(saved, nullptr, real);
  RegCloseKey(saved);
  RegCloseKey(real);
}
