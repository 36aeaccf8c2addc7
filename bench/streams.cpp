// How many video children of 704 x 576 pictures at 25 per second this
// machine keeps in real time at once. Each child plays on over minutes of
// 5 s of frames (with continuation) into a view that draws nothing. A frame
// is late when drawn more than one frame interval (40 ms) after it was due;
// a count holds when under 1 % of its frames are late and its children drew
// at least 98 % of the frames the elapsed time calls for. The count steps up
// until one does not hold.
//
//   bench-streams [--seconds N] [--counts 4,8,12,16,20,24,28,32,40,48]
//
// N is the time each count plays (20 s by default; 5 for a quick run).
// Prints "name: value" lines; the final "ratio:" is the largest count that
// holds over the target of 16.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "bench/playback_bench.h"

using namespace playback_bench;

namespace {

constexpr int kTarget = 16;
constexpr int kSecondsPerMinuteFolder = 5;
constexpr double kLateMs = 10.0 * kFrameGap;  // one frame interval

// One child's frames, written by its playback thread only.
struct Stream {
  std::mutex mutex;
  std::vector<double> lagsMs;
  static void Hook(void* context, int, Clock::time_point due, Clock::time_point shown) {
    auto* s = static_cast<Stream*>(context);
    std::lock_guard<std::mutex> lock(s->mutex);
    s->lagsMs.push_back(std::chrono::duration<double, std::milli>(shown - due).count());
  }
};

struct Outcome {
  long frames = 0;
  long expected = 0;
  long late = 0;
  double p99 = 0;
  double max = 0;
};

Outcome Play(const std::string& firstMinute, int count, int seconds) {
  std::vector<std::unique_ptr<NullView>> views;
  std::vector<std::unique_ptr<Stream>> streams;
  std::vector<std::unique_ptr<VideoChild>> children;
  for (int k = 0; k < count; ++k) {
    views.push_back(std::make_unique<NullView>());
    streams.push_back(std::make_unique<Stream>());
    children.push_back(std::make_unique<VideoChild>(true, views.back().get()));
    VideoChild& child = *children.back();
    views.back()->child = &child;
    child.SetFrameHook(&Stream::Hook, streams.back().get());
    child.LoadFrameList(firstMinute.c_str());
    child.StartThread();
  }
  for (auto& child : children) {
    while (!child->parked()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  // Cameras do not tick together: the starts spread over one frame interval.
  const Clock::time_point base = Clock::now();
  std::vector<Clock::time_point> starts;
  for (int k = 0; k < count; ++k) {
    std::this_thread::sleep_until(base + std::chrono::microseconds(40000 * k / count));
    starts.push_back(Clock::now());
    children[k]->SetMode(PlaybackMode::Forward);
  }
  std::this_thread::sleep_until(starts.back() + std::chrono::seconds(seconds));
  const Clock::time_point stop = Clock::now();
  for (auto& child : children) child->RequestQuit();
  children.clear();  // joins

  Outcome out;
  std::vector<double> all;
  for (int k = 0; k < count; ++k) {
    // The first frame is drawn after the gap that follows it.
    out.expected += static_cast<long>(Seconds(stop - starts[k]) * 25.0) - 1;
    all.insert(all.end(), streams[k]->lagsMs.begin(), streams[k]->lagsMs.end());
  }
  out.frames = static_cast<long>(all.size());
  out.late = static_cast<long>(std::count_if(all.begin(), all.end(), [](double lag) { return lag > kLateMs; }));
  if (!all.empty()) {
    std::sort(all.begin(), all.end());
    out.p99 = all[all.size() * 99 / 100];
    out.max = all.back();
  }
  return out;
}

// Decoding and publishing one frame, without pacing: the cost the streams
// share the cores for.
double DecodeMs(const std::string& minute) {
  NullView view;
  VideoChild child(false, &view);
  view.child = &child;
  child.LoadFrameList(minute.c_str());
  const int frames = child.count();
  const Clock::time_point start = Clock::now();
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < frames; ++i) child.ShowFrame(i);
  }
  return Seconds(Clock::now() - start) * 1000.0 / (2.0 * frames);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 20;
  std::vector<int> counts = {4, 8, 12, 16, 20, 24, 28, 32, 40, 48};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--counts") == 0 && i + 1 < argc) {
      counts.clear();
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) counts.push_back(std::atoi(item.c_str()));
    } else {
      std::fprintf(stderr, "usage: %s [--seconds N] [--counts a,b,c]\n", argv[0]);
      return 2;
    }
  }
  const int minutes = seconds / kSecondsPerMinuteFolder + 2;
  if (seconds < 1 || minutes > 60 || counts.empty()) {
    std::fprintf(stderr, "--seconds takes 1 to %d\n", 58 * kSecondsPerMinuteFolder);
    return 2;
  }

  ScratchDir scratch("streams");
  const std::vector<std::string> pictures = MakePictures(25);
  const std::vector<int> codes = RegularCodes(kSecondsPerMinuteFolder);
  for (int m = 0; m < minutes; ++m) WriteMinute(MinuteFolder(scratch.path(), 12, m), codes, pictures);
  const std::string first = MinuteFolder(scratch.path(), 12, 0);

  const double decodeMs = DecodeMs(first);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::printf("streams_seconds_per_count: %d\n", seconds);
  std::printf("streams_frame_bytes_mean: %.0f\n", MeanBytes(pictures));
  std::printf("streams_cores: %u\n", cores);
  std::printf("streams_decode_ms_per_frame: %.2f\n", decodeMs);
  std::printf("streams_decode_bound: %.1f\n", cores * 1000.0 / (decodeMs * 25.0));
  std::fflush(stdout);

  int held = 0;
  for (int count : counts) {
    const Outcome o = Play(first, count, seconds);
    const double latePct = o.frames ? 100.0 * static_cast<double>(o.late) / static_cast<double>(o.frames) : 100.0;
    const bool holds = o.frames >= o.expected * 98 / 100 && latePct < 1.0;
    std::printf("streams_%d_frames: %ld of %ld\n", count, o.frames, o.expected);
    std::printf("streams_%d_late_pct: %.2f\n", count, latePct);
    std::printf("streams_%d_lag_p99_ms: %.1f\n", count, o.p99);
    std::printf("streams_%d_lag_max_ms: %.1f\n", count, o.max);
    std::printf("streams_%d_holds: %s\n", count, holds ? "yes" : "no");
    std::fflush(stdout);
    if (!holds) break;
    held = count;
  }
  std::printf("streams_held: %d\n", held);
  std::printf("ratio: %.3f\n", static_cast<double>(held) / kTarget);
  return 0;
}
