// Finding activity across minute and hour folders, and the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "activity/activity.h"
#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/cli/run_cli.h"
#include "tests/support/test_support.h"
#include "tools/activity_scene.h"

namespace fs = std::filesystem;

namespace {

using activity::Direction;
using cli_test::RunCommand;

const WallTime kStart = MakeWallTime({2024, 5, 1, 11, 59, 30, 0});

WallTime T(const char* text) {
  WallTime t = 0;
  EXPECT_TRUE(ParseWallTime(text, &t)) << text;
  return t;
}

// A minute across an hour: A at 11:59:35-44.75, B at 11:59:58-12:00:07.75
// (through the minute and hour folders), C at 12:00:20-24.75 low in the
// picture, where the others never go.
class ActivityFind : public ::testing::Test {
 protected:
  void SetUp() override {
    sample::Scene scene;
    scene.objects = {{40, 40, 40, 20, 40, 250, 40, 5, 15},
                     {40, 40, 40, 250, 40, 20, 60, 28, 38},
                     {40, 40, 40, 20, 230, 290, 230, 50, 55}};
    ASSERT_EQ(sample::WriteScene(camera_, scene, kStart, 0, 60), 240);
  }
  std::string Find(const char* from, Direction direction) {
    activity::Span span;
    if (!activity::FindActivity(index_, camera_.c_str(), T(from), direction, {}, &span))
      return "none";
    char text[32];
    FormatWallTime(span.start, text, sizeof text);
    return text;
  }
  cli_test::Result Cli(std::vector<std::string> args) {
    args.insert(args.end() - 1, {"--index", dir_.Join("cli-index")});
    return RunCommand(CmdActivity, args);
  }
  std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> Backup() const {
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> tree;
    for (const auto& e : fs::recursive_directory_iterator(camera_))
      tree[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
    return tree;
  }
  testing_support::TempDir dir_;
  std::string camera_ = dir_.Join("cam");
  activity::ActivityIndex index_{dir_.Join("index")};
};

TEST_F(ActivityFind, NextAndPreviousGoAcrossMinutesAndHours) {
  struct Case {
    const char* from;
    Direction direction;
    const char* expected;
  };
  const Case cases[] = {
      {"2024-05-01T11:00:00", Direction::kNext, "2024-05-01T11:59:35.00"},
      {"2024-05-01T11:59:35", Direction::kNext, "2024-05-01T11:59:58.00"},
      // Inside B, which began in the hour before: not a new start.
      {"2024-05-01T12:00:00", Direction::kNext, "2024-05-01T12:00:20.00"},
      {"2024-05-01T12:00:20", Direction::kNext, "none"},
      {"2024-05-01T13:00:00", Direction::kPrevious, "2024-05-01T12:00:20.00"},
      {"2024-05-01T12:00:20", Direction::kPrevious, "2024-05-01T11:59:58.00"},
      {"2024-05-01T12:00:05", Direction::kPrevious, "2024-05-01T11:59:58.00"},
      {"2024-05-01T11:59:58.50", Direction::kPrevious, "2024-05-01T11:59:35.00"},
      {"2024-05-01T11:59:35", Direction::kPrevious, "none"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Find(c.from, c.direction), c.expected)
        << c.from << (c.direction == Direction::kNext ? " next" : " previous");
  std::atomic<bool> stop{true};
  EXPECT_FALSE(activity::FindActivity(index_, camera_.c_str(), kStart, Direction::kNext, {},
                                      nullptr, &stop));
}

TEST_F(ActivityFind, CommandPrintsSpansAndLeavesTheBackupAlone) {
  const auto before = Backup();
  cli_test::Result r = Cli({camera_});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string times[] = {"start,end,peak",
                               "2024-05-01T11:59:35.00,2024-05-01T11:59:44.75,",
                               "2024-05-01T11:59:58.00,2024-05-01T12:00:07.75,",
                               "2024-05-01T12:00:20.00,2024-05-01T12:00:24.75,"};
  std::size_t at = 0;
  for (const std::string& line : times) {
    ASSERT_EQ(r.out.compare(at, line.size(), line), 0) << r.out;
    at = r.out.find('\n', at) + 1;
  }
  EXPECT_EQ(at, r.out.size());
  EXPECT_EQ(Backup(), before);
  int files = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir_.Join("cli-index")))
    files += e.is_regular_file();
  EXPECT_EQ(files, 2);

  // C alone in the region, its share of the region's 352 x 88 pixels: 5.2 %.
  r = Cli({"--region", "0,200,352,88", camera_ + "/2024-05-01/12"});
  EXPECT_EQ(r.out.substr(0, r.out.find(',', 15) + 1),
            "start,end,peak\n2024-05-01T12:00:20.00,");
  EXPECT_NEAR(std::stod(r.out.substr(r.out.rfind(',') + 1)), 5.2, 1.0) << r.out;
  // Nothing moved in the first seconds: the header alone.
  sample::WriteScene(dir_.Join("still"), sample::Scene{}, kStart, 0, 3);
  r = Cli({dir_.Join("still")});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "start,end,peak\n");
}

TEST_F(ActivityFind, CommandRefusesBadArgumentsWithOneLine) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--region", "1,2,3", camera_},
      {"--region", "0,0,0,5", camera_},
      {"--frames", camera_},
      {camera_, camera_},
      {dir_.Join("missing")},
      {dir_.path()},  // a backup root
  };
  for (const auto& args : bad) {
    const cli_test::Result r = RunCommand(CmdActivity, args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

// Ctrl+C while indexing: exit 1, no file half-written; run again, it ends.
TEST_F(ActivityFind, CommandStopsOnInterrupt) {
  struct Interrupt : platform::AccessHook {
    Interrupt() { platform::SetAccessHook(this); }
    ~Interrupt() { platform::SetAccessHook(nullptr); }
    void BeforeAccess(const char* path) override {
      if (std::string(path).find(".jpg") != std::string::npos && ++reads == 30) std::raise(SIGINT);
    }
    std::atomic<int> reads{0};
  };
  cli_test::Result r;
  {
    Interrupt interrupt;
    r = Cli({camera_});
  }
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("stopped"), std::string::npos);
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dir_.Join("cli-index"), ec))
    EXPECT_EQ(e.path().extension(), e.is_directory() ? "" : ".idx") << e.path();
  r = Cli({camera_});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4);
}

}  // namespace
