// orvanel-cli verify FILE
//
// Checks an export against the checksum manifest beside it (FILE.sha256;
// FILE may also name the manifest itself). Exit 0 when the file matches,
// 1 when it does not (it has changed since its export), 2 when the
// manifest or the file cannot be read.
#include <cstdio>
#include <string>

#include "cli/cli.h"
#include "export/manifest.h"

int CmdVerify(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc != 1 || argv[0][0] == '\0') {
    std::fprintf(err, "orvanel-cli: verify: give one file\nusage: orvanel-cli verify FILE\n");
    return 2;
  }
  std::string message;
  switch (VerifyManifest(argv[0], &message)) {
    case VerifyOutcome::kOk:
      std::fprintf(out, "%s\n", message.c_str());
      return 0;
    case VerifyOutcome::kMismatch:
      std::fprintf(err, "orvanel-cli: verify: FAILED: %s\n", message.c_str());
      return 1;
    case VerifyOutcome::kUnreadable:
      break;
  }
  std::fprintf(err, "orvanel-cli: verify: %s\n", message.c_str());
  return 2;
}
