#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

using testing_support::MakeDirs;
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
  struct Case { const char* pattern; const char* name; bool match; };
  const Case cases[] = {
      {"*.jpg", "4307.jpg", true}, {"*.jpg", "4307.JPG", true}, {"*.jpg", ".jpg", true},
      {"*.jpg", "4307.jpeg", false}, {"*.jpg", "4307.jpg.tmp", false}, {"*.jpg", "a.jpg.jpg", true},
      {"??", "7", true}, {"??", "07", true}, {"??", "..", true}, {"??", "007", false},
      {"*", "anything at all", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " on " + c.name);
    EXPECT_EQ(platform::MatchWildcard(c.pattern, c.name), c.match);
  }
  const std::string hostile(5000, 'a');  // backtracking would never finish
  EXPECT_FALSE(platform::MatchWildcard("*a*a*a*a*a*b", hostile.c_str()));
  EXPECT_GT(platform::CompareNtfsOrder("\xe9", "z"), 0);  // bytes compare unsigned
}

// Whatever order the file system lists in, entries come case-insensitively
// sorted with '_' after the letters, as NTFS's upper-case table has it.
TEST(ListDirectory, ListsMatchesInNtfsOrderWithKinds) {
  TempDir dir;
  for (const char* n : {"4500.jpg", "ab_.jpg", "0007.JPG", "1234.jpg", "ABZ.jpg", "notes.txt", "5"})
    WriteFile(dir.Join(n), "x");
  for (const char* n : {"sub.jpg", "07", "123"}) MakeDirs(dir.Join(n));
  std::vector<platform::DirEntry> out;
  int error = 0;
  ASSERT_EQ(platform::ListDirectory(dir.path().c_str(), "*.jpg", out, &error), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"0007.JPG", "1234.jpg", "4500.jpg", "ABZ.jpg",
                                                  "ab_.jpg", "sub.jpg"}));
  EXPECT_TRUE(out[5].isDirectory);
  EXPECT_FALSE(out[0].isDirectory);
  // "." and ".." are listed when they match, as FindFirstFileA lists them.
  ASSERT_EQ(platform::ListDirectory(dir.path().c_str(), "??", out, &error), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{".", "..", "07", "5"}));
  EXPECT_TRUE(out[2].isDirectory);
  EXPECT_FALSE(out[3].isDirectory);

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
  const std::string big(100000, 'b');
  WriteFile(dir.Join("big"), big);
  WriteFile(dir.Join("small"), "abc");
  WriteFile(dir.Join("empty"), "");
  std::vector<std::uint8_t> buffer(16, 0xEE);
  std::size_t size = 0;
  int error = 0;
  const auto read = [&](const std::string& name, std::size_t maxSize) {
    return platform::ReadWholeFile(dir.Join(name).c_str(), buffer, 64, maxSize, &size, &error);
  };
  ASSERT_EQ(read("big", 1 << 20), platform::ReadResult::Ok);
  EXPECT_EQ(size, big.size());
  ASSERT_GE(buffer.size(), big.size() + 64);
  const std::uint8_t* grown = buffer.data();
  ASSERT_EQ(read("small", 1 << 20), platform::ReadResult::Ok);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(buffer.data(), grown);  // a smaller file reuses the buffer
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 3), "abc");
  EXPECT_TRUE(std::all_of(buffer.begin() + 3, buffer.begin() + 67, [](std::uint8_t b) { return b == 0; }));
  ASSERT_EQ(read("empty", 1 << 20), platform::ReadResult::Ok);
  EXPECT_EQ(size, 0u);

  size = 7;
  EXPECT_EQ(read("missing/file", 1 << 20), platform::ReadResult::OpenFailed);
  EXPECT_NE(error, 0);
  EXPECT_EQ(size, 0u);
  std::vector<std::uint8_t> unused;
  EXPECT_EQ(platform::ReadWholeFile(dir.Join("big").c_str(), unused, 64, 1000, &size, &error),
            platform::ReadResult::TooLarge);
  EXPECT_TRUE(unused.empty());  // refused before anything was allocated
  EXPECT_NE(read("", 1 << 20), platform::ReadResult::Ok);  // the folder itself
}

// Threads handing items over through a small ring, each side waiting for
// the other (the export's hand-offs): every item arrives once, in order,
// and the lock keeps the counts whole, with one or all waiters woken.
TEST(HandOff, ProducerAndConsumersPassEveryItemOnce) {
  for (const bool wakeAll : {false, true}) {
    SCOPED_TRACE(wakeAll ? "notify_all" : "notify_one");
    constexpr int kItems = 20000, kRing = 4;
    platform::HandOffMutex mutex;
    platform::HandOffCondition changed;
    int ring[kRing] = {};
    int produced = 0, consumed = 0;
    long long sum = 0;
    bool inOrder = true;
    auto wake = [&] { wakeAll ? changed.notify_all() : changed.notify_one(); };
    std::thread producer([&] {
      for (int i = 0; i < kItems; ++i) {
        std::unique_lock<platform::HandOffMutex> lock(mutex);
        changed.wait(lock, [&] { return produced - consumed < kRing; });
        ring[produced % kRing] = i;
        ++produced;
        wake();
      }
    });
    for (int i = 0; i < kItems; ++i) {
      std::unique_lock<platform::HandOffMutex> lock(mutex);
      changed.wait(lock, [&] { return produced > consumed; });
      const int item = ring[consumed % kRing];
      inOrder = inOrder && item == i;
      sum += item;
      ++consumed;
      wake();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(sum, static_cast<long long>(kItems) * (kItems - 1) / 2);
  }
}
