// Shared helpers for the test suites: scratch folders, files, captured trace texts.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + separator + relative ('/' in `relative` becomes the separator).
  std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

void MakeDirs(const std::string& path);  // with its parents
void WriteFile(const std::string& path, const std::string& bytes);  // and its folder
std::string ReadFile(const std::string& path);

// Collects the trace texts given to LogWindow::Print while it lives. One at a
// time; safe to feed from several threads.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  std::vector<std::string> Lines() const;
  bool Contains(const std::string& text) const;  // a line containing text
  void Clear();
};

}  // namespace testing_support
