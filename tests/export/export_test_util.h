// Shared by the export tests: a user interface that records what the job
// shows, and minute folders of real JPEG frames.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_ui.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace export_test {

// Called from the job's worker thread; the test reads the record after Join.
class FakeUi : public ExportUi {
 public:
  std::vector<std::string> folders;
  std::string outputName;
  int format = 6;

  std::vector<std::string> mismatches;
  std::string status, button;
  int rangeHigh = -1, position = -1;
  std::function<void()> onStep;
  std::function<void(const std::string&)> onStatus;
  std::function<void()> onButton;

  int FolderCount() override { return static_cast<int>(folders.size()); }
  bool GetFolder(int index, char* out, std::size_t size) override {
    if (index < 0 || index >= FolderCount() || folders[index].size() >= size) return false;
    std::snprintf(out, size, "%s", folders[index].c_str());
    return true;
  }
  void RemoveFolder(int index) override { folders.erase(folders.begin() + index); }
  bool GetOutputName(char* out, std::size_t size) override {
    std::snprintf(out, size, "%s", outputName.c_str());
    return outputName.size() < size;
  }
  void SetOutputName(const char* name) override { outputName = name; }
  bool GetBitRateText(char* out, std::size_t size) override {
    std::snprintf(out, size, "400");
    return true;
  }
  int GetFormatCode() override { return format; }
  void SetStatusText(const char* text) override {
    status = text;
    if (onStatus) onStatus(status);
  }
  void SetProgressRange(int, int high) override { rangeHigh = high; }
  void SetProgressStep(int) override {}
  void SetProgressPosition(int p) override { position = p; }
  void StepProgress() override {
    if (onStep) onStep();
  }
  void SetButtonText(const char* text) override {
    button = text;
    if (onButton) onButton();
  }
  void ShowMismatch(const char* text) override { mismatches.push_back(text); }

  bool Completed() const { return status == "Completed."; }
};

// A minute folder path with its final separator.
inline std::string Folder(const testing_support::TempDir& dir, const std::string& relative) {
  return dir.Join(relative) + platform::kPathSeparator;
}

// A minute folder of real JPEG frames at the given times (centisecond
// names), each made once per size and time; returns its path with the
// final separator.
inline std::string MakeMinute(const testing_support::TempDir& dir, const std::string& relative,
                              const std::vector<int>& times, int width = 64, int height = 48) {
  static std::map<std::tuple<int, int, int>, std::string> made;
  testing_support::MakeDirs(dir.Join(relative));
  const std::string folder = Folder(dir, relative);
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
