#include "store/coverage.h"

#include <algorithm>
#include <utility>

#include "platform/log.h"
#include "platform/platform.h"

namespace {

// A name past the minute's end ("7500.jpg") still belongs to its folder:
// kept inside the minute, so that times never run back across folders.
constexpr int kLastTimeCode = 60 * 100 - 1;

WallTime FrameTime(WallTime minute, int timeCode) {
  return minute + std::min(std::max(timeCode, 0), kLastTimeCode);
}

}  // namespace

int MinuteFoldersBetween(const char* camera, WallTime from, WallTime to,
                         std::vector<std::string>& out) {
  out.clear();
  std::vector<platform::DirEntry> entries;
  int error = 0;
  if (platform::ListDirectory(camera, "*", entries, &error) != 0 &&
      error != platform::kErrorFileNotFound) {
    LogWindow::Print("Cannot list %.200s (error %d)", camera, error);
    return -1;
  }
  // Two date folders may name one day ("2004-3-15", "2004-03-15"): their
  // minutes are merged by time, each folder's order kept.
  std::vector<std::pair<WallTime, std::string>> keyed;
  std::vector<std::string> minutes;
  for (const platform::DirEntry& e : entries) {
    WallTime day = 0;
    if (!e.isDirectory || !DateFolderDay(e.name.c_str(), &day)) continue;
    if (day + kHundredthsPerDay <= from || day >= to) continue;
    const std::string date = std::string(camera) + platform::kPathSeparator + e.name;
    if (ListMinuteFolders(date.c_str(), minutes) != 0) continue;
    for (std::string& m : minutes) {
      WallTime start = 0;
      if (MinuteFolderStart(m.c_str(), &start) && start + kHundredthsPerMinute > from &&
          start < to)
        keyed.emplace_back(start, std::move(m));
    }
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& k : keyed) out.push_back(std::move(k.second));
  return 0;
}

CoverageScan::CoverageScan(std::vector<std::string> minuteFolders, CoverageLevel level)
    : folders_(std::move(minuteFolders)), level_(level) {}

bool CoverageScan::Step(int folders) {
  for (; folders > 0 && !done(); --folders) {
    const std::string& folder = folders_[next_++];
    WallTime minute = 0;
    if (!MinuteFolderStart(folder.c_str(), &minute)) {
      LogWindow::Print("coverage skips %.200s: not a minute folder", folder.c_str());
      continue;
    }
    if (list_.Load(folder.c_str(), nullptr) != 0) continue;  // no frames, or unreadable
    const int count = list_.count();
    if (level_ == CoverageLevel::kMinute) {
      Add(FrameTime(minute, list_.TimeCodeAt(0)), FrameTime(minute, list_.TimeCodeAt(count - 1)),
          count);
    } else {
      for (int i = 0; i < count; ++i) {
        const WallTime t = FrameTime(minute, list_.TimeCodeAt(i));
        Add(t, t, 1);
      }
    }
  }
  return !done();
}

void CoverageScan::Add(WallTime first, WallTime last, int frames) {
  // Names of mixed schemes may sort out of time order; such a frame joins
  // the span it falls back into rather than opening one behind it.
  if (!spans_.empty() && first - spans_.back().end <= kSpanGap) {
    CoverageSpan& span = spans_.back();
    span.end = std::max(span.end, last);
    span.frames += frames;
  } else {
    spans_.push_back({first, last, frames});
  }
}

int ReadCoverage(const char* folder, CoverageLevel level, std::vector<CoverageSpan>& out) {
  out.clear();
  std::vector<std::string> minutes;
  if (ListMinuteFolders(folder, minutes) != 0) return -1;
  CoverageScan scan(std::move(minutes), level);
  while (scan.Step(60)) {
  }
  out = scan.spans();
  return 0;
}
