// Reads an exported video back to pictures and their times with FFmpeg's
// own demuxers and decoders, and compares pictures with the JPEG frames they
// came from as a person sees them: video-range luma is expanded to full
// range the way players do before it is compared with the JPEG's.
// Shared by the export tests and the export quality benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "playback/av_util.h"

namespace readback {

struct Picture {
  double time = 0;  // seconds: the stream's time stamp, else the header's rate
  int width = 0, height = 0;
  std::vector<std::uint8_t> y;   // full-range luma, width x height
};

struct Video {
  bool ok = false;
  std::string error;
  std::string codec;             // FFmpeg's codec name
  double headerRate = 0;         // the stream's frame rate (r_frame_rate)
  double duration = 0;           // seconds, the container's (headers or time stamps)
  int nonRisingDts = 0;          // time-stamped packets whose DTS does not rise
  std::vector<Picture> pictures;
};

// Luma rows of `frame` as full range: video range (16-235) is expanded.
inline std::vector<std::uint8_t> FullRangeLuma(const AVFrame* frame) {
  const bool videoRange = frame->color_range != AVCOL_RANGE_JPEG &&
                          frame->format != AV_PIX_FMT_YUVJ420P &&
                          frame->format != AV_PIX_FMT_YUVJ422P &&
                          frame->format != AV_PIX_FMT_YUVJ444P;
  std::vector<std::uint8_t> y(static_cast<std::size_t>(frame->width) * frame->height);
  for (int r = 0; r < frame->height; ++r)
    for (int c = 0; c < frame->width; ++c) {
      int v = frame->data[0][r * frame->linesize[0] + c];
      if (videoRange) v = static_cast<int>(std::lround((v - 16) * 255.0 / 219.0));
      y[static_cast<std::size_t>(r) * frame->width + c] =
          static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  return y;
}

// Every picture of the file's first video stream, in presentation order.
inline Video Read(const std::string& path) {
  Video video;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
    video.error = "cannot open";
    return video;
  }
  struct Closer {
    AVFormatContext** f;
    ~Closer() { avformat_close_input(f); }
  } closer{&format};
  if (avformat_find_stream_info(format, nullptr) < 0) {
    video.error = "no stream info";
    return video;
  }
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    video.error = "no video stream";
    return video;
  }
  const AVStream* stream = format->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  av::CodecContextPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
  if (ctx) ctx->pkt_timebase = stream->time_base;  // as players set it
  if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0 ||
      avcodec_open2(ctx.get(), codec, nullptr) < 0) {
    video.error = "no decoder";
    return video;
  }
  video.codec = codec->name;
  video.headerRate = av_q2d(stream->r_frame_rate);
  video.duration = format->duration / static_cast<double>(AV_TIME_BASE);
  const double base = av_q2d(stream->time_base);
  av::PacketPtr packet(av_packet_alloc());
  av::FramePtr frame(av_frame_alloc());
  std::int64_t lastDts = AV_NOPTS_VALUE;
  auto receive = [&] {
    while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
      Picture p;
      const std::int64_t pts = frame->best_effort_timestamp;
      // A picture without a time stamp of its own comes one frame of the
      // codec header's rate after the one before, as players time it.
      const double rate = ctx->framerate.num > 0 ? av_q2d(ctx->framerate) : video.headerRate;
      if (pts != AV_NOPTS_VALUE)
        p.time = pts * base;
      else if (!video.pictures.empty() && rate > 0)
        p.time = video.pictures.back().time + 1 / rate;
      p.width = frame->width;
      p.height = frame->height;
      p.y = FullRangeLuma(frame.get());
      video.pictures.push_back(std::move(p));
    }
  };
  while (av_read_frame(format, packet.get()) >= 0) {
    if (packet->stream_index == index) {
      // Decode times the file states (a packet with its own time stamps;
      // MPEG-PS readers interpolate the others, one picture off after a pack).
      if (packet->dts != AV_NOPTS_VALUE && packet->pts != AV_NOPTS_VALUE) {
        if (lastDts != AV_NOPTS_VALUE && packet->dts <= lastDts) ++video.nonRisingDts;
        lastDts = packet->dts;
      }
      avcodec_send_packet(ctx.get(), packet.get());
      receive();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(ctx.get(), nullptr);
  receive();
  video.ok = true;
  return video;
}

// The full-range luma of a JPEG file (empty when it does not decode).
inline std::vector<std::uint8_t> JpegLuma(const std::string& bytes, int* width, int* height) {
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  data.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  av::CodecContextPtr decoder = av::OpenMjpegDecoder();
  av::PacketPtr packet(av_packet_alloc());
  av::FramePtr frame(av_frame_alloc());
  if (!decoder ||
      av::DecodeJpeg(decoder.get(), packet.get(), frame.get(), data.data(), bytes.size()) != 1)
    return {};
  *width = frame->width;
  *height = frame->height;
  return FullRangeLuma(frame.get());
}

// Luma differences over the area both pictures share (the encoder may
// leave out an odd last column and row).
struct Difference {
  double squared = 0;  // sum of squared differences
  double signedSum = 0;  // sum of (picture - source)
  long long samples = 0;

  void Add(const Picture& p, const std::vector<std::uint8_t>& source, int sourceWidth,
           int sourceHeight) {
    const int w = std::min(p.width, sourceWidth), h = std::min(p.height, sourceHeight);
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        const int d = p.y[static_cast<std::size_t>(r) * p.width + c] -
                      source[static_cast<std::size_t>(r) * sourceWidth + c];
        squared += static_cast<double>(d) * d;
        signedSum += d;
        ++samples;
      }
  }
  double Psnr() const {
    const double mse = samples ? squared / samples : 0;
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
  }
  double MeanError() const { return samples ? signedSum / samples : 0; }
};

}  // namespace readback
