#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

int ListDirectory(const char* folder, const char* pattern,
                  std::vector<DirEntry>& out, int* error) {
  out.clear();
  BeforeAccess(folder);
  // The pattern is matched here rather than by FindFirstFileA: Windows also
  // matches 8.3 short names ("*.jpg" finds "a.jpeg") and Wine lets no '?'
  // match nothing ("??" misses "5"), so listing all and matching ourselves
  // gives the same answer on Windows, under Wine and natively.
  std::string what(folder);
  what += kPathSeparator;
  what += '*';
  if (what.size() >= kMaxPath) {
    if (error) *error = kErrorNameTooLong;
    return -1;
  }
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(what.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    if (error) *error = static_cast<int>(GetLastError());
    return -1;
  }
  do {
    if (!MatchWildcard(pattern, data.cFileName)) continue;
    DirEntry entry;
    entry.name = data.cFileName;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.push_back(std::move(entry));
  } while (FindNextFileA(h, &data));
  FindClose(h);
  if (out.empty()) {
    if (error) *error = kErrorFileNotFound;
    return -1;
  }
  // NTFS lists in this order already; Wine over other file systems does not.
  std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) {
    return CompareNtfsOrder(a.name.c_str(), b.name.c_str()) < 0;
  });
  return 0;
}

ReadResult ReadWholeFile(const char* path, std::vector<std::uint8_t>& buffer,
                         std::size_t zeroPadding, std::size_t maxSize,
                         std::size_t* size, int* error) {
  BeforeAccess(path);
  *size = 0;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(GetLastError());
    return ReadResult::OpenFailed;
  }
  LARGE_INTEGER li;
  if (!GetFileSizeEx(h, &li)) {
    *error = static_cast<int>(GetLastError());
    CloseHandle(h);
    return ReadResult::ReadFailed;
  }
  if (static_cast<unsigned long long>(li.QuadPart) > maxSize) {
    *error = ERROR_FILE_TOO_LARGE;
    CloseHandle(h);
    return ReadResult::TooLarge;
  }
  const auto length = static_cast<std::size_t>(li.QuadPart);
  if (buffer.size() < length + zeroPadding) buffer.resize(length + zeroPadding);
  DWORD got = 0;
  if (length > 0 &&
      !ReadFile(h, buffer.data(), static_cast<DWORD>(length), &got, nullptr)) {
    *error = static_cast<int>(GetLastError());
    CloseHandle(h);
    return ReadResult::ReadFailed;
  }
  CloseHandle(h);
  std::fill(buffer.begin() + got, buffer.begin() + got + zeroPadding, 0);
  *size = got;
  return ReadResult::Ok;
}

bool IsDirectory(const char* path) {
  const DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void DebugOutput(const char* text) { OutputDebugStringA(text); }

// The fields stand for the system's types, which hold one pointer each.
static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*),
              "slim lock and condition variable are one pointer");

void HandOffMutex::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&lock_)); }

void HandOffMutex::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&lock_)); }

void HandOffCondition::wait(std::unique_lock<HandOffMutex>& lock) {
  SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&condition_),
                            reinterpret_cast<PSRWLOCK>(&lock.mutex()->lock_), INFINITE, 0);
}

void HandOffCondition::notify_one() {
  WakeConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&condition_));
}

void HandOffCondition::notify_all() {
  WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&condition_));
}

}  // namespace platform
