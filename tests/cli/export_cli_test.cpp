#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/cmd_export.h"
#include "tests/export/export_test_util.h"
#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using export_test::MakeMinute;
using export_test::Spaced;
using testing_support::MakeDirs;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::string Slurp(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  return text;
}

struct Result {
  int code;
  std::string out, err;
};

// Runs "orvanel-cli export ARGS..." in-process.
Result Export(std::vector<std::string> args) {
  args.insert(args.begin(), {"orvanel-cli", "export"});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Result r;
  {
    testing_support::StderrCapture library;  // the encoder's own lines
    r.code = CliMain(static_cast<int>(argv.size()), argv.data(), out, err);
  }
  r.out = Slurp(out);
  r.err = Slurp(err);
  std::fclose(out);
  std::fclose(err);
  return r;
}

std::string WithSeparator(const std::string& path) { return path + platform::kPathSeparator; }

// A backup with two cameras and the folders the tree must not show.
void MakeBackup(const TempDir& dir) {
  for (const char* minute : {"root/CamA/2004-03-15/12/00", "root/CamA/2004-03-15/12/01",
                             "root/CamA/2004-03-15/13/05", "root/CamA/2004-03-16/09/30",
                             "root/CamB/2004-03-15/08/15"})
    WriteFile(dir.Join(std::string(minute) + "/0010.jpg"), "");
  for (const char* hidden : {"root/.sync/2004-03-15/12/00", "root/CamA/2004-13-01/12/00",
                             "root/CamA/2004-03-15/24/00", "root/CamA/2004-03-15/12/60",
                             "root/CamA/2004-03-15/ab/00"})
    WriteFile(dir.Join(std::string(hidden) + "/0010.jpg"), "");
}

}  // namespace

TEST(ExportCliFolders, ExpandsEveryLevelInTreeOrder) {
  TempDir dir;
  MakeBackup(dir);
  auto expand = [&](const std::string& relative) {
    std::vector<std::string> minutes;
    std::string error;
    EXPECT_TRUE(ExpandExportFolder(dir.Join(relative), minutes, &error)) << error;
    for (std::string& m : minutes) m = m.substr(dir.path().size() + 1);
    return minutes;
  };
  const char s = platform::kPathSeparator;
  auto path = [&](std::string p) {
    for (char& c : p)
      if (c == '/') c = s;
    return p;
  };
  const std::vector<std::string> all = {
      path("root/CamA/2004-03-15/12/00/"), path("root/CamA/2004-03-15/12/01/"),
      path("root/CamA/2004-03-15/13/05/"), path("root/CamA/2004-03-16/09/30/"),
      path("root/CamB/2004-03-15/08/15/")};
  EXPECT_EQ(expand("root"), all);
  EXPECT_EQ(expand("root/CamA"), std::vector<std::string>(all.begin(), all.begin() + 4));
  EXPECT_EQ(expand("root/CamA/2004-03-15"), std::vector<std::string>(all.begin(), all.begin() + 3));
  EXPECT_EQ(expand("root/CamA/2004-03-15/12"), std::vector<std::string>(all.begin(), all.begin() + 2));
  EXPECT_EQ(expand("root/CamA/2004-03-15/12/01/"), std::vector<std::string>{all[1]});

  // A minute is listed once, however often it is named.
  std::vector<std::string> minutes;
  std::string error;
  ASSERT_TRUE(ExpandExportFolder(dir.Join("root/CamA/2004-03-15/12/01"), minutes, &error));
  ASSERT_TRUE(ExpandExportFolder(dir.Join("root/CamA/2004-03-15/12"), minutes, &error));
  EXPECT_EQ(minutes.size(), 2u);
  EXPECT_FALSE(ExpandExportFolder(dir.Join("nowhere"), minutes, &error));
  EXPECT_EQ(error, "no such folder");
}

TEST(ExportCliArguments, RefusedWithExitCode2) {
  TempDir dir;
  const std::string minute = MakeMinute(dir, "m", {10, 20});
  const std::string out = dir.Join("out.avi");
  const struct {
    std::vector<std::string> args;
    std::string message;
  } kCases[] = {
      {{minute}, "no output file"},
      {{"-o", out}, "no input folder"},
      {{"-o", out, "--format", "mp4", minute}, "unknown format 'mp4'"},
      {{"-o", out, "--bitrate", "0", minute}, "bit rate '0'"},
      {{"-o", out, "--bitrate", "fast", minute}, "bit rate 'fast'"},
      {{"-o", out, "--quality", "9", minute}, "unknown option '--quality'"},
      {{"-o", out, dir.Join("missing")}, "'" + dir.Join("missing") + "': no such folder"},
      {{"-o", out, "--format"}, "--format needs"},
  };
  for (const auto& c : kCases) {
    const Result r = Export(c.args);
    EXPECT_EQ(r.code, 2) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  // An output file that cannot be created.
  const Result r = Export({"-o", dir.Join("no/such/folder/out"), minute});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("cannot create the output file"), std::string::npos) << r.err;
}

TEST(ExportCliRun, ExportsACameraAndPrintsTheName) {
  TempDir dir;
  MakeMinute(dir, "root/Cam/2004-03-15/12/00", Spaced(10, 20, 10));
  MakeMinute(dir, "root/Cam/2004-03-15/12/01", Spaced(10, 20, 10));
  const Result r = Export({"-o", dir.Join("clip.avi"), "--format", "wmv", "--bitrate", "250",
                           WithSeparator(dir.Join("root/Cam"))});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, dir.Join("clip.wmv") + "\n");
  // Not a terminal: plain progress lines up to 100%.
  EXPECT_NE(r.err.find("orvanel-cli: export: Calculating FPS..."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("orvanel-cli: export: 100% (20/20 frames"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos);
  const std::string bytes = ReadFile(dir.Join("clip.wmv"));
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes.compare(0, 8, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"), 0);
}

TEST(ExportCliRun, StoppedExportsExitWith1) {
  TempDir dir;
  {
    // Two cameras of different picture sizes: the "message box" is a line.
    MakeMinute(dir, "a/Cam1/2004-03-15/12/00", {10, 20, 30}, 64, 48);
    MakeMinute(dir, "a/Cam2/2004-03-15/12/00", {10, 20, 30}, 80, 48);
    const Result r = Export({"-o", dir.Join("a.mpg"), dir.Join("a")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("orvanel-cli: export: Image mismatch : 64x48 != 80x48\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("0010.jpg': picture size differs"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  {
    // Only single frames: nothing to write.
    MakeMinute(dir, "b/2004-03-15/12/00", {10});
    MakeMinute(dir, "b/2004-03-15/12/01", {500});
    const Result r = Export({"-o", dir.Join("b.avi"), dir.Join("b/2004-03-15/12")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no picture written"), std::string::npos) << r.err;
  }
  {
    // Folders without any minute below them.
    MakeDirs(dir.Join("c/Cam/2004-03-15"));
    const Result r = Export({"-o", dir.Join("c.avi"), dir.Join("c")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no minute folders"), std::string::npos) << r.err;
  }
}

#ifndef _WIN32
// Ctrl+C stops the export; the file so far stays playable. A signal that
// arrives after the export has ended falls on the test's own handler.
TEST(ExportCliRun, InterruptCancels) {
  TempDir dir;
  std::vector<std::string> folders;
  for (int m = 0; m < 6; ++m)
    MakeMinute(dir, "h/2004-03-15/12/0" + std::to_string(m), Spaced(10, 10, 60), 176, 144);
  void (*previous)(int) = std::signal(SIGINT, SIG_IGN);
  Result r{};
  std::atomic<bool> done{false};
  std::thread run([&] {
    r = Export({"-o", dir.Join("cut.avi"), "--format", "avi", dir.Join("h/2004-03-15")});
    done = true;
  });
  const std::string output = dir.Join("cut.avi");
  while (!done && ReadFile(output).size() < 20000)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  while (!done) {
    std::raise(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.join();
  std::signal(SIGINT, previous);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("cancelled"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string bytes = ReadFile(output);
  EXPECT_EQ(bytes.compare(0, 4, "RIFF"), 0);
  EXPECT_NE(bytes.find("idx1"), std::string::npos);  // closed with its index
}
#endif
