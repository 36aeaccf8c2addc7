#include "tools/sample_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/tools/decode_file.h"

namespace fs = std::filesystem;

namespace {

using sample::NameScheme;
using sample::SampleMinute;
using testing_support::TempDir;

// The path below root, with '/' between its components.
std::string Relative(const fs::path& p, const std::string& root) {
  std::string rel = p.generic_string().substr(root.size() + 1);
  std::replace(rel.begin(), rel.end(), '\\', '/');
  return rel;
}

// root + separator + relative, '/' in relative turned into the separator.
std::string In(const std::string& root, const std::string& relative) {
  std::string path = root + platform::kPathSeparator + relative;
  std::replace(path.begin() + root.size(), path.end(), '/',
               platform::kPathSeparator);
  return path;
}

std::string RelativeMinute(const SampleMinute& m) {
  char text[64];
  std::snprintf(text, sizeof text, "%s/%s/%02d/%02d",
                sample::kSampleCameras[m.camera].name, m.date, m.hour,
                m.minute);
  return text;
}

// A digest of every entry under root: relative paths in order, and the
// bytes of every file.
std::uint64_t Digest(const std::string& root, int* entries) {
  std::map<std::string, std::string> tree;  // relative path -> native path
  for (const auto& e : fs::recursive_directory_iterator(root))
    tree[Relative(e.path(), root)] = e.is_directory() ? "" : e.path().string();
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&h](const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    h = (h ^ 0x100) * 1099511628211ull;
  };
  std::vector<std::uint8_t> buffer;
  for (const auto& [rel, path] : tree) {
    mix(reinterpret_cast<const std::uint8_t*>(rel.data()), rel.size());
    if (path.empty()) continue;
    std::size_t size = 0;
    int error = 0;
    EXPECT_EQ(platform::ReadWholeFile(path.c_str(), buffer, 0, 1 << 24, &size,
                                      &error),
              platform::ReadResult::Ok)
        << path;
    mix(buffer.data(), size);
  }
  *entries = static_cast<int>(tree.size());
  return h;
}

TEST(SampleLayout, HoldsWhatTheViewerMustCopeWith) {
  const auto& minutes = sample::SampleMinutes();
  // The documented counts, in order; other areas' tests rely on them.
  const int counts[] = {120, 115, 0,   88, 20, 100, 20,
                        75,  150, 120, 78, 30, 60,  50};
  ASSERT_EQ(minutes.size(), std::size(counts));
  int total = 0;
  std::set<NameScheme> schemes;
  std::set<std::string> dates[sample::kSampleCameraCount];
  bool wholeMinute[sample::kSampleCameraCount] = {};
  bool lateStart = false, longGap = false, fastSteps = false;
  for (std::size_t i = 0; i < minutes.size(); ++i) {
    const SampleMinute& m = minutes[i];
    SCOPED_TRACE(RelativeMinute(m));
    EXPECT_EQ(m.frames, counts[i]);
    total += m.frames;
    const std::vector<int> times = sample::SampleFrameTimes(m);
    ASSERT_EQ(static_cast<int>(times.size()), m.frames);
    dates[m.camera].insert(m.date);
    if (times.empty()) {
      EXPECT_EQ(m.firstMs, -1);
      continue;
    }
    schemes.insert(m.scheme);
    EXPECT_EQ(times.front(), m.firstMs);
    EXPECT_EQ(times.back(), m.lastMs);
    EXPECT_LE(m.lastMs, 59999);
    std::set<std::string> names;
    int shortNames = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
      if (k > 0) {
        ASSERT_GT(times[k], times[k - 1]);
        longGap |= times[k] - times[k - 1] > 3000;
        fastSteps |= times[k] - times[k - 1] <= 50;
      }
      if (m.scheme != NameScheme::kMillisecond) {
        EXPECT_EQ(times[k] % 10, 0);
      }
      const std::string name = sample::SampleFrameName(m.scheme, times[k]);
      names.insert(name);
      shortNames += name.size() == 8;
      if (m.scheme == NameScheme::kDashed) {
        EXPECT_EQ(name[2], '-');
      }
    }
    EXPECT_EQ(names.size(), times.size()) << "names must be unique";
    if (m.scheme == NameScheme::kMillisecond) {
      EXPECT_GT(shortNames, 0);  // 8-character names mixed in
      EXPECT_LT(shortNames, m.frames);
    } else {
      EXPECT_EQ(shortNames,
                m.scheme == NameScheme::kCentisecond ? m.frames : 0);
    }
    wholeMinute[m.camera] |= m.firstMs < 1000 && m.lastMs > 59000;
    lateStart |= m.firstMs >= 10000;
  }
  EXPECT_EQ(total, 1026);
  EXPECT_EQ(schemes.size(), 3u);
  for (int c = 0; c < sample::kSampleCameraCount; ++c) {
    EXPECT_GE(dates[c].size(), 2u);
    EXPECT_TRUE(wholeMinute[c]) << c;
  }
  EXPECT_TRUE(lateStart);
  EXPECT_TRUE(longGap);
  EXPECT_TRUE(fastSteps);
}

TEST(SampleLayout, FrameNamesFollowTheThreeSchemes) {
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kCentisecond, 43070),
            "4307.jpg");
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kDashed, 43070), "43-07.jpg");
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kMillisecond, 43175),
            "43175.jpg");
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kMillisecond, 43075),
            "4375.jpg");
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kMillisecond, 3961),
            "03961.jpg");
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kMillisecond, 0), "0000.jpg");
  EXPECT_EQ(sample::SampleFrameName(NameScheme::kCentisecond, 59999),
            "5999.jpg");
}

// Each shown minute folder holds exactly its frames, which decode.
void CheckShownMinutes(const std::string& root) {
  for (const SampleMinute& m : sample::SampleMinutes()) {
    SCOPED_TRACE(RelativeMinute(m));
    const std::string folder = sample::SampleMinutePath(root, m);
    EXPECT_EQ(folder, In(root, RelativeMinute(m)));
    ASSERT_TRUE(fs::is_directory(folder));
    std::vector<std::string> onDisk, expected;
    for (const auto& e : fs::directory_iterator(folder))
      if (e.path().extension() == ".jpg")
        onDisk.push_back(e.path().filename().string());
    for (int ms : sample::SampleFrameTimes(m))
      expected.push_back(sample::SampleFrameName(m.scheme, ms));
    std::sort(onDisk.begin(), onDisk.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(onDisk, expected);
    if (expected.empty()) continue;

    // The first and last frames decode to the camera's size and layout.
    const AVPixelFormat format =
        m.chroma == sample::Chroma::k422    ? AV_PIX_FMT_YUVJ422P
        : m.chroma == sample::Chroma::k444  ? AV_PIX_FMT_YUVJ444P
        : m.chroma == sample::Chroma::kGray ? AV_PIX_FMT_GRAY8
                                            : AV_PIX_FMT_YUVJ420P;
    for (const std::string& name : {expected.front(), expected.back()}) {
      av::FramePtr f = tools_test::DecodeFile(folder + "/" + name);
      ASSERT_TRUE(f) << name;
      EXPECT_EQ(f->width, sample::kSampleCameras[m.camera].width);
      EXPECT_EQ(f->height, sample::kSampleCameras[m.camera].height);
      EXPECT_EQ(f->format, format);
    }
  }
}

// Every other entry is hidden, an empty hour or a documented file.
void CheckNothingUndocumented(const std::string& root) {
  std::set<std::string> shown, frames, ancestors;
  for (const SampleMinute& m : sample::SampleMinutes()) {
    const std::string rel = RelativeMinute(m);
    shown.insert(rel);
    for (int ms : sample::SampleFrameTimes(m))
      frames.insert(rel + "/" + sample::SampleFrameName(m.scheme, ms));
  }
  const auto hidden = sample::SampleHiddenPaths();
  const auto emptyHours = sample::SampleEmptyHours();
  const auto others = sample::SampleNonFrameFiles();
  for (const std::string& p : hidden) EXPECT_TRUE(fs::exists(In(root, p))) << p;
  for (const std::string& p : others)
    EXPECT_TRUE(fs::is_regular_file(In(root, p))) << p;
  for (const std::string& p : emptyHours) {
    const std::string path = In(root, p);
    ASSERT_TRUE(fs::is_directory(path)) << p;
    EXPECT_TRUE(fs::is_empty(path)) << p;
  }
  std::set<std::string> leaves(shown.begin(), shown.end());
  leaves.insert(emptyHours.begin(), emptyHours.end());
  for (const std::string& leaf : leaves)
    for (std::size_t i = leaf.find('/'); i != std::string::npos;
         i = leaf.find('/', i + 1))
      ancestors.insert(leaf.substr(0, i));

  auto underHidden = [&hidden](const std::string& rel) {
    for (const std::string& h : hidden)
      if (rel == h || rel.compare(0, h.size() + 1, h + "/") == 0) return true;
    return false;
  };
  int seenFrames = 0;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = Relative(e.path(), root);
    if (frames.count(rel)) {
      ++seenFrames;
      continue;
    }
    const bool known = shown.count(rel) || ancestors.count(rel) ||
                       underHidden(rel) ||
                       std::count(emptyHours.begin(), emptyHours.end(), rel) ||
                       std::count(others.begin(), others.end(), rel);
    EXPECT_TRUE(known) << "undocumented: " << rel;
  }
  EXPECT_EQ(seenFrames, 1026);

  // The tree's top levels as a viewer lists them.
  std::set<std::string> top;
  for (const auto& e : fs::directory_iterator(root))
    top.insert(e.path().filename().string());
  EXPECT_EQ(top, (std::set<std::string>{".sync", "Camera 1", "Camera 2"}));
  EXPECT_TRUE(fs::is_directory(In(root, "Camera 1/2004-03-15/12")));
  EXPECT_FALSE(fs::exists(In(root, "Camera 1/2004-03-15/13")));
  EXPECT_TRUE(fs::is_directory(In(root, "Camera 1/2004-03-15/14")));
}

// Writing and removing a thousand files takes seconds under Wine, so one
// case checks the tree against the documented layout, then writes it again
// over itself (which the run command may do too) and compares the bytes.
TEST(SampleBackup, WritesTheDocumentedTreeAndTheSameBytesAgain) {
  TempDir dir;
  const std::string root = dir.Join("sample root");  // made by the generator
  ASSERT_EQ(sample::GenerateSampleBackup(root), 0);
  {
    SCOPED_TRACE("shown minutes");
    CheckShownMinutes(root);
  }
  {
    SCOPED_TRACE("other entries");
    CheckNothingUndocumented(root);
  }
  int entries = 0, entriesAgain = 0;
  const std::uint64_t digest = Digest(root, &entries);
  ASSERT_EQ(sample::GenerateSampleBackup(root), 0);
  EXPECT_GT(entries, 1026);
  EXPECT_EQ(Digest(root, &entriesAgain), digest);
  EXPECT_EQ(entriesAgain, entries);
}

TEST(SampleBackupFailure, RootThatIsAFileFailsWithMinusOne) {
  TempDir dir;
  const std::string file = dir.Join("not a folder");
  testing_support::WriteFile(file, "x");
  EXPECT_EQ(sample::GenerateSampleBackup(file), -1);
  EXPECT_EQ(sample::GenerateSampleBackup(""), -1);
}

}  // namespace
