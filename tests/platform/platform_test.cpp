#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::vector<std::string> Names(const std::vector<platform::DirEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

}  // namespace

TEST(Wildcard, MatchesAsWindowsDoes) {
  EXPECT_TRUE(platform::MatchWildcard("*.jpg", "4307.jpg"));
  EXPECT_TRUE(platform::MatchWildcard("*.jpg", "4307.JPG"));
  EXPECT_TRUE(platform::MatchWildcard("*.jpg", ".jpg"));
  EXPECT_FALSE(platform::MatchWildcard("*.jpg", "4307.jpeg"));
  EXPECT_FALSE(platform::MatchWildcard("*.jpg", "4307.jpg.tmp"));
  EXPECT_TRUE(platform::MatchWildcard("*.jpg", "a.jpg.jpg"));
  EXPECT_TRUE(platform::MatchWildcard("??", "7"));
  EXPECT_TRUE(platform::MatchWildcard("??", "07"));
  EXPECT_TRUE(platform::MatchWildcard("??", ".."));
  EXPECT_FALSE(platform::MatchWildcard("??", "007"));
  EXPECT_TRUE(platform::MatchWildcard("*", "anything at all"));
}

TEST(Wildcard, HostileNamesStayLinear) {
  const std::string name(5000, 'a');
  EXPECT_FALSE(platform::MatchWildcard("*a*a*a*a*a*b", name.c_str()));
}

TEST(NtfsOrder, FoldsCaseAndComparesBytes) {
  EXPECT_EQ(platform::CompareNtfsOrder("abc", "ABC"), 0);
  EXPECT_LT(platform::CompareNtfsOrder("0007.jpg", "1234.jpg"), 0);
  EXPECT_LT(platform::CompareNtfsOrder("ab", "abc"), 0);
  // '_' (0x5F) sorts after upper-case letters, as NTFS's upper-case table has it.
  EXPECT_LT(platform::CompareNtfsOrder("abz", "ab_"), 0);
  EXPECT_GT(platform::CompareNtfsOrder("\xe9", "z"), 0);
}

TEST(ListDirectory, ListsMatchesInNtfsOrderWithKinds) {
  TempDir dir;
  for (const char* n : {"4500.jpg", "0007.JPG", "1234.jpg", "notes.txt"})
    WriteFile(dir.Join(n), "x");
  testing_support::MakeDirs(dir.Join("sub.jpg"));
  std::vector<platform::DirEntry> out;
  int error = 0;
  ASSERT_EQ(platform::ListDirectory(dir.path().c_str(), "*.jpg", out, &error), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"0007.JPG", "1234.jpg", "4500.jpg", "sub.jpg"}));
  EXPECT_TRUE(out[3].isDirectory);
  EXPECT_FALSE(out[0].isDirectory);
}

TEST(ListDirectory, DotEntriesMatchShortPatterns) {
  TempDir dir;
  testing_support::MakeDirs(dir.Join("07"));
  testing_support::MakeDirs(dir.Join("123"));
  WriteFile(dir.Join("5"), "file");
  std::vector<platform::DirEntry> out;
  int error = 0;
  ASSERT_EQ(platform::ListDirectory(dir.path().c_str(), "??", out, &error), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{".", "..", "07", "5"}));
  EXPECT_TRUE(out[2].isDirectory);
  EXPECT_FALSE(out[3].isDirectory);
}

TEST(ListDirectory, FailsWhenNothingMatchesOrFolderIsMissing) {
  TempDir dir;
  WriteFile(dir.Join("a.txt"), "x");
  std::vector<platform::DirEntry> out{{"stale", false}};
  int error = 0;
  EXPECT_EQ(platform::ListDirectory(dir.path().c_str(), "*.jpg", out, &error), -1);
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_TRUE(out.empty());
  error = 0;
  EXPECT_EQ(platform::ListDirectory(dir.Join("missing").c_str(), "*.jpg", out, &error), -1);
  EXPECT_NE(error, 0);
}

TEST(ReadWholeFile, GrowsOnceAndZeroPads) {
  TempDir dir;
  const std::string big(100000, 'b');
  WriteFile(dir.Join("big"), big);
  WriteFile(dir.Join("small"), "abc");
  WriteFile(dir.Join("empty"), "");
  std::vector<std::uint8_t> buffer(16, 0xEE);
  std::size_t size = 0;
  int error = 0;
  ASSERT_EQ(platform::ReadWholeFile(dir.Join("big").c_str(), buffer, 64, 1 << 20, &size, &error),
            platform::ReadResult::Ok);
  EXPECT_EQ(size, big.size());
  ASSERT_GE(buffer.size(), big.size() + 64);
  const std::uint8_t* grown = buffer.data();
  ASSERT_EQ(platform::ReadWholeFile(dir.Join("small").c_str(), buffer, 64, 1 << 20, &size, &error),
            platform::ReadResult::Ok);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(buffer.data(), grown);  // a smaller file reuses the buffer
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 3), "abc");
  EXPECT_TRUE(std::all_of(buffer.begin() + 3, buffer.begin() + 67, [](std::uint8_t b) { return b == 0; }));
  ASSERT_EQ(platform::ReadWholeFile(dir.Join("empty").c_str(), buffer, 64, 1 << 20, &size, &error),
            platform::ReadResult::Ok);
  EXPECT_EQ(size, 0u);
}

TEST(ReadWholeFile, ReportsMissingFolderAndOversizeFiles) {
  TempDir dir;
  WriteFile(dir.Join("big"), std::string(5000, 'b'));
  std::vector<std::uint8_t> buffer;
  std::size_t size = 7;
  int error = 0;
  EXPECT_EQ(platform::ReadWholeFile(dir.Join("missing").c_str(), buffer, 64, 1 << 20, &size, &error),
            platform::ReadResult::OpenFailed);
  EXPECT_NE(error, 0);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(platform::ReadWholeFile(dir.Join("big").c_str(), buffer, 64, 1000, &size, &error),
            platform::ReadResult::TooLarge);
  EXPECT_TRUE(buffer.empty());  // refused before anything was allocated
  EXPECT_NE(platform::ReadWholeFile(dir.path().c_str(), buffer, 64, 1 << 20, &size, &error),
            platform::ReadResult::Ok);
}
