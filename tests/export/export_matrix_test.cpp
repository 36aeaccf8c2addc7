// Whole exports on one job object: the frame rate is 100 / step clamped to
// 1..25, each picture repeats to fill the time to the next, a gap over 2 s
// is written once, an unreadable frame's time goes to the next, folders
// without frames leave the list, the output takes the format's extension.
// Natively ffprobe reads each file back (under Wine the signatures are
// checked): the four formats, every rate, odd and large pictures, a
// cancelled export.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_job.h"
#include "tests/export/export_test_util.h"
#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using export_test::FakeUi;
using export_test::MakeMinute;
using export_test::Spaced;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

struct Format {
  int code;
  const char* extension;
  const char* container;  // ffprobe's format_name
  const char* codec;      // ffprobe's codec_name
  std::string signature;
};

const std::string kAsf = "\x30\x26\xb2\x75\x8e\x66\xcf\x11";
const std::string kMpg("\x00\x00\x01\xba", 4);
const Format kFormats[] = {{6, ".mpg", "mpeg", "mpeg1video", kMpg},
                           {1, ".avi", "avi", "mpeg4", "RIFF"},
                           {2, ".asf", "asf", "msmpeg4v3", kAsf},
                           {4, ".wmv", "asf", "wmv1", kAsf},
                           {-1, ".mpg", "mpeg", "mpeg1video", kMpg}};  // none selected

struct Case {
  const Format* format;
  int width, height;
  std::vector<std::vector<int>> folders;  // frame times; none: an empty folder
  int fps, pictures;                      // what the job's algorithm gives
  int cancelAfterSteps;                   // 0: runs to the end
  const char* broken;                     // a frame file that does not decode
};

}  // namespace

TEST(ExportMatrix, WholeExportsReadBack) {
  // Four frames `step` apart: 100 / step frames per second, three pictures.
  const int steps[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 20, 25, 33, 50, 100};
  const int rates[] = {25, 20, 16, 14, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  // Not multiples of 16; odd sizes lose a column and a row.
  const int sizes[][2] = {{176, 144}, {177, 145}, {202, 118}, {351, 239}};
  std::vector<Case> cases;
  // MPEG-1 codes only some rates, so it takes every rate; the others a
  // quarter each. Each format sees every size.
  for (int i = 0; i < 16; ++i)
    for (int f = 0; f < 4; ++f)
      if (f == 0 || i % 4 == f)
        cases.push_back({&kFormats[f], sizes[i / 4][0], sizes[i / 4][1],
                         {Spaced(10, steps[i], 4)}, rates[i], 3, 0, nullptr});
  const Format &mpg = kFormats[0], &avi = kFormats[1], &asf = kFormats[2], &wmv = kFormats[3];
  cases.push_back({&avi, 1920, 1080, {Spaced(10, 20, 3)}, 5, 2, 0, nullptr});
  cases.push_back({&mpg, 1920, 1080, {Spaced(10, 20, 3)}, 5, 2, 0, nullptr});
  cases.push_back({&wmv, 1280, 720, {Spaced(10, 20, 3)}, 5, 2, 0, nullptr});
  // Spacing 3 (under a frame): each picture once; spacing 150: two pictures.
  cases.push_back({&kFormats[4], 176, 144, {{10, 13, 16, 20}}, 25, 3, 0, nullptr});
  cases.push_back({&avi, 176, 144, {{10, 160}}, 1, 2, 0, nullptr});
  cases.push_back({&avi, 176, 144, {{100}, {2000}}, 1, 0, 0, nullptr});  // an empty file
  // 10 and 20 once, 30 fails, 40 covers 30..50 twice.
  cases.push_back({&asf, 176, 144, {{10, 20, 30, 40, 50}}, 10, 4, 0, "0030.jpg"});
  // 0000.jpg is unusable: 0020.jpg starts the folder.
  cases.push_back({&mpg, 176, 144, {{}, {10, 20, 30}, {}, {0, 20, 30, 40}}, 10, 4, 0, nullptr});
  // 10 -> 50 four pictures, 50 -> 60 one; in the next folder a 3.9 s gap
  // once, exactly 2 s filled, 600 -> 610 one. Cancelled after a few
  // pictures, the part is a whole file.
  const std::vector<std::vector<int>> gaps = {{10, 50, 60}, {10, 400, 600, 610}};
  for (int f = 0; f < 4; ++f) {
    cases.push_back({&kFormats[f], 176, 144, gaps, 10, 4 + 1 + 1 + 20 + 1, 0, nullptr});
    cases.push_back({&kFormats[f], 176, 144, gaps, 10, 4 + 1 + 1 + 20 + 1, 3, nullptr});
  }

  TempDir dir;
  FakeUi ui;
  ExportJob job(&ui);
  std::vector<std::string> paths;
  std::vector<int> written;  // pictures
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string name = "c" + std::to_string(i);
    SCOPED_TRACE(name);
    ui.folders.clear();
    std::vector<std::string> kept;
    for (const std::vector<int>& times : c.folders) {
      ui.folders.push_back(MakeMinute(dir, name + "_" + std::to_string(ui.folders.size()), times,
                                      c.width, c.height));
      if (!times.empty()) kept.push_back(ui.folders.back());
    }
    if (c.broken) testing_support::WriteFile(ui.folders[0] + c.broken, "not a picture");
    ui.format = c.format->code;
    ui.outputName = dir.Join(name + ".avi");
    ui.status.clear();
    ui.onStep = [&, steps = 0]() mutable {
      if (++steps == c.cancelAfterSteps) job.stopRequested = 1;
    };
    testing_support::TraceCapture trace;
    {
      testing_support::StderrCapture quiet;
      ASSERT_TRUE(job.Start());
      job.Join();
    }
    paths.push_back(ui.outputName);
    written.push_back(job.picturesWritten());
    EXPECT_EQ(ui.outputName, dir.Join(name) + c.format->extension);
    EXPECT_EQ(job.fps(), c.fps);
    EXPECT_EQ(ui.folders, kept);
    EXPECT_EQ(ui.rangeHigh, job.framesMeasured() - 1);
    EXPECT_EQ(trace.Lines(), c.broken ? std::vector<std::string>{"Decoding failed!"}
                                      : std::vector<std::string>{});
    if (c.cancelAfterSteps) {
      EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCancelled);
      EXPECT_FALSE(ui.Completed());
      EXPECT_LT(written[i], c.pictures);
      EXPECT_GE(written[i], c.cancelAfterSteps);
    } else {
      EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
      EXPECT_TRUE(ui.Completed());
      EXPECT_EQ(ui.position, ui.rangeHigh);
      EXPECT_EQ(written[i], c.pictures);
    }
  }

  bool probed = false;
#ifndef _WIN32
  // Four ffprobes side by side: their start-up is the slow part.
  std::string script = "ffprobe -version >/dev/null 2>&1 || exit 1; ";
  for (std::size_t i = 0; i < paths.size(); ++i)
    script += "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
              "stream=codec_name,width,height,r_frame_rate,nb_read_frames:"
              "format=format_name,duration:packet=pts_time -of default=nw=1 '" + paths[i] +
              "' >'" + paths[i] + ".probe' 2>'" + paths[i] + ".errors' & " +
              (i % 4 == 3 ? "wait; " : "");
  probed = std::system((script + "wait").c_str()) == 0;
#endif
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const Format& f = *c.format;
    const int pictures = written[i];
    SCOPED_TRACE(paths[i]);
    const std::string bytes = ReadFile(paths[i]);
    if (c.pictures == 0) {
      EXPECT_EQ(bytes, "");
      continue;
    }
    ASSERT_GT(bytes.size(), f.signature.size());
    EXPECT_EQ(bytes.compare(0, f.signature.size(), f.signature), 0);
    if (!probed) continue;

    std::map<std::string, std::string> p;  // stream and format entries
    std::vector<double> pts;               // the packet times that are known
    std::istringstream lines(ReadFile(paths[i] + ".probe"));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key != "pts_time")
        p[key] = value;
      else if (value != "N/A")
        pts.push_back(std::atof(value.c_str()));
    }
    EXPECT_EQ(ReadFile(paths[i] + ".errors"), "");
    EXPECT_EQ(p["format_name"], f.container);
    EXPECT_EQ(p["codec_name"], f.codec);
    EXPECT_EQ(p["width"], std::to_string(c.width & ~1));
    EXPECT_EQ(p["height"], std::to_string(c.height & ~1));
    EXPECT_EQ(p["nb_read_frames"], std::to_string(pictures));
    const double frame = 1.0 / c.fps;
    // ASF keeps millisecond time stamps and no frame rate; MPEG-1's header
    // holds only the rates it codes (with FFmpeg's 5, 10 and 12).
    const bool mpeg = f.signature == kMpg;
    const bool mpeg1Codes = c.fps == 25 || c.fps == 5 || c.fps == 10 || c.fps == 12;
    if (f.code == 1 || (mpeg && mpeg1Codes)) {
      EXPECT_EQ(p["r_frame_rate"], std::to_string(c.fps) + "/1");
    }
    if (!mpeg) {
      EXPECT_NEAR(std::atof(p["duration"].c_str()), pictures * frame, 0.0015);
    }
    // Every known packet time lies on the frame grid, rising, within the
    // pictures written; with all known the last is one frame short of the end.
    ASSERT_FALSE(pts.empty());
    for (std::size_t k = 0; k < pts.size(); ++k) {
      const double n = (pts[k] - pts[0]) / frame;
      EXPECT_NEAR(n, std::round(n), 0.02) << pts[k];
      EXPECT_LE(std::round(n), pictures - 1) << pts[k];
      EXPECT_GE(pts[k], pts[k > 0 ? k - 1 : 0]) << pts[k];
    }
    if (static_cast<int>(pts.size()) == pictures) {
      EXPECT_NEAR(pts.back() - pts[0], (pictures - 1) * frame, 0.0015);
    }
  }
}
