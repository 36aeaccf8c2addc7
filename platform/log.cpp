#include "platform/log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

std::atomic<LogWindow::TraceHook> LogWindow::hook_{nullptr};
std::atomic<LogWindow::LineSink> LogWindow::sink_{nullptr};

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

void LogWindow::SetTraceHook(TraceHook hook) { hook_.store(hook, std::memory_order_release); }

void LogWindow::EchoToDebugChannel(const char* text) { platform::DebugOutput(text); }

void LogWindow::SetLineSink(LineSink sink) { sink_.store(sink, std::memory_order_release); }

int LogWindow::Write(const char* format, ...) {
  char line[256];  // longer lines are cut, never overflowed
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return AddLine(line);
}

int LogWindow::AddLine(const char* line) {
  if (LineSink sink = sink_.load(std::memory_order_acquire)) sink(line);
  return 1;
}
