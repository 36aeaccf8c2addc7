#include "tests/support/test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "platform/log.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
  return path;
}

std::mutex g_traceMutex;
std::vector<std::string> g_traceLines;  // guarded by g_traceMutex

}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path p = fs::temp_directory_path() /
                     ("orvanel-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(p);
  path_ = Native(p.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::Join(const std::string& relative) const {
  return path_ + platform::kPathSeparator + Native(relative);
}

void MakeDirs(const std::string& path) { fs::create_directories(path); }

void WriteFile(const std::string& path, const std::string& bytes) {
  if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
  std::ofstream f(path, std::ios::binary);
  if (!f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

TraceCapture::TraceCapture() {
  Clear();
  LogWindow::SetTraceHook([](const char* text) {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceLines.push_back(text);
  });
}

TraceCapture::~TraceCapture() {
  LogWindow::SetTraceHook(nullptr);
  Clear();
}

std::vector<std::string> TraceCapture::Lines() const {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  return g_traceLines;
}

bool TraceCapture::Contains(const std::string& text) const {
  const std::vector<std::string> lines = Lines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

void TraceCapture::Clear() {
  std::lock_guard<std::mutex> lock(g_traceMutex);
  g_traceLines.clear();
}

}  // namespace testing_support
