#include "tests/support/test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"
#include "platform/log.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {
std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
  return path;
}
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
  const fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot write " + path);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::mutex TraceCapture::mutex_;
std::vector<std::string>* TraceCapture::lines_ = nullptr;

TraceCapture::TraceCapture() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_ = new std::vector<std::string>();
  LogWindow::SetTraceHook(&TraceCapture::Hook);
}

TraceCapture::~TraceCapture() {
  LogWindow::SetTraceHook(nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  delete lines_;
  lines_ = nullptr;
}

void TraceCapture::Hook(const char* text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_) lines_->push_back(text);
}

std::vector<std::string> TraceCapture::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_ ? *lines_ : std::vector<std::string>{};
}

bool TraceCapture::Contains(const std::string& text) const {
  const std::vector<std::string> lines = Lines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

void TraceCapture::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_) lines_->clear();
}

}  // namespace testing_support
