// Activity answered from the index over a camera-day, against the bare
// listings it must make anyway (the freshness check lists every minute
// folder with its files' sizes and times). 1,440 minute folders of 1,500
// placeholder frames (25 a second); the index is made once first (empty
// frames index as damaged: no decoding, the same four bytes a still frame
// costs). Usage: bench-activity_query [HOURS] (default 24).
// Also the query that trusts each minute folder's own write time (no
// listing). Prints "name: value" lines; the final "ratio:" is the query
// against the listings alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "activity/activity.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFramesPerMinute = 1500;
constexpr int kRuns = 3;

double Ms(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  const int hours = argc > 1 ? std::max(1, std::min(24, std::atoi(argv[1]))) : 24;
  const fs::path base =
      fs::temp_directory_path() /
      ("orvanel-bench-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  const fs::path camera = base / "cam";
  auto start = std::chrono::steady_clock::now();
  for (int h = 0; h < hours; ++h)
    for (int m = 0; m < 60; ++m) {
      char rel[32];
      std::snprintf(rel, sizeof rel, "2004-03-15/%02d/%02d", h, m);
      const fs::path minute = camera / rel;
      fs::create_directories(minute);
      for (int f = 0; f < kFramesPerMinute; ++f) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d%02d.jpg", f / 25, (f % 25) * 4);
        std::ofstream(minute / name, std::ios::binary);
      }
    }
  std::printf("minute folders: %d\nframes per minute: %d\nmake files ms: %.0f\n", hours * 60,
              kFramesPerMinute, Ms(start));

  activity::ActivityIndex index((base / "index").string());
  std::vector<std::string> minutes;
  ListMinuteFolders(camera.string().c_str(), minutes);
  start = std::chrono::steady_clock::now();
  const int failed = activity::IndexMinutes(index, minutes, 2, nullptr);
  std::printf("index placeholders ms: %.0f (failed %d)\n", Ms(start), failed);

  double best = 1e30, bestList = 1e30, bestFolder = 1e30;
  std::size_t spans = 0;
  for (int run = 0; run < kRuns; ++run) {
    start = std::chrono::steady_clock::now();
    std::vector<std::string> found;
    ListMinuteFolders(camera.string().c_str(), found);
    std::vector<platform::DirEntry> entries;
    std::size_t files = 0;
    for (const std::string& m : found) {
      int error = 0;
      platform::ListDirectory(m.c_str(), "*.jpg", entries, &error, true);
      files += entries.size();
    }
    bestList = std::min(bestList, Ms(start));

    start = std::chrono::steady_clock::now();
    found.clear();
    ListMinuteFolders(camera.string().c_str(), found);
    std::vector<activity::Span> all, one;
    int answered = 0;
    for (const std::string& m : found) {
      if (index.Query(m.c_str(), activity::Region{}, one)) ++answered;
      all.insert(all.end(), one.begin(), one.end());
    }
    activity::MergeSpans(all);
    best = std::min(best, Ms(start));
    spans = all.size();

    start = std::chrono::steady_clock::now();
    found.clear();
    ListMinuteFolders(camera.string().c_str(), found);
    all.clear();
    for (const std::string& m : found) {
      if (!index.Query(m.c_str(), activity::Region{}, one, activity::Freshness::kFolder))
        --answered;
      all.insert(all.end(), one.begin(), one.end());
    }
    activity::MergeSpans(all);
    bestFolder = std::min(bestFolder, Ms(start));
    if (answered != static_cast<int>(found.size()) || files != found.size() * kFramesPerMinute)
      std::printf("warning: %d of %zu minutes answered, %zu files listed\n", answered,
                  found.size(), files);
  }
  std::printf("spans: %zu\nlistings ms: %.1f\nquery by folder time ms: %.1f\nquery ms: %.1f\n"
              "ratio: %.2f\n", spans, bestList, bestFolder, best, best / bestList);
  if (!std::getenv("KEEP")) { std::error_code ec; fs::remove_all(base, ec); } else std::printf("kept %s\n", base.string().c_str());
  return 0;
}
