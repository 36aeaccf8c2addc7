// Shared by the export tests: a user interface that records what the job
// shows, minute folders of real JPEG frames, and ffprobe where it exists.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_ui.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace export_test {

// Every call comes from the job's worker thread; the test reads the record
// after Join. Hooks let a test act at a given point (cancel, for example).
class FakeUi : public ExportUi {
 public:
  std::vector<std::string> folders;
  std::string outputName;
  std::string bitRate = "400";
  bool bitRateSelected = true;
  int format = 6;

  std::vector<std::string> statuses;
  std::vector<std::string> mismatches;
  std::string button;
  int rangeLow = -1, rangeHigh = -1, step = -1, position = -1;
  std::atomic<int> steps{0};
  std::function<void(int)> onGetFolder;   // index
  std::function<void(int)> onStep;        // steps so far

  int FolderCount() override { return static_cast<int>(folders.size()); }
  bool GetFolder(int index, char* out, std::size_t size) override {
    if (onGetFolder) onGetFolder(index);
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
    std::snprintf(out, size, "%s", bitRate.c_str());
    return bitRateSelected;
  }
  int GetFormatCode() override { return format; }
  void SetStatusText(const char* text) override { statuses.push_back(text); }
  void SetProgressRange(int low, int high) override {
    rangeLow = low;
    rangeHigh = high;
  }
  void SetProgressStep(int s) override { step = s; }
  void SetProgressPosition(int p) override { position = p; }
  void StepProgress() override {
    const int now = ++steps;
    if (onStep) onStep(now);
  }
  void SetButtonText(const char* text) override { button = text; }
  void ShowMismatch(const char* text) override { mismatches.push_back(text); }

  bool ShowedStatus(const std::string& text) const {
    for (const std::string& s : statuses)
      if (s == text) return true;
    return false;
  }
};

// A minute folder path with its final separator.
inline std::string Folder(const testing_support::TempDir& dir, const std::string& relative) {
  return dir.Join(relative) + platform::kPathSeparator;
}

// The centisecond name of a time: 1234 -> "1234.jpg".
inline std::string CentiName(int centis) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.jpg", centis);
  return name;
}

// Real JPEG bytes for a picture, made once per (size, chroma, time).
inline const std::string& FrameBytes(int width, int height, int centis,
                                     sample::Chroma chroma = sample::Chroma::k420) {
  static std::mutex mutex;
  static std::map<std::tuple<int, int, int, int>, std::string> cache;
  static testing_support::TempDir scratch;
  std::lock_guard<std::mutex> lock(mutex);
  auto key = std::make_tuple(width, height, centis, static_cast<int>(chroma));
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  sample::FrameSpec spec;
  spec.width = width;
  spec.height = height;
  spec.centis = centis % 6000;
  spec.chroma = chroma;
  spec.quality = 8;
  const std::string path = scratch.Join("frame.jpg");
  if (!sample::WriteFrame(path, spec)) {
    ADD_FAILURE() << "cannot write a " << width << "x" << height << " sample frame";
    static const std::string kNone;
    return kNone;
  }
  return cache.emplace(key, testing_support::ReadFile(path)).first->second;
}

// Writes a minute folder holding frames at the given times (centisecond
// names); returns its path with the final separator.
inline std::string MakeMinute(const testing_support::TempDir& dir, const std::string& relative,
                              const std::vector<int>& times, int width = 64, int height = 48,
                              sample::Chroma chroma = sample::Chroma::k420) {
  const std::string folder = Folder(dir, relative);
  testing_support::MakeDirs(dir.Join(relative));
  for (int t : times)
    testing_support::WriteFile(folder + CentiName(t), FrameBytes(width, height, t, chroma));
  return folder;
}

// Regularly spaced times: count frames from `first`, `spacing` apart.
inline std::vector<int> Spaced(int first, int spacing, int count) {
  std::vector<int> times;
  for (int i = 0; i < count; ++i) times.push_back(first + i * spacing);
  return times;
}

}  // namespace export_test
