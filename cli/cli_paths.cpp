#include "cli/cli_paths.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/platform.h"
#include "store/layout.h"
#include "store/wall_clock.h"

namespace cli {

std::string StripTrailingSeparators(const std::string& path) {
  std::string out = path;
  while (out.size() > 1 && platform::IsPathSeparator(out.back())) {
    // "C:\" is the root of a drive; "C:" alone would mean its current folder.
    if (out.size() == 3 && out[1] == ':') break;
    out.pop_back();
  }
  return out;
}

std::string JoinPath(const std::string& parent, const std::string& name) {
  if (!parent.empty() && platform::IsPathSeparator(parent.back())) return parent + name;
  return parent + platform::kPathSeparator + name;
}

std::string ErrorText(int error) {
#ifdef _WIN32
  switch (error) {
    case 2: return "no such file or folder";
    case 3: return "path not found";
    case 5: return "access denied";
    case 21: return "device not ready";
    case 123: return "invalid name";
    case 206: return "name too long";
    case 267: return "not a folder";
    default: break;
  }
  return "error " + std::to_string(error);
#else
  return std::strerror(error);
#endif
}

bool CheckFolder(const char* command, const std::string& path,
                 std::size_t maxLength, std::FILE* err) {
  auto fail = [&](const std::string& cause) {
    std::fprintf(err, "orvanel-cli: %s: '%s': %s\n", command, path.c_str(),
                 cause.c_str());
    return false;
  };
  if (path.empty()) return fail("empty path");
  if (path.size() > maxLength)
    return fail("path longer than " + std::to_string(maxLength) + " characters");
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found)
    return fail("no such folder");
  if (ec) return fail(ec.message());
  if (status.type() != std::filesystem::file_type::directory)
    return fail("not a folder");
  std::vector<platform::DirEntry> entries;
  int error = 0;
  // An empty drive root lists nothing at all; that is not a failure.
  if (platform::ListDirectory(path.c_str(), "*", entries, &error) != 0 &&
      error != platform::kErrorFileNotFound)
    return fail("cannot be listed: " + ErrorText(error));
  return true;
}

namespace {

bool HoldsDateFolder(const std::string& folder) {
  std::vector<platform::DirEntry> entries;
  int error = 0;
  platform::ListDirectory(folder.c_str(), "*", entries, &error);
  WallTime day = 0;
  for (const platform::DirEntry& e : entries)
    if (e.isDirectory && DateFolderDay(e.name.c_str(), &day)) return true;
  return false;
}

}  // namespace

bool LooksLikeBackupRoot(const std::string& folder) {
  if (HoldsDateFolder(folder)) return false;
  std::vector<platform::DirEntry> entries;
  int error = 0;
  platform::ListDirectory(folder.c_str(), "*", entries, &error);
  for (const platform::DirEntry& e : entries)
    if (e.isDirectory && IsValidLevelName(e.name.c_str(), 2) &&
        HoldsDateFolder(cli::JoinPath(folder, e.name)))
      return true;
  return false;
}

}  // namespace cli
