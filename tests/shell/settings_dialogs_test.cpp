#include "resources/resource.h"
#include "tests/shell/shell_fixture.h"

using namespace shell_test;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKey(kScratchKey);
    App().settings.SetKeyPath(kScratchKey);
  }
  void TearDown() override { DeleteKey(kScratchKey); }
};

void PutRaw(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// A plain window to restore placements onto.
HWND PlainWindow() {
  // A pop-up: no minimum size of its own, so a stored width 0 stays 0.
  return CreateWindowExA(0, "STATIC", "p", WS_POPUP, 10, 20, 300, 200, nullptr,
                         nullptr, nullptr, nullptr);
}

}  // namespace

TEST_F(SettingsTest, OptionsComeFromDefaultsStoredValuesOrFallbacks) {
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
      {"string and oversize values are unreadable", true,
       [] {
         PutRaw("OVERMINUTE", REG_SZ, "0", 2);  // two bytes: not a 4-byte number
         const unsigned char big[8] = {0, 0, 0, 0, 0, 0, 0, 0};
         PutRaw("HIGHQUALITY", REG_BINARY, big, sizeof big);
       },
       true, false, true},
      {"a 4-byte binary is read whatever its type", true,
       [] { const DWORD one = 1; PutRaw("OVERLAPPED", REG_BINARY, &one, sizeof one); }, true, true, true},
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

TEST_F(SettingsTest, PlacementIsRestoredOnlyWhenAllFourValuesAreInRange) {
  const struct { long long x, y, w, h; bool restored; } cases[] = {
      {100, 50, 640, 480, true},
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
    PutDword("MAINWNDXPOS", static_cast<DWORD>(c.x));
    PutDword("MAINWNDYPOS", static_cast<DWORD>(c.y));
    PutDword("MAINWNDXSIZE", static_cast<DWORD>(c.w));
    if (c.h >= 0) PutDword("MAINWNDYSIZE", static_cast<DWORD>(c.h));
    HWND w = PlainWindow();
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
  HWND dialog = nullptr;
  RECT dialogRect = {};
  // Cancel after changing every box: nothing in memory or registry.
  {
    InModalLoop user([&] {
      dialog = FindDialog("Options");
      if (!dialog) return;
      GetWindowRect(dialog, &dialogRect);
      for (int id : {IDC_OVER_MINUTE, IDC_SAME_WINDOW, IDC_HIGH_QUALITY})
        SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
      SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
    });
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_OPTIONS, 0);
    PumpUntil([&] { return user.fired() && !FindDialog("Options"); });
  }
  ASSERT_NE(dialog, nullptr);
  RECT workspace;
  GetWindowRect(App().mdiClient, &workspace);
  EXPECT_EQ(dialogRect.left, workspace.left);
  EXPECT_EQ(dialogRect.top, workspace.top);
  EXPECT_TRUE(App().settings.GetOverMinute());
  EXPECT_FALSE(App().settings.GetOverlapped());
  EXPECT_EQ(GetDword("OVERMINUTE"), -1);
  // OK after reading the boxes and unticking "same window": all written.
  bool boxes[3] = {};
  {
    InModalLoop user([&] {
      HWND d = FindDialog("Options");
      if (!d) return;
      boxes[0] = IsDlgButtonChecked(d, IDC_OVER_MINUTE) == BST_CHECKED;
      boxes[1] = IsDlgButtonChecked(d, IDC_SAME_WINDOW) == BST_CHECKED;
      boxes[2] = IsDlgButtonChecked(d, IDC_HIGH_QUALITY) == BST_CHECKED;
      SendDlgItemMessageA(d, IDC_SAME_WINDOW, BM_CLICK, 0, 0);
      SendDlgItemMessageA(d, IDOK, BM_CLICK, 0, 0);
    });
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_OPTIONS, 0);
    PumpUntil([&] { return user.fired() && !FindDialog("Options"); });
  }
  EXPECT_TRUE(boxes[0]);
  EXPECT_TRUE(boxes[1]);  // overlapped false shows as "same window" ticked
  EXPECT_TRUE(boxes[2]);
  EXPECT_TRUE(App().settings.GetOverlapped());
  EXPECT_EQ(GetDword("OVERMINUTE"), 1);
  EXPECT_EQ(GetDword("OVERLAPPED"), 1);
  EXPECT_EQ(GetDword("HIGHQUALITY"), 1);
  RECT mainRect;
  GetWindowRect(main_, &mainRect);
  EXPECT_EQ(GetDword("MAINWNDXPOS"), mainRect.left);
  // And what another process reads from the same registry.
  const std::string out = RunAndCapture(
      std::string("reg.exe query HKCU\\") + kScratchKey + " /v OVERLAPPED");
  EXPECT_NE(out.find("OVERLAPPED"), std::string::npos) << out;
  EXPECT_NE(out.find("0x1"), std::string::npos) << out;
}

TEST_F(MainWindowTest, OptionsOutsideWindowsNtGreyTheQualityBoxAndStoreItOff) {
  App().settings.highQuality = true;
  App().isWindowsNT = false;
  char text[64] = {};
  bool enabled = true, checked = true;
  {
    InModalLoop user([&] {
      HWND d = FindDialog("Options");
      if (!d) return;
      GetDlgItemTextA(d, IDC_HIGH_QUALITY, text, sizeof text);
      enabled = IsWindowEnabled(GetDlgItem(d, IDC_HIGH_QUALITY));
      checked = IsDlgButtonChecked(d, IDC_HIGH_QUALITY) == BST_CHECKED;
      SendDlgItemMessageA(d, IDOK, BM_CLICK, 0, 0);
    });
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_OPTIONS, 0);
    PumpUntil([&] { return user.fired() && !FindDialog("Options"); });
  }
  App().isWindowsNT = true;
  EXPECT_STREQ(text, "High Quality Image(only WinNT systems)");
  EXPECT_FALSE(enabled);
  EXPECT_FALSE(checked);
  EXPECT_FALSE(App().settings.highQuality);
  EXPECT_EQ(GetDword("HIGHQUALITY"), 0);
}

TEST_F(MainWindowTest, AboutShowsTitleAndVersionOwnedByTheMainWindow) {
  char text[64] = {};
  HWND owner = nullptr;
  {
    InModalLoop user([&] {
      HWND d = FindDialog("About");
      if (!d) return;
      GetDlgItemTextA(d, IDC_ABOUT_TEXT, text, sizeof text);
      owner = GetWindow(d, GW_OWNER);
      SendDlgItemMessageA(d, IDOK, BM_CLICK, 0, 0);
    });
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_HELP_ABOUT, 0);
    PumpUntil([&] { return user.fired() && !FindDialog("About"); });
  }
  EXPECT_STREQ(text, "Orvanel 1.2");
  EXPECT_EQ(owner, main_);
}

TEST(DialogTemplates, EveryTemplateCreates) {
  for (int id : {IDD_ABOUT, IDD_SAVE_AS, IDD_PROGRESS, IDD_OPTIONS}) {
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    EXPECT_NE(d, nullptr) << id;
    if (d) DestroyWindow(d);
  }
}
