#include "tools/jpeg_luma.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "playback/av_util.h"
#include "tests/support/test_support.h"
#include "tests/tools/decode_file.h"
#include "tools/sample_backup.h"

namespace {

// A 4:4:4 JPEG from FFmpeg's encoder with a luma pattern; chroma neutral
// unless `colour`.
std::vector<std::uint8_t> Encode444(int w, int h, bool colour) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  av::CodecContextPtr ctx(avcodec_alloc_context3(codec));
  av::FramePtr frame(av_frame_alloc());
  av::PacketPtr pkt(av_packet_alloc());
  ctx->width = w;
  ctx->height = h;
  ctx->pix_fmt = AV_PIX_FMT_YUVJ444P;
  ctx->time_base = AVRational{1, 25};
  ctx->thread_count = 1;
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return {};
  frame->width = w;
  frame->height = h;
  frame->format = AV_PIX_FMT_YUVJ444P;
  frame->quality = FF_QP2LAMBDA * 3;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return {};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      frame->data[0][y * frame->linesize[0] + x] =
          static_cast<std::uint8_t>((x * 7 + y * 3) ^ (x * y));
      frame->data[1][y * frame->linesize[1] + x] =
          colour && x < w / 2 ? 200 : 128;
      frame->data[2][y * frame->linesize[2] + x] = 128;
    }
  if (avcodec_send_frame(ctx.get(), frame.get()) < 0 ||
      avcodec_receive_packet(ctx.get(), pkt.get()) < 0)
    return {};
  return std::vector<std::uint8_t>(pkt->data, pkt->data + pkt->size);
}

TEST(KeepLumaOnly, KeepsTheLumaBitExact) {
  testing_support::TempDir dir;
  for (const auto& size :
       {std::pair{64, 48}, std::pair{353, 241}, std::pair{1, 1}}) {
    const auto jpeg = Encode444(size.first, size.second, false);
    ASSERT_FALSE(jpeg.empty());
    std::vector<std::uint8_t> grey;
    ASSERT_TRUE(sample::KeepLumaOnly(jpeg.data(), jpeg.size(), grey));
    EXPECT_LT(grey.size(), jpeg.size());
    testing_support::WriteFile(dir.Join("c.jpg"),
                               std::string(jpeg.begin(), jpeg.end()));
    testing_support::WriteFile(dir.Join("g.jpg"),
                               std::string(grey.begin(), grey.end()));
    av::FramePtr c = tools_test::DecodeFile(dir.Join("c.jpg"));
    av::FramePtr g = tools_test::DecodeFile(dir.Join("g.jpg"));
    ASSERT_TRUE(c && g);
    EXPECT_EQ(g->format, AV_PIX_FMT_GRAY8);
    ASSERT_EQ(g->width, size.first);
    ASSERT_EQ(g->height, size.second);
    for (int y = 0; y < size.second; ++y)
      for (int x = 0; x < size.first; ++x)
        ASSERT_EQ(g->data[0][y * g->linesize[0] + x],
                  c->data[0][y * c->linesize[0] + x]);
  }
}

TEST(KeepLumaOnly, RefusesColourOtherLayoutsAndDamagedBytes) {
  testing_support::TempDir dir;
  std::vector<std::uint8_t> out;
  const auto colour = Encode444(64, 48, true);
  EXPECT_FALSE(sample::KeepLumaOnly(colour.data(), colour.size(), out));
  for (sample::Chroma c :
       {sample::Chroma::k420, sample::Chroma::k422, sample::Chroma::kGray}) {
    sample::FrameSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.chroma = c;
    ASSERT_TRUE(sample::WriteFrame(dir.Join("f.jpg"), spec));
    const std::string bytes = testing_support::ReadFile(dir.Join("f.jpg"));
    EXPECT_FALSE(sample::KeepLumaOnly(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
        out));
  }

  // Cut short anywhere, a good picture is refused, never read past its end.
  const auto flat = Encode444(40, 24, false);
  ASSERT_TRUE(sample::KeepLumaOnly(flat.data(), flat.size(), out));
  for (std::size_t n = 0; n + 2 < flat.size(); ++n) {
    std::vector<std::uint8_t> cut(flat.begin(), flat.begin() + n);
    EXPECT_FALSE(sample::KeepLumaOnly(cut.data(), cut.size(), out)) << n;
  }
  // Damaged bytes anywhere: refused or repackaged, never a crash.
  for (std::size_t i = 2; i < flat.size(); ++i) {
    std::vector<std::uint8_t> bad = flat;
    bad[i] ^= 0x5A;
    sample::KeepLumaOnly(bad.data(), bad.size(), out);
  }
}

}  // namespace
