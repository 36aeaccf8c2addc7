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
#include <utility>
#include <thread>
#include <vector>

#include "playback/video_child.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

namespace video_child_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Long enough for a loaded machine running sanitizers; only a failing test
// waits it out.
constexpr milliseconds kPatience{30000};

// One camera's date folder of minute folders.
class Backup {
 public:
  // Writes the frames `names` into HH/MM and answers the minute's path.
  std::string Minute(int hour, int minute, const std::vector<std::string>& names,
                     int width = 64, int height = 48) {
    return MinuteOn(kDate, hour, minute, names, width, height);
  }
  std::string MinuteOn(const char* date, int hour, int minute,
                       const std::vector<std::string>& names, int width = 64,
                       int height = 48) {
    const std::string folder = MinutePathOn(date, hour, minute);
    testing_support::MakeDirs(folder);
    sample::FrameRecipe picture;
    picture.width = width;
    picture.height = height;
    for (const std::string& name : names) {
      if (!sample::WriteFrame(folder + platform::kPathSeparator + name, picture))
        throw std::runtime_error("WriteFrame " + name);
    }
    return folder;
  }

  std::string MinutePath(int hour, int minute) const { return MinutePathOn(kDate, hour, minute); }
  std::string MinutePathOn(const char* date, int hour, int minute) const {
    char tail[48];
    std::snprintf(tail, sizeof tail, "cam/%.10s/%02d/%02d", date, hour, minute);
    return dir_.Join(tail);
  }
  std::string HourPath(int hour) const {
    const std::string minute = MinutePath(hour, 0);
    return minute.substr(0, minute.size() - 3);
  }
  static constexpr const char* kDate = "2004-03-15";

  // Names "SSCC.jpg" for `n` frames from `first` hundredths, `step` apart.
  static std::vector<std::string> Names(int n, int first, int step) {
    std::vector<std::string> names;
    for (int code = first; code < first + n * step; code += step) {
      char name[16];
      std::snprintf(name, sizeof name, "%02d%02d.jpg", (code / 100) % 100, code % 100);
      names.push_back(name);
    }
    return names;
  }

 private:
  testing_support::TempDir dir_;
};

// Does what the window does on Changed: pulls the view state and records
// what differs from what it showed before, painting each new picture. Calls
// from several threads are taken one at a time, as one window thread would.
class RecordingView : public VideoView, public PictureSink {
 public:
  enum class Kind { Range, Thumb, Text, Draw, Ended };
  struct Event {
    Kind kind;
    int value;  // range maximum, thumb, or the drawn picture's width
    std::string text;
  };

  VideoChild* child = nullptr;
  std::function<void()> onChanged;      // first, e.g. to stall the caller
  std::function<void()> onThreadEnded;  // e.g. to hand the child to its owner

  void Changed() override {
    if (onChanged) onChanged();
    std::lock_guard<std::mutex> pull(pull_);
    if (child == nullptr) return;
    ViewState state;
    child->GetViewState(&state);
    if (state.sliderMaximum != shown_.sliderMaximum) Add(Kind::Range, state.sliderMaximum);
    if (state.sliderPosition != shown_.sliderPosition) Add(Kind::Thumb, state.sliderPosition);
    if (state.pictureSerial != shown_.pictureSerial) {
      Add(Kind::Text, state.sliderPosition, state.timeText);
      child->Paint(*this);
    }
    shown_ = state;
  }
  int DrawPicture(const BitmapHeader& header, const std::uint8_t* pixels) override {
    // Reads the first and last byte, so the sanitizers check the whole
    // buffer while the child may be decoding.
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

  // Each picture's time text with the thumb pulled with it.
  std::vector<std::pair<std::string, int>> TextsWithThumbs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<std::string, int>> out;
    for (const Event& e : events_)
      if (e.kind == Kind::Text) out.emplace_back(e.text, e.value);
    return out;
  }

  std::vector<int> Values(Kind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> out;
    for (const Event& e : events_)
      if (e.kind == kind) out.push_back(e.value);
    return out;
  }
  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const Event& e : events_)
      if (e.kind == Kind::Text) out.push_back(e.text);
    return out;
  }
  std::size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_.size();
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }

  // Waits for `n` events of `kind` (texts: containing `part`).
  bool WaitFor(Kind kind, std::size_t n = 1, const std::string& part = "") {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
      std::size_t seen = 0;
      for (const Event& e : events_) seen += e.kind == kind && e.text.find(part) != std::string::npos;
      return seen >= n;
    });
  }

 private:
  void Add(Kind kind, int value, const char* text = "") {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({kind, value, text});
    changed_.notify_all();
  }

  std::mutex pull_;
  ViewState shown_{-1, -1, {}, 0, PlaybackMode::Pause};  // nothing shown yet
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

// Waits for a condition polled on the calling thread.
inline bool Eventually(const std::function<bool()>& done) {
  const Clock::time_point end = Clock::now() + kPatience;
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
