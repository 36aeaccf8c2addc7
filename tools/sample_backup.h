// Deterministic sample backups for the run command, tests and benchmarks:
// real JPEG files written by FFmpeg's MJPEG encoder whose pictures show where
// they are in time (a drawn clock and a moving marker).
#pragma once

#include <string>

namespace sample {

// Chroma layouts the cameras write.
enum class Chroma { k420, k422, k444, kGray };

struct FrameSpec {
  int width = 704;
  int height = 576;
  int hour = 0;
  int minute = 0;
  int centis = 0;  // time within the minute, hundredths of a second
  Chroma chroma = Chroma::k420;
  int quality = 4;  // MJPEG qscale: 2 (best) to 31
};

// Writes one JPEG frame file. Returns false (with a message on standard
// error) when encoding or writing fails.
bool WriteFrame(const std::string& path, const FrameSpec& spec);

// Writes the sample backup under `root` (created if missing): two cameras
// (704 x 576 and 352 x 240), two dates, hours with gaps, an empty hour folder,
// irregular frame spacing, the three naming schemes, and folders the tree
// must hide. Returns 0, or -1 on failure.
int GenerateSampleBackup(const std::string& root);

}  // namespace sample
