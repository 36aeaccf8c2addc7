// Moments of a backup's wall clock and the minute folders that hold them.
// A moment is a count of hundredths of a second since 1970-01-01 00:00 of
// the recorder's own clock: folder names are local time without a zone and
// are taken as they stand (no daylight-saving or zone arithmetic).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using WallTime = std::int64_t;

constexpr WallTime kHundredthsPerSecond = 100;
constexpr WallTime kHundredthsPerMinute = 60 * kHundredthsPerSecond;
constexpr WallTime kHundredthsPerHour = 60 * kHundredthsPerMinute;
constexpr WallTime kHundredthsPerDay = 24 * kHundredthsPerHour;

struct CivilTime {
  int year, month, day, hour, minute, second, hundredths;
};

WallTime MakeWallTime(const CivilTime& civil);
CivilTime SplitWallTime(WallTime time);

// "YYYY-MM-DDTHH:MM:SS" with optional ".C" or ".CC" (a blank may stand for
// the T). False, with *out untouched, for anything else or a field out of
// range (month 1-12, day within its month, hour 0-23, minute and second 0-59).
bool ParseWallTime(const char* text, WallTime* out);
// "YYYY-MM-DDTHH:MM:SS.CC" (`separator` between date and time), always
// terminated and cut to `size`.
void FormatWallTime(WallTime time, char* out, std::size_t size, char separator = 'T');

// The day (midnight) a date folder name stands for; false when the name is
// not a date the tree shows.
bool DateFolderDay(const char* name, WallTime* out);

// What a folder of a backup is, judged by the names at its end (a trailing
// separator is allowed): 5 …/YYYY-MM-DD/HH/MM, 4 …/YYYY-MM-DD/HH,
// 3 …/YYYY-MM-DD, else 2 (a camera folder).
int BackupLevelOf(const char* folder);

// The moment a minute folder (…/YYYY-MM-DD/HH/MM) starts; false when the
// path does not end with such names.
bool MinuteFolderStart(const char* folder, WallTime* out);

// Every minute folder below `folder` (a camera, date, hour or minute folder)
// in time order, without a trailing separator: the levels the tree shows
// (dates, hours 00-23, minutes 00-59; names beginning with "." are hidden).
// Folders that cannot be listed are passed over with a trace text. Returns 0,
// or -1 when `folder` itself cannot be listed.
int ListMinuteFolders(const char* folder, std::vector<std::string>& out);

// Finds a minute folder of a camera folder by the moment it starts, among
// those ListMinuteFolders lists: the one holding `moment` (Exact), or the
// first starting at or after the minute of `moment`, or the last starting at
// or before it. Writes its path and start; false when there is none.
enum class MinuteSeek { Exact, AtOrAfter, AtOrBefore };
bool FindMinuteFolder(const char* camera, WallTime moment, MinuteSeek seek, std::string* out,
                      WallTime* start);
