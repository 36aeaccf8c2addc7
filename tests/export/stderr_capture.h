// Captures file descriptor 2 while it lives: the encoding library's log
// sink, and a way to keep its lines off the test output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tests/support/test_support.h"

namespace testing_support {

class StderrCapture {
 public:
  StderrCapture() : path_(dir_.Join("stderr.txt")) {
    std::fflush(stderr);
    saved_ = dup(2);
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~StderrCapture() { Stop(); }

  // Ends the capture; the lines written since it began, without line ends.
  std::vector<std::string> Lines() {
    Stop();
    std::vector<std::string> lines(1);
    for (char c : ReadFile(path_)) {
      if (c != '\n') {
        lines.back() += c;
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

  TempDir dir_;
  std::string path_;
  int saved_ = -1;
};

}  // namespace testing_support
