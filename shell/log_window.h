// The system's diagnostic channel. Print is the trace call every part may
// make from any thread at any time; it is silent unless a trace hook is set
// (debug builds, the command-line tool, tests). Write/AddLine append a line to
// the hidden "LOGWND" list box and do nothing until that window exists.
#pragma once

#include <atomic>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

class LogWindow {
 public:
  // Receives each formatted trace text (at most 255 characters).
  using TraceHook = void (*)(const char* text);

  LogWindow();
  virtual ~LogWindow();

  static int Print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 1, 2)))
#endif
      ;

  int Write(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  int AddLine(const char* line);

  // Sends trace texts to `hook` (nullptr: silent again). Safe from any thread.
  static void SetTraceHook(TraceHook hook);
  // A hook that forwards to the platform's debug channel.
  static void EchoToDebugChannel(const char* text);

  // Handles of the "LOGWND" window and its list box, set by the window
  // procedure on the user-interface thread.
  void* window = nullptr;
  void* list = nullptr;

#ifdef _WIN32
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam);
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
#endif

 private:
  static std::atomic<TraceHook> hook_;
};

extern LogWindow g_logWindow;
