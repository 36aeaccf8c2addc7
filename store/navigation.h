// Finding the neighbouring recorded minute of the same date folder.
#pragma once

// The smallest number above `after` that names a sub-folder of `folder`
// (no trailing separator), or -1.
int FindNextNumber(const char* folder, int after);
// The largest number below `before` that names a sub-folder, or -1.
int FindPreviousNumber(const char* folder, int before);

// Rewrite a minute folder path (…/YYYY-MM-DD/HH/MM, no trailing separator,
// in a buffer of platform::kMaxPath bytes) to the next or previous recorded
// minute of the same date. 0 when found; -1 with the path unchanged when the
// date has none, or when the path's last two components are not two-digit
// names.
int FindNextMinute(char* folder);
int FindPreviousMinute(char* folder);
