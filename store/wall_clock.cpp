#include "store/wall_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/log.h"
#include "platform/platform.h"
#include "store/layout.h"

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil), valid for every year the date rule accepts.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = static_cast<int>(y - era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = static_cast<int>(z - era * 146097);
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp + (mp < 10 ? 3 : -9);
  *y = static_cast<int>(yoe + era * 400) + (*m <= 2);
}

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : days[m - 1];
}

// Reads exactly `width` digits.
bool Digits(const char*& p, int width, int* value) {
  int v = 0;
  for (int i = 0; i < width; ++i, ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
  }
  *value = v;
  return true;
}

// The last `count` components of a path (a trailing separator is dropped).
std::vector<std::string> LastComponents(const char* path, int count) {
  std::vector<std::string> parts;
  std::size_t end = std::strlen(path);
  while (end > 0 && platform::IsPathSeparator(path[end - 1])) --end;
  while (static_cast<int>(parts.size()) < count && end > 0) {
    std::size_t start = end;
    while (start > 0 && !platform::IsPathSeparator(path[start - 1])) --start;
    parts.insert(parts.begin(), std::string(path + start, end - start));
    end = start;
    while (end > 0 && platform::IsPathSeparator(path[end - 1])) --end;
  }
  return parts;
}

// Sub-folders of `folder` accepted at `level`, in time order with their
// keys: dates by day (midnight), hours and minutes by number.
std::vector<std::pair<WallTime, std::string>> KeyedChildren(const std::string& folder, int level,
                                                            bool* listed) {
  std::vector<platform::DirEntry> entries;
  std::vector<std::pair<WallTime, std::string>> keyed;
  int error = 0;
  *listed = platform::ListDirectory(folder.c_str(), "*", entries, &error) == 0 ||
            error == platform::kErrorFileNotFound;
  if (!*listed) LogWindow::Print("Cannot list %.200s (error %d); passed over", folder.c_str(), error);
  for (const platform::DirEntry& e : entries) {
    if (!e.isDirectory || e.name.empty() || e.name[0] == '.') continue;
    if (!IsValidLevelName(e.name.c_str(), level)) continue;
    WallTime key = 0;
    if (level == 3) {
      if (!DateFolderDay(e.name.c_str(), &key)) continue;
    } else {
      key = LeadingNumber(e.name.c_str());
    }
    keyed.emplace_back(key, e.name);
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return keyed;
}

std::vector<std::string> Children(const std::string& folder, int level, bool* listed) {
  std::vector<std::string> names;
  for (auto& k : KeyedChildren(folder, level, listed)) names.push_back(std::move(k.second));
  return names;
}

void Expand(const std::string& folder, int level, std::vector<std::string>& out) {
  if (level == 5) {
    out.push_back(folder);
    return;
  }
  bool listed = false;
  for (const std::string& name : Children(folder, level + 1, &listed))
    Expand(folder + platform::kPathSeparator + name, level + 1, out);
}

}  // namespace

WallTime MakeWallTime(const CivilTime& c) {
  return DaysFromCivil(c.year, c.month, c.day) * kHundredthsPerDay +
         c.hour * kHundredthsPerHour + c.minute * kHundredthsPerMinute +
         c.second * kHundredthsPerSecond + c.hundredths;
}

CivilTime SplitWallTime(WallTime t) {
  CivilTime c{};
  std::int64_t days = t / kHundredthsPerDay;
  WallTime rest = t % kHundredthsPerDay;
  if (rest < 0) {
    rest += kHundredthsPerDay;
    --days;
  }
  CivilFromDays(days, &c.year, &c.month, &c.day);
  c.hour = static_cast<int>(rest / kHundredthsPerHour);
  c.minute = static_cast<int>(rest / kHundredthsPerMinute % 60);
  c.second = static_cast<int>(rest / kHundredthsPerSecond % 60);
  c.hundredths = static_cast<int>(rest % kHundredthsPerSecond);
  return c;
}

bool ParseWallTime(const char* text, WallTime* out) {
  if (text == nullptr) return false;
  CivilTime c{};
  const char* p = text;
  if (!Digits(p, 4, &c.year) || *p++ != '-' || !Digits(p, 2, &c.month) || *p++ != '-' ||
      !Digits(p, 2, &c.day) || (*p != 'T' && *p != ' '))
    return false;
  ++p;
  if (!Digits(p, 2, &c.hour) || *p++ != ':' || !Digits(p, 2, &c.minute) || *p++ != ':' ||
      !Digits(p, 2, &c.second))
    return false;
  if (*p == '.') {
    ++p;
    int first = 0, second = 0;
    if (!Digits(p, 1, &first)) return false;
    if (*p >= '0' && *p <= '9') Digits(p, 1, &second);
    c.hundredths = first * 10 + second;
  }
  if (*p != '\0' || c.year < 1 || c.month < 1 || c.month > 12 || c.day < 1 ||
      c.day > DaysInMonth(c.year, c.month) || c.hour > 23 || c.minute > 59 || c.second > 59)
    return false;
  *out = MakeWallTime(c);
  return true;
}

void FormatWallTime(WallTime time, char* out, std::size_t size, char separator) {
  if (size == 0) return;
  const CivilTime c = SplitWallTime(time);
  std::snprintf(out, size, "%04d-%02d-%02d%c%02d:%02d:%02d.%02d", c.year, c.month, c.day,
                separator, c.hour, c.minute, c.second, c.hundredths);
}

bool DateFolderDay(const char* name, WallTime* out) {
  if (!IsValidLevelName(name, 3)) return false;
  // The tree's rule takes "%4d-%02d-%02d" loosely; the day itself must exist.
  int y = 0, m = 0, d = 0;
  if (std::sscanf(name, "%4d-%2d-%2d", &y, &m, &d) != 3 || d > DaysInMonth(y, m)) return false;
  *out = DaysFromCivil(y, m, d) * kHundredthsPerDay;
  return true;
}

int BackupLevelOf(const char* folder) {
  const std::vector<std::string> p = LastComponents(folder, 3);
  const std::size_t n = p.size();
  WallTime day = 0;
  if (n == 3 && DateFolderDay(p[0].c_str(), &day) && IsValidLevelName(p[1].c_str(), 4) &&
      IsValidLevelName(p[2].c_str(), 5))
    return 5;
  if (n >= 2 && DateFolderDay(p[n - 2].c_str(), &day) && IsValidLevelName(p[n - 1].c_str(), 4))
    return 4;
  if (n >= 1 && DateFolderDay(p[n - 1].c_str(), &day)) return 3;
  return 2;
}

bool MinuteFolderStart(const char* folder, WallTime* out) {
  if (BackupLevelOf(folder) != 5) return false;
  const std::vector<std::string> p = LastComponents(folder, 3);
  WallTime day = 0;
  DateFolderDay(p[0].c_str(), &day);
  *out = day + LeadingNumber(p[1].c_str()) * kHundredthsPerHour +
         LeadingNumber(p[2].c_str()) * kHundredthsPerMinute;
  return true;
}

int ListMinuteFolders(const char* folder, std::vector<std::string>& out) {
  out.clear();
  std::string top(folder);
  while (top.size() > 1 && platform::IsPathSeparator(top.back())) top.pop_back();
  if (!platform::IsDirectory(top.c_str())) {
    LogWindow::Print("Not a folder: %.200s", top.c_str());
    return -1;
  }
  Expand(top, BackupLevelOf(top.c_str()), out);
  return 0;
}

bool FindMinuteFolder(const char* camera, WallTime moment, MinuteSeek seek, std::string* out,
                      WallTime* start) {
  const WallTime target = moment - ((moment % kHundredthsPerMinute) + kHundredthsPerMinute) %
                                       kHundredthsPerMinute;
  const bool before = seek == MinuteSeek::AtOrBefore;
  // Whether a folder spanning [from, from + length) may hold the minute sought.
  auto mayHold = [&](WallTime from, WallTime length) {
    switch (seek) {
      case MinuteSeek::Exact: return from <= target && target < from + length;
      case MinuteSeek::AtOrAfter: return target < from + length;
      case MinuteSeek::AtOrBefore: return from <= target;
    }
    return false;
  };
  bool listed = false;
  auto dates = KeyedChildren(camera, 3, &listed);
  if (before) std::reverse(dates.begin(), dates.end());
  for (const auto& date : dates) {
    if (!mayHold(date.first, kHundredthsPerDay)) continue;
    const std::string dateFolder = std::string(camera) + platform::kPathSeparator + date.second;
    auto hours = KeyedChildren(dateFolder, 4, &listed);
    if (before) std::reverse(hours.begin(), hours.end());
    for (const auto& hour : hours) {
      const WallTime hourStart = date.first + hour.first * kHundredthsPerHour;
      if (!mayHold(hourStart, kHundredthsPerHour)) continue;
      const std::string hourFolder = dateFolder + platform::kPathSeparator + hour.second;
      auto minutes = KeyedChildren(hourFolder, 5, &listed);
      if (before) std::reverse(minutes.begin(), minutes.end());
      for (const auto& minute : minutes) {
        const WallTime minuteStart = hourStart + minute.first * kHundredthsPerMinute;
        if (!mayHold(minuteStart, kHundredthsPerMinute)) continue;
        if (out != nullptr) *out = hourFolder + platform::kPathSeparator + minute.second;
        if (start != nullptr) *start = minuteStart;
        return true;
      }
    }
  }
  return false;
}
