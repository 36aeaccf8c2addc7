// Real time of one recorded minute played forwards: the wall time from
// Forward to the last frame drawn, against the minute's 60 s (and against the
// recorded span of its time codes), with each frame's lag behind its due
// time. 704 x 576 frames at 25 pictures per second, or irregular spacing.
//
//   bench-pacing [--seconds N] [--irregular]
//   bench-pacing --slow-listing MS
//
// Prints "name: value" lines; the final "ratio:" is wall time / N seconds
// (N = 60 unless given; a shorter run is a quick check).
//
// --slow-listing measures instead how long SetMode(Pause) takes while the
// playback thread lists the next minute for MS milliseconds (a disc spinning
// up), beside SetMode while the thread plays; "ratio:" is that time / MS.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/playback_bench.h"

using namespace playback_bench;

namespace {

struct Record {
  std::mutex mutex;
  std::vector<double> lagsMs;
  Clock::time_point lastShown{};
  std::atomic<int> frames{0};

  static void Hook(void* context, int, Clock::time_point due, Clock::time_point shown) {
    auto* r = static_cast<Record*>(context);
    std::lock_guard<std::mutex> lock(r->mutex);
    r->lagsMs.push_back(std::chrono::duration<double, std::milli>(shown - due).count());
    r->lastShown = shown;
    r->frames.fetch_add(1);
  }
};

// Gaps of 2 to 6 hundredths, 4 on average: a recorder that does not keep an
// even pace.
std::vector<int> IrregularCodes(int seconds) {
  static const int gaps[] = {2, 6, 3, 5, 4, 4, 6, 2};
  std::vector<int> codes;
  int i = 0;
  for (int code = 0; code < seconds * 100; code += gaps[i++ % 8]) codes.push_back(code);
  return codes;
}

// Makes one folder's listing take `ms` milliseconds, once.
class SlowListing : public platform::AccessHook {
 public:
  SlowListing(std::string folder, int ms) : folder_(std::move(folder)), ms_(ms) {
    platform::SetAccessHook(this);
  }
  ~SlowListing() { platform::SetAccessHook(nullptr); }
  void BeforeAccess(const char* path) override {
    if (path == nullptr || folder_ != path || started.exchange(true)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
    ended.store(true);
  }
  std::atomic<bool> started{false};
  std::atomic<bool> ended{false};

 private:
  std::string folder_;
  int ms_;
};

double MillisecondsOf(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int MeasureSlowListing(int ms) {
  ScratchDir scratch("listing");
  const std::vector<std::string> pictures = MakePictures(5);
  const std::string first = MinuteFolder(scratch.path(), 12, 0);
  const std::string second = MinuteFolder(scratch.path(), 12, 1);
  WriteMinute(first, RegularCodes(2), pictures);
  WriteMinute(second, RegularCodes(2), pictures);

  NullView view;
  VideoChild child(true, &view);
  view.child = &child;
  if (child.LoadFrameList(first.c_str()) != 0) {
    std::fprintf(stderr, "cannot load %s\n", first.c_str());
    return 1;
  }
  SlowListing slow(second, ms);
  child.StartThread();
  child.SetMode(PlaybackMode::Forward);
  // Reference: mode changes while the thread plays the first minute.
  double playingMs = 0;
  for (int i = 0; i < 10 && !slow.started.load(); ++i) {
    const Clock::time_point asked = Clock::now();
    child.SetMode(i % 2 ? PlaybackMode::Forward : PlaybackMode::FastForward);
    playingMs = std::max(playingMs, MillisecondsOf(Clock::now() - asked));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  while (!slow.started.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const Clock::time_point asked = Clock::now();
  child.SetMode(PlaybackMode::Pause);
  const double pauseMs = MillisecondsOf(Clock::now() - asked);
  const bool beforeListingEnded = !slow.ended.load();
  while (!child.parked()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  child.RequestQuit();
  child.Join();

  std::printf("listing_ms: %d\n", ms);
  std::printf("listing_setmode_playing_max_ms: %.3f\n", playingMs);
  std::printf("listing_setmode_pause_ms: %.3f\n", pauseMs);
  std::printf("listing_pause_returned_during_listing: %s\n", beforeListingEnded ? "yes" : "no");
  std::printf("ratio: %.5f\n", pauseMs / ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  bool irregular = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--irregular") == 0) {
      irregular = true;
    } else if (std::strcmp(argv[i], "--slow-listing") == 0 && i + 1 < argc) {
      const int ms = std::atoi(argv[++i]);
      if (ms < 1 || ms > 60000) {
        std::fprintf(stderr, "--slow-listing takes 1 to 60000 ms\n");
        return 2;
      }
      return MeasureSlowListing(ms);
    } else {
      std::fprintf(stderr, "usage: %s [--seconds N] [--irregular] | --slow-listing MS\n", argv[0]);
      return 2;
    }
  }
  if (seconds < 1 || seconds > 60) {
    std::fprintf(stderr, "--seconds takes 1 to 60\n");
    return 2;
  }

  ScratchDir scratch("pacing");
  const std::vector<std::string> pictures = MakePictures(25);
  const std::vector<int> codes = irregular ? IrregularCodes(seconds) : RegularCodes(seconds);
  const std::string folder = MinuteFolder(scratch.path(), 12, 0);
  WriteMinute(folder, codes, pictures);

  Record record;
  NullView view;
  VideoChild child(false, &view);
  view.child = &child;
  child.SetFrameHook(&Record::Hook, &record);
  if (child.LoadFrameList(folder.c_str()) != 0) {
    std::fprintf(stderr, "cannot load %s\n", folder.c_str());
    return 1;
  }
  const int count = child.count();
  child.StartThread();
  while (!child.parked()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  const Clock::time_point start = Clock::now();
  child.SetMode(PlaybackMode::Forward);
  while (record.frames.load() < count || !child.parked()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  child.RequestQuit();
  child.Join();

  std::lock_guard<std::mutex> lock(record.mutex);
  const double wall = Seconds(record.lastShown - start);
  const double span = (codes.back() - codes.front()) / 100.0;
  std::vector<double> lags = record.lagsMs;
  std::sort(lags.begin(), lags.end());
  const int late = static_cast<int>(
      std::count_if(lags.begin(), lags.end(), [](double lag) { return lag > 10.0 * kFrameGap; }));
  double sum = 0;
  for (double lag : lags) sum += lag;

  std::printf("pacing_spacing: %s\n", irregular ? "irregular" : "regular");
  std::printf("pacing_picture: %dx%d\n", child.pictureWidth(), child.pictureHeight());
  std::printf("pacing_frame_bytes_mean: %.0f\n", MeanBytes(pictures));
  std::printf("pacing_frames: %d\n", count);
  std::printf("pacing_recorded_span_s: %.2f\n", span);
  std::printf("pacing_wall_s: %.3f\n", wall);
  std::printf("pacing_lag_mean_ms: %.2f\n", sum / static_cast<double>(lags.size()));
  std::printf("pacing_lag_median_ms: %.2f\n", lags[lags.size() / 2]);
  std::printf("pacing_lag_max_ms: %.2f\n", lags.back());
  std::printf("pacing_late_frames: %d\n", late);
  std::printf("pacing_wall_to_span: %.5f\n", wall / span);
  std::printf("ratio: %.5f\n", wall / seconds);
  return 0;
}
