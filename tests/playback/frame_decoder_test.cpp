#include "playback/frame_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_backup.h"

using testing_support::MakeDirs;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::WriteFile;

namespace {

struct Bgr {
  int b, g, r;
};

Bgr PixelAt(const FrameDecoder& d, int x, int y) {
  const std::uint8_t* p = d.pixels() + static_cast<std::size_t>(y) * d.stride() + 3 * x;
  return {p[0], p[1], p[2]};
}

// The colour references WriteFrame draws (full-range YCbCr 41/240/110 and
// 81/90/240 through the BT.601 matrix). Read as limited range they would be
// off by about 15 in the small channels.
constexpr Bgr kBlue{240, 15, 16};
constexpr Bgr kRed{14, 14, 238};

::testing::AssertionResult Near(Bgr got, Bgr want, int tolerance = 6) {
  if (std::abs(got.b - want.b) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.r - want.r) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "BGR (" << got.b << ", " << got.g << ", " << got.r << ") want ("
         << want.b << ", " << want.g << ", " << want.r << ") +-" << tolerance;
}

std::string Frame(const TempDir& dir, const std::string& name, int w, int h,
                  sample::Chroma chroma = sample::Chroma::k420) {
  sample::FrameSpec spec;
  spec.width = w;
  spec.height = h;
  spec.chroma = chroma;
  const std::string path = dir.Join(name);
  EXPECT_TRUE(sample::WriteFrame(path, spec)) << path;
  return path;
}

// Blue block at the left edge, red at the right edge, rows h/3 to 2h/3:
// checks the first and the last pixel of a row, where padding mistakes show.
void ExpectReferenceColours(const FrameDecoder& d) {
  const int y = d.height() / 2;
  EXPECT_TRUE(Near(PixelAt(d, 0, y), kBlue)) << "left edge, width " << d.width();
  EXPECT_TRUE(Near(PixelAt(d, d.width() - 1, y), kRed)) << "right edge, width " << d.width();
}

// A baseline greyscale JPEG of flat 8 x 8 blocks (DC only, quantiser 1),
// made by hand: FFmpeg's MJPEG encoder writes no one-component picture.
// `level(bx, by)` is the grey of each block.
std::string GreyJpeg(int width, int height, const std::function<int(int, int)>& level) {
  std::string out("\xFF\xD8", 2);
  out += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
  const char sof[] = {'\xFF', '\xC0', 0, 11, 8,
                      static_cast<char>(height >> 8), static_cast<char>(height & 255),
                      static_cast<char>(width >> 8), static_cast<char>(width & 255),
                      1, 1, 0x11, 0};
  out.append(sof, sizeof sof);
  // DC table: categories 0-11, all with 4-bit codes (code = category).
  // AC table: only end-of-block, code "0".
  out += std::string("\xFF\xC4\x00\x31\x00\x00\x00\x00\x0C", 9) + std::string(12, '\0');
  for (int i = 0; i < 12; ++i) out += static_cast<char>(i);
  out += std::string("\x10\x01", 2) + std::string(15, '\0') + std::string(1, '\0');
  out += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);

  unsigned acc = 0;
  int bits = 0;
  auto put = [&](unsigned value, int length) {
    for (int i = length - 1; i >= 0; --i) {
      acc = (acc << 1) | ((value >> i) & 1);
      if (++bits == 8) {
        out += static_cast<char>(acc);
        if (acc == 0xFF) out += '\0';  // byte stuffing
        acc = 0;
        bits = 0;
      }
    }
  };
  int previous = 0;
  for (int by = 0; by < (height + 7) / 8; ++by) {
    for (int bx = 0; bx < (width + 7) / 8; ++bx) {
      const int dc = 8 * (level(bx, by) - 128);
      const int diff = dc - previous;
      previous = dc;
      int category = 0;
      for (int a = std::abs(diff); a; a >>= 1) ++category;
      put(static_cast<unsigned>(category), 4);
      if (category)
        put(static_cast<unsigned>(diff > 0 ? diff : diff + (1 << category) - 1), category);
      put(0, 1);  // end of block
    }
  }
  while (bits) put(1, 1);
  out += std::string("\xFF\xD9", 2);
  return out;
}

}  // namespace

TEST(FrameDecoder, SizesGiveTheBitmapHeader) {
  TempDir dir;
  FrameDecoder d;
  EXPECT_EQ(d.width(), 0);
  EXPECT_EQ(d.header().biSize, 0u);  // nothing decoded: nothing to draw

  struct Case {
    int w, h;
  };
  for (const Case c : {Case{352, 240}, Case{704, 576}}) {
    const std::string path = Frame(dir, std::to_string(c.w) + ".jpg", c.w, c.h);
    ASSERT_EQ(d.Decode(path.c_str()), 0) << d.lastError();
    EXPECT_EQ(d.width(), c.w);
    EXPECT_EQ(d.height(), c.h);
    EXPECT_EQ(d.stride(), 3 * c.w);
    const BitmapHeader& h = d.header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, c.w);
    EXPECT_EQ(h.biHeight, -c.h);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 0u);
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(h.biYPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);
    ExpectReferenceColours(d);
    EXPECT_STREQ(d.lastError(), "");
  }
}

TEST(FrameDecoder, OddWidthsPadRowsToFourBytes) {
  TempDir dir;
  FrameDecoder d;
  for (const sample::Chroma chroma : {sample::Chroma::k420, sample::Chroma::k422}) {
    // Even heights take swscale's fast path, odd ones its general path.
    for (int w : {353, 354, 355}) {
      for (int h : {240, 241}) {
        const std::string path = Frame(dir, "odd.jpg", w, h, chroma);
        ASSERT_EQ(d.Decode(path.c_str()), 0) << d.lastError();
        ASSERT_EQ(d.width(), w);
        EXPECT_EQ(d.stride(), (3 * w + 3) / 4 * 4);
        ExpectReferenceColours(d);
        // The bottom row is plain background: grey up to its last pixel.
        const Bgr last = PixelAt(d, w - 1, h - 1);
        EXPECT_NEAR(last.b, last.g, 8) << w << " x " << h;
        EXPECT_NEAR(last.r, last.g, 8) << w << " x " << h;
        EXPECT_GT(last.g, 60) << w << " x " << h;
      }
    }
  }
}

TEST(FrameDecoder, EachChromaLayoutGivesTheRightColours) {
  TempDir dir;
  FrameDecoder d;
  for (const sample::Chroma chroma : {sample::Chroma::k420, sample::Chroma::k422,
                                      sample::Chroma::k444, sample::Chroma::k420}) {
    const std::string path = Frame(dir, "c.jpg", 352, 240, chroma);
    ASSERT_EQ(d.Decode(path.c_str()), 0) << d.lastError();
    ExpectReferenceColours(d);
  }

  // A true one-component picture, odd width: grey 200 on the left, 50 on
  // the right, read at full range (limited range would stretch both).
  const std::string grey = dir.Join("grey.jpg");
  WriteFile(grey, GreyJpeg(13, 16, [](int bx, int) { return bx == 0 ? 200 : 50; }));
  ASSERT_EQ(d.Decode(grey.c_str()), 0) << d.lastError();
  EXPECT_EQ(d.width(), 13);
  EXPECT_EQ(d.height(), 16);
  EXPECT_EQ(d.stride(), 40);
  EXPECT_TRUE(Near(PixelAt(d, 0, 0), {200, 200, 200}, 2));
  EXPECT_TRUE(Near(PixelAt(d, 7, 15), {200, 200, 200}, 2));
  EXPECT_TRUE(Near(PixelAt(d, 8, 0), {50, 50, 50}, 2));
  EXPECT_TRUE(Near(PixelAt(d, 12, 15), {50, 50, 50}, 2));

  // Back to colour after grey: the conversion follows the format change.
  const std::string colour = Frame(dir, "c.jpg", 352, 240, sample::Chroma::k444);
  ASSERT_EQ(d.Decode(colour.c_str()), 0);
  ExpectReferenceColours(d);
}

TEST(FrameDecoder, LargerPictureGrowsTheBuffersOnce) {
  TempDir dir;
  FrameDecoder d;
  const std::string small = Frame(dir, "small.jpg", 704, 576);
  const std::string large = Frame(dir, "large.jpg", 1920, 1080);

  ASSERT_EQ(d.Decode(small.c_str()), 0);
  const std::uint8_t* usual = d.pixels();
  ASSERT_EQ(d.Decode(small.c_str()), 0);
  EXPECT_EQ(d.pixels(), usual) << "the usual picture fits the first buffer";

  ASSERT_EQ(d.Decode(large.c_str()), 0) << d.lastError();
  EXPECT_EQ(d.width(), 1920);
  EXPECT_EQ(d.height(), 1080);
  EXPECT_EQ(d.header().biHeight, -1080);
  ExpectReferenceColours(d);

  // Larger again, with padded rows: the buffer ends right after the last
  // row, so the sanitizer builds see any write past it.
  const std::string odd = Frame(dir, "odd.jpg", 1923, 1081);
  ASSERT_EQ(d.Decode(odd.c_str()), 0) << d.lastError();
  EXPECT_EQ(d.stride(), 5772);
  ExpectReferenceColours(d);
  const std::uint8_t* grown = d.pixels();

  // Smaller and larger again: no further allocation.
  ASSERT_EQ(d.Decode(small.c_str()), 0);
  EXPECT_EQ(d.width(), 704);
  ExpectReferenceColours(d);
  ASSERT_EQ(d.Decode(large.c_str()), 0);
  ASSERT_EQ(d.Decode(odd.c_str()), 0);
  EXPECT_EQ(d.pixels(), grown);
}

TEST(FrameDecoder, FileLargerThanTheUsualBufferIsReadWhole) {
  // Comment segments ahead of the picture push its data past 1,216,512
  // bytes: a decoder that cut the file there would find no picture.
  TempDir dir;
  const std::string base = ReadFile(Frame(dir, "base.jpg", 352, 240));
  std::string big = base.substr(0, 2);
  const std::string comment = std::string("\xFF\xFE\xFF\xFF", 4) + std::string(65533, 'x');
  while (big.size() < kFrameBufferSize + 100000) big += comment;
  big += base.substr(2);
  const std::string path = dir.Join("big.jpg");
  WriteFile(path, big);

  FrameDecoder d;
  ASSERT_EQ(d.Decode(path.c_str()), 0) << d.lastError();
  EXPECT_EQ(d.width(), 352);
  ExpectReferenceColours(d);
}

TEST(FrameDecoder, BadFilesKeepThePreviousPicture) {
  TempDir dir;
  FrameDecoder d;
  const std::string good = Frame(dir, "good.jpg", 352, 240);
  ASSERT_EQ(d.Decode(good.c_str()), 0);
  const std::vector<std::uint8_t> before(d.pixels(), d.pixels() + d.stride() * d.height());
  auto expectUnchanged = [&](const char* what) {
    EXPECT_EQ(d.width(), 352) << what;
    EXPECT_EQ(d.height(), 240) << what;
    EXPECT_EQ(d.header().biWidth, 352) << what;
    EXPECT_EQ(d.header().biHeight, -240) << what;
    EXPECT_EQ(0, std::memcmp(before.data(), d.pixels(), before.size())) << what;
  };

  {  // 0 bytes: nothing decoded, not a failure
    const std::string empty = dir.Join("empty.jpg");
    WriteFile(empty, "");
    EXPECT_EQ(d.Decode(empty.c_str()), 0);
    expectUnchanged("empty file");
  }
  {  // not a JPEG
    TraceCapture trace;
    const std::string text = dir.Join("text.jpg");
    WriteFile(text, "this is not a picture, just some text in a .jpg file\n");
    EXPECT_EQ(d.Decode(text.c_str()), -1);
    EXPECT_TRUE(trace.Contains("Decoding frame failed."));
    EXPECT_STRNE(d.lastError(), "");
    expectUnchanged("text file");
  }
  {  // missing file
    TraceCapture trace;
    const std::string missing = dir.Join("missing.jpg");
    EXPECT_EQ(d.Decode(missing.c_str()), -1);
    EXPECT_TRUE(trace.Contains("src = " + missing));
    EXPECT_TRUE(trace.Contains("Can't open file (errno): 2"));
    expectUnchanged("missing file");
  }
  {  // a path no 260-byte buffer holds
    TraceCapture trace;
    const std::string longPath = dir.Join(std::string(300, 'a') + ".jpg");
    EXPECT_EQ(d.Decode(longPath.c_str()), -1);
    EXPECT_FALSE(trace.Lines().empty());
    expectUnchanged("long path");
  }

  // Truncated at any point: a partial picture or a failure, never a crash
  // or a read past the bytes (the sanitizer builds watch that).
  const std::string bytes = ReadFile(good);
  const std::string cut = dir.Join("cut.jpg");
  for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{20}, std::size_t{300},
                        bytes.size() / 2, bytes.size() - 2}) {
    WriteFile(cut, bytes.substr(0, n));
    const int result = d.Decode(cut.c_str());
    EXPECT_TRUE(result == 0 || result == -1);
    EXPECT_EQ(d.width(), 352);
  }

  // The decoder goes on after all of that.
  ASSERT_EQ(d.Decode(good.c_str()), 0);
  expectUnchanged("good file again");
}

TEST(GetImageSize, ProbesTheFirstListedFrame) {
  TempDir dir;
  std::vector<std::uint8_t> buffer;
  int w = -7, h = -9;

  {  // no frame files
    TraceCapture trace;
    const std::string empty = dir.Join("empty");
    MakeDirs(empty);
    EXPECT_EQ(GetImageSize(empty.c_str(), &w, &h, buffer), -1);
    EXPECT_TRUE(trace.Contains("GetImageSize() find what = "));
    EXPECT_TRUE(trace.Contains("Invalid File Handle. Get Last Error reports"));
  }
  {  // missing folder
    const std::string missing = dir.Join("missing");
    EXPECT_EQ(GetImageSize(missing.c_str(), &w, &h, buffer), -1);
  }
  {  // a folder named like a frame is not a frame
    const std::string onlyFolder = dir.Join("folders");
    MakeDirs(onlyFolder + "/0000.jpg");
    EXPECT_EQ(GetImageSize(onlyFolder.c_str(), &w, &h, buffer), -1);
  }
  {  // the first listed frame is damaged
    const std::string bad = dir.Join("bad");
    WriteFile(dir.Join("bad/0000.jpg"), "not a picture");
    Frame(dir, "bad/0100.jpg", 704, 576);
    EXPECT_EQ(GetImageSize(bad.c_str(), &w, &h, buffer), -1);
  }
  EXPECT_EQ(w, -7);
  EXPECT_EQ(h, -9);

  const std::string minute = dir.Join("minute");
  MakeDirs(minute + "/0000.jpg");  // listed first, skipped
  Frame(dir, "minute/0100.jpg", 704, 576);
  Frame(dir, "minute/0200.jpg", 352, 240);
  TraceCapture trace;
  EXPECT_EQ(GetImageSize(minute.c_str(), &w, &h, buffer), 0);
  EXPECT_EQ(w, 704);
  EXPECT_EQ(h, 576);
  EXPECT_TRUE(trace.Contains("The first file found is 0100.jpg at GIS"));
}
