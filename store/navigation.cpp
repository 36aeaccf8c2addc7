#include "store/navigation.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/log_window.h"
#include "store/layout.h"

namespace {

constexpr std::size_t kMaxPathLength = platform::kMaxPath - 1;

enum class Direction { kNext, kPrevious };

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The nearest number beyond `from` (above for kNext, below for kPrevious)
// that names a sub-folder of one or two characters; -1 if there is none.
int FindNumber(const char* folder, int from, Direction direction) {
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
    const int value = LeadingNumber(entry.name.c_str());
    if (direction == Direction::kNext) {
      if (value > from && (result == -1 || value < result)) result = value;
    } else {
      if (value < from && value > result) result = value;
    }
  }
  return result;
}

// Moves a minute folder path …/YYYY-MM-DD/HH/MM to the neighbouring recorded
// minute of its date: first within its hour, then in the nearest hour that
// holds minutes. The path is rewritten only when a minute is found.
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
  const char sep = platform::kPathSeparator;

  const std::string hourFolder(folder, length - 3);
  int m = FindNumber(hourFolder.c_str(), minute, direction);
  if (m >= 0) {
    std::snprintf(folder, platform::kMaxPath, "%s%c%02d", hourFolder.c_str(),
                  sep, m);
    return 0;
  }

  const std::string dateFolder(folder, length - 6);
  const int h = FindNumber(dateFolder.c_str(), hour, direction);
  if (h < 0) return -1;
  char newHourFolder[platform::kMaxPath];
  // Numbers come from names of at most two characters, so both stay two
  // digits and the path keeps its length.
  std::snprintf(newHourFolder, sizeof newHourFolder, "%s%c%02d",
                dateFolder.c_str(), sep, h);
  m = FindNumber(newHourFolder,
                 direction == Direction::kNext ? -1 : 60, direction);
  if (m < 0) return -1;  // later hours of the date are not looked at
  char result[platform::kMaxPath];
  const int written =
      std::snprintf(result, sizeof result, "%s%c%02d", newHourFolder, sep, m);
  if (written < 0 || static_cast<std::size_t>(written) > kMaxPathLength)
    return -1;
  std::memcpy(folder, result, static_cast<std::size_t>(written) + 1);
  return 0;
}

}  // namespace

int FindNextNumber(const char* folder, int after) {
  return FindNumber(folder, after, Direction::kNext);
}

int FindPreviousNumber(const char* folder, int before) {
  return FindNumber(folder, before, Direction::kPrevious);
}

int FindNextMinute(char* folder) { return FindMinute(folder, Direction::kNext); }

int FindPreviousMinute(char* folder) {
  return FindMinute(folder, Direction::kPrevious);
}
