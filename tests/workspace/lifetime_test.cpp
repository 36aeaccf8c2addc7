// Closing video windows whatever their threads are doing, one by one or all
// at once with the main window: never a hang, a thread or an entry left.
#include "tests/workspace/workspace_fixture.h"

#include <tlhelp32.h>

#include <random>


namespace workspace_test {
namespace {

int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int n = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    n += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  return n;
}

struct Recordings {
  Minutes minutes;
  std::vector<std::string> folders;
  Recordings() {
    folders.push_back(minutes.Make("Camera 1", "2004-03-15", 12, 0, Minutes::Names(40, 0, 50), 176, 144));
    // Thirty seconds between two frames.
    folders.push_back(minutes.Make("Camera 2", "2004-03-15", 12, 0, {"0000.jpg", "3000.jpg"}, 64, 48));
    // Frames that do not decode among good ones.
    folders.push_back(minutes.Make("Camera 3", "2004-03-15", 12, 0, Minutes::Names(6, 0, 10), 64, 48));
    testing_support::WriteFile(folders.back() + "\\0005.jpg", "not a picture");
    testing_support::WriteFile(folders.back() + "\\0015.jpg", std::string(10, '\xff'));
    // Short minutes one after another: fast play keeps moving on.
    for (int m = 0; m < 3; ++m)
      folders.push_back(minutes.Make("Camera 4", "2004-03-15", 13, m, Minutes::Names(4, 0, 10), 64, 48));
  }
  // Opens eight windows in every mode and lets them run a moment.
  std::vector<HWND> OpenEight(HWND client) {
    std::vector<HWND> windows;
    for (int i = 0; i < 8; ++i) {
      if (App().childManager.Load(client, folders[i % 4].c_str(), "2004-03-15", "bk - Cam") != 0)
        break;
      windows.push_back(GetWindow(client, GW_CHILD));
      App().childManager.Find(windows.back())->SetMode(static_cast<PlaybackMode>(i % 5));
    }
    Pump(150);
    return windows;
  }
};

TEST(Lifetime, ClosingPlayingWindowsNeverHangsNorLeavesThreads) {
  App().settings.SetOverMinute(true);
  Recordings rec;
  std::mt19937 shuffle(20040315);
  int threadsBefore = 0;
  {
    Workspace ws;
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(testing::Message() << "round " << round);
      std::vector<HWND> windows = rec.OpenEight(ws.client());
      ASSERT_EQ(windows.size(), 8u);
      ASSERT_EQ(App().childManager.count(), 8);
      std::shuffle(windows.begin(), windows.end(), shuffle);
      for (size_t i = 0; i < windows.size(); ++i) {
        const DWORD t0 = GetTickCount();
        switch (i % 3) {  // the close box, Ctrl+F4, the workspace's own request
          case 0: SendMessageA(windows[i], WM_CLOSE, 0, 0); break;
          case 1: SendMessageA(windows[i], WM_SYSCOMMAND, SC_CLOSE, 0); break;
          default:
            SendMessageA(ws.client(), WM_MDIDESTROY, reinterpret_cast<WPARAM>(windows[i]), 0);
        }
        EXPECT_FALSE(IsWindow(windows[i]));
        EXPECT_LT(GetTickCount() - t0, 1000u) << "closing blocked";
        if (i % 2) Pump(10);
      }
      // Windows in a long gap or on a broken file end as promptly as any.
      EXPECT_TRUE(PumpUntil([] { return App().childManager.count() == 0; }, 5000))
          << App().childManager.count() << " left";
      // The first round starts threads of the system's own that stay;
      // later rounds must add none.
      if (round == 0) { Pump(200); threadsBefore = ThreadCount(); }
    }
    // A thread's last post that never arrives (a full queue drops it) is
    // made up for: the entry goes all the same and its thread is joined.
    ASSERT_EQ(App().childManager.Load(ws.client(), rec.folders[1].c_str(), "", ""), 0);
    SendMessageA(ws.client(), WM_MDIDESTROY, reinterpret_cast<WPARAM>(GetWindow(ws.client(), GW_CHILD)), 0);
    MSG lost{};
    const DWORD t0 = GetTickCount();
    while (!PeekMessageA(&lost, nullptr, kMsgViewEnded, kMsgViewEnded, PM_REMOVE) &&
           GetTickCount() - t0 < 5000)
      Sleep(10);
    ASSERT_EQ(lost.message, kMsgViewEnded);
    EXPECT_EQ(App().childManager.count(), 1);
    EXPECT_TRUE(PumpUntil([] { return App().childManager.count() == 0; }, 3000));
  }
  // Every playback thread has been joined (Wine drops a joined thread's
  // record a moment later).
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threadsBefore; }, 3000))
      << ThreadCount() << " threads, " << threadsBefore << " before";
  // All at once: the program's main window closes with eight playing. (The
  // main window's first showing starts threads of its own, so threads are
  // counted from the end of its first round.)
  App().settings.SetKeyPath("Software\\VELMORA\\OrvanelWorkspaceTests");
  int threadsAfterFirst = 0;
  // The main window's own closing (no video window) is the yardstick.
  HWND empty = CreateMainWindow(SW_SHOWNORMAL);
  ASSERT_NE(empty, nullptr);
  const DWORD e0 = GetTickCount();
  DestroyWindow(empty);
  const DWORD emptyClose = GetTickCount() - e0;
  for (int round = 0; round < 3; ++round) {
    HWND main = CreateMainWindow(SW_SHOWNORMAL);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(App().mdiClient, nullptr);
    ASSERT_EQ(rec.OpenEight(App().mdiClient).size(), 8u);
    App().childManager.SelectAll();
    App().childManager.SetModeOfSelected(PlaybackMode::FastForward);
    const DWORD t0 = GetTickCount();
    DestroyWindow(main);
    EXPECT_LT(GetTickCount() - t0, emptyClose + 1000u) << "an empty one closes in " << emptyClose;
    EXPECT_TRUE(PumpUntil([] { return App().childManager.count() == 0; }, 5000))
        << App().childManager.count() << " left";
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // posted by the main window
    if (round == 0) { Pump(200); threadsAfterFirst = ThreadCount(); }
  }
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threadsAfterFirst; }, 3000))
      << ThreadCount() << " threads, " << threadsAfterFirst << " after the first round";
}

}  // namespace
}  // namespace workspace_test
