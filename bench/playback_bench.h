// Shared by the playback benchmarks: a scratch backup of 704 x 576 frames at
// 25 pictures per second, and a view that draws nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "playback/video_child.h"
#include "playback/av_util.h"

namespace playback_bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 704;
constexpr int kHeight = 576;
constexpr int kFrameGap = 4;  // hundredths: 25 pictures per second

// A scratch folder removed with its contents when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const char* label) {
    path_ = fs::temp_directory_path() /
            (std::string("orvanel-bench-") + label + "-" +
             std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// `distinct` different camera-sized pictures, encoded once with FFmpeg's
// MJPEG encoder at the quality recorders use: a textured scene with sensor
// noise, so that decoding costs what a real frame costs (a flat drawing
// decodes several times faster). The frames of the benchmark minutes cycle
// through them.
inline std::vector<std::string> MakePictures(int distinct, int quality = 4) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  av::CodecContextPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
  if (!ctx) {
    std::fprintf(stderr, "no MJPEG encoder\n");
    std::exit(1);
  }
  ctx->width = kWidth;
  ctx->height = kHeight;
  ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
  ctx->time_base = AVRational{1, 25};
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * quality;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
    std::fprintf(stderr, "cannot open the MJPEG encoder\n");
    std::exit(1);
  }
  av::FramePtr frame(av_frame_alloc());
  av::PacketPtr packet(av_packet_alloc());
  frame->width = kWidth;
  frame->height = kHeight;
  frame->format = AV_PIX_FMT_YUVJ420P;
  if (av_frame_get_buffer(frame.get(), 0) < 0) std::exit(1);

  std::uint32_t seed = 12345;
  auto noise = [&seed](int amplitude) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 16) % (2 * amplitude + 1)) - amplitude;
  };
  auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  std::vector<std::string> pictures;
  for (int p = 0; p < distinct; ++p) {
    av_frame_make_writable(frame.get());
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
      for (int x = 0; x < kWidth; ++x) {
        // Walls and windows (blocks), a diagonal texture, a moving object.
        const int block = ((x / 48 + y / 36) % 3) * 40;
        const int texture = ((x / 3 + y / 2) % 24);
        const bool object = std::abs(x - 100 - p * 20) < 40 && std::abs(y - 300) < 80;
        row[x] = clamp(60 + block + texture + (object ? 70 : 0) + noise(3));
      }
    }
    for (int plane = 1; plane < 3; ++plane) {
      for (int y = 0; y < kHeight / 2; ++y) {
        std::uint8_t* row = frame->data[plane] + static_cast<std::ptrdiff_t>(y) * frame->linesize[plane];
        for (int x = 0; x < kWidth / 2; ++x) {
          row[x] = clamp(128 + ((x / 24 + y / 18) % 2) * (plane == 1 ? 20 : -15) + noise(1));
        }
      }
    }
    frame->pts = p;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0 ||
        avcodec_receive_packet(ctx.get(), packet.get()) < 0) {
      std::fprintf(stderr, "MJPEG encoding failed\n");
      std::exit(1);
    }
    pictures.emplace_back(reinterpret_cast<const char*>(packet->data),
                          static_cast<std::size_t>(packet->size));
    av_packet_unref(packet.get());
  }
  return pictures;
}

inline double MeanBytes(const std::vector<std::string>& pictures) {
  double sum = 0;
  for (const std::string& p : pictures) sum += static_cast<double>(p.size());
  return pictures.empty() ? 0 : sum / static_cast<double>(pictures.size());
}

inline std::string MinuteFolder(const fs::path& root, int hour, int minute) {
  char tail[32];
  std::snprintf(tail, sizeof tail, "2004-03-15/%02d/%02d", hour, minute);
  return (root / "cam" / fs::path(tail)).make_preferred().string();
}

// Writes the frames of one minute folder, named by their time codes
// (hundredths, "SSCC.jpg").
inline void WriteMinute(const std::string& folder, const std::vector<int>& codes,
                        const std::vector<std::string>& pictures) {
  fs::create_directories(folder);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d%02d.jpg", codes[i] / 100 % 100, codes[i] % 100);
    std::ofstream out(fs::path(folder) / name, std::ios::binary);
    const std::string& bytes = pictures[i % pictures.size()];
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

inline std::vector<int> RegularCodes(int seconds) {
  std::vector<int> codes;
  for (int code = 0; code < seconds * 100; code += kFrameGap) codes.push_back(code);
  return codes;
}

// Draws nothing: what is measured is the engine and the decoding, with the
// picture still published and "painted" under its lock as the window would.
class NullView : public VideoView, public PictureSink {
 public:
  VideoChild* child = nullptr;
  // Pulls what the window pulls, at once on the calling thread.
  void Changed() override {
    if (child == nullptr) return;
    ViewState state;
    child->GetViewState(&state);
    child->Paint(*this);
  }
  int DrawPicture(const BitmapHeader&, const std::uint8_t*) override { return 0; }
  void ThreadEnded() override {}
};

inline double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace playback_bench
