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
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"

using export_test::MakeMinute;
using export_test::Spaced;
using testing_support::MakeDirs;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using cli_test::Result;

// Runs "orvanel-cli export ARGS..." in-process.
Result Export(std::vector<std::string> args) {
  args.insert(args.begin(), {"orvanel-cli", "export"});
  testing_support::StderrCapture library;  // the encoder's own lines
  return cli_test::RunCommand(CliMain, args);
}

}  // namespace

// A root gives its cameras one after another, the others their minutes in
// time order (hidden levels are the store's); a minute is listed once.
TEST(ExportCliFolders, ExpandsEveryLevelOnce) {
  TempDir dir;
  const std::vector<std::string> all = {"r/CamA/2004-03-15/12/00", "r/CamA/2004-03-15/12/01",
                                        "r/CamA/2004-03-16/09/30", "r/CamB/2004-03-15/08/15"};
  for (const std::string& minute : all) WriteFile(dir.Join(minute + "/0010.jpg"), "");
  WriteFile(dir.Join("r/.sync/2004-03-15/12/00/0010.jpg"), "");
  const struct {
    std::vector<const char*> folders;
    std::vector<int> minutes;
  } kCases[] = {{{"r"}, {0, 1, 2, 3}}, {{"r/CamA"}, {0, 1, 2}},
                {{"r/CamA/2004-03-15/12/01/", "r/CamA/2004-03-15"}, {1, 0}}};
  for (const auto& c : kCases) {
    std::vector<std::string> minutes, expected;
    std::string error;
    for (const char* folder : c.folders) EXPECT_TRUE(ExpandExportFolder(dir.Join(folder), minutes, &error));
    for (int i : c.minutes) expected.push_back(dir.Join(all[i]) + platform::kPathSeparator);
    EXPECT_EQ(minutes, expected) << c.folders[0];
  }
  std::vector<std::string> minutes;
  std::string error;
  EXPECT_FALSE(ExpandExportFolder(dir.Join("nowhere"), minutes, &error));
  EXPECT_EQ(error, "no such folder");
}

// Exit 0 with the name written, 1 for a stopped export, 2 for bad
// arguments; the reason on one line of the error stream.
TEST(ExportCliRun, ExitCodesAndMessages) {
  TempDir dir;
  const std::string minute = MakeMinute(dir, "m", {10, 20});
  const std::string out = dir.Join("out.mpg"), missing = dir.Join("missing");
  MakeMinute(dir, "root/Cam/2004-03-15/12/00", Spaced(10, 20, 10));
  MakeMinute(dir, "root/Cam/2004-03-15/12/01", Spaced(10, 20, 10));
  // Two cameras of different picture sizes: the "message box" is a line.
  MakeMinute(dir, "a/Cam1/2004-03-15/12/00", {10, 20, 30}, 64, 48);
  MakeMinute(dir, "a/Cam2/2004-03-15/12/00", {10, 20, 30}, 80, 48);
  // A picture whose name gives no time: nothing written, no file left.
  WriteFile(dir.Join("b/2004-03-15/12/00/cover.jpg"), ReadFile(minute + "0010.jpg"));
  MakeDirs(dir.Join("c/Cam/2004-03-15"));  // no minute below
  const struct {
    std::vector<std::string> args;
    int code;
    std::string message;
  } kCases[] = {
      {{minute}, 2, "no output file"},
      {{"-o", out}, 2, "no input folder"},
      {{"-o", out, "--format", "mp4", minute}, 2, "unknown format 'mp4'"},
      {{"-o", out, "--bitrate", "0", minute}, 2, "bit rate '0'"},
      {{"-o", out, "--quality", "9", minute}, 2, "unknown option '--quality'"},
      {{"-o", out, missing}, 2, "'" + missing + "': no such folder"},
      {{"-o", dir.Join("no/such/folder/out"), minute}, 2, "cannot create the output file"},
      {{"-o", out, dir.Join("a")}, 1,
       "0010.jpg': picture size differs from the first frame's (Image mismatch : 64x48 != 80x48); "
       "stopped"},
      {{"-o", out, dir.Join("b/2004-03-15/12")}, 1, "no picture written"},
      {{"-o", out, dir.Join("c")}, 1, "no minute folders"},
      // Not a terminal: plain progress lines up to 100%.
      {{"-o", dir.Join("clip.avi"), "--format", "wmv", "--bitrate", "250",
        dir.Join("root/Cam") + platform::kPathSeparator},
       0, "orvanel-cli: export: 100% (20/20 frames"},
  };
  for (const auto& c : kCases) {
    std::remove(out.c_str());
    const Result r = Export(c.args);
    // Only the size mismatch had written pictures: it keeps them.
    const bool kept = c.message.find("picture size differs") != std::string::npos;
    EXPECT_EQ(ReadFile(out).empty(), !kept) << c.message;
    EXPECT_EQ(r.code, c.code) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_EQ(r.out, c.code == 0 ? dir.Join("clip.wmv") + "\n" : "");
  }
  EXPECT_EQ(ReadFile(dir.Join("clip.wmv")).compare(0, 8, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"), 0);
}

#ifndef _WIN32
// Ctrl+C stops the export; the file so far stays playable. A signal that
// arrives after the export has ended falls on the test's own handler.
TEST(ExportCliRun, InterruptCancels) {
  TempDir dir;
  // Frames 2 s apart at 10 frames per second give 20 pictures each: the
  // export lasts long enough for the interrupt to come first under load.
  MakeMinute(dir, "h/2004-03-15/12/00", {10, 20}, 352, 288);
  for (int m = 1; m < 6; ++m)
    MakeMinute(dir, "h/2004-03-15/12/0" + std::to_string(m), Spaced(10, 200, 30), 352, 288);
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

// --from and --to keep the frames whose wall-clock time lies between them,
// both ends included, across minute and hour boundaries and whatever level
// of folder names the minutes; bad times and folders without a time refuse.
TEST(ExportCliRun, TimeRanges) {
  TempDir dir;
  const std::string cam = dir.Join("bk/CamA"), day = cam + "/2004-03-15";
  MakeMinute(dir, "bk/CamA/2004-03-15/12/59", {5800, 5850, 5900, 5950});
  MakeMinute(dir, "bk/CamA/2004-03-15/13/00", {0, 50, 100, 150, 5950});
  MakeMinute(dir, "bk/CamA/2004-03-15/13/01", {0, 50});
  const std::string t = "2004-03-15T", out = dir.Join("r.avi");
  const struct {
    std::vector<std::string> args;
    int code;
    std::string message;
  } kCases[] = {
      {{"--from", t + "12:59:58.50", "--to", t + "13:00:01", cam}, 0, "(6/6 frames"},
      {{"--from", t + "13:00:59.5", day}, 0, "(3/3 frames"},
      {{"--to", t + "12:59:58.00", day + "/12"}, 0, "(1/1 frames"},
      {{"--from", t + "13:00:00.50", "--to", t + "13:00:01.50", day + "/13/00"}, 0, "(3/3 frames"},
      {{"--from", t + "13:02:00", cam}, 1, "no minute folders in the given folders and time range"},
      {{"--from", t + "25:00:00", cam}, 2, "'2004-03-15T25:00:00' is not a time"},
      {{"--from", t + "13:00:00", "--to", t + "12:00:00", cam}, 2, "--from is later than --to"},
      {{"--to", t + "13:00:00", MakeMinute(dir, "m", {10})}, 2, "has no time for --from or --to"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args = {"-o", out, "--format", "avi"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = Export(args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

// verify: 0 when the export matches its manifest, 1 when it has changed,
// 2 when the manifest or the file cannot be read.
TEST(ExportCliRun, VerifyExitCodes) {
  TempDir dir;
  const std::string clip = dir.Join("clip.avi");
  ASSERT_EQ(Export({"-o", clip, "--format", "avi", MakeMinute(dir, "m", {10, 20})}).code, 0);
  const auto verify = [](const std::string& file) {
    return cli_test::RunCommand(CliMain, {"orvanel-cli", "verify", file});
  };
  const Result ok = verify(clip);
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_NE(ok.out.find("OK (SHA-256 "), std::string::npos);
  WriteFile(clip, ReadFile(clip) + "x");
  const Result changed = verify(clip + ".sha256");
  EXPECT_EQ(changed.code, 1);
  EXPECT_NE(changed.err.find("FAILED: '" + clip + "' does not match its manifest"), std::string::npos);
  std::remove(clip.c_str());
  EXPECT_EQ(verify(clip).code, 2);
  WriteFile(dir.Join("bad.sha256"), "# nothing\nnot a checksum\n");
  const Result bad = verify(dir.Join("bad.sha256"));
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("no checksum line"), std::string::npos);
}
