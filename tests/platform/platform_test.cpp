#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;
using testing_support::WriteFile;
using Names = std::vector<std::string>;

TEST(LogPrint, CutsLongTextsAndTakesLinesFromManyThreads) {
  testing_support::TraceCapture trace;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) LogWindow::Print("thread %d line %d", t, i);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(trace.Lines().size(), 400u);
  trace.Clear();
  LogWindow::Print("src = %s", std::string(1000, 'p').c_str());
  EXPECT_EQ(trace.Lines(), Names{"src = " + std::string(249, 'p')});
  // The core runs without the log window too.
  EXPECT_EQ(LogWindow::Write("New media(%d) loaded.", 1), 1);
}

// Wine's own "?" cannot match "no character": the listing matches by itself.
TEST(Wildcard, MatchesAsWindowsDoes) {
  struct Case { const char* pattern; const char* name; bool match; };
  const Case cases[] = {
      {"*.jpg", "4307.jpg", true}, {"*.jpg", "4307.JPG", true}, {"*.jpg", ".jpg", true},
      {"*.jpg", "4307.jpeg", false}, {"*.jpg", "4307.jpg.tmp", false}, {"*.jpg", "a.jpg.jpg", true},
      {"??", "7", true}, {"??", "07", true}, {"??", "..", true}, {"??", "007", false}};
  for (const Case& c : cases) EXPECT_EQ(platform::MatchWildcard(c.pattern, c.name), c.match) << c.name;
  const std::string hostile(5000, 'a');  // backtracking would never finish
  EXPECT_FALSE(platform::MatchWildcard("*a*a*a*a*a*b", hostile.c_str()));
  EXPECT_GT(platform::CompareNtfsOrder("\xe9", "z"), 0);  // bytes compare unsigned
}

// Whatever order the file system lists in, entries come case-insensitively
// sorted with '_' after the letters, as NTFS's upper-case table has it.
TEST(ListDirectory, ListsMatchesInNtfsOrderWithKinds) {
  TempDir dir;
  for (const char* n : {"4500.jpg", "ab_.jpg", "0007.JPG", "ABZ.jpg", "notes.txt", "5"})
    WriteFile(dir.Join(n), "x");
  for (const char* n : {"sub.jpg", "07", "123"}) testing_support::MakeDirs(dir.Join(n));
  std::vector<platform::DirEntry> out;
  const auto listed = [&] {
    Names names;
    for (const auto& e : out) names.push_back(e.name + std::string(e.isDirectory ? "/" : ""));
    return names;
  };
  int error = 0;
  ASSERT_EQ(platform::ListDirectory(dir.path().c_str(), "*.jpg", out, &error), 0);
  EXPECT_EQ(listed(), (Names{"0007.JPG", "4500.jpg", "ABZ.jpg", "ab_.jpg", "sub.jpg/"}));
  // "." and ".." are listed when they match, as FindFirstFileA lists them.
  ASSERT_EQ(platform::ListDirectory(dir.path().c_str(), "??", out, &error), 0);
  EXPECT_EQ(listed(), (Names{"./", "../", "07/", "5"}));

  out.assign(1, {"stale", false});
  EXPECT_EQ(platform::ListDirectory(dir.path().c_str(), "*.avi", out, &error), -1);
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_TRUE(out.empty());
  error = 0;
  EXPECT_EQ(platform::ListDirectory(dir.Join("missing").c_str(), "*.jpg", out, &error), -1);
  EXPECT_NE(error, 0);
}

TEST(ReadWholeFile, GrowsOnceZeroPadsAndRefusesMissingOrOversizeFiles) {
  TempDir dir;
  WriteFile(dir.Join("big"), std::string(100000, 'b'));
  WriteFile(dir.Join("small"), "abc");
  WriteFile(dir.Join("empty"), "");
  std::vector<std::uint8_t> buffer(16, 0xEE), unused;
  std::size_t size = 0;
  int error = 0;
  const auto read = [&](const std::string& name, std::vector<std::uint8_t>& into, std::size_t max) {
    return platform::ReadWholeFile(dir.Join(name).c_str(), into, 64, max, &size, &error);
  };
  ASSERT_EQ(read("big", buffer, 1 << 20), platform::ReadResult::Ok);
  EXPECT_EQ(size, 100000u);
  ASSERT_GE(buffer.size(), 100000u + 64);
  const std::uint8_t* grown = buffer.data();
  ASSERT_EQ(read("small", buffer, 1 << 20), platform::ReadResult::Ok);
  EXPECT_EQ(buffer.data(), grown);  // a smaller file reuses the buffer
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), "abc");
  EXPECT_TRUE(std::all_of(buffer.begin() + 3, buffer.begin() + 67, [](std::uint8_t b) { return b == 0; }));
  ASSERT_EQ(read("empty", buffer, 1 << 20), platform::ReadResult::Ok);
  EXPECT_EQ(size, 0u);

  size = 7;
  EXPECT_EQ(read("missing/file", buffer, 1 << 20), platform::ReadResult::OpenFailed);
  EXPECT_NE(error, 0);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(read("big", unused, 1000), platform::ReadResult::TooLarge);
  EXPECT_TRUE(unused.empty());  // refused before anything was allocated
  EXPECT_NE(read("", buffer, 1 << 20), platform::ReadResult::Ok);  // the folder itself
}
