// Every export the job can start gives a file a standard player opens: the
// four formats at every frame rate the job chooses, small, odd and large
// picture sizes, repeats and gaps, and cancelled exports. Natively Debian's
// ffprobe reads each file back (container, codec, size, frame rate, frame
// count, time stamps); where it is missing (or under Wine) the files'
// signatures and the job's own counts are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

struct FormatCase {
  int code;
  const char* extension;
  const char* container;  // ffprobe's format_name
  const char* codec;      // ffprobe's codec_name
  std::string signature;
};

const FormatCase kFormats[] = {
    {6, ".mpg", "mpeg", "mpeg1video", std::string("\x00\x00\x01\xba", 4)},
    {1, ".avi", "avi", "mpeg4", "RIFF"},
    {2, ".asf", "asf", "msmpeg4v3", "\x30\x26\xb2\x75\x8e\x66\xcf\x11"},
    {4, ".wmv", "asf", "wmv1", "\x30\x26\xb2\x75\x8e\x66\xcf\x11"},
};

struct Probe {
  bool ok = false;
  std::map<std::string, std::string> fields;  // stream and format entries
  std::vector<double> pts;                    // packet times that are known
  std::string errors;                         // what ffprobe reported
  int Int(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? -1 : std::atoi(it->second.c_str());
  }
  double Double(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? -1 : std::atof(it->second.c_str());
  }
  std::string Text(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? "" : it->second;
  }
};

#ifndef _WIN32
bool HaveFfprobe() {
  static const bool have = std::system("ffprobe -version >/dev/null 2>&1") == 0;
  return have;
}

// ffprobe runs side by side, one per file (its start-up is the slow part):
// stream and format entries, every packet's time, and whatever it reports
// as an error while decoding all frames.
std::vector<Probe> RunProbes(const std::vector<std::string>& paths) {
  std::string script;
  for (const std::string& path : paths)
    script += "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
              "stream=codec_name,width,height,r_frame_rate,nb_read_frames:"
              "format=format_name,duration:packet=pts_time -of default=nw=1 '" + path +
              "' >'" + path + ".probe' 2>'" + path + ".errors' & ";
  script += "wait";
  std::vector<Probe> probes(paths.size());
  if (std::system(script.c_str()) != 0) return probes;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    Probe& probe = probes[i];
    std::istringstream lines(ReadFile(paths[i] + ".probe"));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t eq = line.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "pts_time") {
        if (value != "N/A") probe.pts.push_back(std::atof(value.c_str()));
      } else {
        probe.fields[key] = value;
      }
    }
    probe.errors = ReadFile(paths[i] + ".errors");
    probe.ok = !probe.fields.empty();
  }
  return probes;
}
#else
bool HaveFfprobe() { return false; }
std::vector<Probe> RunProbes(const std::vector<std::string>& paths) {
  return std::vector<Probe>(paths.size());
}
#endif

// MPEG-1 codes these rates (FFmpeg's unofficial 5, 10, 12, 15 included);
// other rates carry the nearest one in the header and exact time stamps.
bool Mpeg1Codes(int fps) { return fps == 25 || fps == 5 || fps == 10 || fps == 12; }

struct Export {
  std::string path;
  int pictures = 0;
  int fps = 0;
  ExportJob::Outcome outcome = ExportJob::Outcome::kNone;
};

Export RunExport(const TempDir& dir, const std::vector<std::string>& folders, const FormatCase& f,
                 const std::string& name, int cancelAfterSteps = 0) {
  FakeUi ui;
  ui.folders = folders;
  ui.format = f.code;
  ui.outputName = dir.Join(name);
  ExportJob job(&ui);
  if (cancelAfterSteps > 0)
    ui.onStep = [&](int steps) {
      if (steps == cancelAfterSteps) job.stopRequested = 1;
    };
  testing_support::StderrCapture quiet;
  EXPECT_TRUE(job.Start());
  job.Join();
  Export e;
  e.path = ui.outputName;
  e.pictures = job.picturesWritten();
  e.fps = job.fps();
  e.outcome = job.outcome();
  return e;
}

struct Expected {
  Export result;
  const FormatCase* format;
  int width, height;
};

// What any export file must show: its container's signature, and to
// ffprobe the right container, codec, size, frame count and timing.
void CheckFiles(const std::vector<Expected>& files) {
  std::vector<std::string> paths;
  for (const Expected& x : files) paths.push_back(x.result.path);
  const std::vector<Probe> probes = RunProbes(paths);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Export& e = files[i].result;
    const FormatCase& f = *files[i].format;
    SCOPED_TRACE(e.path);
    const std::string bytes = ReadFile(e.path);
    ASSERT_GT(bytes.size(), f.signature.size());
    EXPECT_EQ(bytes.compare(0, f.signature.size(), f.signature), 0);
    if (!HaveFfprobe()) continue;

    const Probe& p = probes[i];
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.errors, "");
    EXPECT_EQ(p.Text("format_name"), f.container);
    EXPECT_EQ(p.Text("codec_name"), f.codec);
    EXPECT_EQ(p.Int("width"), files[i].width & ~1);
    EXPECT_EQ(p.Int("height"), files[i].height & ~1);
    EXPECT_EQ(p.Int("nb_read_frames"), e.pictures);
    const double frame = 1.0 / e.fps;
    // ASF keeps millisecond time stamps and no frame rate (ffprobe guesses
    // one from a few stamps); MPEG-1 codes the rates it has.
    if (f.code == 1 || (f.code == 6 && Mpeg1Codes(e.fps))) {
      EXPECT_EQ(p.Text("r_frame_rate"), std::to_string(e.fps) + "/1");
    }
    if (f.code != 6) {
      // AVI and ASF: the stream lasts frames / fps (ASF counts milliseconds).
      EXPECT_NEAR(p.Double("duration"), e.pictures * frame, 0.0015);
    }
    // Every known packet time lies on the frame grid, rising, within the
    // pictures written; with every time known the last is one frame short
    // of the whole.
    ASSERT_FALSE(p.pts.empty());
    const double first = p.pts.front();
    double last = first;
    for (double t : p.pts) {
      const double k = (t - first) / frame;
      EXPECT_NEAR(k, std::round(k), 0.02) << t;
      EXPECT_LE(std::round(k), e.pictures - 1) << t;
      EXPECT_GE(t, last) << t;
      last = t;
    }
    if (static_cast<int>(p.pts.size()) == e.pictures) {
      EXPECT_NEAR(last - first, (e.pictures - 1) * frame, 0.0015);
    }
  }
}

}  // namespace

// Folders of four frames spaced `step` apart: the job chooses 100 / step
// frames per second and writes three pictures.
class ExportRates : public ::testing::TestWithParam<int> {};

TEST_P(ExportRates, EveryFrameRate) {
  const FormatCase& f = kFormats[GetParam()];
  TempDir dir;
  const int steps[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 20, 25, 33, 50, 100};
  const int rates[] = {25, 20, 16, 14, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  std::vector<Expected> files;
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(steps[i]);
    const std::string folder =
        MakeMinute(dir, "s" + std::to_string(steps[i]), Spaced(10, steps[i], 4), 176, 144);
    const Export e = RunExport(dir, {folder}, f, "out" + std::to_string(steps[i]));
    EXPECT_EQ(e.outcome, ExportJob::Outcome::kCompleted);
    EXPECT_EQ(e.fps, rates[i]);
    EXPECT_EQ(e.pictures, 3);
    EXPECT_EQ(e.path, dir.Join("out" + std::to_string(steps[i]) + f.extension));
    files.push_back({e, &f, 176, 144});
  }
  CheckFiles(files);
}

// Sizes that are not multiples of 16, odd sizes (one column and row less).
TEST_P(ExportRates, PictureSizes) {
  const FormatCase& f = kFormats[GetParam()];
  TempDir dir;
  const int sizes[][2] = {{176, 144}, {177, 145}, {202, 118}, {351, 239}};
  std::vector<Expected> files;
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
    const std::string folder = MakeMinute(dir, std::to_string(size[0]), Spaced(10, 10, 4),
                                          size[0], size[1]);
    const Export e = RunExport(dir, {folder}, f, "out" + std::to_string(size[0]));
    EXPECT_EQ(e.outcome, ExportJob::Outcome::kCompleted);
    EXPECT_EQ(e.pictures, 3);
    files.push_back({e, &f, size[0], size[1]});
  }
  CheckFiles(files);
}

// Repeats fill the recorded time; a gap over 2 s is written once; the
// next folder starts afresh. Then the same export cancelled after a few
// pictures: the part written is a whole, readable file.
TEST_P(ExportRates, RepeatsGapsAndCancel) {
  const FormatCase& f = kFormats[GetParam()];
  TempDir dir;
  const std::vector<std::string> folders = {
      MakeMinute(dir, "a", {10, 50, 60, 400, 410}, 176, 144),
      MakeMinute(dir, "b", Spaced(100, 10, 12), 176, 144),
  };
  const Export whole = RunExport(dir, folders, f, "whole");
  EXPECT_EQ(whole.fps, 10);
  EXPECT_EQ(whole.pictures, 4 + 1 + 1 + 1 + 11);

  const Export cut = RunExport(dir, folders, f, "cut", 6);
  EXPECT_EQ(cut.outcome, ExportJob::Outcome::kCancelled);
  EXPECT_LT(cut.pictures, whole.pictures);
  EXPECT_GE(cut.pictures, 6);
  CheckFiles({{whole, &f, 176, 144}, {cut, &f, 176, 144}});
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportRates, ::testing::Values(0, 1, 2, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(kFormats[info.param].extension + 1);
                         });

// Two large pictures, written by the formats that take them.
TEST(ExportLargePictures, HighDefinition) {
  TempDir dir;
  const struct {
    int format;
    int width, height;
  } kCases[] = {{1, 1920, 1080}, {6, 1920, 1080}, {4, 1280, 720}};
  std::vector<Expected> files;
  for (const auto& c : kCases) {
    const FormatCase& f = *std::find_if(std::begin(kFormats), std::end(kFormats),
                                        [&](const FormatCase& x) { return x.code == c.format; });
    SCOPED_TRACE(f.extension);
    const std::string folder = MakeMinute(dir, std::to_string(c.width) + f.extension,
                                          Spaced(10, 20, 3), c.width, c.height);
    const Export e = RunExport(dir, {folder}, f, "large" + std::to_string(c.format));
    EXPECT_EQ(e.outcome, ExportJob::Outcome::kCompleted);
    EXPECT_EQ(e.fps, 5);
    EXPECT_EQ(e.pictures, 2);
    files.push_back({e, &f, c.width, c.height});
  }
  CheckFiles(files);
}
