// Deterministic sample backups for the run command, tests and benchmarks:
// real JPEG files written by FFmpeg's MJPEG encoder whose pictures show where
// they are in time (a drawn clock and a moving marker).
#pragma once

#include <string>
#include <vector>

namespace sample {

// Chroma layouts the cameras write: YUVJ420P, YUVJ422P, YUVJ444P, and a
// one-component greyscale JPEG that decodes as GRAY8 (encoded as 4:4:4 with
// neutral chroma, then repackaged without the chroma; see jpeg_luma.h).
enum class Chroma { k420, k422, k444, kGray };

// Largest width or height WriteFrame accepts.
constexpr int kMaxFrameSide = 4096;

struct FrameRecipe {
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
// right). The same FrameRecipe gives the same bytes. Any size from 1 x 1 to
// kMaxFrameSide, odd sizes included. Returns false (with a message on
// standard error) when encoding or writing fails. Safe to call from several
// threads (they take turns on one cached encoder).
bool WriteFrame(const std::string& path, const FrameRecipe& shot);

// ---------------------------------------------------------------------------
// The sample backup.
//
// root/
//   .sync/state.db                 hidden: dot folder among cameras
//   Camera 1/                      704 x 576
//     .thumbs/0000.jpg             hidden: dot folder among dates
//     2004-13-01/12/00/0000.jpg    hidden: invalid date
//     misc/readme.txt              hidden: not a date
//     index.txt                    hidden: stray file among dates
//     2004-03-15/
//       12/00 cs   4:2:0 120 00.00-59.49   0.5 s steps, jitter; whole minute
//       12/01 cs   4:2:0 115 20.00-49.77   starts late; 0.2 s; none 34.8-42 s
//       12/02      (empty minute folder: no frames)
//       12/03 dash 4:2:0  88 00.00-29.80   0.2 s, later 0.4 s; none 9.8-15 s
//       12/59 cs   4:2:0  20 50.00-59.50   0.5 s steps
//       (no hour 13)
//       14/03 ms   4:2:0 100 05.000-08.964 0.04 s steps, jitter
//       14/10 cs   4:2:0  20 00.00-19.00   1 s steps
//       15/        (empty hour folder: no minutes)
//       24/00/0000.jpg             hidden: invalid hour
//       ab/                        hidden: invalid hour (empty)
//       notes.txt                  hidden: stray file among hours
//       12/00/index.dat            not a frame: non-jpg file in a minute
//     2004-03-16/
//       09/30 cs   4:4:4  75 00.00-29.57   0.4 s steps, jitter
//       09/60/0000.jpg             hidden: invalid minute
//   Camera 2/                      352 x 240
//     2004-03-15/
//       08/15 ms   4:2:2 150 00.000-12.956 0.04 s steps; none 5-12 s
//       08/16 cs   4:2:2 120 00.00-59.51   0.5 s steps, jitter; whole minute
//       08/17 dash 4:2:2  78 02.00-57.81   0.4 s steps; none 19.6-45 s
//       10/00 cs   grey   30 00.00-58.00   2 s steps
//     2004-03-16/
//       07/45 dash 4:2:2  60 10.00-39.49   0.5 s steps, jitter
//       07/46 ms   4:2:2  50 00.000-01.965 0.04 s steps, jitter
//
// Columns: minute folder, frame names (cs centisecond SSCC.jpg; ms
// millisecond SSmmm.jpg with 8-character SSmm.jpg mixed in for times below
// 100 ms; dash SS-CC.jpg), chroma layout, frames, first and last time.
// 1026 frames (plus 4 in hidden folders), about 12 MB. Jitter: up to
// +-20 to 60 ms on steps of 0.2 s and more, +-8 to 10 ms on 0.04 s steps
// (never on a run's first frame).
//
// SampleMinutes() gives the shown minute folders exactly (frame counts, first
// and last times) and SampleFrameTimes() every frame's time. The jitter
// comes from a fixed sequence, so the names are the same on every run and
// machine; the bytes of the pictures are the same on every run.
//
// Notes for navigation tests: playing on from Camera 1's 2004-03-15\14\10
// passes the empty hour 15 and goes on to the next recorded minute; "ab"
// counts as 0, so "previous" from 12\00 looks for hour 00, which is
// missing. The hidden minute 60 after 2004-03-16\09\30 is never played.
// ---------------------------------------------------------------------------

// How a minute folder names its frames.
enum class NameScheme {
  kCentisecond,  // SSCC.jpg
  kMillisecond,  // SSmmm.jpg, and SSmm.jpg for 0mm ms (below 100 ms)
  kDashed,       // SS-CC.jpg
};

struct SampleCamera {
  const char* name;
  int width;
  int height;
};
constexpr SampleCamera kSampleCameras[] = {{"Camera 1", 704, 576},
                                           {"Camera 2", 352, 240}};
constexpr int kSampleCameraCount = 2;
constexpr const char* kSampleDates[] = {"2004-03-15", "2004-03-16"};
constexpr int kSampleDateCount = 2;

// One minute folder shown in the tree.
struct SampleMinute {
  int camera;        // index into kSampleCameras
  const char* date;  // one of kSampleDates
  int hour;
  int minute;
  NameScheme scheme;
  Chroma chroma;
  int frames;   // frame files in the folder (0: an empty minute folder)
  int firstMs;  // time within the minute of the first frame, milliseconds
  int lastMs;   // and of the last (-1 for both when there are no frames)
};

// Every minute folder the tree shows, by camera, date, hour and minute.
const std::vector<SampleMinute>& SampleMinutes();

// Hour folders that hold no minute folder at all (relative paths with '/').
std::vector<std::string> SampleEmptyHours();

// Entries the tree must hide (relative paths with '/'; they all exist).
std::vector<std::string> SampleHiddenPaths();

// Non-frame files inside shown minute folders (relative paths with '/').
std::vector<std::string> SampleNonFrameFiles();

// The frame times of a minute, in milliseconds within the minute, ascending.
// For centisecond and dashed names they are whole hundredths.
std::vector<int> SampleFrameTimes(const SampleMinute& minute);

// The file name of a frame at `ms` milliseconds within the minute:
// "4307.jpg", "43075.jpg" (or "4375.jpg" for 43.075 s), "43-07.jpg".
std::string SampleFrameName(NameScheme scheme, int ms);

// root\camera\date\HH\MM with the platform's separator, no trailing one.
std::string SampleMinutePath(const std::string& root, const SampleMinute& m);

// Writes the sample backup described above under `root` (created if
// missing; files already there are overwritten). Returns 0, or -1 with a
// one-line message on standard error naming the path and the cause.
int GenerateSampleBackup(const std::string& root);

}  // namespace sample
