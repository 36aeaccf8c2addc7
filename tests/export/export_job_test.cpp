#include "export/export_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "tests/export/export_test_util.h"
#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using export_test::CentiName;
using export_test::FakeUi;
using export_test::Folder;
using export_test::FrameBytes;
using export_test::MakeMinute;
using export_test::Spaced;
using testing_support::MakeDirs;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::WriteFile;

namespace {

bool FileExists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

// Runs one job on its worker thread and waits for it, with the library's
// log lines kept off the test output.
void RunJob(ExportJob& job) {
  testing_support::StderrCapture quiet;
  ASSERT_TRUE(job.Start());
  job.Join();
  EXPECT_EQ(job.running.load(), 0);
}

}  // namespace

TEST(ExportFrameTime, NamingSchemes) {
  EXPECT_EQ(FrameTime("4307.jpg", 8), 4307);
  EXPECT_EQ(FrameTime("43-07.jpg", 9), 4307);
  EXPECT_EQ(FrameTime("43075.jpg", 9), 4307);
  // Among millisecond names SSmm.jpg is SS seconds and 0mm milliseconds.
  EXPECT_EQ(FrameTime("4375.jpg", 9), 4307);
  EXPECT_EQ(FrameTime("4305.jpg", 9), 4300);
  EXPECT_EQ(FrameTime("0001.jpg", 8), 1);
  EXPECT_EQ(FrameTime("5999.jpg", 8), 5999);
  // Unusable: second 00.00, beyond the minute, no number, other lengths.
  EXPECT_EQ(FrameTime("0000.jpg", 8), 0);
  EXPECT_EQ(FrameTime("00-00.jpg", 9), 0);
  EXPECT_EQ(FrameTime("6000.jpg", 8), 0);
  EXPECT_EQ(FrameTime("abcd.jpg", 8), 0);
  EXPECT_EQ(FrameTime("4307.jpg", 7), 0);
  EXPECT_EQ(FrameTime("4307.jpg", 10), 0);
}

TEST(ExportNames, ExtensionReplacement) {
  char out[260];
  ASSERT_TRUE(ReplaceExtension("clip", ".mpg", out, sizeof out));
  EXPECT_STREQ(out, "clip.mpg");
  ASSERT_TRUE(ReplaceExtension("clip.avi", ".wmv", out, sizeof out));
  EXPECT_STREQ(out, "clip.wmv");
  ASSERT_TRUE(ReplaceExtension("a.b.avi", ".asf", out, sizeof out));
  EXPECT_STREQ(out, "a.b.asf");
  // A dot in a folder name is not an extension.
  const std::string folder = std::string("v1.2") + platform::kPathSeparator + "clip";
  ASSERT_TRUE(ReplaceExtension(folder.c_str(), ".avi", out, sizeof out));
  EXPECT_EQ(std::string(out), folder + ".avi");
  EXPECT_FALSE(ReplaceExtension(std::string(257, 'x').c_str(), ".avi", out, sizeof out));
  EXPECT_EQ(FormatExtension(6), std::string(".mpg"));
  EXPECT_EQ(FormatExtension(1), std::string(".avi"));
  EXPECT_EQ(FormatExtension(2), std::string(".asf"));
  EXPECT_EQ(FormatExtension(4), std::string(".wmv"));
  EXPECT_EQ(FormatExtension(3), nullptr);
}

// The FPS pass reads names only: empty files are enough.
TEST(ExportFpsPass, SmallestStepOverFolders) {
  TempDir dir;
  auto touch = [&](const std::string& folder, const std::vector<std::string>& names) {
    MakeDirs(dir.Join(folder));
    for (const std::string& n : names) WriteFile(dir.Join(folder + "/" + n), "");
    return Folder(dir, folder);
  };
  FakeUi ui;
  ExportJob job(&ui);
  EXPECT_EQ(job.MeasureFolder(touch("a", {"0010.jpg", "0020.jpg", "0030.jpg"}).c_str()), 10);
  EXPECT_EQ(job.frameStep, 10);
  EXPECT_EQ(job.MeasureFolder(touch("b", {"0012.jpg", "0005.jpg"}).c_str()), 7);
  EXPECT_EQ(job.frameStep, 7);
  EXPECT_EQ(job.frameCount, 5);
  // One usable frame: no step; time 0, other name lengths and folders are
  // not frames.
  EXPECT_EQ(job.MeasureFolder(
                touch("c", {"0000.jpg", "1500.jpg", "12.jpg", "123456.jpg", "x.txt"}).c_str()),
            9999);
  EXPECT_EQ(job.frameCount, 6);
  MakeDirs(dir.Join("c/0100.jpg"));
  EXPECT_EQ(job.MeasureFolder(Folder(dir, "c").c_str()), 9999);
  // No frame names at all, or no folder.
  EXPECT_EQ(job.MeasureFolder(touch("d", {"12.jpg", "x.txt"}).c_str()), 0);
  EXPECT_EQ(job.MeasureFolder(Folder(dir, "missing").c_str()), 0);
  // Dashed and millisecond names, sorted by the frame-name order.
  EXPECT_EQ(job.MeasureFolder(touch("e", {"10-50.jpg", "10-47.jpg"}).c_str()), 3);
  // 43075.jpg and 4376.jpg (43.076 s) are both 4307; 43100.jpg is 4310.
  EXPECT_EQ(job.MeasureFolder(touch("f", {"43100.jpg", "4376.jpg", "43075.jpg"}).c_str()), 3);
  EXPECT_EQ(job.frameStep, 3);
  // Two names with the same time make no step of 0.
  EXPECT_EQ(job.MeasureFolder(touch("g", {"4307.jpg", "43007.jpg", "43100.jpg"}).c_str()), 10);
}

TEST(ExportFpsPass, MoreThan1800FramesAreAllTaken) {
  TempDir dir;
  MakeDirs(dir.Join("m"));
  const std::string folder = Folder(dir, "m");
  for (int t = 1; t <= 1900; ++t) std::fclose(std::fopen((folder + CentiName(t * 3)).c_str(), "wb"));
  FakeUi ui;
  ExportJob job(&ui);
  EXPECT_EQ(job.MeasureFolder(folder.c_str()), 3);
  EXPECT_EQ(job.frameCount, 1900);
}

// Whole jobs: folder removal, frame rate, repeats, gaps, the end state.
TEST(ExportJobRun, RepeatsFillTheRecordedTime) {
  TempDir dir;
  FakeUi ui;
  // Step 10 (10 fps). 10 -> 50: four pictures; 50 -> 60: one; 60 is last.
  ui.folders.push_back(MakeMinute(dir, "a", {10, 50, 60}));
  // A gap over 2 s is written once; exactly 2 s is filled (20 pictures).
  ui.folders.push_back(MakeMinute(dir, "b", {10, 400, 600, 610}));
  ui.outputName = dir.Join("out.avi");
  ui.format = 1;
  ExportJob job(&ui);
  TraceCapture trace;
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
  EXPECT_EQ(job.fps(), 10);
  EXPECT_EQ(job.picturesWritten(), 4 + 1 + 1 + 20 + 1);
  EXPECT_EQ(job.framesMeasured(), 7);
  EXPECT_EQ(ui.rangeLow, 0);
  EXPECT_EQ(ui.rangeHigh, 6);
  EXPECT_EQ(ui.step, 1);
  EXPECT_EQ(ui.steps.load(), 5);  // every frame but the last of each folder
  EXPECT_EQ(ui.position, 6);
  EXPECT_EQ(ui.button, "Close");
  ASSERT_FALSE(ui.statuses.empty());
  EXPECT_EQ(ui.statuses.front(), "Calculating FPS...");
  EXPECT_EQ(ui.statuses.back(), "Completed.");
  // The status shows each frame as it is loaded.
  EXPECT_TRUE(ui.ShowedStatus(ui.folders[0] + "0010.jpg"));
  EXPECT_TRUE(ui.ShowedStatus(ui.folders[1] + "0600.jpg"));
  EXPECT_FALSE(ui.ShowedStatus(ui.folders[1] + "0610.jpg"));
  EXPECT_EQ(ui.outputName, dir.Join("out.avi"));
  EXPECT_GT(ReadFile(ui.outputName).size(), 0u);
  EXPECT_TRUE(trace.Lines().empty());
  // Ready for another job.
  EXPECT_EQ(job.stopRequested.load(), 0);
  EXPECT_EQ(job.frameCount, 0);
  EXPECT_EQ(job.file, nullptr);
  EXPECT_EQ(job.codec, nullptr);
}

TEST(ExportJobRun, SmallStepsClampTo25FramesPerSecond) {
  TempDir dir;
  FakeUi ui;
  // Spacing 3 < 4: each picture once (the gap is shorter than a frame).
  ui.folders.push_back(MakeMinute(dir, "a", {10, 13, 16, 20}));
  ui.outputName = dir.Join("out");
  ExportJob job(&ui);
  RunJob(job);
  EXPECT_EQ(job.fps(), 25);
  EXPECT_EQ(job.picturesWritten(), 3);
  EXPECT_EQ(ui.outputName, dir.Join("out.mpg"));  // no extension: appended
}

TEST(ExportJobRun, SingleFramesGiveOneFramePerSecondAndNoPicture) {
  TempDir dir;
  FakeUi ui;
  ui.folders.push_back(MakeMinute(dir, "a", {100}));
  ui.folders.push_back(MakeMinute(dir, "b", {2000}));
  ui.outputName = dir.Join("out.avi");
  ui.format = 1;
  ExportJob job(&ui);
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
  EXPECT_EQ(job.fps(), 1);
  EXPECT_EQ(job.picturesWritten(), 0);
  EXPECT_EQ(ReadFile(dir.Join("out.avi")).size(), 0u);  // no frame: empty
}

TEST(ExportJobRun, EmptyFoldersLeaveTheListAndUnusableNamesAreSkipped) {
  TempDir dir;
  FakeUi ui;
  MakeDirs(dir.Join("empty"));
  WriteFile(dir.Join("nojpg/readme.txt"), "x");
  ui.folders.push_back(Folder(dir, "empty"));
  ui.folders.push_back(MakeMinute(dir, "a", {10, 20, 30}));
  ui.folders.push_back(Folder(dir, "nojpg"));
  ui.folders.push_back(Folder(dir, "missing"));
  // 0000.jpg is unusable; 0020.jpg starts the folder afresh.
  const std::string b = MakeMinute(dir, "b", {0, 20, 30, 40});
  ui.folders.push_back(b);
  ui.outputName = dir.Join("out.mpg");
  ExportJob job(&ui);
  RunJob(job);
  ASSERT_EQ(ui.folders.size(), 2u);
  EXPECT_EQ(ui.folders[0], Folder(dir, "a"));
  EXPECT_EQ(ui.folders[1], b);
  EXPECT_EQ(job.picturesWritten(), 2 + 2);
  EXPECT_EQ(job.framesMeasured(), 6);
}

TEST(ExportJobRun, UnreadableFrameIsSkippedAndItsTimeCovered) {
  TempDir dir;
  FakeUi ui;
  const std::string a = MakeMinute(dir, "a", {10, 20, 30, 40, 50});
  WriteFile(a + "0030.jpg", "not a picture");
  ui.folders.push_back(a);
  ui.outputName = dir.Join("out.asf");
  ui.format = 2;
  ExportJob job(&ui);
  TraceCapture trace;
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
  // 10 and 20 once each; 30 fails; 40 covers 30..50 twice.
  EXPECT_EQ(job.picturesWritten(), 4);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{"Decoding failed!"});
  EXPECT_EQ(ui.steps.load(), 3);
}

TEST(ExportJobRun, SizeMismatchStopsAndKeepsTheFile) {
  TempDir dir;
  FakeUi ui;
  ui.folders.push_back(MakeMinute(dir, "a", {10, 20, 30}, 64, 48));
  ui.folders.push_back(MakeMinute(dir, "b", {10, 20, 30}, 80, 48));
  ui.outputName = dir.Join("out.avi");
  ui.format = 1;
  ExportJob job(&ui);
  TraceCapture trace;
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kMismatch);
  EXPECT_EQ(ui.mismatches, std::vector<std::string>{"Image mismatch : 64x48 != 80x48"});
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{"Different frame size"});
  EXPECT_EQ(job.picturesWritten(), 2);
  EXPECT_FALSE(ui.ShowedStatus("Completed."));
  EXPECT_EQ(ui.button, "Close");
  const std::string bytes = ReadFile(dir.Join("out.avi"));
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0);
  EXPECT_EQ(job.stopRequested.load(), 0);
}

TEST(ExportJobRun, CancelDuringTheFpsPassCreatesNoFile) {
  TempDir dir;
  FakeUi ui;
  ui.folders.push_back(MakeMinute(dir, "a", {10, 20, 30}));
  ui.folders.push_back(MakeMinute(dir, "b", {10, 20, 30}));
  ui.outputName = dir.Join("out.mpg");
  ExportJob job(&ui);
  ui.onGetFolder = [&](int) { job.stopRequested = 1; };
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCancelled);
  EXPECT_FALSE(FileExists(dir.Join("out.mpg")));
  EXPECT_EQ(ui.button, "Close");
  EXPECT_FALSE(ui.ShowedStatus("Completed."));
  EXPECT_EQ(job.stopRequested.load(), 0);
}

// Cancel from another thread, as the dialog's button does, while pictures
// are being written: the file is closed with its trailer.
TEST(ExportJobRun, CancelDuringTheEncodePassClosesTheFile) {
  TempDir dir;
  FakeUi ui;
  for (int m = 0; m < 3; ++m)
    ui.folders.push_back(MakeMinute(dir, "m" + std::to_string(m), Spaced(10, 10, 40)));
  ui.outputName = dir.Join("out.wmv");
  ui.format = 4;
  ExportJob job(&ui);
  testing_support::StderrCapture quiet;
  ASSERT_TRUE(job.Start());
  while (ui.steps.load() < 5 && job.running.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  job.stopRequested = 1;
  job.Join();
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCancelled);
  EXPECT_LT(job.picturesWritten(), 3 * 39);
  EXPECT_GE(job.picturesWritten(), 5);
  EXPECT_FALSE(ui.ShowedStatus("Completed."));
  const std::string bytes = ReadFile(dir.Join("out.wmv"));
  ASSERT_GT(bytes.size(), 16u);
  EXPECT_EQ(bytes.compare(0, 8, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"), 0);
}

TEST(ExportJobRun, PrepareFailures) {
  TempDir dir;
  {
    // The output folder does not exist: stopped, nothing created.
    FakeUi ui;
    ui.folders.push_back(MakeMinute(dir, "a", {10, 20}));
    ui.outputName = dir.Join("missing/out.avi");
    ExportJob job(&ui);
    RunJob(job);
    EXPECT_EQ(job.outcome(), ExportJob::Outcome::kOutputFailed);
    EXPECT_FALSE(ui.ShowedStatus("Completed."));
    EXPECT_EQ(ui.button, "Close");
  }
  {
    // No folder with frames left: the file exists but stays empty.
    FakeUi ui;
    MakeDirs(dir.Join("empty"));
    ui.folders.push_back(Folder(dir, "empty"));
    ui.outputName = dir.Join("none.avi");
    ui.format = 1;
    ExportJob job(&ui);
    RunJob(job);
    EXPECT_EQ(job.outcome(), ExportJob::Outcome::kNoFolder);
    EXPECT_TRUE(ui.folders.empty());
    EXPECT_EQ(ReadFile(dir.Join("none.avi")).size(), 0u);
  }
  {
    // The first frame the folder lists cannot be decoded.
    FakeUi ui;
    const std::string a = MakeMinute(dir, "bad", {10, 20});
    WriteFile(a + "0010.jpg", "garbage");
    ui.folders.push_back(a);
    ui.outputName = dir.Join("bad.avi");
    ExportJob job(&ui);
    RunJob(job);
    EXPECT_EQ(job.outcome(), ExportJob::Outcome::kProbeFailed);
  }
}

TEST(ExportJobRun, FormatExtensionAndDefaults) {
  TempDir dir;
  FakeUi ui;
  ui.folders.push_back(MakeMinute(dir, "a", {10, 20, 30}));
  ui.outputName = dir.Join("clip.avi");
  ui.format = -1;  // nothing selected: .mpg
  ui.bitRateSelected = false;
  ExportJob job(&ui);
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
  EXPECT_EQ(ui.outputName, dir.Join("clip.mpg"));
  EXPECT_TRUE(FileExists(dir.Join("clip.mpg")));
  EXPECT_FALSE(FileExists(dir.Join("clip.avi")));
  const std::string bytes = ReadFile(dir.Join("clip.mpg"));
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(bytes.compare(0, 4, std::string("\x00\x00\x01\xba", 4)), 0);
}

// Decoding the next frame on a second thread changes nothing in the file.
TEST(ExportJobRun, PipeliningGivesIdenticalBytes) {
  TempDir dir;
  std::vector<std::string> folders;
  folders.push_back(MakeMinute(dir, "a", {10, 20, 30, 70, 80, 500, 510, 0}));
  const std::string b = MakeMinute(dir, "b", Spaced(5, 10, 30));
  WriteFile(b + "0105.jpg", "broken");
  folders.push_back(b);
  folders.push_back(MakeMinute(dir, "c", {15}));
  for (int format : {1, 6}) {
    std::string outputs[2];
    for (int pipelined = 0; pipelined < 2; ++pipelined) {
      FakeUi ui;
      ui.folders = folders;
      ui.format = format;
      ui.outputName = dir.Join("out" + std::to_string(pipelined));
      ExportJob job(&ui);
      job.SetPipelining(pipelined == 1);
      RunJob(job);
      EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
      outputs[pipelined] = ReadFile(ui.outputName);
    }
    EXPECT_GT(outputs[0].size(), 1000u);
    EXPECT_TRUE(outputs[0] == outputs[1]) << "format " << format;
  }
}

// A job object runs job after job with its decoder and buffers.
TEST(ExportJobRun, SecondJobOnTheSameObject) {
  TempDir dir;
  FakeUi ui;
  ui.folders.push_back(MakeMinute(dir, "a", {10, 20, 30}));
  ui.outputName = dir.Join("one.avi");
  ui.format = 1;
  ExportJob job(&ui);
  RunJob(job);
  EXPECT_EQ(job.picturesWritten(), 2);
  ui.outputName = dir.Join("two.avi");
  ui.folders.push_back(MakeMinute(dir, "b", {10, 20, 30}, 64, 48));
  RunJob(job);
  EXPECT_EQ(job.outcome(), ExportJob::Outcome::kCompleted);
  EXPECT_EQ(job.picturesWritten(), 4);
  EXPECT_EQ(ReadFile(dir.Join("one.avi")).size() < ReadFile(dir.Join("two.avi")).size(), true);
}

// Every chroma layout the cameras write lands in the packed 4:2:0 buffer:
// luma unchanged, chroma from the matching rows and columns.
TEST(ExportLoadFrame, ChromaLayoutsPackTo420) {
  TempDir dir;
  for (sample::Chroma chroma :
       {sample::Chroma::k420, sample::Chroma::k422, sample::Chroma::k444, sample::Chroma::kGray}) {
    for (int size : {0, 1}) {
      const int w = size ? 75 : 64, h = size ? 45 : 48;
      SCOPED_TRACE(static_cast<int>(chroma) * 10 + size);
      const std::string path = dir.Join("f.jpg");
      WriteFile(path, FrameBytes(w, h, 1234, chroma));

      av::CodecContextPtr decoder = av::OpenMjpegDecoder();
      av::PacketPtr packet(av_packet_alloc());
      av::FramePtr frame(av_frame_alloc());
      std::string bytes = ReadFile(path);
      bytes.append(AV_INPUT_BUFFER_PADDING_SIZE, '\0');
      ASSERT_EQ(av::DecodeJpeg(decoder.get(), packet.get(), frame.get(),
                               reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               bytes.size() - AV_INPUT_BUFFER_PADDING_SIZE),
                1);

      FakeUi ui;
      ExportJob job(&ui);
      job.width = w;
      job.height = h;
      ASSERT_EQ(job.LoadFrame(path.c_str(), false), 1);
      const std::uint8_t* p = job.picture();
      for (int y = 0; y < h; ++y)
        ASSERT_EQ(std::memcmp(p + y * w, frame->data[0] + y * frame->linesize[0], w), 0) << y;
      const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
      const int n = w * h, cw = w / 2, ch = h / 2;
      // A one-component picture gets neutral chroma.
      for (int plane = 1; plane <= 2 && frame->format == AV_PIX_FMT_GRAY8; ++plane)
        for (int i = 0; i < cw * ch; ++i) ASSERT_EQ(p[n + (plane == 2 ? n / 4 : 0) + i], 128);
      // Converted chroma is filtered: compare on average.
      for (int plane = 1; plane <= 2 && frame->format != AV_PIX_FMT_GRAY8; ++plane) {
        const std::uint8_t* packed = p + n + (plane == 2 ? n / 4 : 0);
        long long error = 0;
        for (int y = 0; y < ch; ++y)
          for (int x = 0; x < cw; ++x) {
            const int sx = x << (1 - d->log2_chroma_w), sy = y << (1 - d->log2_chroma_h);
            const int source = frame->data[plane][sy * frame->linesize[plane] + sx];
            error += std::abs(packed[y * cw + x] - source);
            if (d->log2_chroma_w == 1 && d->log2_chroma_h == 1) {
              ASSERT_EQ(packed[y * cw + x], source) << plane << " " << x << "," << y;
            }
          }
        EXPECT_LE(error, 3LL * cw * ch) << plane;
      }
      // A picture of another size is refused and shown.
      job.width = w + 2;
      EXPECT_EQ(job.LoadFrame(path.c_str(), false), -1);
      ASSERT_EQ(ui.mismatches.size(), 1u);
      EXPECT_EQ(job.stopRequested.load(), 1);
    }
  }
}

TEST(ExportLoadFrame, ProbeTakesTheFirstListedFile) {
  TempDir dir;
  const std::string a = MakeMinute(dir, "a", {3000}, 96, 64);
  WriteFile(a + "0100.jpg", FrameBytes(80, 48, 100));
  FakeUi ui;
  ExportJob job(&ui);
  EXPECT_EQ(job.ProbeSize(a.c_str()), 1);
  EXPECT_EQ(job.width, 80);
  EXPECT_EQ(job.height, 48);
  EXPECT_EQ(job.ProbeSize(Folder(dir, "missing").c_str()), 0);
  EXPECT_EQ(job.LoadFrame(dir.Join("missing.jpg").c_str(), true), 0);
}
