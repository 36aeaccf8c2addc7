#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

std::string Drain(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

Result Call(int (*command)(int, char**, std::FILE*, std::FILE*),
            std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_TRUE(out && err);
  Result r;
  r.code = command(static_cast<int>(args.size()), argv.data(), out, err);
  r.out = Drain(out);
  r.err = Drain(err);
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// Expects a failed command: exit 2, one line on the error stream naming `path`.
void ExpectOneLineError(const Result& r, const std::string& path) {
  EXPECT_EQ(r.code, 2);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
}

// A backup whose folders exercise every level rule.
class BackupTree : public ::testing::Test {
 protected:
  void Frames(const std::string& minute, const std::vector<std::string>& names) {
    MakeDirs(dir_.Join(minute));
    for (const auto& n : names) WriteFile(dir_.Join(minute + "/" + n), "jpeg");
  }
  std::string P(const std::string& relative) const { return dir_.Join(relative); }
  // "<time code> <path>" as the frames command prints it.
  std::string Line(const char* code, const std::string& relative) const {
    return std::string(code) + " " + P(relative);
  }

  TempDir dir_;
};

}  // namespace

TEST_F(BackupTree, InfoListsAcceptedFoldersWithFrameTotals) {
  Frames("Cam A/2004-03-15/12/58", {"0100.jpg", "0000.jpg", "4500.jpg", "notes.txt"});
  Frames("Cam A/2004-03-15/12/59", {"0000.jpg", "1000.jpg"});
  MakeDirs(P("Cam A/2004-03-15/12/59/9999.jpg"));  // a folder is no frame
  Frames("Cam A/2004-03-15/12/5", {"1000.jpg"});     // one-character minute
  Frames("Cam A/2004-03-15/12/60", {"1000.jpg"});    // not a minute
  MakeDirs(P("Cam A/2004-03-15/13/00"));             // empty minute
  MakeDirs(P("Cam A/2004-03-15/24/00"));             // not an hour
  Frames("Cam A/2004-03-16/00/00", {"0000.jpg"});
  MakeDirs(P("Cam A/junk/00/00"));
  WriteFile(P("Cam A/2004-03-17"), "a file is not a date");
  Frames(".hidden/2004-03-15/12/58", {"0000.jpg"});
  WriteFile(P("notes"), "a file is not a camera");
  MakeDirs(P("z cam"));

  const Result r = Call(CmdInfo, {dir_.path() + platform::kPathSeparator});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "root 7 " + dir_.path() + "\n" +
                       "  camera 7 Cam A\n"
                       "    date 6 2004-03-15\n"
                       "      hour 6 12\n"
                       "        minute 1 5\n"
                       "        minute 3 58\n"
                       "        minute 2 59\n"
                       "      hour 0 13\n"
                       "        minute 0 00\n"
                       "    date 1 2004-03-16\n"
                       "      hour 1 00\n"
                       "        minute 1 00\n"
                       "  camera 0 z cam\n");
}

TEST_F(BackupTree, InfoRefusesBadArgumentsWithOneLine) {
  WriteFile(P("file"), "x");
  ExpectOneLineError(Call(CmdInfo, {P("missing")}), P("missing"));
  ExpectOneLineError(Call(CmdInfo, {P("file")}), P("file"));
  ExpectOneLineError(Call(CmdInfo, {}), "ROOT");
  ExpectOneLineError(Call(CmdInfo, {P("a"), P("b")}), "ROOT");
  ExpectOneLineError(Call(CmdInfo, {std::string(300, 'x')}), std::string(300, 'x'));
  MakeDirs(P("empty"));
  const Result empty = Call(CmdInfo, {P("empty")});
  EXPECT_EQ(empty.code, 0);
  EXPECT_EQ(empty.out, "root 0 " + P("empty") + "\n");
}

TEST_F(BackupTree, FramesPlaysOneMinuteEitherWay) {
  Frames("cam/2004-03-15/12/58", {"4500.jpg", "0007.jpg", "1234.jpg"});
  Frames("cam/2004-03-15/12/59", {"0000.jpg"});
  const std::vector<std::string> forward = {
      Line("0007", "cam/2004-03-15/12/58/0007.jpg"),
      Line("1234", "cam/2004-03-15/12/58/1234.jpg"),
      Line("4500", "cam/2004-03-15/12/58/4500.jpg")};
  Result r = Call(CmdFrames, {P("cam/2004-03-15/12/58") + platform::kPathSeparator});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Lines(r.out), forward);

  r = Call(CmdFrames, {"--reverse", P("cam/2004-03-15/12/58")});
  EXPECT_EQ(Lines(r.out), std::vector<std::string>(forward.rbegin(), forward.rend()));

  // Through the dispatcher, as the program is called.
  r = Call(CliMain, {"orvanel-cli", "frames", P("cam/2004-03-15/12/58")});
  EXPECT_EQ(Lines(r.out), forward);
}

TEST_F(BackupTree, FramesTimeCodesFollowTheNamingScheme) {
  Frames("cam/2004-03-15/12/00", {"43100.jpg", "4376.jpg", "00005.jpg"});
  Frames("cam/2004-03-15/12/01", {"43-07.jpg", "00-00.jpg"});
  const Result r = Call(CmdFrames, {"--continue", P("cam/2004-03-15/12/00")});
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              Line("0000", "cam/2004-03-15/12/00/00005.jpg"),
                              Line("4307", "cam/2004-03-15/12/00/4376.jpg"),
                              Line("4310", "cam/2004-03-15/12/00/43100.jpg"),
                              Line("0000", "cam/2004-03-15/12/01/00-00.jpg"),
                              Line("4307", "cam/2004-03-15/12/01/43-07.jpg")}));
}

TEST_F(BackupTree, FramesContinuesThroughTheDateOnly) {
  Frames("cam/2004-03-15/11/59", {"0000.jpg"});
  Frames("cam/2004-03-15/12/58", {"0100.jpg", "0000.jpg"});
  MakeDirs(P("cam/2004-03-15/12/59"));  // empty minute: passed over
  Frames("cam/2004-03-15/14/03", {"2000.jpg"});
  Frames("cam/2004-03-16/00/00", {"0000.jpg"});  // the next date is not entered

  Result r = Call(CmdFrames, {"--continue", P("cam/2004-03-15/12/58")});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              Line("0000", "cam/2004-03-15/12/58/0000.jpg"),
                              Line("0100", "cam/2004-03-15/12/58/0100.jpg"),
                              Line("2000", "cam/2004-03-15/14/03/2000.jpg")}));

  // Backwards from the empty minute: its neighbours, last frame first.
  r = Call(CmdFrames, {P("cam/2004-03-15/12/59"), "--reverse", "--continue"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                              Line("0100", "cam/2004-03-15/12/58/0100.jpg"),
                              Line("0000", "cam/2004-03-15/12/58/0000.jpg"),
                              Line("0000", "cam/2004-03-15/11/59/0000.jpg")}));

  // Without --continue an empty minute prints nothing and is no error.
  r = Call(CmdFrames, {P("cam/2004-03-15/12/59")});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(BackupTree, FramesRefusesBadArgumentsWithOneLine) {
  Frames("cam/2004-03-15/12/58", {"0000.jpg"});
  WriteFile(P("cam/2004-03-15/12/file"), "x");
  const std::string minute = P("cam/2004-03-15/12/58");
  ExpectOneLineError(Call(CmdFrames, {P("missing")}), P("missing"));
  ExpectOneLineError(Call(CmdFrames, {P("cam/2004-03-15/12/file")}), P("cam/2004-03-15/12/file"));
  ExpectOneLineError(Call(CmdFrames, {"--loop", minute}), "--loop");
  ExpectOneLineError(Call(CmdFrames, {minute, minute}), minute);
  ExpectOneLineError(Call(CmdFrames, {"--continue"}), "MINUTE_FOLDER");
  ExpectOneLineError(Call(CmdFrames, {std::string(280, 'y')}), std::string(280, 'y'));
}
