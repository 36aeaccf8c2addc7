#include "tools/sample_backup.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "playback/av_util.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace sample {

namespace {

// ---------------------------------------------------------------- drawing

// Full-range (JPEG) YCbCr colours.
struct Colour {
  std::uint8_t y, cb, cr;
};
constexpr Colour kClockBack{16, 128, 128};
constexpr Colour kClockInk{235, 128, 128};
constexpr Colour kBlue{41, 240, 110};
constexpr Colour kRed{81, 90, 240};
constexpr Colour kGreen{150, 60, 40};
constexpr Colour kYellow{210, 20, 150};
constexpr Colour kTrack{35, 128, 128};

AVPixelFormat PixelFormatOf(Chroma chroma) {
  switch (chroma) {
    case Chroma::k422: return AV_PIX_FMT_YUVJ422P;
    case Chroma::k444: return AV_PIX_FMT_YUVJ444P;
    case Chroma::k420:
    case Chroma::kGray: break;
  }
  return AV_PIX_FMT_YUVJ420P;
}

// Draws into the three planes of a YUVJ frame; rectangles are in luma
// pixels and clipped to the picture, chroma follows the subsampling.
class Canvas {
 public:
  Canvas(AVFrame* f, Chroma chroma) : f_(f), colour_(chroma != Chroma::kGray) {
    sx_ = chroma == Chroma::k444 ? 0 : 1;
    sy_ = chroma == Chroma::k420 || chroma == Chroma::kGray ? 1 : 0;
  }

  void Fill(int x0, int y0, int x1, int y1, Colour c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, f_->width);
    y1 = std::min(y1, f_->height);
    if (x0 >= x1 || y0 >= y1) return;
    for (int y = y0; y < y1; ++y)
      std::memset(f_->data[0] + y * f_->linesize[0] + x0, c.y, x1 - x0);
    if (!colour_) return;
    const int cx0 = x0 >> sx_, cx1 = (x1 + (1 << sx_) - 1) >> sx_;
    const int cy0 = y0 >> sy_, cy1 = (y1 + (1 << sy_) - 1) >> sy_;
    for (int y = cy0; y < cy1; ++y) {
      std::memset(f_->data[1] + y * f_->linesize[1] + cx0, c.cb, cx1 - cx0);
      std::memset(f_->data[2] + y * f_->linesize[2] + cx0, c.cr, cx1 - cx0);
    }
  }

  // Background: a gentle vertical luma ramp, neutral chroma.
  void Background() {
    const int w = f_->width, h = f_->height;
    for (int y = 0; y < h; ++y)
      std::memset(f_->data[0] + y * f_->linesize[0], 60 + (y * 50) / h, w);
    const int cw = (w + (1 << sx_) - 1) >> sx_;
    const int ch = (h + (1 << sy_) - 1) >> sy_;
    for (int p = 1; p <= 2; ++p)
      for (int y = 0; y < ch; ++y)
        std::memset(f_->data[p] + y * f_->linesize[p], 128, cw);
  }

 private:
  AVFrame* f_;
  bool colour_;
  int sx_ = 1, sy_ = 1;
};

// Seven-segment digits: bits a (top), b (top right), c (bottom right),
// d (bottom), e (bottom left), f (top left), g (middle).
constexpr std::uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                        0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void DrawDigit(Canvas& c, int x, int y, int w, int h, int t, int digit) {
  const std::uint8_t s = kSegments[digit % 10];
  const int mid = y + (h - t) / 2;
  if (s & 0x01) c.Fill(x, y, x + w, y + t, kClockInk);
  if (s & 0x02) c.Fill(x + w - t, y, x + w, mid + t, kClockInk);
  if (s & 0x04) c.Fill(x + w - t, mid, x + w, y + h, kClockInk);
  if (s & 0x08) c.Fill(x, y + h - t, x + w, y + h, kClockInk);
  if (s & 0x10) c.Fill(x, mid, x + t, y + h, kClockInk);
  if (s & 0x20) c.Fill(x, y, x + t, mid + t, kClockInk);
  if (s & 0x40) c.Fill(x, mid, x + w, mid + t, kClockInk);
}

void DrawPicture(AVFrame* f, const FrameSpec& spec) {
  Canvas c(f, spec.chroma);
  const int w = f->width, h = f->height;
  c.Background();

  // Colour references: blue at the left edge, red at the right edge.
  c.Fill(0, h / 3, std::max(w / 10, 2), 2 * h / 3, kBlue);
  c.Fill(w - std::max(w / 10, 2), h / 3, w, 2 * h / 3, kRed);

  // The clock "HH:MM:SS.CC", as wide as the picture allows.
  int dw = std::max(w / 16, 3);
  int dh = 2 * dw;
  if (dh > h / 4) {
    dh = std::max(h / 4, 5);
    dw = std::max(dh / 2, 3);
  }
  const int t = std::max(dw / 5, 1);
  const int gap = std::max(dw / 4, 1);
  const int narrow = std::max(dw / 2, 2);
  const int text = 8 * dw + 3 * narrow + 10 * gap;
  int x = (w - text) / 2;
  const int y = std::max(h / 16, 1);
  c.Fill(x - gap, y - gap, x + text + gap, y + dh + gap, kClockBack);
  const int secs = spec.centis / 100, hundredths = spec.centis % 100;
  const int digits[8] = {spec.hour / 10,   spec.hour % 10,  spec.minute / 10,
                         spec.minute % 10, secs / 10,       secs % 10,
                         hundredths / 10,  hundredths % 10};
  for (int i = 0; i < 8; ++i) {
    DrawDigit(c, x, y, dw, dh, t, digits[i]);
    x += dw + gap;
    if (i == 1 || i == 3) {  // colon
      c.Fill(x + (narrow - t) / 2, y + dh / 3 - t / 2,
             x + (narrow + t) / 2 + (t == 1), y + dh / 3 + t / 2 + 1, kClockInk);
      c.Fill(x + (narrow - t) / 2, y + 2 * dh / 3 - t / 2,
             x + (narrow + t) / 2 + (t == 1), y + 2 * dh / 3 + t / 2 + 1,
             kClockInk);
      x += narrow + gap;
    } else if (i == 5) {  // decimal point
      c.Fill(x + (narrow - t) / 2, y + dh - t, x + (narrow + t) / 2 + (t == 1),
             y + dh, kClockInk);
      x += narrow + gap;
    }
  }

  // The minute's progress: a green bar that crosses the picture once a
  // minute, left to right, so direction and speed show at a glance.
  const int barW = std::max(w / 40, 2);
  const int barX = static_cast<int>(
      static_cast<long long>(std::clamp(spec.centis, 0, 5999)) * (w - barW) /
      5999);
  c.Fill(0, 11 * h / 20 + (h / 8) - 1, w, 11 * h / 20 + (h / 8) + 1, kTrack);
  c.Fill(barX, 11 * h / 20, barX + barW, 9 * h / 10, kGreen);

  // The second's progress: a yellow block that crosses once a second, so
  // steps of a few hundredths are visible too.
  const int blockW = std::max(w / 20, 2);
  const int blockX = (hundredths * (w - blockW)) / 99;
  c.Fill(blockX, 37 * h / 40, blockX + blockW, 39 * h / 40, kYellow);
}

// ---------------------------------------------------------------- encoding

// One encoder kept for the last (size, chroma, quality): a sample backup
// writes hundreds of frames of one size in a row, and opening the encoder
// costs about as much as encoding a small frame.
struct Encoder {
  av::CodecContextPtr ctx;
  av::FramePtr frame;
  av::PacketPtr packet;
  int width = 0, height = 0, quality = 0;
  std::int64_t nextPts = 0;  // the encoder wants rising time stamps
  Chroma chroma = Chroma::k420;
};

std::mutex g_encoderMutex;
Encoder g_encoder;

void PrintError(const std::string& path, const char* what, int err) {
  char text[AV_ERROR_MAX_STRING_SIZE] = "";
  if (err) av_strerror(err, text, sizeof text);
  std::fprintf(stderr, "orvanel-sample: %s: %s%s%s\n", path.c_str(), what,
               err ? ": " : "", text);
}

bool OpenEncoder(Encoder& e, const FrameSpec& spec, const std::string& path) {
  e = Encoder{};
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) {
    PrintError(path, "no MJPEG encoder in this FFmpeg", 0);
    return false;
  }
  av::CodecContextPtr ctx(avcodec_alloc_context3(codec));
  av::FramePtr frame(av_frame_alloc());
  av::PacketPtr packet(av_packet_alloc());
  if (!ctx || !frame || !packet) {
    PrintError(path, "out of memory", 0);
    return false;
  }
  ctx->width = spec.width;
  ctx->height = spec.height;
  ctx->pix_fmt = PixelFormatOf(spec.chroma);
  ctx->color_range = AVCOL_RANGE_JPEG;
  ctx->time_base = AVRational{1, 25};
  ctx->thread_count = 1;  // one slice: the same bytes on every machine
  ctx->dct_algo = FF_DCT_INT;  // the C transform, whatever the CPU
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * spec.quality;
  int err = avcodec_open2(ctx.get(), codec, nullptr);
  if (err < 0) {
    PrintError(path, "cannot open the MJPEG encoder", err);
    return false;
  }
  frame->width = spec.width;
  frame->height = spec.height;
  frame->format = ctx->pix_fmt;
  frame->color_range = AVCOL_RANGE_JPEG;
  err = av_frame_get_buffer(frame.get(), 0);
  if (err < 0) {
    PrintError(path, "cannot allocate the picture", err);
    return false;
  }
  e.ctx = std::move(ctx);
  e.frame = std::move(frame);
  e.packet = std::move(packet);
  e.width = spec.width;
  e.height = spec.height;
  e.chroma = spec.chroma;
  e.quality = spec.quality;
  return true;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, int size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    PrintError(path, "cannot create the file", 0);
    return false;
  }
  const bool written =
      std::fwrite(data, 1, static_cast<std::size_t>(size), f) ==
      static_cast<std::size_t>(size);
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    PrintError(path, "cannot write the file", 0);
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool WriteFrame(const std::string& path, const FrameSpec& spec) {
  if (spec.width < 1 || spec.height < 1 || spec.width > kMaxFrameSide ||
      spec.height > kMaxFrameSide || spec.quality < 2 || spec.quality > 31) {
    PrintError(path, "frame size or quality out of range", 0);
    return false;
  }
  std::lock_guard<std::mutex> lock(g_encoderMutex);
  Encoder& e = g_encoder;
  if (!e.ctx || e.width != spec.width || e.height != spec.height ||
      e.chroma != spec.chroma || e.quality != spec.quality) {
    if (!OpenEncoder(e, spec, path)) return false;
  }
  int err = av_frame_make_writable(e.frame.get());
  if (err < 0) {
    PrintError(path, "cannot write the picture", err);
    return false;
  }
  DrawPicture(e.frame.get(), spec);
  e.frame->quality = FF_QP2LAMBDA * spec.quality;
  e.frame->pts = e.nextPts++;

  err = avcodec_send_frame(e.ctx.get(), e.frame.get());
  if (err < 0) {
    PrintError(path, "cannot encode the picture", err);
    e = Encoder{};
    return false;
  }
  err = avcodec_receive_packet(e.ctx.get(), e.packet.get());
  bool drained = false;
  if (err == AVERROR(EAGAIN)) {
    // The encoder held the picture back: drain it. A drained encoder
    // takes no more pictures, so it is reopened for the next frame.
    drained = true;
    err = avcodec_send_frame(e.ctx.get(), nullptr);
    if (err >= 0) err = avcodec_receive_packet(e.ctx.get(), e.packet.get());
  }
  if (err == AVERROR_EOF) {
    PrintError(path, "the encoder gave no picture", 0);
    e = Encoder{};
    return false;
  }
  if (err < 0) {
    PrintError(path, "cannot encode the picture", err);
    e = Encoder{};
    return false;
  }
  const bool ok = WriteFile(path, e.packet->data, e.packet->size);
  av_packet_unref(e.packet.get());
  if (drained) e = Encoder{};
  return ok;
}

int GenerateSampleBackup(const std::string&) { return -1; }

}  // namespace sample
