#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using testing_support::MakeDirs;
using testing_support::ReadFile;
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

Result Still(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_TRUE(out && err);
  Result r;
  r.code = CmdStill(static_cast<int>(args.size()), argv.data(), out, err);
  r.out = Drain(out);
  r.err = Drain(err);
  return r;
}

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
unsigned U16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

struct Bgr {
  int b, g, r;
};

// Pixel (x, y) of a bottom-up 24-bit BMP, y counted from the top.
Bgr BmpPixel(const std::string& bmp, int x, int y) {
  const int w = static_cast<int>(U32(bmp, 18));
  const int h = static_cast<int>(U32(bmp, 22));
  const std::size_t row = static_cast<std::size_t>((3 * w + 3) & ~3);
  const std::size_t at = U32(bmp, 10) + row * static_cast<std::size_t>(h - 1 - y) + 3 * x;
  return {static_cast<unsigned char>(bmp[at]), static_cast<unsigned char>(bmp[at + 1]),
          static_cast<unsigned char>(bmp[at + 2])};
}

bool Near(Bgr got, Bgr want) {
  return std::abs(got.b - want.b) <= 6 && std::abs(got.g - want.g) <= 6 &&
         std::abs(got.r - want.r) <= 6;
}

// A minute of three frames; play order 0000, 0150 (353 x 241), 3000.
class StillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    minute_ = dir_.Join("cam/2004-03-15/12/58");
    MakeDirs(minute_);
    Write("3000.jpg", 352, 240);
    Write("0000.jpg", 352, 240);
    Write("0150.jpg", 353, 241);
  }
  void Write(const std::string& name, int w, int h) {
    sample::FrameSpec spec;
    spec.width = w;
    spec.height = h;
    ASSERT_TRUE(sample::WriteFrame(minute_ + platform::kPathSeparator + name, spec));
  }
  static bool Exists(const std::string& p) { return std::filesystem::exists(p); }

  TempDir dir_;
  std::string minute_;
};

TEST_F(StillTest, WritesTheFrameAsABottomUpBmp) {
  const std::string bmpPath = dir_.Join("out.bmp");
  WriteFile(bmpPath, "an older file that must be replaced whole");
  const Result r = Still({minute_, "1", "-o", bmpPath});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("353 x 241"), std::string::npos) << r.out;

  const std::string bmp = ReadFile(bmpPath);
  const std::uint32_t rowBytes = 1060;  // 353 x 3 = 1059, padded to 4
  ASSERT_EQ(bmp.size(), 54 + rowBytes * 241);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  EXPECT_EQ(U32(bmp, 10), 54u);
  EXPECT_EQ(U32(bmp, 14), 40u);
  EXPECT_EQ(U32(bmp, 18), 353u);
  EXPECT_EQ(U32(bmp, 22), 241u);
  EXPECT_EQ(U16(bmp, 26), 1u);
  EXPECT_EQ(U16(bmp, 28), 24u);
  EXPECT_EQ(U32(bmp, 30), 0u);
  EXPECT_EQ(U32(bmp, 34), rowBytes * 241);

  // WriteFrame's blue block at the left edge and red at the right, in the
  // middle third of the rows; the yellow block of second 0 at the bottom
  // left (rows 222 to 234), which tells up from down.
  EXPECT_TRUE(Near(BmpPixel(bmp, 0, 120), {240, 15, 16}));
  EXPECT_TRUE(Near(BmpPixel(bmp, 352, 120), {14, 14, 238}));
  EXPECT_TRUE(Near(BmpPixel(bmp, 5, 228), {19, 231, 241})) << "rows upside down";
  EXPECT_EQ(bmp[54 + 1059], 0) << "padding is zero";
  EXPECT_FALSE(Exists(bmpPath + ".part"));

  // Frame 0 in play order is 0000.jpg, whatever the listing order.
  const Result first = Still({"-o", bmpPath, minute_, "0"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(U32(ReadFile(bmpPath), 18), 352u);
}

TEST_F(StillTest, BadArgumentsExitTwoWithOneLine) {
  const std::string bmpPath = dir_.Join("out.bmp");
  const std::vector<std::vector<std::string>> cases = {
      {minute_, "0"},                                  // no -o
      {minute_, "0", "-o"},                            // -o without a name
      {minute_, "zero", "-o", bmpPath},                // not a number
      {minute_, "-1", "-o", bmpPath},                  // negative
      {minute_, "1x", "-o", bmpPath},                  // trailing text
      {minute_, "3", "-o", bmpPath},                   // past the last frame
      {minute_, "99999999999999999999", "-o", bmpPath},
      {dir_.Join("missing"), "0", "-o", bmpPath},      // no such folder
      {dir_.Join("cam"), "0", "-o", bmpPath},          // no frame files
      {minute_, "0", "-o", bmpPath, "extra"},
  };
  for (const auto& args : cases) {
    const Result r = Still(args);
    EXPECT_EQ(r.code, 2) << args[1];
    ASSERT_FALSE(r.err.empty()) << args[1];
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_FALSE(Exists(bmpPath)) << args[1];
  }
}

TEST_F(StillTest, UndecodableFrameExitsOneAndLeavesNoFile) {
  WriteFile(minute_ + platform::kPathSeparator + "4000.jpg", "not a picture");
  WriteFile(minute_ + platform::kPathSeparator + "5000.jpg", "");
  const std::string bmpPath = dir_.Join("out.bmp");
  for (const char* index : {"3", "4"}) {
    const Result r = Still({minute_, index, "-o", bmpPath});
    EXPECT_EQ(r.code, 1) << index;
    EXPECT_NE(r.err.find(index[0] == '3' ? "4000.jpg" : "5000.jpg"), std::string::npos)
        << r.err;
    EXPECT_FALSE(Exists(bmpPath));
    EXPECT_FALSE(Exists(bmpPath + ".part"));
  }

  // An output folder that does not exist: exit 1, nothing written.
  const Result r = Still({minute_, "0", "-o", dir_.Join("nowhere/out.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("nowhere"), std::string::npos) << r.err;
}

}  // namespace
