#include "playback/frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using sample::Chroma;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// Whether pixel (x, y) is within 6 of blue, green, red.
::testing::AssertionResult PixelNear(const FrameDecoder& d, int x, int y, std::vector<int> bgr) {
  const std::uint8_t* p = d.pixels() + static_cast<std::size_t>(y) * d.stride() + 3 * x;
  for (int i = 0; i < 3; ++i)
    if (std::abs(p[i] - bgr[i]) > 6)
      return ::testing::AssertionFailure() << "(" << x << ", " << y << ") of width " << d.width() << " is BGR "
                                           << +p[0] << ", " << +p[1] << ", " << +p[2];
  return ::testing::AssertionSuccess();
}

// WriteFrame's colour references at the ends of a middle row, where padding
// mistakes show (full-range YCbCr 41/240/110 and 81/90/240; read as limited
// range they would be off by about 15 in some channel; grey: their luma).
void ExpectReferenceColours(const FrameDecoder& d, Chroma chroma) {
  const bool grey = chroma == Chroma::kGray;
  EXPECT_TRUE(PixelNear(d, 0, d.height() / 2, grey ? std::vector<int>{41, 41, 41} : std::vector<int>{240, 15, 16}));
  EXPECT_TRUE(PixelNear(d, d.width() - 1, d.height() / 2, grey ? std::vector<int>{81, 81, 81} : std::vector<int>{14, 14, 238}));
}

std::string Frame(const testing_support::TempDir& dir, const std::string& name, int w, int h,
                  Chroma chroma = Chroma::k420) {
  const std::string path = dir.Join(name);
  EXPECT_TRUE(sample::WriteFrame(path, sample::FrameRecipe{w, h, 0, 0, 0, chroma})) << path;
  return path;
}

// A flat grey (128) JPEG of any size, by hand (WriteFrame stops at 4096):
// baseline, each block coding "DC difference 0, end of block" in five bits,
// or lossless (which cannot be decoded reduced), each sample coding
// "difference 0" in four.
std::string GreyJpeg(int w, int h, bool lossless = false) {
  std::string out("\xFF\xD8", 2);
  if (!lossless) out += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
  const char sof[] = {'\xFF', lossless ? '\xC3' : '\xC0', 0, 11, 8, char(h >> 8), char(h & 255),
                      char(w >> 8), char(w & 255), 1, 1, 0x11, 0};
  out.append(sof, sizeof sof);
  // DC: categories 0-11 with 4-bit codes; AC: end-of-block only, code "0".
  out += std::string(lossless ? "\xFF\xC4\x00\x1F\x00" : "\xFF\xC4\x00\x31\x00", 5) + std::string("\0\0\0\x0C", 4);
  out += std::string(12, '\0') + std::string("\0\1\2\3\4\5\6\7\x08\x09\x0A\x0B", 12);
  if (!lossless) out += std::string("\x10\x01", 2) + std::string(16, '\0');
  out += std::string("\xFF\xDA\x00\x08\x01\x01\x00", 7) + std::string(lossless ? "\x01\x00\x00" : "\x00\x3F\x00", 3);
  const long bits = lossless ? 4L * w * h : 5L * ((w + 7) / 8) * ((h + 7) / 8);
  return out + std::string(static_cast<std::size_t>((bits + 7) / 8), '\0') + "\xFF\xD9";
}

// The picture's bytes without the rows' padding.
std::vector<std::uint8_t> Pixels(const FrameDecoder& d) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < d.height(); ++y)
    out.insert(out.end(), d.pixels() + y * d.stride(), d.pixels() + y * d.stride() + 3 * d.width());
  return out;
}

TEST(FrameDecoder, EachLayoutAndSizeGivesTheRightColoursInPaddedRowsAsAFreshDecoderDoes) {
  // Widths 353-355 need 1-3 padding bytes a row; even heights take
  // swscale's fast path, odd ones its general path. Pictures over 704 x 576
  // grow the buffer, which then ends right after the last row (the sanitizer
  // builds see writes past it). One decoder throughout, so the conversion
  // must follow each change of format and size, and keep the pictures' full
  // range (odd widths once lost it after the first picture).
  const struct {
    Chroma chroma;
    int w, h;
  } cases[] = {
      {Chroma::k420, 352, 240},   {Chroma::k444, 352, 240},   {Chroma::kGray, 352, 240},
      {Chroma::k422, 352, 240},   {Chroma::k420, 353, 241},   {Chroma::k422, 353, 240},
      {Chroma::k420, 354, 240},   {Chroma::k422, 354, 241},   {Chroma::k420, 355, 241},
      {Chroma::kGray, 355, 241},  {Chroma::k422, 355, 240},   {Chroma::k444, 354, 241},
      {Chroma::k420, 704, 576},   {Chroma::k420, 1920, 1080}, {Chroma::k422, 1923, 1081},
      {Chroma::k420, 704, 576},   {Chroma::k444, 1920, 1080}, {Chroma::k420, 1923, 1081},
  };
  testing_support::TempDir dir;
  FrameDecoder d;
  std::size_t capacity = kFrameBufferSize;
  const std::uint8_t* buffer = d.pixels();
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "chroma " << static_cast<int>(c.chroma) << ", " << c.w << " x " << c.h);
    const std::string path = Frame(dir, "frame.jpg", c.w, c.h, c.chroma);
    for (int round = 0; round < 2; ++round) ASSERT_EQ(d.Decode(path.c_str()), 0) << d.lastError();
    EXPECT_STREQ(d.lastError(), "");
    EXPECT_EQ(d.stride(), (3 * c.w + 3) / 4 * 4);
    const BitmapHeader want{40, c.w, -c.h, 1, 24};  // top-down BI_RGB
    EXPECT_EQ(std::memcmp(&d.header(), &want, sizeof want), 0);
    ExpectReferenceColours(d, c.chroma);
    // The bottom row is plain background: grey up to its last pixel.
    const std::uint8_t* last = d.pixels() + (c.h - 1) * d.stride() + 3 * (c.w - 1);
    EXPECT_TRUE(std::abs(last[0] - last[1]) < 8 && std::abs(last[2] - last[1]) < 8 && last[1] > 60);
    FrameDecoder fresh;
    ASSERT_EQ(fresh.Decode(path.c_str()), 0);
    EXPECT_TRUE(Pixels(d) == Pixels(fresh));
    const std::size_t bytes = static_cast<std::size_t>(d.stride()) * c.h;
    EXPECT_TRUE(bytes > capacity || d.pixels() == buffer) << "a picture that fits allocates";
    capacity = std::max(capacity, bytes);
    buffer = d.pixels();
  }
}

TEST(FrameDecoder, ShownSizeChoosesHowFinelyToDecode) {
  const struct {
    int w, h;  // recorded
    int shownW, shownH;
    int scale;  // expected
    int bitmapW, bitmapH;
    Chroma chroma;
  } cases[] = {
      {704, 576, 0, 0, 0, 704, 576, Chroma::k420},      // not said: whole
      {704, 576, 353, 288, 0, 704, 576, Chroma::k420},  // a pixel wider or taller than half
      {704, 576, 352, 289, 0, 704, 576, Chroma::k420},
      {704, 576, 352, 288, 1, 352, 288, Chroma::k420},  // half size
      {353, 241, 176, 120, 1, 177, 121, Chroma::k420},  // halves round up
      {353, 241, 177, 121, 1, 177, 121, Chroma::k422},
      {704, 576, 176, 144, 2, 176, 144, Chroma::k444},
      {704, 576, 100, 60, 2, 176, 144, Chroma::k420},   // an eighth would be smaller
      {704, 576, 88, 72, 3, 88, 72, Chroma::k420},
      {705, 577, 1, 1, 3, 89, 73, Chroma::kGray},       // no coarser than an eighth
  };
  testing_support::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << " x " << c.h << " shown at " << c.shownW << " x " << c.shownH);
    const std::string path = Frame(dir, "frame.jpg", c.w, c.h, c.chroma);
    FrameDecoder d;
    d.SetShownSize(c.shownW, c.shownH);
    ASSERT_EQ(d.Decode(path.c_str()), 0);
    ASSERT_EQ(d.Decode(path.c_str()), 0);  // the first taught it the size
    EXPECT_EQ(d.scale(), c.scale);
    EXPECT_EQ(std::make_pair(d.header().biWidth, d.height()), std::make_pair(c.bitmapW, c.bitmapH));
    EXPECT_EQ(std::make_pair(d.pictureWidth(), d.pictureHeight()), std::make_pair(c.w, c.h));
    ExpectReferenceColours(d, c.chroma);
  }

  // Pictures that cannot be decoded reduced are decoded whole, and a shown
  // size of 0 x 0 goes back to whole pictures.
  FrameDecoder d;
  WriteFile(dir.Join("lossless.jpg"), GreyJpeg(64, 48, true));
  d.SetShownSize(32, 24);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(d.Decode(dir.Join("lossless.jpg").c_str()), 0) << d.lastError();
    EXPECT_EQ(d.width(), 64);
    EXPECT_TRUE(PixelNear(d, 63, 47, {128, 128, 128}));
  }
  const std::string big = Frame(dir, "big.jpg", 704, 576);
  for (int round = 0; round < 2; ++round) ASSERT_EQ(d.Decode(big.c_str()), 0);
  EXPECT_EQ(d.width(), 88);
  d.SetShownSize(0, 0);
  ASSERT_EQ(d.Decode(big.c_str()), 0);
  EXPECT_EQ(d.width(), 704);
}

TEST(FrameDecoder, BadFilesAndHugePicturesKeepThePreviousPictureAndLeaveATrace) {
  testing_support::TempDir dir;
  FrameDecoder d;
  const std::string good = Frame(dir, "good.jpg", 352, 240);
  ASSERT_EQ(d.Decode(good.c_str()), 0);
  const std::vector<std::uint8_t> before = Pixels(d);
  const std::string bytes = ReadFile(good);
  // Comment segments ahead of the picture push its data past the usual
  // buffer: a decoder that cut the file there would find no picture.
  std::string padded = bytes.substr(0, 2);
  while (padded.size() < kFrameBufferSize + 100000) padded += std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'x');
  const struct {
    const char* name;
    std::string bytes;  // none: no file
    int result;
  } cases[] = {
      {"empty.jpg", "", 0},  // nothing decoded, not a failure
      {"text.jpg", "this is not a picture, just text in a .jpg\n", -1},
      {"missing.jpg", {}, -1},
      {"long.jpg", {}, -1},  // too long a path
      {"wide.jpg", GreyJpeg(8193, 8), -1},
      {"tall.jpg", GreyJpeg(8, 8193), -1},
      {"padded.jpg", padded + bytes.substr(2), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Join(c.name == std::string("long.jpg") ? std::string(300, 'a') + ".jpg" : c.name);
    if (!c.bytes.empty() || c.result == 0) WriteFile(path, c.bytes);
    testing_support::TraceCapture trace;
    EXPECT_EQ(d.Decode(path.c_str()), c.result);
    EXPECT_EQ(*d.lastError() != '\0', c.result != 0);
    EXPECT_EQ(trace.Lines().empty(), c.result == 0);
    EXPECT_EQ(std::make_pair(d.header().biWidth, d.header().biHeight), std::make_pair(352, -240));
    EXPECT_TRUE(Pixels(d) == before);
  }

  // Truncated anywhere: a partial picture or a failure, never a crash or a
  // read past the bytes (the sanitizer builds watch that).
  for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{20}, std::size_t{300}, bytes.size() / 2,
                        bytes.size() - 2}) {
    WriteFile(dir.Join("cut.jpg"), bytes.substr(0, n));
    const int result = d.Decode(dir.Join("cut.jpg").c_str());
    EXPECT_TRUE(result == 0 || result == -1) << n;
    EXPECT_EQ(d.width(), 352) << n;
  }
  // 8192 a side is still a picture.
  WriteFile(dir.Join("edge.jpg"), GreyJpeg(8192, 8));
  ASSERT_EQ(d.Decode(dir.Join("edge.jpg").c_str()), 0) << d.lastError();
  EXPECT_TRUE(PixelNear(d, 8191, 7, {128, 128, 128}));
}

}  // namespace
