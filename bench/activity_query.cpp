// Activity answered from the index over a camera-day, measured.
//   bench-activity_query [HOURS] [INDEXED_MINUTES] [LAYOUT_FOLDER]
// Lays out HOURS (default 24) hours of minute folders of 1,500 frames (25 a
// second, 352 x 288): hard links to a second of generated JPEG frames with a
// moving object. The first INDEXED_MINUTES (default 60) are indexed for real,
// as the command does (the query, IndexMinutes on both cores, the query
// again); the other minutes get index files written through the index's own
// encoder from synthetic changes (an object for 5 s in every third minute),
// keyed on their listing as an indexing would, so nothing of the day is
// decoded. Then times, best of three:
//   day_query_s: the day's query from the index (each minute trusted by its
//     folder's write time, as the command does by default);
//   recheck_day_s: the same with every frame file's size and time compared;
//   ratio: the indexed minutes' query from the index against their first,
//     indexing query.
// LAYOUT_FOLDER, when given, keeps the frame layout: made there when missing,
// used as it is when there (e.g. made natively, then timed by the Windows
// build under Wine). The index is always made afresh in a temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "activity/activity.h"
#include "activity/index_file.h"
#include "activity/minute_indexer.h"
#include "platform/platform.h"
#include "tools/activity_scene.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFramesPerMinute = 1500;
constexpr int kDistinctFrames = 25;
constexpr int kRuns = 3;
const WallTime kDay = MakeWallTime({2004, 3, 15, 0, 0, 0, 0});

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string TempName(const char* what) {
  return (fs::temp_directory_path() /
          (std::string("orvanel-bench-") + what + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
      .string();
}

// camera/2004-03-15/HH/MM, each frame a link to one of a second's frames.
bool MakeLayout(const std::string& camera, int hours) {
  const std::string source = camera + "-source";
  sample::Scene scene;
  scene.fps = 25;
  scene.objects.push_back({40, 40, 60, 20, 100, 250, 150, 0.0, 1.0});
  if (sample::WriteScene(source, scene, kDay, 0, 1) != kDistinctFrames) return false;
  std::vector<std::string> frames;
  for (int f = 0; f < kDistinctFrames; ++f)
    frames.push_back(sample::SceneFramePath(source, kDay + f * 4));
  std::error_code ec;
  for (int h = 0; h < hours; ++h)
    for (int m = 0; m < 60; ++m) {
      // A file takes some 65,000 links at most: each hour links copies of its own.
      if (m == 0)
        for (int f = 0; f < kDistinctFrames; ++f) {
          const std::string copy = source + "/" + std::to_string(h) + "-" + std::to_string(f);
          fs::copy_file(sample::SceneFramePath(source, kDay + f * 4), copy, ec);
          frames[f] = copy;
        }
      char rel[32];
      std::snprintf(rel, sizeof rel, "/2004-03-15/%02d/%02d/", h, m);
      const std::string minute = camera + rel;
      fs::create_directories(minute, ec);
      for (int f = 0; f < kFramesPerMinute; ++f) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d%02d.jpg", f / 25, (f % 25) * 4);
        fs::create_hard_link(frames[f % kDistinctFrames], minute + name, ec);
        if (ec) {
          std::fprintf(stderr, "cannot link %s: %s\n", (minute + name).c_str(),
                       ec.message().c_str());
          return false;
        }
      }
    }
  return true;
}

// An index file as the indexer would leave it, with an object of 4 % of the
// picture in frames 250..374 of every third minute.
bool WriteSyntheticIndex(activity::ActivityIndex& index, const std::string& minute, int number) {
  activity::MinuteListing listing;
  if (listing.List(minute) != 0) return false;
  activity::MinuteIndex out;
  out.folder = platform::FullPath(minute.c_str());
  out.key = listing.key;
  out.folderTime = listing.folderTime;
  out.files = static_cast<std::uint32_t>(listing.frames.size());
  out.width = 352;
  out.height = 288;
  for (std::size_t f = 0; f < listing.frames.size(); ++f) {
    out.times.push_back(static_cast<std::uint16_t>(listing.TimeOf(f)));
    out.damaged.push_back(0);
    out.first.push_back(static_cast<std::uint32_t>(out.changes.size()));
    if (number % 3 == 0 && f >= 250 && f < 375)
      for (int c = 0; c < 4; ++c)  // 4 whole cells: 64 of 1,584 small pixels
        out.changes.push_back({static_cast<std::uint16_t>(c + static_cast<int>(f - 250) / 10),
                               0xFFFF});
  }
  out.first.push_back(static_cast<std::uint32_t>(out.changes.size()));
  std::vector<std::uint8_t> bytes;
  activity::EncodeIndex(out, bytes);
  const std::string file = index.IndexFileOf(minute.c_str());
  std::error_code ec;
  fs::create_directories(fs::path(file).parent_path(), ec);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return true;
}

// The command's query: from the index where fresh, indexing the rest first.
// Returns the minutes answered.
int QueryAll(activity::ActivityIndex& index, const std::vector<std::string>& minutes,
             activity::Freshness freshness, std::size_t* spans) {
  std::vector<activity::Span> all, one;
  std::vector<std::string> missing;
  int answered = 0;
  for (const std::string& m : minutes) {
    if (index.Query(m.c_str(), {}, one, freshness)) {
      ++answered;
      all.insert(all.end(), one.begin(), one.end());
    } else {
      missing.push_back(m);
    }
  }
  if (!missing.empty()) {
    activity::IndexMinutes(index, missing, 2, nullptr);
    for (const std::string& m : missing)
      if (index.Query(m.c_str(), {}, one, freshness)) {
        ++answered;
        all.insert(all.end(), one.begin(), one.end());
      }
  }
  activity::MergeSpans(all);
  *spans = all.size();
  return answered;
}

}  // namespace

int main(int argc, char** argv) {
  const int hours = argc > 1 ? std::max(1, std::min(24, std::atoi(argv[1]))) : 24;
  const int indexed =
      argc > 2 ? std::max(1, std::min(hours * 60, std::atoi(argv[2]))) : std::min(60, hours * 60);
  const bool kept = argc > 3;
  const std::string layout = kept ? argv[3] : TempName("layout");
  const std::string camera = layout + "/cam";
  const std::string indexFolder = TempName("index");

  auto start = std::chrono::steady_clock::now();
  if (!platform::IsDirectory(camera.c_str()) && !MakeLayout(camera, hours)) return 1;
  std::vector<std::string> minutes;
  ListMinuteFolders(camera.c_str(), minutes);
  if (minutes.size() < static_cast<std::size_t>(hours) * 60) {
    std::fprintf(stderr, "%s holds %zu minute folders, not %d\n", camera.c_str(), minutes.size(),
                 hours * 60);
    return 1;
  }
  minutes.resize(static_cast<std::size_t>(hours) * 60);
  std::printf("minute folders: %zu\nframes per minute: %d\nlayout s: %.1f\n", minutes.size(),
              kFramesPerMinute, Seconds(start));

  activity::ActivityIndex index(indexFolder);
  start = std::chrono::steady_clock::now();
  for (std::size_t i = indexed; i < minutes.size(); ++i)
    if (!WriteSyntheticIndex(index, minutes[i], static_cast<int>(i))) return 1;
  std::printf("synthetic index files s: %.1f\n", Seconds(start));

  const std::vector<std::string> first(minutes.begin(), minutes.begin() + indexed);
  std::size_t spans = 0;
  start = std::chrono::steady_clock::now();
  QueryAll(index, first, activity::Freshness::kFolder, &spans);
  const double indexing = Seconds(start);

  double fromIndex = 1e30, day = 1e30, recheck = 1e30;
  bool allAnswered = true;
  for (int run = 0; run < kRuns; ++run) {
    start = std::chrono::steady_clock::now();
    allAnswered &= QueryAll(index, first, activity::Freshness::kFolder, &spans) == indexed;
    fromIndex = std::min(fromIndex, Seconds(start));

    std::vector<std::string> found;
    start = std::chrono::steady_clock::now();
    ListMinuteFolders(camera.c_str(), found);
    allAnswered &= QueryAll(index, found, activity::Freshness::kFolder, &spans) ==
                   static_cast<int>(found.size());
    day = std::min(day, Seconds(start));

    start = std::chrono::steady_clock::now();
    ListMinuteFolders(camera.c_str(), found);
    allAnswered &= QueryAll(index, found, activity::Freshness::kFiles, &spans) ==
                   static_cast<int>(found.size());
    recheck = std::min(recheck, Seconds(start));
  }
  if (!allAnswered) std::printf("warning: a query had to index again\n");
  std::error_code ec;
  fs::remove_all(indexFolder, ec);
  if (!kept) fs::remove_all(layout, ec);
  std::printf("spans in the day: %zu\nindexing query of %d minutes s: %.2f\n"
              "same from the index s: %.3f\nday_query_s: %.3f\nrecheck_day_s: %.2f\n"
              "ratio: %.4f\n",
              spans, indexed, indexing, fromIndex, day, recheck, fromIndex / indexing);
  return 0;
}
