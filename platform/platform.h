// The core's only door to the operating system: directory listings with a
// wildcard, whole-file reads, the path separator and a debug channel.
// Everything else in the core is plain C++17.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#ifndef _WIN32
#include <condition_variable>
#endif

namespace platform {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// Windows takes '/' as well as '\\' in paths; a path typed with either works.
constexpr bool IsPathSeparator(char c) { return c == kPathSeparator || c == '/'; }

// Paths and names live in 260-byte buffers: at most 259 characters.
constexpr std::size_t kMaxPath = 260;

// Error codes reported when a listing finds nothing or a path is missing
// (the Win32 values; errno's ENOENT happens to be 2 as well).
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorNameTooLong = 206;

struct DirEntry {
  std::string name;
  bool isDirectory = false;
  // Filled when the listing is asked for details (always on Windows, where
  // the listing has them anyway): the size in bytes and the last write time
  // in the system's own units, only ever compared with each other.
  std::uint64_t size = 0;
  std::int64_t modified = 0;
};

// Lists the entries of `folder` whose names match `pattern` (wildcards * and ?,
// matched without regard to case, as Windows matches; a trailing ? may match
// nothing, so "??" takes names of one or two characters). "." and ".." are
// listed when they match, as FindFirstFileA lists them.
//
// Entries come in NTFS order (case-insensitive ordinal) on every platform, so
// that trees and exports run in time order whatever the file system.
//
// Returns 0, or -1 with *error set when the listing cannot be started: a
// missing folder, or nothing matching (kErrorFileNotFound, as on Windows).
// `out` is cleared first; its capacity is kept, so a reused vector does not
// allocate again for short names. `details`: fill size and modified (POSIX
// asks the file system once per file for them; Windows has them anyway).
int ListDirectory(const char* folder, const char* pattern,
                  std::vector<DirEntry>& out, int* error, bool details = false);

// Whether `name` matches `pattern` by the rules above.
bool MatchWildcard(const char* pattern, const char* name);

// NTFS order: byte-wise comparison after folding a-z to upper case.
int CompareNtfsOrder(const char* a, const char* b);

enum class ReadResult { Ok, OpenFailed, ReadFailed, TooLarge };

// Reads a whole file with one read call, opened read-only. The buffer grows to
// hold the file plus `zeroPadding` zero bytes after it (decoders read a little
// past the end) and is never shrunk, so a reused buffer grows once. Files over
// `maxSize` bytes are refused with TooLarge. *size gets the bytes read;
// *error the platform's error code on failure.
ReadResult ReadWholeFile(const char* path, std::vector<std::uint8_t>& buffer,
                         std::size_t zeroPadding, std::size_t maxSize,
                         std::size_t* size, int* error);

// Whether a folder exists (used to tell "missing" from "empty").
bool IsDirectory(const char* path);

// The last write time of a file or folder, in the units of
// DirEntry::modified; false when it cannot be had. A folder's changes when
// entries are added to it, removed or renamed, not when a file in it is
// rewritten.
bool WriteTime(const char* path, std::int64_t* modified);

// Writing outside the backup (the program's own cache). Each returns true, or
// false with *error set to the platform's error code.
// Makes `path` and any missing parents.
bool MakeDirectories(const char* path, int* error);
// Creates or truncates `path` and writes `size` bytes into it.
bool WriteWholeFile(const char* path, const void* data, std::size_t size, int* error);
// Renames `from` to `to`, replacing `to` if it exists, in one step: a reader
// sees the old file or the new one, never a part.
bool MoveReplacing(const char* from, const char* to, int* error);
// Deletes a file (a temporary one left by a failed write).
bool RemoveFile(const char* path);

// `path` made absolute against the current folder, with "." and ".." taken
// out and separators made the platform's; symbolic links are not followed.
std::string FullPath(const char* path);

// Where the user's cache files go: %LOCALAPPDATA% on Windows,
// ${XDG_CACHE_HOME:-$HOME/.cache} elsewhere; empty when neither is known.
std::string UserCacheFolder();

// A lock and a condition variable for hand-offs between busy threads, used
// as std::mutex and std::condition_variable are. On Windows they are the
// system's slim lock and condition variable: Wine serves those inside the
// process, while the MinGW runtime's std::mutex and condition variable wait
// and wake through kernel objects, a round trip through the Wine server
// each time.
#ifdef _WIN32
class HandOffMutex {
 public:
  HandOffMutex() = default;
  HandOffMutex(const HandOffMutex&) = delete;
  HandOffMutex& operator=(const HandOffMutex&) = delete;
  void lock();
  void unlock();

 private:
  friend class HandOffCondition;
  void* lock_ = nullptr;  // an SRWLOCK, initialised to zero
};

class HandOffCondition {
 public:
  HandOffCondition() = default;
  HandOffCondition(const HandOffCondition&) = delete;
  HandOffCondition& operator=(const HandOffCondition&) = delete;
  void wait(std::unique_lock<HandOffMutex>& lock);
  template <class Predicate>
  void wait(std::unique_lock<HandOffMutex>& lock, Predicate ready) {
    while (!ready()) wait(lock);
  }
  void notify_one();
  void notify_all();

 private:
  void* condition_ = nullptr;  // a CONDITION_VARIABLE, initialised to zero
};
#else
using HandOffMutex = std::mutex;
using HandOffCondition = std::condition_variable;
#endif

// Debug channel: OutputDebugStringA on Windows, standard error elsewhere.
void DebugOutput(const char* text);

// Puts the calling thread below every ordinary thread of the process, for
// background work that must leave the processor to playback: the lowest
// priority on Windows, the highest niceness elsewhere (Linux sets it per
// thread). False when the system refused (the work then runs as it was).
bool LowerThreadPriority();

// Told before every directory listing and whole-file read, with the folder or
// file, on the thread that makes it. Tests use it to make the disc slow (a
// CD-ROM spinning up) or to act at an exact moment.
class AccessHook {
 public:
  virtual void BeforeAccess(const char* path) = 0;

 protected:
  ~AccessHook() = default;
};

// Installs `hook` (nullptr: none) for all threads. The hook must stay alive
// until it is removed and no listing or read it may see is still running.
void SetAccessHook(AccessHook* hook);

// Calls the installed hook, if any (for the listing and reading code).
void BeforeAccess(const char* path);

}  // namespace platform
