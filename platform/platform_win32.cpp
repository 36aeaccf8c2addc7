#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "platform/platform.h"

namespace platform {

int ListDirectory(const char* folder, const char* pattern,
                  std::vector<DirEntry>& out, int* error, bool /*details: always there*/) {
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
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.modified = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
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

bool WriteTime(const char* path, std::int64_t* modified) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
  *modified = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime);
  return true;
}

bool MakeDirectories(const char* path, int* error) {
  std::string p(path);
  while (p.size() > 3 && IsPathSeparator(p.back())) p.pop_back();
  // Parents first, past a drive ("C:\") or a share ("\\server\share\").
  std::size_t start = 1;
  if (p.size() >= 2 && p[1] == ':') start = 3;
  if (p.size() >= 2 && IsPathSeparator(p[0]) && IsPathSeparator(p[1])) {
    start = p.find_first_of("\\/", 2);
    start = start == std::string::npos ? p.size() : p.find_first_of("\\/", start + 1);
    if (start == std::string::npos) start = p.size();
  }
  for (std::size_t i = start; i <= p.size(); ++i) {
    if (i < p.size() && !IsPathSeparator(p[i])) continue;
    const std::string part = p.substr(0, i);
    if (!CreateDirectoryA(part.c_str(), nullptr)) {
      const DWORD e = GetLastError();
      if (e != ERROR_ALREADY_EXISTS && e != ERROR_ACCESS_DENIED) {
        *error = static_cast<int>(e);
        return false;
      }
    }
  }
  if (!IsDirectory(p.c_str())) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  return true;
}

bool WriteWholeFile(const char* path, const void* data, std::size_t size, int* error) {
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(GetLastError());
    return false;
  }
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD wrote = 0;
    if (!WriteFile(h, bytes + done, chunk, &wrote, nullptr) || wrote == 0) {
      *error = static_cast<int>(GetLastError());
      CloseHandle(h);
      return false;
    }
    done += wrote;
  }
  if (!CloseHandle(h)) {
    *error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

bool MoveReplacing(const char* from, const char* to, int* error) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
  *error = static_cast<int>(GetLastError());
  return false;
}

bool RemoveFile(const char* path) { return DeleteFileA(path) != 0; }

std::string FullPath(const char* path) {
  char out[kMaxPath * 4];
  const DWORD n = GetFullPathNameA(path, sizeof out, out, nullptr);
  if (n == 0 || n >= sizeof out) return path;
  return std::string(out, n);
}

std::string UserCacheFolder() {
  char path[MAX_PATH];
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
    return path;
  const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

void DebugOutput(const char* text) { OutputDebugStringA(text); }

bool LowerThreadPriority() {
  return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE) != 0;
}

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
