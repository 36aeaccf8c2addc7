#include "tools/activity_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "playback/av_util.h"

namespace sample {

namespace {

std::uint32_t Hash(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// The still scene: broad shading, blocks of differing level and fine
// stripes, so that a gain is told from an offset and a small picture shows
// texture too.
float StillLevel(const Scene& s, int x, int y) {
  const float broad = 45.0f * std::sin(x * 0.045f + 0.7f * std::sin(y * 0.031f)) * std::cos(y * 0.052f);
  const std::uint32_t cell = Hash(static_cast<std::uint32_t>((x / 24) * 7919 + (y / 24) * 104729) ^ s.seed);
  const float blocks = static_cast<float>(cell % 61) - 30.0f;
  const float fine = ((x / 3 + y / 5) % 4) * 4.0f;
  return 110.0f + broad + blocks + fine;
}

// Noise with about the given standard deviation: the sum of four uniform
// draws, from a generator seeded by the frame.
struct Noise {
  std::uint32_t state;
  float Next(double sd) {
    float sum = 0;
    for (int i = 0; i < 4; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      sum += static_cast<float>(state & 0xFFFF) / 65535.0f - 0.5f;
    }
    return static_cast<float>(sum * sd * 1.7320508);  // four uniforms: sd 1/sqrt(3)
  }
};

struct Encoder {
  av::CodecContextPtr ctx;
  av::FramePtr frame;
  av::PacketPtr packet;
  std::int64_t pts = 0;

  bool Open(const Scene& s) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) return false;
    ctx.reset(avcodec_alloc_context3(codec));
    frame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    if (!ctx || !frame || !packet) return false;
    ctx->width = s.width;
    ctx->height = s.height;
    ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
    ctx->color_range = AVCOL_RANGE_JPEG;
    ctx->time_base = AVRational{1, 25};
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * s.quality;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
    frame->width = s.width;
    frame->height = s.height;
    frame->format = ctx->pix_fmt;
    frame->color_range = AVCOL_RANGE_JPEG;
    return av_frame_get_buffer(frame.get(), 0) >= 0;
  }

  // Encodes a grey picture; the bytes stay in `packet` until the next call.
  bool Encode(const Scene& s, const std::vector<unsigned char>& luma) {
    if (av_frame_make_writable(frame.get()) < 0) return false;
    for (int y = 0; y < s.height; ++y)
      std::copy_n(&luma[static_cast<std::size_t>(y) * s.width], s.width,
                  frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0]);
    for (int p = 1; p < 3; ++p)
      for (int y = 0; y < (s.height + 1) / 2; ++y)
        std::fill_n(frame->data[p] + static_cast<std::ptrdiff_t>(y) * frame->linesize[p],
                    (s.width + 1) / 2, 128);
    frame->quality = FF_QP2LAMBDA * s.quality;
    frame->pts = pts++;
    av_packet_unref(packet.get());
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) return false;
    const int err = avcodec_receive_packet(ctx.get(), packet.get());
    return err == 0;  // MJPEG gives each picture back at once
  }
};

}  // namespace

void DrawScene(const Scene& s, double t, std::vector<unsigned char>& luma) {
  std::vector<float> level(static_cast<std::size_t>(s.width) * s.height);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) level[static_cast<std::size_t>(y) * s.width + x] = StillLevel(s, x, y);
  for (const SceneObject& o : s.objects) {
    if (t < o.appear || t >= o.leave) continue;
    const double f = o.leave > o.appear ? (t - o.appear) / (o.leave - o.appear) : 0.0;
    const int left = static_cast<int>(std::lround(o.fromX + f * (o.toX - o.fromX)));
    const int top = static_cast<int>(std::lround(o.fromY + f * (o.toY - o.fromY)));
    for (int y = std::max(0, top); y < std::min(s.height, top + o.height); ++y)
      for (int x = std::max(0, left); x < std::min(s.width, left + o.width); ++x) {
        if (o.blob) {
          const double dx = (x - left + 0.5) / o.width - 0.5, dy = (y - top + 0.5) / o.height - 0.5;
          if (dx * dx + dy * dy > 0.25) continue;
        }
        level[static_cast<std::size_t>(y) * s.width + x] = static_cast<float>(o.luma);
      }
  }
  float gain = 1, offset = 0;
  for (const LightChange& l : s.lights)
    if (t >= l.at) {
      gain = l.gain;
      offset = l.offset;
    }
  Noise noise{Hash(static_cast<std::uint32_t>(std::lround(t * 1000)) ^ (s.seed * 2654435761U)) | 1};
  luma.resize(level.size());
  for (std::size_t i = 0; i < level.size(); ++i) {
    const float v = gain * level[i] + offset + noise.Next(s.noise);
    luma[i] = static_cast<unsigned char>(std::min(255.0f, std::max(0.0f, std::round(v))));
  }
}

std::string SceneFramePath(const std::string& camera, WallTime moment) {
  const CivilTime c = SplitWallTime(moment);
  char tail[64];
  std::snprintf(tail, sizeof tail, "%04d-%02d-%02d/%02d/%02d/%02d%02d.jpg", c.year, c.month,
                c.day, c.hour, c.minute, c.second, c.hundredths);
  return (std::filesystem::path(camera) / std::filesystem::path(tail).make_preferred()).string();
}

int WriteScene(const std::string& camera, const Scene& s, WallTime origin, double from, double to) {
  Encoder encoder;
  if (s.width < 1 || s.height < 1 || s.fps <= 0 || !encoder.Open(s)) {
    std::fprintf(stderr, "activity scene: cannot encode %d x %d pictures\n", s.width, s.height);
    return -1;
  }
  std::vector<unsigned char> luma;
  int written = 0;
  for (long k = static_cast<long>(std::ceil(from * s.fps - 1e-9)); k / s.fps < to; ++k) {
    const double t = k / s.fps;
    const std::string path = SceneFramePath(camera, origin + std::llround(t * 100));
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    DrawScene(s, t, luma);
    std::FILE* f = encoder.Encode(s, luma) ? std::fopen(path.c_str(), "wb") : nullptr;
    const bool ok = f != nullptr &&
                    std::fwrite(encoder.packet->data, 1, static_cast<std::size_t>(encoder.packet->size), f) ==
                        static_cast<std::size_t>(encoder.packet->size);
    if (f != nullptr && std::fclose(f) != 0) f = nullptr;
    if (!ok || f == nullptr) {
      std::fprintf(stderr, "activity scene: cannot write %s\n", path.c_str());
      return -1;
    }
    ++written;
  }
  return written;
}

}  // namespace sample
