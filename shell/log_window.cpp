#include "shell/log_window.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

std::atomic<LogWindow::TraceHook> LogWindow::hook_{nullptr};

LogWindow::LogWindow() = default;
LogWindow::~LogWindow() = default;

int LogWindow::Print(const char* format, ...) {
  TraceHook hook = hook_.load(std::memory_order_acquire);
  if (!hook) return 1;  // tracing is silent: nothing is formatted
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  hook(line);
  return 1;
}

void LogWindow::SetTraceHook(TraceHook hook) {
  hook_.store(hook, std::memory_order_release);
}

void LogWindow::EchoToDebugChannel(const char* text) {
  platform::DebugOutput(text);
}

int LogWindow::Write(const char* format, ...) {
  char line[256];  // longer lines are cut, never overflowed
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return AddLine(line);
}

int LogWindow::AddLine(const char* line) {
#ifdef _WIN32
  if (!list) return 1;
  HWND box = static_cast<HWND>(list);
  const LRESULT index = SendMessageA(box, LB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(line));
  SendMessageA(box, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
#else
  (void)line;
#endif
  return 1;
}

#ifdef _WIN32
LRESULT CALLBACK LogWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  return g_logWindow.HandleMessage(hwnd, message, wParam, lParam);
}

LRESULT LogWindow::HandleMessage(HWND wnd, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      window = wnd;
      list = CreateWindowExA(
          0, "LISTBOX", nullptr,
          WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_SORT,
          0, 0, 1, 1, wnd, reinterpret_cast<HMENU>(26999),
          reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(wnd, GWLP_HINSTANCE)),
          nullptr);
      return 0;
    case WM_SIZE:
      if (list)
        SetWindowPos(static_cast<HWND>(list), nullptr, 0, 0, LOWORD(lParam),
                     HIWORD(lParam) + 6, SWP_NOZORDER);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(wnd, &ps);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      window = nullptr;
      list = nullptr;
      break;
  }
  return DefWindowProcA(wnd, message, wParam, lParam);
}
#endif

LogWindow g_logWindow;
