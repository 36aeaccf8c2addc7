// The sample backup is what the tree end-to-end tests, benchmarks and the run
// command rely on: it must hold the cases the viewer copes with, every time.
#include "tools/sample_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "playback/frame_decoder.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

// Every entry below root by its path with '/': a file's bytes, "/" for a folder.
static std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    std::string rel = e.path().generic_string().substr(root.size() + 1);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    tree[rel] = e.is_directory() ? "/" : testing_support::ReadFile(e.path().string());
  }
  return tree;
}

TEST(SampleBackup, HoldsWhatTheViewerMustCopeWithAndIsDeterministic) {
  testing_support::TempDir dir;
  const std::string root = dir.Join("sample root");  // made by the generator
  ASSERT_EQ(sample::GenerateSampleBackup(root), 0);
  const auto tree = Snapshot(root);
  // The entries the tree must hide exist (or hiding them is tested on nothing).
  for (const std::string& p : sample::SampleHiddenPaths()) EXPECT_EQ(tree.count(p), 1u) << p;
  for (const std::string& p : sample::SampleEmptyHours()) EXPECT_EQ(tree.count(p), 1u) << p;

  std::set<int> schemes;
  FrameDecoder decoder;
  bool emptyMinute = false, longGap = false, mixedMillisecondNames = false;
  for (const sample::SampleMinute& m : sample::SampleMinutes()) {
    const sample::SampleCamera& camera = sample::kSampleCameras[m.camera];
    SCOPED_TRACE(sample::SampleMinutePath(root, m));
    const std::vector<int> times = sample::SampleFrameTimes(m);
    std::set<std::string> expected, onDisk;
    int shortNames = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
      shortNames += expected.insert(sample::SampleFrameName(m.scheme, times[k])).first->size() == 8;
      longGap |= k > 0 && times[k] - times[k - 1] > 3000;
    }
    EXPECT_EQ(static_cast<int>(expected.size()), m.frames);  // names are unique
    for (const auto& e : fs::directory_iterator(sample::SampleMinutePath(root, m)))
      if (e.path().extension() == ".jpg") onDisk.insert(e.path().filename().string());
    EXPECT_EQ(onDisk, expected);
    emptyMinute |= expected.empty();
    if (expected.empty()) continue;
    schemes.insert(static_cast<int>(m.scheme));
    mixedMillisecondNames |= m.scheme == sample::NameScheme::kMillisecond && shortNames > 0 && shortNames < m.frames;
    const std::string first = sample::SampleMinutePath(root, m) + platform::kPathSeparator + *expected.begin();
    ASSERT_EQ(decoder.Decode(first.c_str()), 0) << decoder.lastError();
    EXPECT_EQ(decoder.width(), camera.width);  // two cameras, two sizes
    EXPECT_EQ(decoder.height(), camera.height);
  }
  EXPECT_EQ(schemes.size(), 3u);
  EXPECT_TRUE(emptyMinute && longGap && mixedMillisecondNames);

  // A second run over the first writes the same tree and bytes.
  ASSERT_EQ(sample::GenerateSampleBackup(root), 0);
  EXPECT_TRUE(Snapshot(root) == tree);
}
