#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace platform {

int ListDirectory(const char* folder, const char* pattern,
                  std::vector<DirEntry>& out, int* error) {
  out.clear();
  BeforeAccess(folder);
  DIR* dir = opendir(folder);
  if (!dir) {
    if (error) *error = errno;
    return -1;
  }
  std::string path(folder);
  const std::size_t base = path.size() + 1;
  path += kPathSeparator;
  while (dirent* e = readdir(dir)) {
    if (!MatchWildcard(pattern, e->d_name)) continue;
    DirEntry entry;
    entry.name = e->d_name;
    if (e->d_type == DT_DIR) {
      entry.isDirectory = true;
    } else if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      path.resize(base);
      path += e->d_name;
      struct stat st;
      entry.isDirectory = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back(std::move(entry));
  }
  closedir(dir);
  if (out.empty()) {
    if (error) *error = kErrorFileNotFound;
    return -1;
  }
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
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return ReadResult::OpenFailed;
  }
  struct stat st;
  const int statError = fstat(fd, &st) != 0 ? errno : 0;
  if (statError != 0 || !S_ISREG(st.st_mode)) {
    *error = statError != 0 ? statError : EISDIR;
    close(fd);
    return ReadResult::ReadFailed;
  }
  const auto length = static_cast<std::size_t>(st.st_size);
  if (length > maxSize) {
    *error = EFBIG;
    close(fd);
    return ReadResult::TooLarge;
  }
  if (buffer.size() < length + zeroPadding) buffer.resize(length + zeroPadding);
  std::size_t got = 0;
  // One read for a regular file; the loop only covers a short read.
  while (got < length) {
    const ssize_t n = read(fd, buffer.data() + got, length - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      close(fd);
      return ReadResult::ReadFailed;
    }
    if (n == 0) break;  // file shrank while reading
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got),
            buffer.begin() + static_cast<std::ptrdiff_t>(got + zeroPadding), 0);
  *size = got;
  return ReadResult::Ok;
}

bool IsDirectory(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

void DebugOutput(const char* text) {
  std::fputs(text, stderr);
  const std::size_t n = std::char_traits<char>::length(text);
  if (n == 0 || text[n - 1] != '\n') std::fputc('\n', stderr);
}

}  // namespace platform
