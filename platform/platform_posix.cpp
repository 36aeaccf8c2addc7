#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {

int ListDirectory(const char* folder, const char* pattern,
                  std::vector<DirEntry>& out, int* error, bool details) {
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
    if (details) {
      // Relative to the open folder: no path walk per file.
      struct stat st;
      if (fstatat(dirfd(dir), e->d_name, &st, 0) == 0) {
        entry.isDirectory = S_ISDIR(st.st_mode);
        entry.size = static_cast<std::uint64_t>(st.st_size);
        entry.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 +
                         st.st_mtim.tv_nsec;
      }
    } else if (e->d_type == DT_DIR) {
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

bool WriteTime(const char* path, std::int64_t* modified) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  *modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool MakeDirectories(const char* path, int* error) {
  std::string p(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  // Parents first; each may exist already or be made by another thread.
  for (std::size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && p[i] != '/') continue;
    const std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = errno;
      return false;
    }
  }
  if (!IsDirectory(p.c_str())) {
    *error = ENOTDIR;
    return false;
  }
  return true;
}

bool WriteWholeFile(const char* path, const void* data, std::size_t size, int* error) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? errno : EIO;
      close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

bool MoveReplacing(const char* from, const char* to, int* error) {
  if (rename(from, to) == 0) return true;
  *error = errno;
  return false;
}

bool RemoveFile(const char* path) { return unlink(path) == 0; }

std::string FullPath(const char* path) {
  std::string whole;
  if (path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) whole = cwd;
  }
  whole += '/';
  whole += path;
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i < whole.size()) {
    std::size_t j = whole.find('/', i);
    if (j == std::string::npos) j = whole.size();
    const std::string part = whole.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += '/' + part;
  return out.empty() ? "/" : out;
}

std::string UserCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;  // relative ones are to be ignored
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != 0) return std::string(home) + "/.cache";
  return std::string();
}

bool LowerThreadPriority() {
#ifdef __linux__
  // Linux keeps a niceness per thread: the thread's id names it alone.
  return setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19) == 0;
#else
  return false;  // a process-wide niceness would slow playback down as well
#endif
}

void DebugOutput(const char* text) {
  std::fputs(text, stderr);
  const std::size_t n = std::char_traits<char>::length(text);
  if (n == 0 || text[n - 1] != '\n') std::fputc('\n', stderr);
}

}  // namespace platform
