// Loading a minute's frame list against the bare directory listing it is
// built on: the listing is the floor, so the ratio shows what the copy, the
// checks and the sort add. Prints "name: value" lines; the final "ratio:" is
// the larger of the two load/listing ratios (names created in order and in
// reverse order).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/minute_frame_list.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 1800;  // a minute at 30 pictures per second
constexpr int kRuns = 201;

// Centisecond names of 30 pictures per second: 0000.jpg, 0003.jpg, 0006.jpg...
std::string FrameName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "%02d%02d.jpg", i / 30, (i % 30) * 10 / 3);
  return name;
}

void MakeMinute(const fs::path& folder, bool reverse) {
  fs::create_directories(folder);
  for (int k = 0; k < kFrames; ++k) {
    const int i = reverse ? kFrames - 1 - k : k;
    std::ofstream(folder / FrameName(i), std::ios::binary);
  }
}

template <typename F>
double MedianMs(F&& run) {
  std::vector<double> times;
  for (int r = 0; r < kRuns; ++r) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
  return times[kRuns / 2];
}

// Returns load / listing for one folder, printing both medians.
double Measure(const char* label, const std::string& folder) {
  MinuteFrameList list;
  int loaded = 0;
  const double loadMs = MedianMs([&] {
    list.Load(folder.c_str(), nullptr);
    loaded = list.count();
  });
  std::vector<platform::DirEntry> entries;
  int listed = 0;
  const double listMs = MedianMs([&] {
    int error = 0;
    platform::ListDirectory(folder.c_str(), "*.jpg", entries, &error);
    listed = static_cast<int>(entries.size());
  });
  if (loaded != kFrames || listed != kFrames)
    std::fprintf(stderr, "%s: expected %d frames, loaded %d, listed %d\n", label,
                 kFrames, loaded, listed);
  const double ratio = listMs > 0 ? loadMs / listMs : 0;
  std::printf("%s_load_ms: %.4f\n%s_listing_ms: %.4f\n%s_ratio: %.3f\n", label,
              loadMs, label, listMs, label, ratio);
  return ratio;
}

}  // namespace

int main() {
  const fs::path base =
      fs::temp_directory_path() /
      ("orvanel-bench-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  const fs::path inOrder = base / "in-order" / "58";
  const fs::path reversed = base / "reverse" / "58";
  MakeMinute(inOrder, false);
  MakeMinute(reversed, true);

  std::printf("frames: %d\nruns: %d\n", kFrames, kRuns);
  const double a = Measure("in_order", inOrder.string());
  const double b = Measure("reverse", reversed.string());
  std::printf("ratio: %.3f\n", std::max(a, b));

  std::error_code ec;
  fs::remove_all(base, ec);
  return 0;
}
