// Captures file descriptor 2 while it lives: the encoding library's log
// sink, and a way to keep its lines off the test output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace testing_support {

class StderrCapture {
 public:
  StderrCapture() : file_(std::tmpfile()) {
    std::fflush(stderr);
    if (file_) saved_ = dup(2);
    if (saved_ >= 0) dup2(fileno(file_), 2);
  }
  ~StderrCapture() {
    Stop();
    if (file_) std::fclose(file_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Ends the capture; the lines written since it began, without line ends.
  std::vector<std::string> Lines() {
    Stop();
    std::vector<std::string> lines(1);
    if (file_) std::rewind(file_);
    for (int c; file_ && (c = std::fgetc(file_)) != EOF;) {
      if (c != '\n') {
        lines.back() += static_cast<char>(c);
        continue;
      }
      if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
      lines.emplace_back();
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
  }

 private:
  void Stop() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }

  std::FILE* file_;
  int saved_ = -1;
};

}  // namespace testing_support
