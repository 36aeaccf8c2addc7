#include "export/manifest.h"

#include <cstdio>

#include "export/sha256.h"
#include "platform/platform.h"
#include "platform/version.h"

namespace {

constexpr char kSuffix[] = ".sha256";

std::size_t NameStart(const std::string& path) {
  std::size_t start = path.size();
  while (start > 0 && !platform::IsPathSeparator(path[start - 1])) --start;
  return start;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool WriteManifest(const std::string& file, const ManifestInfo& info) {
  std::string hash;
  if (!Sha256OfFile(file.c_str(), &hash)) return false;
  // sha256sum marks a name holding a backslash or a line feed with a
  // leading backslash and escapes them.
  std::string name = file.substr(NameStart(file)), escaped;
  for (char c : name) escaped += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
  const std::string path = file + kSuffix;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fprintf(out, "%s%s  %s\n", escaped != name ? "\\" : "", hash.c_str(), escaped.c_str());
  std::fprintf(out, "# exported by Orvanel %s\n# time range: %s\n# frames: %d (%d pictures)\n",
               ORVANEL_VERSION, info.timeRange.c_str(), info.frames, info.pictures);
  for (const std::string& folder : info.minuteFolders)
    std::fprintf(out, "# minute folder: %s\n", folder.c_str());
  const bool ok = std::fflush(out) == 0 && !std::ferror(out);
  if (std::fclose(out) != 0 || !ok) {
    std::remove(path.c_str());
    return false;
  }
  return true;
}

VerifyOutcome VerifyManifest(const std::string& path, std::string* message) {
  const std::string manifest = EndsWith(path, kSuffix) ? path : path + kSuffix;
  std::FILE* in = std::fopen(manifest.c_str(), "rb");
  if (!in) {
    *message = "cannot read the manifest '" + manifest + "'";
    return VerifyOutcome::kUnreadable;
  }
  // The first line that is neither blank nor a comment is the checksum's.
  std::string line;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, in)) {
    line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!line.empty() && line[0] != '#') break;
    line.clear();
  }
  std::fclose(in);
  const bool escaped = !line.empty() && line[0] == '\\';
  if (escaped) line.erase(0, 1);
  if (line.size() < 67 || line.find_first_not_of("0123456789abcdefABCDEF") != 64 ||
      line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) {
    *message = "no checksum line in '" + manifest + "'";
    return VerifyOutcome::kUnreadable;
  }
  std::string expected = line.substr(0, 64), name;
  for (char& c : expected) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
  for (std::size_t i = 66; i < line.size(); ++i) {
    if (escaped && line[i] == '\\' && i + 1 < line.size()) {
      name += line[++i] == 'n' ? '\n' : line[i];
    } else {
      name += line[i];
    }
  }
  const bool absolute = !name.empty() && (platform::IsPathSeparator(name[0]) ||
                                          (name.size() > 1 && name[1] == ':'));
  const std::string file = absolute ? name : manifest.substr(0, NameStart(manifest)) + name;
  std::string actual;
  if (!Sha256OfFile(file.c_str(), &actual)) {
    *message = "cannot read '" + file + "'";
    return VerifyOutcome::kUnreadable;
  }
  if (actual != expected) {
    *message = "'" + file + "' does not match its manifest: SHA-256 " + actual + ", manifest " +
               expected + " (the file has changed since its export)";
    return VerifyOutcome::kMismatch;
  }
  *message = "'" + file + "': OK (SHA-256 " + actual + ")";
  return VerifyOutcome::kOk;
}
