// A camera-day's coverage against the bare listings it is built on: 1,440
// minute folders of 25 placeholder frames. The listings of the minute folders
// are the floor; the minute-level picture adds the walk down the date and
// hour folders, the name tables and the spans. Also the picture a view draws
// before any minute is read (the walk alone, every minute folder taken as
// recorded), and the frame-level spans of one hour, as a zoomed-in view asks
// for them. Prints "name: value" lines;
// the final "ratio:" is the minute-level day against the listings alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/coverage.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFramesPerMinute = 25;
constexpr int kRuns = 11;

double Ms(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double Median(std::vector<double> times) {
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  const fs::path base =
      fs::temp_directory_path() /
      ("orvanel-bench-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  const fs::path camera = base / "cam";
  // Frames 2 s apart over the first 48 s of every minute: one span a minute.
  for (int h = 0; h < 24; ++h)
    for (int m = 0; m < 60; ++m) {
      char rel[32];
      std::snprintf(rel, sizeof rel, "2004-03-15/%02d/%02d", h, m);
      const fs::path minute = camera / rel;
      fs::create_directories(minute);
      for (int f = 0; f < kFramesPerMinute; ++f) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d00.jpg", f * 2);
        std::ofstream(minute / name, std::ios::binary);
      }
    }
  const std::string cameraPath = camera.string();
  WallTime day = 0, noon = 0;
  ParseWallTime("2004-03-15T00:00:00", &day);
  ParseWallTime("2004-03-15T12:00:00", &noon);

  std::vector<std::string> minutes;
  MinuteFoldersBetween(cameraPath.c_str(), day, day + kHundredthsPerDay, minutes);
  std::vector<platform::DirEntry> entries;
  std::size_t listed = 0;
  const auto listing = [&] {
    listed = 0;
    int error = 0;
    for (const std::string& m : minutes) {
      platform::ListDirectory(m.c_str(), "*.jpg", entries, &error);
      listed += entries.size();
    }
  };
  std::size_t walked = 0, pendingSpans = 0;
  const auto pending = [&] {
    std::vector<std::string> folders;
    MinuteFoldersBetween(cameraPath.c_str(), day, day + kHundredthsPerDay, folders);
    walked = folders.size();
    pendingSpans = CoverageScan(std::move(folders), CoverageLevel::kMinute).PendingSpans().size();
  };
  std::size_t daySpans = 0;
  int dayFrames = 0;
  const auto minuteLevelDay = [&] {
    std::vector<std::string> folders;
    MinuteFoldersBetween(cameraPath.c_str(), day, day + kHundredthsPerDay, folders);
    CoverageScan scan(std::move(folders), CoverageLevel::kMinute);
    while (scan.Step(60)) {
    }
    daySpans = scan.spans().size();
    dayFrames = 0;
    for (const CoverageSpan& s : scan.spans()) dayFrames += s.frames;
  };
  std::size_t hourSpans = 0;
  const auto frameLevelHour = [&] {
    std::vector<std::string> folders;
    MinuteFoldersBetween(cameraPath.c_str(), noon, noon + kHundredthsPerHour, folders);
    CoverageScan scan(std::move(folders), CoverageLevel::kFrame);
    while (scan.Step(60)) {
    }
    hourSpans = scan.spans().size();
  };
  // Runs take turns, so that a busy machine weighs on each alike.
  std::vector<double> times[4];
  for (int r = 0; r < kRuns; ++r) {
    auto start = std::chrono::steady_clock::now();
    listing();
    times[0].push_back(Ms(start));
    start = std::chrono::steady_clock::now();
    pending();
    times[1].push_back(Ms(start));
    start = std::chrono::steady_clock::now();
    minuteLevelDay();
    times[2].push_back(Ms(start));
    start = std::chrono::steady_clock::now();
    frameLevelHour();
    times[3].push_back(Ms(start));
  }
  const double listingMs = Median(times[0]), pendingMs = Median(times[1]),
               dayMs = Median(times[2]), hourMs = Median(times[3]);

  const int expected = 1440 * kFramesPerMinute;
  if (minutes.size() != 1440 || listed != static_cast<std::size_t>(expected) ||
      walked != 1440 || pendingSpans != 1 || daySpans != 1440 || dayFrames != expected || hourSpans != 60)
    std::fprintf(stderr, "unexpected: %zu folders, %zu listed, %zu walked, %zu pending, %zu/%d day, %zu hour\n",
                 minutes.size(), listed, walked, pendingSpans, daySpans, dayFrames, hourSpans);
  std::printf("minute_folders: %zu\nframes_per_minute: %d\nruns: %d\n", minutes.size(),
              kFramesPerMinute, kRuns);
  std::printf("listing_minutes_ms: %.3f\n", listingMs);
  std::printf("pending_picture_from_walk_ms: %.3f\n", pendingMs);
  std::printf("minute_level_day_ms: %.3f\n", dayMs);
  std::printf("frame_level_hour_ms: %.3f\n", hourMs);
  std::printf("ratio: %.3f\n", listingMs > 0 ? dayMs / listingMs : 0);

  std::error_code ec;
  fs::remove_all(base, ec);
  return 0;
}
