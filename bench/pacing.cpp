// Real time of one recorded minute played forwards: the wall time from
// Forward to the last frame drawn, against the minute's 60 s (and against the
// recorded span of its time codes), with each frame's lag behind its due
// time. 704 x 576 frames at 25 pictures per second, or irregular spacing.
//
//   bench-pacing [--seconds N] [--irregular]
//
// Prints "name: value" lines; the final "ratio:" is wall time / N seconds
// (N = 60 unless given; a shorter run is a quick check).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
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

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  bool irregular = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--irregular") == 0) {
      irregular = true;
    } else {
      std::fprintf(stderr, "usage: %s [--seconds N] [--irregular]\n", argv[0]);
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
