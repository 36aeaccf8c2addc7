// The system's diagnostic channel, windowless so that every layer may use it.
// Print is the trace call any part may make from any thread at any time; it
// is silent unless a trace hook is set (debug builds, the command-line tool,
// tests). Write/AddLine append a line to the user-visible log: they go to
// the line sink that the program's log window installs, and do nothing
// until one is installed (user-interface thread only).
#pragma once

#include <atomic>

class LogWindow {
 public:
  // Receives each formatted trace text (at most 255 characters).
  using TraceHook = void (*)(const char* text);
  // Receives each line written to the log.
  using LineSink = void (*)(const char* line);

  LogWindow();
  virtual ~LogWindow();

  static int Print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 1, 2)))
#endif
      ;

  static int Write(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 1, 2)))
#endif
      ;
  static int AddLine(const char* line);

  // Sends trace texts to `hook` (nullptr: silent again). Safe from any thread.
  static void SetTraceHook(TraceHook hook);
  // A hook that forwards to the platform's debug channel.
  static void EchoToDebugChannel(const char* text);
  // Where Write and AddLine go (nullptr: nowhere).
  static void SetLineSink(LineSink sink);

 private:
  static std::atomic<TraceHook> hook_;
  static std::atomic<LineSink> sink_;
};
