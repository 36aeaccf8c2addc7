// Folder levels of a backup, frame-name schemes, time codes and sort keys,
// and the one rule for path lengths that the whole program follows.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// Frame names of the three schemes have 8 or 9 characters; a name entry holds
// at most 11 characters and its terminator.
constexpr int kFrameNameSize = 12;

// A path holds at most this many characters (what the ANSI calls take).
constexpr std::size_t kLongestPath = platform::kMaxPath - 1;
// The longest frame name a scheme allows, ".jpg" included.
constexpr std::size_t kLongestFrameName = 9;
// The longest minute folder path (no trailing separator) that can be opened:
// "<folder><sep><name>" fits for every name a scheme allows. The tree does
// not list a longer minute, the frame list does not load it and Save As
// does not take it.
constexpr std::size_t kMaxMinuteFolderLength = kLongestPath - 1 - kLongestFrameName;
// Files written whole go through "<path>.part" beside them, replaced at the
// end: their own path must leave room for the suffix.
constexpr char kPartSuffix[] = ".part";
constexpr std::size_t kMaxWrittenPathLength = kLongestPath - (sizeof kPartSuffix - 1);

// Whether a folder name is accepted at a level: 1 backup root, 2 camera,
// 3 date (YYYY-MM-DD), 4 hour (00-23), 5 minute (00-59).
bool IsValidLevelName(const char* name, int level);

// The leading decimal number of a text as a C integer conversion reads it
// (blanks, optional sign, digits; 0 when there are none), clamped to the int
// range instead of overflowing.
int LeadingNumber(const char* text);

// Whether a name makes its folder a millisecond-names folder: longer than 8
// characters and no '-' as third character.
bool IsMillisecondName(const char* name);

// A frame's time within its minute in hundredths of a second, read from its
// name; `millisecondNames` is the folder's flag.
int TimeCode(const char* name, bool millisecondNames);

// The sort key of a frame name into `key` (at least kFrameNameSize + 1 bytes):
// the name itself, or for a name of exactly 8 characters the name with "0"
// put in after its first two characters (4307.jpg sorts as 43007.jpg).
void SortKey(const char* name, char* key, std::size_t keySize);

// Compares two names by their sort keys (<0, 0, >0).
int CompareFrameNames(const char* a, const char* b);

// The camera name that titles a camera's video windows and names its saved
// pictures: the backup root's last folder name, " - ", the camera folder's
// name ("bk - CamA"), however the root was written (full path or not, with
// or without a final separator). A drive root keeps its drive text
// ("D:\ - CamA"). False when the name had to be cut to fit `size`; always
// terminated.
bool CameraName(const char* root, const char* camera, char* out, std::size_t size);
