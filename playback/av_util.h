// Small RAII holders over FFmpeg objects and the one-picture JPEG decode that
// both the playback and the export use (each with a decoder of its own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace av {

struct CodecContextDeleter {
  void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameDeleter {
  void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsDeleter {
  void operator()(SwsContext* p) const { sws_freeContext(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;

// Opens FFmpeg's MJPEG decoder with default settings (size and pixel format
// come from each picture). Single-threaded: one decoder per stream, and the
// streams share the cores. `lowres` k > 0 decodes at 1/2^k of the size (up
// to 3). Null when the decoder is missing.
inline CodecContextPtr OpenMjpegDecoder(int lowres = 0) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  if (!codec) return nullptr;
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  ctx->thread_count = 1;
  ctx->lowres = lowres;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

// Decodes one JPEG file's bytes (one packet; `data` must be followed by
// AV_INPUT_BUFFER_PADDING_SIZE zero bytes) into `frame`.
// Returns 1 with a picture, 0 when the bytes held no complete picture (an
// empty file), or a negative FFmpeg error when decoding failed.
inline int DecodeJpeg(AVCodecContext* ctx, AVPacket* pkt, AVFrame* frame,
                      const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  av_packet_unref(pkt);
  pkt->data = const_cast<std::uint8_t*>(data);
  pkt->size = static_cast<int>(size);
  int ret = avcodec_send_packet(ctx, pkt);
  pkt->data = nullptr;
  pkt->size = 0;
  if (ret < 0 && ret != AVERROR(EAGAIN)) return ret;
  ret = avcodec_receive_frame(ctx, frame);
  if (ret == 0) return 1;
  if (ret == AVERROR(EAGAIN)) return 0;  // no complete picture in the bytes
  if (ret == AVERROR_EOF) {
    avcodec_flush_buffers(ctx);
    return 0;
  }
  return ret;
}

}  // namespace av
