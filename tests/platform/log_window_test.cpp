#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "shell/log_window.h"
#include "tests/support/test_support.h"

TEST(LogPrint, FormatsAndCutsTextsSafelyFromManyThreads) {
  testing_support::TraceCapture trace;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) LogWindow::Print("thread %d line %d", t, i);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(trace.Lines().size(), 400u);
  EXPECT_TRUE(trace.Contains("thread 3 line 99"));
  trace.Clear();
  LogWindow::Print("src = %s", std::string(1000, 'p').c_str());
  ASSERT_EQ(trace.Lines().size(), 1u);
  EXPECT_EQ(trace.Lines()[0].size(), 255u);
}

TEST(LogWrite, WithoutWindowHasNoEffectAndSucceeds) {
  LogWindow log;
  EXPECT_EQ(log.Write("New media(%d) loaded.", 1), 1);
  EXPECT_EQ(log.AddLine("(1) Remove successfully."), 1);
}

#ifdef _WIN32
namespace {
LRESULT CALLBACK ForwardToGlobal(HWND h, UINT m, WPARAM w, LPARAM l) {
  return LogWindow::WindowProc(h, m, w, l);
}

std::string ItemText(HWND list, int i) {
  char text[256] = {};
  SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
  return text;
}
}  // namespace

TEST(LogWindowWin32, ListsLinesSortedAndSelectsTheNewOne) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ForwardToGlobal;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "LOGWND";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(0, "LOGWND", "", WS_OVERLAPPEDWINDOW, 50, 350, 550, 130,
                             nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(wnd, nullptr);
  ASSERT_EQ(g_logWindow.window, wnd);
  HWND list = static_cast<HWND>(g_logWindow.list);
  ASSERT_NE(list, nullptr);

  g_logWindow.Write("New media(%d) loaded.", 1);
  g_logWindow.Write("(%d) Remove successfully.", 1);
  g_logWindow.Write("(%d) Remove successfully.", 1);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(ItemText(list, 0), "(1) Remove successfully.");
  EXPECT_EQ(ItemText(list, 2), "New media(1) loaded.");
  const LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
  EXPECT_TRUE(sel == 0 || sel == 1);  // the later line, listed first

  SendMessageA(wnd, WM_SIZE, 0, MAKELPARAM(300, 100));
  RECT r;
  GetWindowRect(list, &r);
  EXPECT_EQ(r.right - r.left, 300);
  // The list box keeps to whole items, so it may end up to one item shorter.
  const int itemHeight = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
  EXPECT_LE(r.bottom - r.top, 106);
  EXPECT_GT(r.bottom - r.top, 106 - itemHeight - 4);

  DestroyWindow(wnd);
  EXPECT_EQ(g_logWindow.list, nullptr);
  EXPECT_EQ(g_logWindow.Write("after %d", 1), 1);
}
#endif
