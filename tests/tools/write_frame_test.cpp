#include <gtest/gtest.h>

#include <string>

#include "playback/av_util.h"
#include "tests/support/test_support.h"
#include "tests/tools/decode_file.h"
#include "tools/sample_backup.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using tools_test::DecodeFile;

int Plane(const AVFrame* f, int plane, int x, int y) {
  return f->data[plane][y * f->linesize[plane] + x];
}

// Mean x of the bright green minute bar along a row of its band.
double BarX(const AVFrame* f) {
  const int y = 7 * f->height / 10;
  long sum = 0, n = 0;
  for (int x = 0; x < f->width; ++x)
    if (Plane(f, 0, x, y) > 130) sum += x, ++n;
  return n ? static_cast<double>(sum) / n : -1;
}

sample::FrameSpec Spec(int w, int h, sample::Chroma c, int centis = 1234) {
  sample::FrameSpec s;
  s.width = w;
  s.height = h;
  s.chroma = c;
  s.hour = 12;
  s.minute = 34;
  s.centis = centis;
  return s;
}

TEST(WriteFrame, DecodesToTheRequestedSizeAndChromaLayout) {
  TempDir dir;
  struct Case {
    sample::Chroma chroma;
    AVPixelFormat format;
  };
  const Case cases[] = {{sample::Chroma::k420, AV_PIX_FMT_YUVJ420P},
                        {sample::Chroma::k422, AV_PIX_FMT_YUVJ422P},
                        {sample::Chroma::k444, AV_PIX_FMT_YUVJ444P},
                        {sample::Chroma::kGray, AV_PIX_FMT_GRAY8}};
  const int sizes[][2] = {{704, 576}, {352, 240}, {353, 241}, {17, 9}, {1, 1}};
  for (const Case& c : cases) {
    for (const auto& size : sizes) {
      const std::string path = dir.Join("f.jpg");
      ASSERT_TRUE(sample::WriteFrame(path, Spec(size[0], size[1], c.chroma)));
      av::FramePtr f = DecodeFile(path);
      ASSERT_TRUE(f) << size[0] << "x" << size[1];
      EXPECT_EQ(f->width, size[0]);
      EXPECT_EQ(f->height, size[1]);
      EXPECT_EQ(f->format, c.format) << size[0] << "x" << size[1];
    }
  }
  const std::string big = dir.Join("big.jpg");
  ASSERT_TRUE(sample::WriteFrame(big, Spec(1920, 1080, sample::Chroma::k420)));
  av::FramePtr f = DecodeFile(big);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->width, 1920);
  EXPECT_EQ(f->height, 1080);
}

TEST(WriteFrame, ColourReferencesAndGreyLuma) {
  TempDir dir;
  const std::string path = dir.Join("f.jpg");
  for (sample::Chroma c :
       {sample::Chroma::k420, sample::Chroma::k422, sample::Chroma::k444}) {
    ASSERT_TRUE(sample::WriteFrame(path, Spec(352, 240, c)));
    av::FramePtr f = DecodeFile(path);
    ASSERT_TRUE(f);
    const int sx = c == sample::Chroma::k444 ? 1 : 2;
    const int sy = c == sample::Chroma::k420 ? 2 : 1;
    const int y = 120 / sy;
    EXPECT_GT(Plane(f.get(), 1, 10 / sx, y), 200);   // blue at the left
    EXPECT_GT(Plane(f.get(), 2, 340 / sx, y), 200);  // red at the right
    EXPECT_NEAR(Plane(f.get(), 1, 176 / sx, y), 128, 4);
  }
  // Grey: one component, and the same luma as the colour picture.
  ASSERT_TRUE(sample::WriteFrame(path, Spec(353, 241, sample::Chroma::k444)));
  av::FramePtr colour = DecodeFile(path);
  ASSERT_TRUE(sample::WriteFrame(path, Spec(353, 241, sample::Chroma::kGray)));
  av::FramePtr grey = DecodeFile(path);
  ASSERT_TRUE(colour && grey);
  ASSERT_EQ(grey->format, AV_PIX_FMT_GRAY8);
  for (int y = 0; y < 241; ++y)
    for (int x = 0; x < 353; ++x)
      ASSERT_EQ(Plane(grey.get(), 0, x, y), Plane(colour.get(), 0, x, y))
          << x << "," << y;
}

TEST(WriteFrame, SameSpecSameBytesOtherTimeOtherPicture) {
  TempDir dir;
  const auto spec = Spec(353, 241, sample::Chroma::k422, 1234);
  ASSERT_TRUE(sample::WriteFrame(dir.Join("a.jpg"), spec));
  // Another size in between makes the cached encoder reopen.
  ASSERT_TRUE(sample::WriteFrame(dir.Join("x.jpg"),
                                 Spec(64, 48, sample::Chroma::k420)));
  ASSERT_TRUE(sample::WriteFrame(dir.Join("b.jpg"), spec));
  EXPECT_EQ(ReadFile(dir.Join("a.jpg")), ReadFile(dir.Join("b.jpg")));

  // One hundredth later: a different picture (clock digit, second block).
  ASSERT_TRUE(sample::WriteFrame(dir.Join("c.jpg"),
                                 Spec(353, 241, sample::Chroma::k422, 1235)));
  EXPECT_NE(ReadFile(dir.Join("a.jpg")), ReadFile(dir.Join("c.jpg")));
  // Another hour or minute shows as well.
  auto other = spec;
  other.minute = 35;
  ASSERT_TRUE(sample::WriteFrame(dir.Join("d.jpg"), other));
  EXPECT_NE(ReadFile(dir.Join("a.jpg")), ReadFile(dir.Join("d.jpg")));
}

TEST(WriteFrame, MinuteBarMovesLeftToRight) {
  TempDir dir;
  double last = -1;
  for (int centis : {0, 1500, 3000, 4500, 5999}) {
    const std::string path = dir.Join("f.jpg");
    ASSERT_TRUE(
        sample::WriteFrame(path, Spec(704, 576, sample::Chroma::k420, centis)));
    av::FramePtr f = DecodeFile(path);
    ASSERT_TRUE(f);
    const double x = BarX(f.get());
    EXPECT_GT(x, last) << centis;
    EXPECT_NEAR(x / 704, centis / 6000.0, 0.03) << centis;
    last = x;
  }
}

TEST(WriteFrame, RefusesBadSpecsAndUnwritablePathsClampsTimes) {
  TempDir dir;
  EXPECT_FALSE(sample::WriteFrame(dir.Join("missing/f.jpg"),
                                  Spec(64, 48, sample::Chroma::k420)));
  EXPECT_FALSE(
      sample::WriteFrame(dir.Join("z.jpg"), Spec(0, 48, sample::Chroma::k420)));
  auto bad = Spec(64, 48, sample::Chroma::k420);
  bad.quality = 1;
  EXPECT_FALSE(sample::WriteFrame(dir.Join("q.jpg"), bad));
  // Times out of range are drawn clamped, not refused.
  auto odd = Spec(64, 48, sample::Chroma::k420, -5);
  odd.hour = -1;
  odd.minute = 123;
  EXPECT_TRUE(sample::WriteFrame(dir.Join("low.jpg"), odd));
  odd.centis = 7000;
  EXPECT_TRUE(sample::WriteFrame(dir.Join("high.jpg"), odd));
  // A failure does not spoil the next frame.
  EXPECT_TRUE(sample::WriteFrame(dir.Join("ok.jpg"),
                                 Spec(64, 48, sample::Chroma::k420)));
}

}  // namespace
