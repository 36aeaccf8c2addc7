#include "export/export_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "tests/export/export_test_util.h"

using export_test::FakeUi;
using export_test::MakeMinute;
using export_test::RunJob;
using export_test::Spaced;
using testing_support::MakeDirs;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::WriteFile;

TEST(ExportFrameTime, NamingSchemes) {
  const struct {
    const char* name;
    int length, time;
  } kCases[] = {
      {"4307.jpg", 8, 4307}, {"43-07.jpg", 9, 4307}, {"43075.jpg", 9, 4307},
      // Among millisecond names SSmm.jpg is SS seconds and 0mm milliseconds.
      {"4375.jpg", 9, 4307}, {"4305.jpg", 9, 4300}, {"5999.jpg", 8, 5999},
      // Second 00.00 is a recorded frame like any other.
      {"0000.jpg", 8, 0}, {"00-00.jpg", 9, 0}, {"00000.jpg", 9, 0},
      // No time: beyond the minute, no number, other lengths.
      {"6000.jpg", 8, -1}, {"abcd.jpg", 8, -1}, {"ab-cd.jpg", 9, -1}, {"4307.jpg", 7, -1},
      {"4307.jpg", 10, -1},
  };
  for (const auto& c : kCases) EXPECT_EQ(FrameTime(c.name, c.length), c.time) << c.name;
}

// The FPS pass reads names only (empty files do); its step is the smallest
// over all folders.
TEST(ExportFpsPass, SmallestStepOverFolders) {
  TempDir dir;
  std::vector<std::string> many;  // beyond any fixed-size name table
  for (int t = 3; t <= 5700; t += 3) many.push_back(std::to_string(10000 + t).substr(1) + ".jpg");
  const struct {
    std::vector<std::string> names;  // a trailing '/' makes a folder
    int step, frames;
  } kCases[] = {
      {{"0012.jpg", "0005.jpg"}, 7, 2},
      // One usable frame: no step. Other lengths, no number, folders: no frames.
      {{"1500.jpg", "12.jpg", "123456.jpg", "x.txt", "abcd.jpg", "0100.jpg/"}, 9999, 1},
      {{"0000.jpg", "0007.jpg"}, 7, 2},
      {{"12.jpg", "x.txt"}, 0, 0},
      {{}, 0, 0},  // no folder at all
      {{"10-50.jpg", "10-47.jpg"}, 3, 2},
      // 43075.jpg and 4376.jpg (43.076 s) are both 4307: no step of 0.
      {{"43100.jpg", "4376.jpg", "43075.jpg"}, 3, 3},
      {{"4307.jpg", "43007.jpg", "43100.jpg"}, 10, 3},
      {many, 3, 1900},
      {{"0010.jpg", "0020.jpg", "0030.jpg"}, 10, 3},
  };
  FakeUi ui;
  ExportJob job(&ui);
  int folder = 0, frames = 0;
  for (const auto& c : kCases) {
    const std::string name = "f" + std::to_string(folder++);
    SCOPED_TRACE(name);
    for (const std::string& n : c.names) {
      const std::string path = dir.Join(name + "/" + n.substr(0, n.find('/')));
      n.back() == '/' ? MakeDirs(path) : WriteFile(path, "");
    }
    EXPECT_EQ(job.MeasureFolder((dir.Join(name) + platform::kPathSeparator).c_str()), c.step);
    EXPECT_EQ(job.frameCount, frames += c.frames);
  }
  EXPECT_EQ(job.frameStep, 3);
}

// Jobs that stop before the end: cancelled in the FPS pass (the encode
// pass's cancel is checked with its files in the matrix test), an output or
// first frame that fails, no folder with frames, a picture of another size;
// and a cancel left over from before the job, which does not stop it. The
// outcome is known when the button reads "Close".
TEST(ExportJobRun, StoppedJobs) {
  TempDir dir;
  const std::string a = MakeMinute(dir, "a", {10, 20, 30}), bad = MakeMinute(dir, "bad", {10, 20});
  WriteFile(bad + "0010.jpg", "garbage");
  using O = ExportJob::Outcome;
  const struct {
    std::vector<std::string> folders;
    std::string output;
    O outcome;
    int file;  // -1 none, 0 empty, else the pictures written
    std::vector<std::string> trace;
  } kCases[] = {
      {{a, a}, "cancel.avi", O::kCancelled, -1, {}},
      {{a}, "stale.avi", O::kCompleted, 3, {}},
      {{a}, "missing/out.avi", O::kOutputFailed, -1, {}},
      {{MakeMinute(dir, "empty", {})}, "none.avi", O::kNoFolder, 0, {}},
      {{bad}, "bad.avi", O::kProbeFailed, 0, {}},
      {{a, MakeMinute(dir, "wide", {10, 20}, 80, 48)}, "wide.avi", O::kMismatch, 3,
       {"Different frame size"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.output);
    FakeUi ui;
    ui.folders = c.folders;
    ui.outputName = dir.Join(c.output);
    ui.format = 1;
    ExportJob job(&ui);
    if (c.output == "cancel.avi")
      ui.onStatus = [&](const std::string& text) {
        if (text == kCalculatingFps) job.stopRequested = 1;  // seen after the first folder
      };
    job.stopRequested = c.output == "stale.avi";
    O atClose = O::kNone;
    ui.onButton = [&] { atClose = job.outcome(); };
    TraceCapture trace;
    RunJob(job);
    EXPECT_EQ(job.outcome(), c.outcome);
    EXPECT_EQ(atClose, c.outcome);
    EXPECT_EQ(trace.Lines(), c.trace);
    EXPECT_EQ(ui.Completed(), c.outcome == O::kCompleted);
    EXPECT_EQ(ui.button, "Close");
    EXPECT_EQ(job.stopRequested.load(), 0);  // the next job is not stopped
    std::FILE* exists = std::fopen(ui.outputName.c_str(), "rb");
    EXPECT_EQ(exists != nullptr, c.file >= 0);
    if (exists) std::fclose(exists);
    EXPECT_EQ(job.picturesWritten(), std::max(c.file, 0));
    const std::string bytes = ReadFile(ui.outputName);
    EXPECT_EQ(bytes.empty(), c.file <= 0);
    EXPECT_TRUE(c.file <= 0 || bytes.compare(0, 4, "RIFF") == 0);
    EXPECT_EQ(ui.mismatches, c.outcome == O::kMismatch
                                 ? std::vector<std::string>{"Image mismatch : 64x48 != 80x48"}
                                 : std::vector<std::string>{});
  }
}

// Reading and decoding ahead on other threads changes nothing in the file
// (stamped or not) or the trace: folders longer than the read-ahead ring, a broken frame, a
// file too large to read, runs of them longer than a hand-over batch, and a
// folder of one frame.
TEST(ExportJobRun, PipeliningGivesIdenticalBytes) {
  TempDir dir;
  const std::string b = MakeMinute(dir, "b", Spaced(5, 10, 30));
  WriteFile(b + "0105.jpg", "broken");
  const std::string d = MakeMinute(dir, "d", Spaced(10, 10, 60));
  WriteFile(d + "0150.jpg", std::string(kExportBufferSize + 1, '\xff'));
  for (int t = 300; t <= 420; t += 10) WriteFile(d + std::to_string(10000 + t).substr(1) + ".jpg", "x");
  const std::vector<std::string> folders = {
      MakeMinute(dir, "a", {10, 20, 30, 70, 80, 500, 510, 0}), b, MakeMinute(dir, "c", {15}), d};
  for (int format : {1, 6}) {
    std::string outputs[2];
    std::vector<std::string> traces[2];
    int pictures[2] = {};
    for (int pipelined = 0; pipelined < 2; ++pipelined) {
      FakeUi ui;
      ui.folders = folders;
      ui.format = format;
      ui.stamp = format == 6;  // drawn into the ring's pictures in place
      ui.outputName = dir.Join("out" + std::to_string(pipelined));
      ExportJob job(&ui);
      job.SetPipelining(pipelined == 1);
      TraceCapture trace;
      RunJob(job);
      EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
      outputs[pipelined] = ReadFile(ui.outputName);
      traces[pipelined] = trace.Lines();
      pictures[pipelined] = job.picturesWritten();
    }
    EXPECT_GT(outputs[0].size(), 1000u);
    EXPECT_EQ(traces[0].size(), 15u);  // every bad frame is logged once
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_EQ(pictures[0], pictures[1]);
    EXPECT_TRUE(outputs[0] == outputs[1]) << "format " << format;
  }
}

// Every chroma layout the cameras write lands in the packed 4:2:0 buffer at
// the video range players assume: luma as decoded, chroma from the matching
// rows and columns (converted chroma is filtered: compared on average),
// neutral chroma for gray. A picture of another size is refused and shown.
TEST(ExportLoadFrame, ChromaLayoutsPackTo420) {
  TempDir dir;
  sample::FrameRecipe frame;
  frame.centis = 1234;
  const std::string path = dir.Join("f.jpg");
  const auto video = [](int v, bool luma) {
    return static_cast<int>(std::lround(luma ? 16 + v * 219.0 / 255 : 128 + (v - 128) * 224.0 / 255));
  };
  for (sample::Chroma chroma :
       {sample::Chroma::k420, sample::Chroma::k422, sample::Chroma::k444, sample::Chroma::kGray}) {
    for (const int w : {64, 75}) {
      const int h = w == 64 ? 48 : 45, n = w * h, cw = w / 2, ch = h / 2;
      SCOPED_TRACE(static_cast<int>(chroma) * 100 + w);
      frame.width = w;
      frame.height = h;
      frame.chroma = chroma;
      ASSERT_TRUE(sample::WriteFrame(path, frame));
      std::string bytes = ReadFile(path);
      const std::size_t size = bytes.size();
      bytes.append(AV_INPUT_BUFFER_PADDING_SIZE, '\0');
      av::CodecContextPtr decoder = av::OpenMjpegDecoder();
      av::PacketPtr packet(av_packet_alloc());
      av::FramePtr jpeg(av_frame_alloc());
      ASSERT_EQ(av::DecodeJpeg(decoder.get(), packet.get(), jpeg.get(),
                               reinterpret_cast<const std::uint8_t*>(bytes.data()), size), 1);
      FakeUi ui;
      ExportJob job(&ui);
      job.width = w;
      job.height = h;
      ASSERT_EQ(job.LoadFrame(path.c_str(), false), 1);
      const std::uint8_t* p = job.picture();
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_LE(std::abs(p[y * w + x] - video(jpeg->data[0][y * jpeg->linesize[0] + x], true)), 1);
      const bool gray = jpeg->format == AV_PIX_FMT_GRAY8;
      const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(jpeg->format));
      const bool exact = gray || (d->log2_chroma_w == 1 && d->log2_chroma_h == 1);
      for (int plane = 1; plane <= 2; ++plane) {
        long long error = 0;
        for (int y = 0; y < ch; ++y)
          for (int x = 0; x < cw; ++x) {
            const int sx = x << (1 - d->log2_chroma_w), sy = y << (1 - d->log2_chroma_h);
            const int e = std::abs(p[n + (plane - 1) * (n / 4) + y * cw + x] -
                                   (gray ? 128 : video(jpeg->data[plane][sy * jpeg->linesize[plane] + sx], false)));
            error += e;
            ASSERT_TRUE(!exact || e <= 1) << plane << " " << x << "," << y;
          }
        EXPECT_LE(error, 3LL * cw * ch) << plane;
      }
      job.width = w + 2;
      EXPECT_EQ(job.LoadFrame(path.c_str(), false), -1);
      EXPECT_EQ(ui.mismatches.size(), 1u);
      EXPECT_EQ(job.stopRequested.load(), 1);
    }
  }
}
