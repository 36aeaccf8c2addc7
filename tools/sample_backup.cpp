#include "tools/sample_backup.h"

namespace sample {
bool WriteFrame(const std::string&, const FrameSpec&) { return false; }
int GenerateSampleBackup(const std::string&) { return -1; }
}  // namespace sample
