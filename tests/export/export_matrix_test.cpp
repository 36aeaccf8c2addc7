// Whole exports read back to pictures with FFmpeg's demuxers and decoders:
// for each format and every frame rate the job can choose, the picture
// count, pictures evenly spaced and spanning the recorded time, the first
// picture being the frame at time code 0, luma levels and PSNR against the
// source frames as a player shows them; gaps, minute joins, an unreadable
// frame, empty folders and a cancelled export. Under Wine the jobs run and
// the files are written; reading back needs the native FFmpeg's decoders.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "export/export_job.h"
#include "tests/export/export_test_util.h"
#include "tests/export/readback.h"
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
  const char* codec;  // FFmpeg's decoder name
};

const Format kFormats[] = {{6, ".mpg", "mpeg1video"},
                           {1, ".avi", "mpeg4"},
                           {2, ".asf", "msmpeg4"},
                           {4, ".wmv", "wmv1"},
                           {-1, ".mpg", "mpeg1video"}};  // none selected

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
// the picture's time on the output's frame grid, and the one shown when it
// starts (repetition rounds each frame's time to whole pictures).
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
    EXPECT_FALSE(source.empty()) << file;
    if (source.empty()) continue;
    readback::Difference d;
    d.Add(picture, source, w, h);
    if (best.squared < 0 || d.squared < best.squared) best = d;
  }
  return best;
}

}  // namespace

TEST(ExportMatrix, WholeExportsReadBack) {
  // Four frames `step` apart from 00.00.
  const int steps[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 20, 25, 33, 50, 100};
  // Not multiples of 16; odd sizes lose a column and a row.
  const int sizes[][2] = {{176, 144}, {177, 145}, {202, 118}, {351, 239}};
  const Format &mpg = kFormats[0], &avi = kFormats[1], &asf = kFormats[2], &wmv = kFormats[3];
  std::vector<Case> cases;
  // .mpg (always 25 fps) and .avi take every spacing, the others a quarter.
  for (int i = 0; i < 16; ++i)
    for (int f = 0; f < 4; ++f)
      if (f < 2 || i % 4 == f)
        cases.push_back({&kFormats[f], sizes[i / 4][0], sizes[i / 4][1], {Spaced(0, steps[i], 4)},
                         f == 0 ? 4 : steps[i], -1, 0, nullptr});
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
  for (int f = 0; f < 4; ++f) {
    const int pictures = f == 0 ? 75 : 31;
    cases.push_back({&kFormats[f], 176, 144, gaps, f == 0 ? 4 : 10, pictures, 0, nullptr, true});
    cases.push_back({&kFormats[f], 176, 144, gaps, f == 0 ? 4 : 10, pictures, 3, nullptr, true});
  }

  TempDir dir;
  FakeUi ui;
  ExportJob job(&ui);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string name = "c" + std::to_string(i);
    SCOPED_TRACE(name);
    ui.folders.clear();
    std::vector<std::string> kept;
    for (const std::vector<int>& times : c.folders) {
      const std::string folder =
          c.minutes ? name + "/Cam/2004-03-15/12/0" + std::to_string(ui.folders.size())
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
    {
      testing_support::StderrCapture quiet;
      ASSERT_TRUE(job.Start());
      job.Join();
    }
    const int written = job.picturesWritten();
    EXPECT_EQ(ui.outputName, dir.Join(name) + c.format->extension);
    EXPECT_EQ(job.pictureStep(), c.step);
    EXPECT_EQ(ui.folders, kept);
    EXPECT_EQ(ui.rangeHigh, job.framesMeasured() - 1);
    EXPECT_EQ(trace.Lines(), c.broken ? std::vector<std::string>{"Decoding failed!"}
                                      : std::vector<std::string>{});
    const int step = c.step;
    const std::vector<int>& first = c.folders[c.folders[0].empty() ? 1 : 0];
    if (c.cancelAfterSteps) {
      EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCancelled);
      EXPECT_FALSE(ui.Completed());
      EXPECT_LT(written, c.pictures);
      EXPECT_GE(written, c.cancelAfterSteps);
    } else {
      EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
      EXPECT_TRUE(ui.Completed());
      EXPECT_EQ(ui.position, ui.rangeHigh);
      if (c.pictures >= 0) {
        EXPECT_EQ(written, c.pictures);
      } else {
        // The recorded time, the last frame lasting the recording's frame
        // step, within half a picture.
        const int span = first.back() - first.front() + (first[1] - first[0]);
        EXPECT_LE(std::abs(written * step - span), step / 2) << written;
      }
    }

    EXPECT_EQ(ReadFile(ui.outputName).empty(), written == 0);
#ifdef _WIN32
    // The program's Windows FFmpeg has encoders and muxers only: files are
    // read back in the native build.
    continue;
#endif
    const readback::Video video = readback::Read(ui.outputName);
    ASSERT_TRUE(video.ok) << video.error;
    EXPECT_EQ(video.codec, c.format->codec);
    ASSERT_EQ(static_cast<int>(video.pictures.size()), written);
    EXPECT_EQ(video.nonRisingDts, 0);
    // ASF holds no rate: FFmpeg guesses one from a few time stamps.
    if (c.format->code != 2 && c.format->code != 4) {
      EXPECT_NEAR(video.headerRate, 100.0 / step, 1e-9);
    }
    // Evenly spaced at the picture step.
    for (int k = 0; k < written; ++k) {
      const double t = video.pictures[k].time - video.pictures[0].time;
      ASSERT_NEAR(t, k * step / 100.0, 1e-6) << k;
    }
    EXPECT_EQ(video.pictures[0].width, c.width & ~1);
    EXPECT_EQ(video.pictures[0].height, c.height & ~1);

    // Levels and pictures of the first folder against its frames, at full
    // range; the first picture is the first frame, not its neighbour.
    if (c.broken || written == 0) continue;
    const int pictures = c.folders.size() == 1 ? written : 1;
    readback::Difference all;
    for (int k = 0; k < pictures; ++k) {
      const readback::Difference d =
          BestMatch(video.pictures[k], kept[0], SourceTimes(first, k, step));
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

// Every frame step the job can meet plays exactly as long as the recording
// in every format: the container's duration (AVI and ASF from their
// headers, MPEG from its time stamps) and the rate the header gives. .mpg
// stays on its 25 fps grid, rounded to whole pictures.
TEST(ExportMatrix, EveryStepPlaysAsLongAsTheRecording) {
  TempDir dir;
  FakeUi ui;
  ExportJob job(&ui);
  for (int step = 4; step <= 100; ++step) {
    const std::vector<int> times = Spaced(0, step, 3);
    const std::string folder = MakeMinute(dir, "s" + std::to_string(step), times, 48, 32);
    for (int f = 0; f < 4; ++f) {
      SCOPED_TRACE(std::to_string(step) + kFormats[f].extension);
      ui.folders = {folder};
      ui.format = kFormats[f].code;
      ui.outputName = dir.Join("s" + std::to_string(step) + kFormats[f].extension);
      {
        testing_support::StderrCapture quiet;
        ASSERT_TRUE(job.Start());
        job.Join();
      }
      const int picture = f == 0 ? 4 : step, span = 3 * step;
      EXPECT_LE(std::abs(job.picturesWritten() * picture - span), picture / 2);
#ifndef _WIN32
      const readback::Video video = readback::Read(ui.outputName);
      ASSERT_TRUE(video.ok) << video.error;
      ASSERT_EQ(static_cast<int>(video.pictures.size()), job.picturesWritten());
      const double shown = video.pictures.back().time - video.pictures[0].time + picture / 100.0;
      // FFmpeg's MPEG-PS reader may stamp a picture after a pack one picture late.
      EXPECT_NEAR(shown, job.picturesWritten() * picture / 100.0, f == 0 ? 0.041 : 1e-6);
      if (f == 0) continue;  // FFmpeg's guess of a short .mpg's duration is one picture
      EXPECT_NEAR(video.duration, span / 100.0, 1e-6);
      if (f == 1) {  // ASF holds no rate
        EXPECT_NEAR(video.headerRate, 100.0 / picture, 1e-9);
      }
#endif
    }
  }
}
