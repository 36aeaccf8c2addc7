// Shared pieces of the VideoChild tests: a small backup of real JPEG frames
// and a view that records what the child does to it, from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "playback/video_child.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace video_child_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One camera's date folder of minute folders holding frames of a few
// hundredths of a second each.
class Backup {
 public:
  Backup() : date_(dir_.Join("cam/2004-03-15")) {}

  // Writes the frames `names` into HH/MM and answers the minute's path.
  std::string Minute(int hour, int minute, const std::vector<std::string>& names,
                     int width = 64, int height = 48) {
    const std::string folder = MinutePath(hour, minute);
    testing_support::MakeDirs(folder);
    for (const std::string& name : names) {
      testing_support::WriteFile(folder + platform::kPathSeparator + name,
                                 FrameBytes(width, height));
    }
    return folder;
  }

  std::string MinutePath(int hour, int minute) const {
    char tail[16];
    std::snprintf(tail, sizeof tail, "%c%02d%c%02d", platform::kPathSeparator,
                  hour, platform::kPathSeparator, minute);
    return date_ + tail;
  }

  // Names "SSCC.jpg" for `n` frames from `first` hundredths, `step` apart.
  static std::vector<std::string> Names(int n, int first, int step) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
      char name[16];
      const int code = first + i * step;
      std::snprintf(name, sizeof name, "%02d%02d.jpg", (code / 100) % 100, code % 100);
      names.push_back(name);
    }
    return names;
  }

  const testing_support::TempDir& dir() const { return dir_; }

 private:
  // One picture per size, encoded once per process.
  static const std::string& FrameBytes(int width, int height) {
    static std::mutex mutex;
    static std::vector<std::pair<std::pair<int, int>, std::string>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    for (const auto& entry : cache) {
      if (entry.first == std::make_pair(width, height)) return entry.second;
    }
    testing_support::TempDir scratch;
    const std::string path = scratch.Join("frame.jpg");
    sample::FrameSpec picture;
    picture.width = width;
    picture.height = height;
    if (!sample::WriteFrame(path, picture)) throw std::runtime_error("WriteFrame failed");
    cache.emplace_back(std::make_pair(width, height), testing_support::ReadFile(path));
    return cache.back().second;
  }

  testing_support::TempDir dir_;
  std::string date_;
};

// Records every call with the time it came, thread-safely; Repaint paints the
// child as the window's message handler would.
class RecordingView : public VideoView {
 public:
  enum class Kind { Range, Thumb, Text, Draw, Ended };
  struct Event {
    Kind kind;
    int value;  // range maximum, thumb, or the drawn picture's width
    std::string text;
    Clock::time_point at;
  };

  VideoChild* child = nullptr;
  // Runs inside Repaint before painting (e.g. to stall the playback thread).
  std::function<void()> beforeRepaint;
  // Runs inside SetSliderPosition, with the thumb position.
  std::function<void(int)> onThumb;
  // Runs inside ThreadEnded (e.g. to destroy the child there).
  std::function<void()> onThreadEnded;

  void SetSliderRange(int maximum) override { Add(Kind::Range, maximum); }
  void SetSliderPosition(int position) override {
    if (onThumb) onThumb(position);
    Add(Kind::Thumb, position);
  }
  void SetTimeText(const char* text) override { Add(Kind::Text, 0, text); }
  int Repaint() override {
    if (beforeRepaint) beforeRepaint();
    return child ? child->Paint() : 0;
  }
  int DrawPicture(const BitmapHeader& header, const std::uint8_t* pixels) override {
    // Touch the first and the last byte of the picture, so that sanitizers
    // see the whole buffer read while the child may be decoding.
    const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const std::size_t stride = (3 * static_cast<std::size_t>(header.biWidth) + 3) & ~std::size_t{3};
    volatile std::uint8_t sink = pixels[0];
    sink = pixels[stride * height - 1];
    (void)sink;
    Add(Kind::Draw, header.biWidth);
    return 0;
  }
  void ThreadEnded() override {
    if (onThreadEnded) onThreadEnded();
    Add(Kind::Ended, 0);
  }

  std::vector<Event> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<Event> Of(Kind kind) const {
    std::vector<Event> out;
    for (const Event& e : Events())
      if (e.kind == kind) out.push_back(e);
    return out;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Event& e : Of(Kind::Text)) out.push_back(e.text);
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }

  // Waits until `done(events)` holds; false after `timeout`.
  bool WaitUntil(const std::function<bool(const std::vector<Event>&)>& done,
                 milliseconds timeout = milliseconds(5000)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(events_); });
  }
  bool WaitForTexts(std::size_t n, milliseconds timeout = milliseconds(5000)) {
    return WaitUntil([n](const std::vector<Event>& events) {
      std::size_t texts = 0;
      for (const Event& e : events) texts += e.kind == Kind::Text;
      return texts >= n;
    }, timeout);
  }
  bool WaitForText(const std::string& part, milliseconds timeout = milliseconds(5000)) {
    return WaitUntil([&](const std::vector<Event>& events) {
      for (const Event& e : events)
        if (e.kind == Kind::Text && e.text.find(part) != std::string::npos) return true;
      return false;
    }, timeout);
  }
  bool WaitForEnd(milliseconds timeout = milliseconds(5000)) {
    return WaitUntil([](const std::vector<Event>& events) {
      for (const Event& e : events)
        if (e.kind == Kind::Ended) return true;
      return false;
    }, timeout);
  }

 private:
  void Add(Kind kind, int value, const char* text = "") {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({kind, value, text, Clock::now()});
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

// Waits for a condition polled on the calling thread.
inline bool Eventually(const std::function<bool()>& done,
                       milliseconds timeout = milliseconds(5000)) {
  const Clock::time_point end = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

inline long long MillisecondsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration_cast<milliseconds>(b - a).count();
}

}  // namespace video_child_test
