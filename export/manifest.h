// The checksum manifest beside every export: "<file>.sha256", whose first
// line `sha256sum -c` reads ("<64 hex digits>  <file name>"), followed by
// comment lines ("# ...") that say what the file holds.
#pragma once

#include <string>
#include <vector>

struct ManifestInfo {
  std::vector<std::string> minuteFolders;  // the sources, in export order
  std::string timeRange;                   // "FROM to TO"
  int frames = 0;                          // recorded frames exported
  int pictures = 0;                        // pictures in the file (repetitions included)
};

// Hashes `file` and writes `file` + ".sha256" (the name alone on the
// checksum line: the manifest travels with the file). False, with nothing
// left behind, when either fails.
bool WriteManifest(const std::string& file, const ManifestInfo& info);

enum class VerifyOutcome { kOk, kMismatch, kUnreadable };

// Checks a file against its manifest. `path` names the file or its
// manifest; the checksum line's file name is taken beside the manifest.
// `message` says what was found.
VerifyOutcome VerifyManifest(const std::string& path, std::string* message);
