// Deterministic sample backups for the run command, tests and benchmarks:
// real JPEG files written by FFmpeg's MJPEG encoder whose pictures show where
// they are in time (a drawn clock and a moving marker).
#pragma once

#include <string>

namespace sample {

// Chroma layouts the cameras write. FFmpeg's MJPEG encoder takes no
// one-component picture, so kGray is written as 4:2:0 with neutral chroma
// (no colour anywhere); it decodes as YUVJ420P.
enum class Chroma { k420, k422, k444, kGray };

// Largest width or height WriteFrame accepts.
constexpr int kMaxFrameSide = 4096;

struct FrameSpec {
  int width = 704;
  int height = 576;
  int hour = 0;
  int minute = 0;
  int centis = 0;  // time within the minute, hundredths of a second (0-5999)
  Chroma chroma = Chroma::k420;
  int quality = 4;  // MJPEG qscale: 2 (best) to 31
};

// Writes one JPEG frame file. The picture shows its time: a clock
// "HH:MM:SS.CC" at the top, a green bar that crosses the picture left to
// right once a minute, a yellow block at the bottom that crosses once a
// second, and colour references (blue block at the left edge, red at the
// right). The same spec gives the same bytes. Any size from 1 x 1 to
// kMaxFrameSide, odd sizes included. Returns false (with a message on
// standard error) when encoding or writing fails. Safe to call from several
// threads (they take turns on one cached encoder).
bool WriteFrame(const std::string& path, const FrameSpec& spec);

// Writes the sample backup under `root` (created if missing): two cameras
// (704 x 576 and 352 x 240), two dates, hours with gaps, an empty hour folder,
// irregular frame spacing, the three naming schemes, and folders the tree
// must hide. Returns 0, or -1 on failure.
int GenerateSampleBackup(const std::string& root);

}  // namespace sample
