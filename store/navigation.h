// Finding the neighbouring minute folder of a camera.
#pragma once

// The smallest number above `after` that names a sub-folder of `folder`
// (no trailing separator), or -1.
int FindNextNumber(const char* folder, int after);
// The largest number below `before` that names a sub-folder, or -1.
int FindPreviousNumber(const char* folder, int before);

// Rewrite a minute folder path (…/camera/YYYY-MM-DD/HH/MM, no trailing
// separator, in a buffer of platform::kMaxPath bytes) to the next or previous
// minute folder of the camera, of those the tree shows: within the hour, else in the nearest hour of
// the date holding a minute folder, else in the nearest date folder that
// does. 0 when found; -1 with the path unchanged when there is none, or when
// the path's last two components are not two-digit names. A minute folder
// found may hold no frames: callers that play pass it over.
int FindNextMinute(char* folder);
int FindPreviousMinute(char* folder);
