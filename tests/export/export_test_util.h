// Shared by the export tests: a user interface that records what the job
// shows, minute folders of real JPEG frames, and a capture of standard
// error (the encoding library's log sink) that keeps its lines off the
// test output.
#pragma once

#include <fcntl.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "export/export_job.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace testing_support {

// Captures file descriptor 2 while it lives.
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
      if (c == '\r') continue;
      if (c != '\n') lines.back() += c;
      else lines.emplace_back();
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

namespace export_test {

// Called from the job's worker thread; the test reads the record after Join.
class FakeUi : public ExportUi {
 public:
  std::vector<std::string> folders;
  std::string outputName;
  int format = 6;
  bool stamp = false;
  std::vector<std::string> mismatches;
  std::string status, button;
  int rangeHigh = -1, position = -1;
  std::function<void()> onStep;
  std::function<void(const std::string&)> onStatus;
  std::function<void()> onButton;

  int FolderCount() override { return static_cast<int>(folders.size()); }
  bool GetFolder(int index, char* out, std::size_t size) override {
    if (index < 0 || index >= FolderCount() || folders[index].size() >= size) return false;
    return std::snprintf(out, size, "%s", folders[index].c_str()) > 0;
  }
  void RemoveFolder(int index) override { folders.erase(folders.begin() + index); }
  bool GetOutputName(char* out, std::size_t size) override {
    return std::snprintf(out, size, "%s", outputName.c_str()) < static_cast<int>(size);
  }
  void SetOutputName(const char* name) override { outputName = name; }
  bool GetBitRateText(char* out, std::size_t size) override { return std::snprintf(out, size, "400") > 0; }
  int GetFormatCode() override { return format; }
  void SetStatusText(const char* text) override { status = text; if (onStatus) onStatus(status); }
  void SetProgressRange(int, int high) override { rangeHigh = high; }
  void SetProgressStep(int) override {}
  void SetProgressPosition(int p) override { position = p; }
  void StepProgress() override { if (onStep) onStep(); }
  void SetButtonText(const char* text) override { button = text; if (onButton) onButton(); }
  void ShowMismatch(const char* text) override { mismatches.push_back(text); }
  bool GetTimeStamp() override { return stamp; }

  bool Completed() const { return status == "Completed."; }
};

// Runs one job on its worker thread and waits for it, quietly.
inline void RunJob(ExportJob& job) {
  testing_support::StderrCapture quiet;
  ASSERT_TRUE(job.Start());
  job.Join();
  EXPECT_EQ(job.running.load(), 0);
}

// A minute folder of real JPEG frames at the given times (centisecond
// names, made once per size and time); its path with the final separator.
inline std::string MakeMinute(const testing_support::TempDir& dir, const std::string& relative,
                              const std::vector<int>& times, int width = 64, int height = 48) {
  static std::map<std::tuple<int, int, int>, std::string> made;
  testing_support::MakeDirs(dir.Join(relative));
  const std::string folder = dir.Join(relative) + platform::kPathSeparator;
  for (int t : times) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d.jpg", t);
    std::string& bytes = made[std::make_tuple(width, height, t)];
    if (bytes.empty()) {
      sample::FrameRecipe frame;
      frame.width = width;
      frame.height = height;
      frame.centis = t;
      frame.quality = 8;
      EXPECT_TRUE(sample::WriteFrame(folder + name, frame)) << folder + name;
      bytes = testing_support::ReadFile(folder + name);
    }
    testing_support::WriteFile(folder + name, bytes);
  }
  return folder;
}

// `count` times from `first`, `spacing` apart.
inline std::vector<int> Spaced(int first, int spacing, int count) {
  std::vector<int> times;
  for (int i = 0; i < count; ++i) times.push_back(first + i * spacing);
  return times;
}

}  // namespace export_test
