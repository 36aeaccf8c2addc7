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

// Adds a run of frames, first to last, to spans in time order. Names of mixed
// schemes may sort out of time order; such a run joins the span it falls
// back into rather than opening one behind it.
void AddRun(std::vector<CoverageSpan>& spans, WallTime first, WallTime last, int frames) {
  if (!spans.empty() && first - spans.back().end <= kSpanGap) {
    CoverageSpan& span = spans.back();
    span.end = std::max(span.end, last);
    span.frames += frames;
  } else {
    spans.push_back({first, last, frames});
  }
}

// The sub-folders of `folder` accepted at `level` (3 date, 4 hour; `start`
// is the date's own moment) whose day or hour meets [from, to).
std::vector<std::pair<WallTime, std::string>> FoldersMeeting(const std::string& folder,
                                                             int level, WallTime start,
                                                             WallTime from, WallTime to,
                                                             bool* listed) {
  std::vector<std::pair<WallTime, std::string>> found;
  std::vector<platform::DirEntry> entries;
  int error = 0;
  *listed = platform::ListDirectory(folder.c_str(), "*", entries, &error) == 0 ||
            error == platform::kErrorFileNotFound;
  if (!*listed) LogWindow::Print("Cannot list %.200s (error %d)", folder.c_str(), error);
  const WallTime length = level == 3 ? kHundredthsPerDay : kHundredthsPerHour;
  for (const platform::DirEntry& e : entries) {
    WallTime begin = 0;
    if (!e.isDirectory) continue;
    if (level == 3) {
      if (!DateFolderDay(e.name.c_str(), &begin)) continue;
    } else {
      if (!IsValidLevelName(e.name.c_str(), level)) continue;
      begin = start + LeadingNumber(e.name.c_str()) * kHundredthsPerHour;
    }
    if (begin + length > from && begin < to)
      found.emplace_back(begin, folder + platform::kPathSeparator + e.name);
  }
  return found;
}

}  // namespace

int MinuteFoldersBetween(const char* camera, WallTime from, WallTime to,
                         std::vector<std::string>& out) {
  out.clear();
  // errno's ENOENT equals the "nothing found" code of an empty listing.
  if (!platform::IsDirectory(camera)) {
    LogWindow::Print("Not a folder: %.200s", camera);
    return -1;
  }
  bool listed = false;
  const auto dates = FoldersMeeting(camera, 3, 0, from, to, &listed);
  if (!listed) return -1;
  // Only the hours in range are listed further. Two folders may name one
  // day ("2004-3-15", "2004-03-15") or hour ("7", "07"): their minutes are
  // merged by time, each folder's own order kept.
  std::vector<std::pair<WallTime, std::string>> keyed;
  std::vector<std::string> minutes;
  for (const auto& date : dates)
    for (const auto& hour : FoldersMeeting(date.second, 4, date.first, from, to, &listed)) {
      if (ListMinuteFolders(hour.second.c_str(), minutes) != 0) continue;
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
      AddRun(spans_, FrameTime(minute, list_.TimeCodeAt(0)), FrameTime(minute, list_.TimeCodeAt(count - 1)),
          count);
    } else {
      for (int i = 0; i < count; ++i) {
        const WallTime t = FrameTime(minute, list_.TimeCodeAt(i));
        AddRun(spans_, t, t, 1);
      }
    }
  }
  return !done();
}

std::vector<CoverageSpan> CoverageScan::PendingSpans() const {
  std::vector<CoverageSpan> pending;
  for (std::size_t i = next_; i < folders_.size(); ++i) {
    WallTime minute = 0;
    if (MinuteFolderStart(folders_[i].c_str(), &minute))
      AddRun(pending, minute, minute + kLastTimeCode, 0);
  }
  return pending;
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
