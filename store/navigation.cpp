#include "store/navigation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/log.h"
#include "store/layout.h"

namespace {

constexpr std::size_t kMaxPathLength = platform::kMaxPath - 1;

enum class Direction { kNext, kPrevious };

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Sub-folder names accepted at a level: any name of one or two characters
// (kAnyLevel), or the hours and minutes the tree shows.
constexpr int kAnyLevel = 0;
constexpr int kHourLevel = 4;
constexpr int kMinuteLevel = 5;

// The nearest number beyond `from` (above for kNext, below for kPrevious)
// that names a sub-folder accepted at `level`; -1 if there is none.
int FindNumber(const char* folder, int from, Direction direction, int level) {
  const char* trace = direction == Direction::kNext
                          ? "Can't Find File(next_min), errno: %d"
                          : "Can't Find File(prev find1), errno: %d";
  if (folder == nullptr || std::strlen(folder) + 3 > kMaxPathLength) {
    LogWindow::Print(trace, platform::kErrorNameTooLong);
    return -1;
  }
  std::vector<platform::DirEntry> entries;
  int error = 0;
  if (platform::ListDirectory(folder, "??", entries, &error) != 0) {
    LogWindow::Print(trace, error);
    return -1;
  }
  int result = -1;
  for (const platform::DirEntry& entry : entries) {
    if (!entry.isDirectory || entry.name == "." || entry.name == "..") continue;
    if (level != kAnyLevel && !IsValidLevelName(entry.name.c_str(), level)) continue;
    const int value = LeadingNumber(entry.name.c_str());
    if (direction == Direction::kNext) {
      if (value > from && (result == -1 || value < result)) result = value;
    } else {
      if (value < from && value > result) result = value;
    }
  }
  return result;
}

// The first minute in `direction` beyond `from` naming a sub-folder of
// `parent`/`child`, or -1.
int FindMinuteIn(const std::string& parent, const char* child, int from,
                 Direction direction) {
  char folder[platform::kMaxPath];
  const int written = std::snprintf(folder, sizeof folder, "%s%c%s", parent.c_str(),
                                    platform::kPathSeparator, child);
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof folder) return -1;
  return FindNumber(folder, from, direction, kMinuteLevel);
}

// The date folders of a camera folder after (kNext) or before (kPrevious)
// `date`, nearest first. Other names are not dates and are left alone.
std::vector<std::string> DatesBeyond(const std::string& camera, const char* date,
                                     Direction direction) {
  std::vector<platform::DirEntry> entries;
  int error = 0;
  std::vector<std::string> dates;
  if (platform::ListDirectory(camera.c_str(), "*", entries, &error) != 0) {
    LogWindow::Print("Can't Find File(next_date), errno: %d", error);
    return dates;
  }
  for (const platform::DirEntry& entry : entries) {
    if (!entry.isDirectory || !IsValidLevelName(entry.name.c_str(), 3)) continue;
    const int order = platform::CompareNtfsOrder(entry.name.c_str(), date);
    if (direction == Direction::kNext ? order > 0 : order < 0) dates.push_back(entry.name);
  }
  // Listings come in NTFS order: the nearest previous date is the last.
  if (direction == Direction::kPrevious) std::reverse(dates.begin(), dates.end());
  return dates;
}

// Writes "<parent><sep>HH<sep>MM" into `folder` (kMaxPath bytes) when it fits.
bool WriteMinuteFolder(char* folder, const std::string& parent, int hour, int minute) {
  char result[platform::kMaxPath];
  const char sep = platform::kPathSeparator;
  const int written = std::snprintf(result, sizeof result, "%s%c%02d%c%02d",
                                    parent.c_str(), sep, hour, sep, minute);
  if (written < 0 || static_cast<std::size_t>(written) > kMaxPathLength) return false;
  std::memcpy(folder, result, static_cast<std::size_t>(written) + 1);
  return true;
}

// The first minute in `direction` of the hours of `date` beyond `hour`
// (-1 / 100 for all of them): writes it into `folder`. Empty hours are
// passed over.
bool FindMinuteFromHour(char* folder, const std::string& date, int hour,
                        Direction direction) {
  const int firstMinute = direction == Direction::kNext ? -1 : 60;
  for (int h = FindNumber(date.c_str(), hour, direction, kHourLevel); h >= 0;
       h = FindNumber(date.c_str(), h, direction, kHourLevel)) {
    char name[4];
    std::snprintf(name, sizeof name, "%02d", h);
    const int m = FindMinuteIn(date, name, firstMinute, direction);
    if (m >= 0) return WriteMinuteFolder(folder, date, h, m);
  }
  return false;
}

// Moves a minute folder path …/camera/date/HH/MM to the neighbouring minute
// folder of its camera that the tree shows (hours 00-23, minutes 00-59): first within its hour, then in the nearest hour of
// its date that holds minutes, then in the nearest date that does, so that
// a night's recording goes on through midnight. The path is rewritten only
// when a minute is found.
int FindMinute(char* folder, Direction direction) {
  if (folder == nullptr) return -1;
  const std::size_t length = std::strlen(folder);
  // The hour and minute are read from fixed places at the end of the path,
  // so both must be two-digit components.
  if (length < 7 || length > kMaxPathLength || !platform::IsPathSeparator(folder[length - 6]) ||
      !platform::IsPathSeparator(folder[length - 3]) || !IsDigit(folder[length - 5]) ||
      !IsDigit(folder[length - 4]) || !IsDigit(folder[length - 2]) ||
      !IsDigit(folder[length - 1])) {
    LogWindow::Print("not a minute folder path (..%cHH%cMM): %.200s",
                     platform::kPathSeparator, platform::kPathSeparator,
                     folder);
    return -1;
  }
  const int hour = (folder[length - 5] - '0') * 10 + (folder[length - 4] - '0');
  const int minute = (folder[length - 2] - '0') * 10 + (folder[length - 1] - '0');

  const std::string hourFolder(folder, length - 3);
  const int m = FindNumber(hourFolder.c_str(), minute, direction, kMinuteLevel);
  if (m >= 0) return WriteMinuteFolder(folder, std::string(folder, length - 6), hour, m) ? 0 : -1;

  const std::string dateFolder(folder, length - 6);
  if (FindMinuteFromHour(folder, dateFolder, hour, direction)) return 0;

  // On to the neighbouring dates of the camera, when the path names one.
  std::size_t cut = dateFolder.size();
  while (cut > 0 && !platform::IsPathSeparator(dateFolder[cut - 1])) --cut;
  const std::string dateName = dateFolder.substr(cut);
  if (cut < 2 || !IsValidLevelName(dateName.c_str(), 3)) return -1;
  const std::string camera = dateFolder.substr(0, cut - 1);
  const int allHours = direction == Direction::kNext ? -1 : 100;
  for (const std::string& date : DatesBeyond(camera, dateName.c_str(), direction)) {
    const std::string next = camera + platform::kPathSeparator + date;
    if (next.size() + 6 <= kMaxPathLength &&
        FindMinuteFromHour(folder, next, allHours, direction)) {
      return 0;
    }
  }
  return -1;
}

}  // namespace

int FindNextNumber(const char* folder, int after) {
  return FindNumber(folder, after, Direction::kNext, kAnyLevel);
}

int FindPreviousNumber(const char* folder, int before) {
  return FindNumber(folder, before, Direction::kPrevious, kAnyLevel);
}

int FindNextMinute(char* folder) { return FindMinute(folder, Direction::kNext); }

int FindPreviousMinute(char* folder) {
  return FindMinute(folder, Direction::kPrevious);
}
