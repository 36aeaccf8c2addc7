#include "shell/log_window.h"

namespace {

HWND g_window = nullptr;
HWND g_list = nullptr;

void AddToList(const char* line) {
  if (!g_list) return;
  const LRESULT index = SendMessageA(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  SendMessageA(g_list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

}  // namespace

HWND LogWindowHandle() { return g_window; }
HWND LogListHandle() { return g_list; }

LRESULT CALLBACK LogWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_window = wnd;
      g_list = CreateWindowExA(
          0, "LISTBOX", nullptr,
          WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_SORT, 0, 0, 1, 1,
          wnd, reinterpret_cast<HMENU>(26999),
          reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(wnd, GWLP_HINSTANCE)), nullptr);
      LogWindow::SetLineSink(AddToList);
      return 0;
    case WM_SIZE:
      if (g_list)
        SetWindowPos(g_list, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam) + 6, SWP_NOZORDER);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(wnd, &ps);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      LogWindow::SetLineSink(nullptr);
      g_window = nullptr;
      g_list = nullptr;
      break;
  }
  return DefWindowProcA(wnd, message, wParam, lParam);
}
