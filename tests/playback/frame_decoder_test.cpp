#include "playback/frame_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::WriteFile;

namespace {

struct Bgr {
  int b, g, r;
};

// WriteFrame's colour references (full-range YCbCr 41/240/110 and 81/90/240);
// read as limited range they would be off by about 15 in some channel.
constexpr Bgr kBlue{240, 15, 16};
constexpr Bgr kRed{14, 14, 238};

::testing::AssertionResult PixelNear(const FrameDecoder& d, int x, int y, Bgr want) {
  const std::uint8_t* p = d.pixels() + static_cast<std::size_t>(y) * d.stride() + 3 * x;
  if (std::abs(p[0] - want.b) <= 6 && std::abs(p[1] - want.g) <= 6 && std::abs(p[2] - want.r) <= 6)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << x << ", " << y << ") of width " << d.width()
                                       << " is BGR " << +p[0] << ", " << +p[1] << ", " << +p[2];
}

// The first and last pixel of a row, where padding mistakes show.
void ExpectReferenceColours(const FrameDecoder& d, Bgr left = kBlue, Bgr right = kRed) {
  EXPECT_TRUE(PixelNear(d, 0, d.height() / 2, left));
  EXPECT_TRUE(PixelNear(d, d.width() - 1, d.height() / 2, right));
}

std::string Frame(const TempDir& dir, const std::string& name, int w, int h,
                  sample::Chroma chroma = sample::Chroma::k420) {
  sample::FrameRecipe shot;
  shot.width = w;
  shot.height = h;
  shot.chroma = chroma;
  const std::string path = dir.Join(name);
  EXPECT_TRUE(sample::WriteFrame(path, shot)) << path;
  return path;
}

// A flat grey (128) baseline JPEG of any size, by hand, as WriteFrame stops at
// 4096: each block codes "DC difference 0, end of block" as five zero bits.
std::string FlatGreyJpeg(int width, int height) {
  std::string out = std::string("\xFF\xD8\xFF\xDB\x00\x43\x00", 7) + std::string(64, '\x01');
  const char sof[] = {'\xFF', '\xC0', 0, 11, 8, static_cast<char>(height >> 8),
                      static_cast<char>(height & 255), static_cast<char>(width >> 8),
                      static_cast<char>(width & 255), 1, 1, 0x11, 0};
  out.append(sof, sizeof sof);
  // DC: categories 0-11 with 4-bit codes; AC: end-of-block only, code "0".
  out += std::string("\xFF\xC4\x00\x31\x00\x00\x00\x00\x0C", 9) + std::string(12, '\0');
  for (char i = 0; i < 12; ++i) out += i;
  out += std::string("\x10\x01", 2) + std::string(16, '\0');
  out += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
  const long blocks = static_cast<long>((width + 7) / 8) * ((height + 7) / 8);
  return out + std::string(static_cast<std::size_t>((5 * blocks + 7) / 8), '\0') + "\xFF\xD9";
}

// A flat grey (128) lossless JPEG: every sample codes "difference 0".
std::string LosslessGreyJpeg(int width, int height) {
  std::string out("\xFF\xD8", 2);
  const char sof[] = {'\xFF', '\xC3', 0, 11, 8, static_cast<char>(height >> 8),
                      static_cast<char>(height & 255), static_cast<char>(width >> 8),
                      static_cast<char>(width & 255), 1, 1, 0x11, 0};
  out.append(sof, sizeof sof);
  out += std::string("\xFF\xC4\x00\x1F\x00\x00\x00\x00\x0C", 9) + std::string(12, '\0');
  for (char i = 0; i < 12; ++i) out += i;
  out += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x01\x00\x00", 10);  // predictor 1
  const long samples = static_cast<long>(width) * height;
  return out + std::string(static_cast<std::size_t>((4 * samples + 7) / 8), '\0') + "\xFF\xD9";
}

// The picture's bytes without the rows' padding.
std::vector<std::uint8_t> Pixels(const FrameDecoder& d) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < d.height(); ++y) {
    const std::uint8_t* row = d.pixels() + static_cast<std::size_t>(y) * d.stride();
    out.insert(out.end(), row, row + 3 * d.width());
  }
  return out;
}

}  // namespace

TEST(FrameDecoder, EveryDecodeOfAFileGivesWhatAFreshDecoderGives) {
  // The conversion is kept from picture to picture; it must keep the
  // pictures' full range too (odd widths once lost it after the first).
  using sample::Chroma;
  const struct {
    Chroma chroma;
    int w, h;
  } cases[] = {{Chroma::k420, 353, 241}, {Chroma::k420, 355, 240}, {Chroma::k422, 353, 240},
               {Chroma::k444, 355, 241}, {Chroma::kGray, 353, 241}, {Chroma::k420, 704, 576}};
  TempDir dir;
  FrameDecoder kept;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.chroma) << ", " << c.w << " x " << c.h);
    const std::string path = Frame(dir, "frame.jpg", c.w, c.h, c.chroma);
    FrameDecoder fresh;
    ASSERT_EQ(fresh.Decode(path.c_str()), 0);
    for (int round = 0; round < 3; ++round) {
      ASSERT_EQ(kept.Decode(path.c_str()), 0);
      EXPECT_TRUE(Pixels(kept) == Pixels(fresh)) << "decode " << round + 1;
    }
  }
}

TEST(FrameDecoder, ShownSizeChoosesHowFinelyToDecode) {
  using sample::Chroma;
  const struct {
    int w, h;          // recorded
    int shownW, shownH;
    int scale;         // expected
    int bitmapW, bitmapH;
    Chroma chroma;
  } cases[] = {
      {704, 576, 0, 0, 0, 704, 576, Chroma::k420},      // not said: whole
      {704, 576, 704, 576, 0, 704, 576, Chroma::k420},
      {704, 576, 353, 288, 0, 704, 576, Chroma::k420},  // a pixel wider than half
      {704, 576, 352, 289, 0, 704, 576, Chroma::k420},
      {704, 576, 352, 288, 1, 352, 288, Chroma::k420},  // half size
      {353, 241, 176, 120, 1, 177, 121, Chroma::k420},  // halves round up
      {353, 241, 177, 121, 1, 177, 121, Chroma::k422},
      {704, 576, 176, 144, 2, 176, 144, Chroma::k444},
      {704, 576, 100, 60, 2, 176, 144, Chroma::k420},   // an eighth would be smaller
      {704, 576, 88, 72, 3, 88, 72, Chroma::k420},
      {704, 576, 1, 1, 3, 88, 72, Chroma::k420},        // no coarser than an eighth
      {705, 577, 1, 1, 3, 89, 73, Chroma::kGray},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << " x " << c.h << " shown at " << c.shownW << " x "
                                      << c.shownH);
    const std::string path = Frame(dir, "frame.jpg", c.w, c.h, c.chroma);
    FrameDecoder d;
    d.SetShownSize(c.shownW, c.shownH);
    EXPECT_EQ(d.ScaleFor(c.w, c.h), c.scale);
    ASSERT_EQ(d.Decode(path.c_str()), 0);
    ASSERT_EQ(d.Decode(path.c_str()), 0);  // the first taught it the size
    EXPECT_EQ(d.scale(), c.scale);
    EXPECT_EQ(d.width(), c.bitmapW);
    EXPECT_EQ(d.height(), c.bitmapH);
    EXPECT_EQ(d.header().biWidth, c.bitmapW);
    EXPECT_EQ(d.header().biHeight, -c.bitmapH);
    EXPECT_EQ(d.stride(), (3 * c.bitmapW + 3) / 4 * 4);
    EXPECT_EQ(d.pictureWidth(), c.w);
    EXPECT_EQ(d.pictureHeight(), c.h);
    if (c.chroma == Chroma::kGray)
      ExpectReferenceColours(d, {41, 41, 41}, {81, 81, 81});
    else
      ExpectReferenceColours(d);
  }

  // Pictures that cannot be decoded reduced are decoded whole, and a shown
  // size of 0 x 0 goes back to whole pictures.
  FrameDecoder d;
  WriteFile(dir.Join("lossless.jpg"), LosslessGreyJpeg(64, 48));
  d.SetShownSize(32, 24);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(d.Decode(dir.Join("lossless.jpg").c_str()), 0) << d.lastError();
    EXPECT_EQ(d.width(), 64);
    EXPECT_TRUE(PixelNear(d, 63, 47, {128, 128, 128}));
  }
  const std::string big = Frame(dir, "big.jpg", 704, 576);
  ASSERT_EQ(d.Decode(big.c_str()), 0);
  ASSERT_EQ(d.Decode(big.c_str()), 0);
  EXPECT_EQ(d.width(), 88);
  d.SetShownSize(0, 0);
  ASSERT_EQ(d.Decode(big.c_str()), 0);
  EXPECT_EQ(d.width(), 704);
}

TEST(FrameDecoder, EachLayoutAndSizeGivesTheRightColoursInPaddedRows) {
  using sample::Chroma;
  struct Case {
    Chroma chroma;
    int w, h;
  };
  // Widths 353-355 need 1-3 padding bytes a row; even heights take
  // swscale's fast path, odd ones its general path. Pictures over 704 x 576
  // grow the buffer, which then ends right after the last row (the sanitizer
  // builds see writes past it). One decoder throughout, so the conversion
  // must follow each change of format (also at one size) and of size.
  const Case cases[] = {
      {Chroma::k420, 352, 240},   {Chroma::k444, 352, 240},   {Chroma::kGray, 352, 240},
      {Chroma::k422, 352, 240},   {Chroma::k420, 353, 241},   {Chroma::k422, 353, 240},
      {Chroma::k420, 354, 240},   {Chroma::k422, 354, 241},   {Chroma::k420, 355, 241},
      {Chroma::kGray, 355, 241},  {Chroma::k422, 355, 240},   {Chroma::k444, 354, 241},
      {Chroma::k420, 704, 576},   {Chroma::k420, 1920, 1080}, {Chroma::k422, 1923, 1081},
      {Chroma::k420, 704, 576},   {Chroma::k444, 1920, 1080}, {Chroma::k420, 1923, 1081},
  };
  TempDir dir;
  FrameDecoder d;
  std::size_t capacity = kFrameBufferSize;
  const std::uint8_t* buffer = d.pixels();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "chroma " << static_cast<int>(c.chroma) << ", " << c.w
                                      << " x " << c.h);
    const std::string path = Frame(dir, "frame.jpg", c.w, c.h, c.chroma);
    ASSERT_EQ(d.Decode(path.c_str()), 0) << d.lastError();
    EXPECT_STREQ(d.lastError(), "");
    EXPECT_EQ(d.width(), c.w);
    EXPECT_EQ(d.height(), c.h);
    EXPECT_EQ(d.stride(), (3 * c.w + 3) / 4 * 4);
    const BitmapHeader& h = d.header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, c.w);
    EXPECT_EQ(h.biHeight, -c.h);  // top-down
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    // Grey: the luma of the references (41, 81) at full range.
    if (c.chroma == Chroma::kGray)
      ExpectReferenceColours(d, {41, 41, 41}, {81, 81, 81});
    else
      ExpectReferenceColours(d);
    // The bottom row is plain background: grey up to its last pixel.
    const std::uint8_t* last = d.pixels() + (c.h - 1) * d.stride() + 3 * (c.w - 1);
    EXPECT_NEAR(last[0], last[1], 8);
    EXPECT_NEAR(last[2], last[1], 8);
    EXPECT_GT(last[1], 60);

    const std::size_t bytes = static_cast<std::size_t>(d.stride()) * c.h;
    EXPECT_TRUE(bytes > capacity || d.pixels() == buffer) << "a picture that fits allocates";
    capacity = std::max(capacity, bytes);
    buffer = d.pixels();
  }
}

TEST(FrameDecoder, FileLargerThanTheUsualBufferIsReadWhole) {
  // Comment segments ahead of the picture push its data past the buffer: a
  // decoder that cut the file there would find no picture.
  TempDir dir;
  const std::string base = ReadFile(Frame(dir, "base.jpg", 352, 240));
  std::string big = base.substr(0, 2);
  const std::string comment = std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'x');
  while (big.size() < kFrameBufferSize + 100000) big += comment;
  WriteFile(dir.Join("big.jpg"), big + base.substr(2));

  FrameDecoder d;
  ASSERT_EQ(d.Decode(dir.Join("big.jpg").c_str()), 0) << d.lastError();
  EXPECT_EQ(d.width(), 352);
  ExpectReferenceColours(d);
}

TEST(FrameDecoder, BadFilesAndHugePicturesKeepThePreviousPictureAndLeaveATrace) {
  TempDir dir;
  FrameDecoder d;
  const std::string good = Frame(dir, "good.jpg", 352, 240);
  ASSERT_EQ(d.Decode(good.c_str()), 0);
  const std::vector<std::uint8_t> before(d.pixels(), d.pixels() + d.stride() * d.height());
  const auto decodeKeeping = [&](const std::string& path, int result) {
    SCOPED_TRACE(path.substr(path.size() - 12));
    TraceCapture trace;
    EXPECT_EQ(d.Decode(path.c_str()), result);
    if (result != 0) {
      EXPECT_STRNE(d.lastError(), "");
      EXPECT_FALSE(trace.Lines().empty());
    }
    EXPECT_EQ(d.width(), 352);
    EXPECT_EQ(d.height(), 240);
    EXPECT_EQ(d.header().biWidth, 352);
    EXPECT_EQ(d.header().biHeight, -240);
    EXPECT_EQ(0, std::memcmp(before.data(), d.pixels(), before.size()));
  };
  WriteFile(dir.Join("empty.jpg"), "");
  decodeKeeping(dir.Join("empty.jpg"), 0);  // nothing decoded, not a failure
  WriteFile(dir.Join("text.jpg"), "this is not a picture, just text in a .jpg\n");
  decodeKeeping(dir.Join("text.jpg"), -1);
  decodeKeeping(dir.Join("missing.jpg"), -1);
  decodeKeeping(dir.Join(std::string(300, 'a') + ".jpg"), -1);  // too long a path
  WriteFile(dir.Join("wide.jpg"), FlatGreyJpeg(8193, 8));
  decodeKeeping(dir.Join("wide.jpg"), -1);
  WriteFile(dir.Join("tall.jpg"), FlatGreyJpeg(8, 8193));
  decodeKeeping(dir.Join("tall.jpg"), -1);

  // Truncated anywhere: a partial picture or a failure, never a crash or a
  // read past the bytes (the sanitizer builds watch that).
  const std::string bytes = ReadFile(good);
  const std::string cut = dir.Join("cut.jpg");
  for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{20}, std::size_t{300},
                        bytes.size() / 2, bytes.size() - 2}) {
    WriteFile(cut, bytes.substr(0, n));
    const int result = d.Decode(cut.c_str());
    EXPECT_TRUE(result == 0 || result == -1) << n;
    EXPECT_EQ(d.width(), 352) << n;
  }
  decodeKeeping(good, 0);

  // 8192 a side is still a picture.
  WriteFile(dir.Join("edge.jpg"), FlatGreyJpeg(8192, 8));
  ASSERT_EQ(d.Decode(dir.Join("edge.jpg").c_str()), 0) << d.lastError();
  EXPECT_TRUE(PixelNear(d, 8191, 7, {128, 128, 128}));
}

TEST(GetImageSize, ProbesTheFirstListedFileAndLeavesOutputsOnFailure) {
  TempDir dir;
  testing_support::MakeDirs(dir.Join("m/00.jpg"));  // a folder that matches is passed over
  Frame(dir, "m/0002.jpg", 176, 144);
  Frame(dir, "m/0001.jpg", 352, 240);
  std::vector<std::uint8_t> buffer;
  int w = 0, h = 0;
  ASSERT_EQ(GetImageSize(dir.Join("m").c_str(), &w, &h, buffer), 0);
  EXPECT_EQ(w, 352);
  EXPECT_EQ(h, 240);

  WriteFile(dir.Join("e/0001.jpg"), "");  // no picture is no size
  for (const char* folder : {"e", "none"}) {
    w = h = 7;
    EXPECT_EQ(GetImageSize(dir.Join(folder).c_str(), &w, &h, buffer), -1) << folder;
    EXPECT_EQ(w + h, 14) << folder;
  }
}
