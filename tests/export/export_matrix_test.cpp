// Whole exports read back with FFmpeg's demuxers and decoders: for every
// frame step from 4 to 100 hundredths in every format, the picture count
// and the time they play (the container's duration and rate: .avi, .asf and
// .wmv exactly as long as the recording, .mpg on its 25 fps grid), pictures
// evenly spaced, rising decode times, the first picture being the frame at
// time code 0, luma levels and PSNR against the source frames as a player
// shows them; odd and large sizes, gaps, minute joins, an unreadable frame,
// empty folders and a cancelled export. Under Wine the jobs run and the
// files are written; reading back needs the native FFmpeg's decoders.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/export/export_test_util.h"
#include "tests/export/readback.h"

using export_test::FakeUi;
using export_test::MakeMinute;
using export_test::Spaced;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

struct Format {
  int code;
  const char* extension;
  const char* codec;  // FFmpeg's decoder name
};
const Format kFormats[] = {{6, ".mpg", "mpeg1video"}, {1, ".avi", "mpeg4"}, {2, ".asf", "msmpeg4"},
                           {4, ".wmv", "wmv1"}, {-1, ".mpg", "mpeg1video"}};  // none selected

struct Case {
  const Format* format;
  int width, height;
  std::vector<std::vector<int>> folders;  // frame times; none: an empty folder
  int step;              // hundredths per picture
  int pictures;          // -1: as many as span the recorded time
  int cancelAfterSteps;  // 0: runs to the end
  const char* broken;    // a frame file of the first folder that does not decode
  bool minutes = false;  // folders are consecutive minutes of one camera
};

// The frames of `times` that picture `k` may show: those recorded during
// the picture's time on the output's grid, and the one shown when it starts.
std::vector<int> SourceTimes(const std::vector<int>& times, int k, int step) {
  const int from = times.front() + k * step - step / 2, to = from + 2 * step;
  std::vector<int> shown;
  for (int t : times)
    if (t <= from) shown.assign(1, t);
    else if (t < to) shown.push_back(t);
  return shown;
}

// Luma differences of `picture` from the best matching of `frames`.
readback::Difference BestMatch(const readback::Picture& picture, const std::string& folder,
                               const std::vector<int>& frames) {
  readback::Difference best;
  best.squared = -1;
  for (int t : frames) {
    char file[16];
    std::snprintf(file, sizeof file, "%04d.jpg", t);
    int w = 0, h = 0;
    const std::vector<std::uint8_t> source = readback::JpegLuma(ReadFile(folder + file), &w, &h);
    readback::Difference d;
    d.Add(picture, source, w, h);
    if (!source.empty() && (best.squared < 0 || d.squared < best.squared)) best = d;
  }
  return best;
}

}  // namespace

TEST(ExportMatrix, WholeExportsReadBack) {
  // Not multiples of 16; odd sizes lose a column and a row.
  const int sizes[][2] = {{64, 48}, {65, 49}, {74, 38}, {95, 63}};
  const Format &mpg = kFormats[0], &avi = kFormats[1], &asf = kFormats[2], &wmv = kFormats[3];
  std::vector<Case> cases;
  for (int step = 4; step <= 100; ++step)
    for (int f = 0; f < 4; ++f)
      cases.push_back({&kFormats[f], sizes[(step + f) % 4][0], sizes[(step + f) % 4][1],
                       {Spaced(0, step, 3)}, f == 0 ? 4 : step, -1, 0, nullptr});
  cases.push_back({&avi, 1920, 1080, {Spaced(0, 20, 3)}, 20, 3, 0, nullptr});
  cases.push_back({&wmv, 1280, 720, {Spaced(0, 20, 3)}, 20, 3, 0, nullptr});
  // Spacing 3, under a frame: each picture once, time kept within a frame.
  cases.push_back({&kFormats[4], 176, 144, {{0, 3, 6, 10}}, 4, 4, 0, nullptr});
  // Single frames: each written once.
  cases.push_back({&avi, 176, 144, {{100}, {2000}}, 100, 2, 0, nullptr});
  // 10 and 20 once, 30 fails, 40 covers 30..50 twice, 50 one step.
  cases.push_back({&asf, 176, 144, {{10, 20, 30, 40, 50}}, 10, 5, 0, "0030.jpg"});
  // Empty folders leave; 00.00 starts each folder: 0->20 five pictures,
  // 20->30 three, 30 two (its 0.10 s step); then 5, 3, 30->40 two, 40 three.
  cases.push_back({&mpg, 176, 144, {{}, {0, 20, 30}, {}, {0, 20, 30, 40}}, 4, 23, 0, nullptr});
  // Two consecutive minutes at 10 fps: 10->50 four pictures, 50->60 one,
  // a 59.3 s gap once, 59.90 lasts until the next minute's 00.10 (two);
  // then a 3.9 s gap once, exactly 2 s filled (20), 6.00 one, 6.10 one step.
  // At 25 fps (.mpg): 10 + 3 + 1 + 5, then 1 + 50 + 3 + 2 (the last frame
  // holds for the recording's step, not one .mpg picture). Cancelled after
  // a few pictures, the part is a whole file.
  const std::vector<std::vector<int>> gaps = {{10, 50, 60, 5990}, {10, 400, 600, 610}};
  for (int f = 0; f < 8; ++f)
    cases.push_back({&kFormats[f % 4], 176, 144, gaps, f % 4 ? 10 : 4, f % 4 ? 31 : 75, f / 4 * 3,
                     nullptr, true});

  TempDir dir;
  FakeUi ui;
  ExportJob job(&ui);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string name = "c" + std::to_string(i);
    SCOPED_TRACE(name + c.format->extension);
    ui.folders.clear();
    std::vector<std::string> kept;
    for (const std::vector<int>& times : c.folders) {
      const std::string folder = c.minutes ? name + "/Cam/2004-03-15/12/0" + std::to_string(ui.folders.size())
                                           : name + "_" + std::to_string(ui.folders.size());
      ui.folders.push_back(MakeMinute(dir, folder, times, c.width, c.height));
      if (!times.empty()) kept.push_back(ui.folders.back());
    }
    if (c.broken) testing_support::WriteFile(kept[0] + c.broken, "not a picture");
    ui.format = c.format->code;
    ui.outputName = dir.Join(name + ".avi");
    ui.status.clear();
    ui.onStep = [&, steps = 0]() mutable {
      if (++steps == c.cancelAfterSteps) job.stopRequested = 1;
    };
    testing_support::TraceCapture trace;
    export_test::RunJob(job);
    const int written = job.picturesWritten(), step = c.step;
    EXPECT_EQ(ui.outputName, dir.Join(name) + c.format->extension);
    EXPECT_EQ(job.pictureStep(), step);
    EXPECT_EQ(ui.folders, kept);
    EXPECT_EQ(ui.rangeHigh, job.framesMeasured() - 1);
    EXPECT_EQ(trace.Lines(), c.broken ? std::vector<std::string>{"Decoding failed!"} : std::vector<std::string>{});
    const std::vector<int>& first = c.folders[c.folders[0].empty() ? 1 : 0];
    // The recorded time, the last frame lasting the recording's step.
    const int span = c.pictures < 0 ? first.back() - first.front() + (first[1] - first[0]) : 0;
    EXPECT_EQ(job.outcome(), c.cancelAfterSteps ? ExportJob::Outcome::kCancelled : ExportJob::Outcome::kCompleted);
    EXPECT_EQ(ui.Completed(), c.cancelAfterSteps == 0);
    if (c.cancelAfterSteps) {
      EXPECT_LT(written, c.pictures);
      EXPECT_GE(written, c.cancelAfterSteps);
    } else if (c.pictures >= 0) {
      EXPECT_EQ(written, c.pictures);
    } else {
      EXPECT_LE(std::abs(written * step - span), step / 2) << written;  // exact but for .mpg
    }
    EXPECT_EQ(ReadFile(ui.outputName).empty(), written == 0);
#ifdef _WIN32
    continue;  // the program's Windows FFmpeg has encoders and muxers only
#endif
    const readback::Video video = readback::Read(ui.outputName);
    ASSERT_TRUE(video.ok) << video.error;
    EXPECT_EQ(video.codec, c.format->codec);
    ASSERT_EQ(static_cast<int>(video.pictures.size()), written);
    EXPECT_EQ(video.nonRisingDts, 0);
    // AVI holds its rate and length in its header, ASF its length (its rate
    // FFmpeg guesses from a few time stamps); a short .mpg's length FFmpeg
    // guesses as one picture.
    if (c.format->code != 2 && c.format->code != 4) {
      EXPECT_NEAR(video.headerRate, 100.0 / step, 1e-9);
    }
    if (c.format->code != 6 && span > 0) {
      EXPECT_NEAR(video.duration, span / 100.0, 1e-6);
    }
    // Evenly spaced at the picture step (FFmpeg's MPEG-PS reader may stamp
    // a picture after a pack one picture late).
    for (int k = 0; k < written; ++k)
      ASSERT_NEAR(video.pictures[k].time - video.pictures[0].time, k * step / 100.0,
                  c.format->code == 6 ? 0.041 : 1e-6) << k;
    EXPECT_EQ(video.pictures[0].width, c.width & ~1);
    EXPECT_EQ(video.pictures[0].height, c.height & ~1);

    // Levels and pictures of the first folder against its frames, at full
    // range; the first picture is the first frame, not its neighbour.
    if (c.broken || written == 0) continue;
    readback::Difference all;
    for (int k = 0; k < (c.folders.size() == 1 ? written : 1); ++k) {
      const readback::Difference d = BestMatch(video.pictures[k], kept[0], SourceTimes(first, k, step));
      all.squared += d.squared;
      all.signedSum += d.signedSum;
      all.samples += d.samples;
    }
    if (first.size() > 1) {
      EXPECT_GT(BestMatch(video.pictures[0], kept[0], {first[0]}).Psnr(),
                BestMatch(video.pictures[0], kept[0], {first[1]}).Psnr());
    }
    EXPECT_GT(all.Psnr(), 32) << "mean error " << all.MeanError();
    EXPECT_LT(std::abs(all.MeanError()), 1.0);
  }
}
