#include "vlib/vlib.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

namespace {

// A failed argument check: its text in the log line, then the caller returns.
#define VLIB_CHECK(condition, failure)            \
  do {                                            \
    if (!(condition)) {                           \
      vlib_log("'%s' FAILED.", #condition);       \
      return failure;                             \
    }                                             \
  } while (0)

// Same, for functions that return nothing.
#define VLIB_CHECK_VOID(condition)                \
  do {                                            \
    if (!(condition)) {                           \
      vlib_log("'%s' FAILED.", #condition);       \
      return;                                     \
    }                                             \
  } while (0)

constexpr int kLineLength = 247;         // longest line, line feed included
constexpr char kPrefix[] = "vlib: ";
constexpr int kMessageRoom = kLineLength - (sizeof kPrefix - 1) - 1;

// The caller's picture is wrapped without being owned: nothing to free.
void KeepBuffer(void*, std::uint8_t*) {}

// Packed YUV 4:2:0 size of a picture of the given size (the layout of
// vlib_buffer_set_yuv420), or -1 when it does not fit an int.
long long PackedSize(int width, int height) {
  if (width <= 0 || height <= 0) return -1;
  const long long n = static_cast<long long>(width) * height;
  const long long size = n + 2 * (n / 4);
  return size > 0x7fffffff ? -1 : size;
}

// MPEG-1 video codes 24000/1001, 24, 25, 30000/1001, 30, 50, 60000/1001 and
// 60 fps, and FFmpeg adds 5, 10, 12 and 15 as unofficial codes; any other
// rate needs the experimental mode, where the header gets the nearest code.
// Low delay (below) needs the unofficial mode at least.
int Mpeg1Compliance(int fps) {
  switch (fps) {
    case 5: case 10: case 12: case 15: case 24: case 25: case 30: case 50: case 60:
      return FF_COMPLIANCE_UNOFFICIAL;
    default:
      return FF_COMPLIANCE_EXPERIMENTAL;
  }
}

}  // namespace

// ---------------------------------------------------------------- log

void vlib_log(const char* format, ...) {
  char message[kLineLength + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  char line[kLineLength + 1];
  const int length = std::snprintf(line, sizeof line, "%s%.*s\n", kPrefix,
                                   kMessageRoom, message);
  // One write per line, so that lines of several threads do not mix.
  if (length > 0) std::fwrite(line, 1, static_cast<std::size_t>(length), stderr);
}

// ---------------------------------------------------------------- memory

void* vlib_malloc(std::size_t size) {
  VLIB_CHECK(size > 0, nullptr);
  void* p = std::malloc(size);
  if (!p) vlib_log("failed to allocate %lud bytes.", static_cast<unsigned long>(size));
  return p;
}

void* vlib_calloc(std::size_t size) {
  VLIB_CHECK(size > 0, nullptr);
  void* p = std::calloc(1, size);
  if (!p) vlib_log("failed to allocate %lud bytes.", static_cast<unsigned long>(size));
  return p;
}

void vlib_free(void* ptr) {
  VLIB_CHECK_VOID(ptr != NULL);
  std::free(ptr);
}

// ---------------------------------------------------------------- lists

vlib_node* vlib_list_append(vlib_node* head, void* data) {
  auto* node = static_cast<vlib_node*>(vlib_malloc(sizeof(vlib_node)));
  if (!node) return head;  // logged by vlib_malloc; the list stays as it was
  node->next = nullptr;
  node->prev = nullptr;
  node->data = data;
  if (!head) return node;
  vlib_node* last = vlib_list_last(head);
  last->next = node;
  node->prev = last;
  return head;
}

vlib_node* vlib_list_last(vlib_node* head) {
  if (!head) return nullptr;
  while (head->next) head = head->next;
  return head;
}

vlib_node* vlib_list_unlink(vlib_node* head, vlib_node* node) {
  if (!node) return head;
  if (node->prev) node->prev->next = node->next;
  if (node->next) node->next->prev = node->prev;
  vlib_node* newHead = node == head ? node->next : head;
  node->next = nullptr;
  node->prev = nullptr;
  return newHead;
}

// ---------------------------------------------------------------- buffers

vlib_buffer* vlib_buffer_create(int size) {
  VLIB_CHECK(size > 0, nullptr);
  auto* buf = static_cast<vlib_buffer*>(vlib_calloc(sizeof(vlib_buffer)));
  if (!buf) {
    vlib_log("can't allocate space for a buffer.");
    return nullptr;
  }
  buf->data = static_cast<std::uint8_t*>(vlib_malloc(static_cast<std::size_t>(size)));
  if (!buf->data) {
    vlib_log("can't allocate data size(%d).", size);
    vlib_buffer_free(buf);
    return nullptr;
  }
  buf->size = size;
  return buf;
}

void vlib_buffer_free(vlib_buffer* buf) {
  VLIB_CHECK_VOID(buf != NULL);
  vlib_free(buf);
}

void vlib_buffer_set_yuv420(vlib_buffer* buf, int width, int height) {
  VLIB_CHECK_VOID(buf != NULL);
  VLIB_CHECK_VOID(buf->data != NULL);
  // The planes must lie inside the data block.
  const long long packed = PackedSize(width, height);
  VLIB_CHECK_VOID(0 < packed && packed <= buf->size);
  const int n = width * height;
  buf->plane[0] = buf->data;
  buf->plane[1] = buf->data + n;
  buf->plane[2] = buf->data + n + n / 4;
  buf->plane_size[0] = n;
  buf->plane_size[1] = n / 4;
  buf->plane_size[2] = n / 4;
}

// ---------------------------------------------------------------- codecs

void vlib_codec_type_to_id(std::uint32_t codec_type, int* id, int* type) {
  VLIB_CHECK_VOID(id != NULL);
  VLIB_CHECK_VOID(type != NULL);
  struct Entry {
    AVCodecID id;
    int media;
  };
  static const Entry kTable[] = {
      {AV_CODEC_ID_NONE, -1},
      {AV_CODEC_ID_MPEG4, VLIB_MEDIA_VIDEO},
      {AV_CODEC_ID_MSMPEG4V3, VLIB_MEDIA_VIDEO},
      {AV_CODEC_ID_MJPEG, VLIB_MEDIA_VIDEO},
      {AV_CODEC_ID_WMV1, VLIB_MEDIA_VIDEO},
      {AV_CODEC_ID_H263P, VLIB_MEDIA_VIDEO},
      {AV_CODEC_ID_MPEG1VIDEO, VLIB_MEDIA_VIDEO},
      {AV_CODEC_ID_PCM_S16LE, VLIB_MEDIA_AUDIO},
      {AV_CODEC_ID_ADPCM_IMA_WAV, VLIB_MEDIA_AUDIO},
      {AV_CODEC_ID_MP2, VLIB_MEDIA_AUDIO},
      {AV_CODEC_ID_MP3, VLIB_MEDIA_AUDIO},
      {AV_CODEC_ID_VORBIS, VLIB_MEDIA_AUDIO},
      {AV_CODEC_ID_AC3, VLIB_MEDIA_AUDIO},
  };
  const std::uint32_t index = codec_type & ~VLIB_ENCODER;
  if (index == 0 || index >= sizeof kTable / sizeof kTable[0]) {
    vlib_log("unknown codec type '%d'.", static_cast<int>(codec_type));
    *id = 0;
    *type = -1;
    return;
  }
  *id = kTable[index].id;
  *type = kTable[index].media;
}

namespace {

// vlib_codec_create with a picture duration of frame_num / frame_den
// seconds, or (frame_num 0) `fps` pictures per second.
vlib_codec* CreateCodec(std::uint32_t codec_type, int width, int height, int fps, int frame_num,
                        int frame_den, int bit_rate, int gop_size) {
  const bool encoder = (codec_type & VLIB_ENCODER) != 0;
  int id = 0;
  int media = -1;
  vlib_codec_type_to_id(codec_type & ~VLIB_ENCODER, &id, &media);

  auto* codec = static_cast<vlib_codec*>(vlib_calloc(sizeof(vlib_codec)));
  if (!codec) return nullptr;
  codec->type = codec_type;
  codec->width = width;
  codec->height = height;
  const auto codecId = static_cast<AVCodecID>(id);
  codec->codec = encoder ? avcodec_find_encoder(codecId) : avcodec_find_decoder(codecId);
  if (!codec->codec) {
    vlib_log("can't find codec id '%d'.", id);
    vlib_codec_free(codec);
    return nullptr;
  }
  codec->context = avcodec_alloc_context3(codec->codec);
  codec->frame = av_frame_alloc();
  codec->packet = av_packet_alloc();
  if (!codec->context || !codec->frame || !codec->packet) {
    vlib_log("can't allocate a new codec context.");
    vlib_codec_free(codec);
    return nullptr;
  }
  codec->context->codec_type = static_cast<AVMediaType>(media);
  if (encoder) {
    // Whole chroma samples only: an odd last column or row is left out
    // (a picture one sample wide or high has nothing left to encode).
    codec->context->width = width & ~1;
    codec->context->height = height & ~1;
    if (media == VLIB_MEDIA_VIDEO) codec->context->pix_fmt = AV_PIX_FMT_YUV420P;
    vlib_codec_set_bit_rate(codec, bit_rate);
    if (frame_num == 0)
      vlib_codec_set_fps(codec, fps);
    else
      vlib_codec_set_frame_duration(codec, frame_num, frame_den);
    vlib_codec_set_gop_size(codec, gop_size);
  }
  if (vlib_codec_open(codec) != 0) {
    vlib_codec_free(codec);
    return nullptr;
  }
  const long long area = static_cast<long long>(width) * height * 2;
  codec->buf = vlib_buffer_create(area > 0 && area <= 0x7fffffff ? static_cast<int>(area) : 0);
  if (!codec->buf) {
    vlib_codec_free(codec);
    return nullptr;
  }
  vlib_buffer_set_yuv420(codec->buf, width, height);
  return codec;
}

}  // namespace

vlib_codec* vlib_codec_create(std::uint32_t codec_type, int width, int height, int fps,
                              int bit_rate, int gop_size) {
  return CreateCodec(codec_type, width, height, fps, 0, 0, bit_rate, gop_size);
}

vlib_codec* vlib_codec_create_timed(std::uint32_t codec_type, int width, int height,
                                    int frame_num, int frame_den, int bit_rate, int gop_size) {
  // A refused duration stays unset, as a refused rate does: the open fails.
  return CreateCodec(codec_type, width, height, 0, frame_num < 1 ? -1 : frame_num, frame_den,
                     bit_rate, gop_size);
}

int vlib_codec_free(vlib_codec* codec) {
  VLIB_CHECK(codec != NULL, -1);
  if (codec->buf) {
    if (codec->buf->data) vlib_free(codec->buf->data);
    vlib_buffer_free(codec->buf);
  }
  if (codec->context) avcodec_free_context(&codec->context);
  if (codec->frame) {
    codec->frame->buf[0] = nullptr;  // borrowed from frame_ref
    av_frame_free(&codec->frame);
  }
  av_packet_free(&codec->packet);
  av_buffer_unref(&codec->frame_ref);
  vlib_free(codec);
  return 0;
}

int vlib_codec_set_bit_rate(vlib_codec* codec, int bit_rate) {
  VLIB_CHECK(codec != NULL, -1);
  codec->bit_rate = bit_rate;
  if (codec->context && !avcodec_is_open(codec->context))
    codec->context->bit_rate = static_cast<std::int64_t>(bit_rate) * 1000;
  return 0;
}

int vlib_codec_set_fps(vlib_codec* codec, int fps) {
  VLIB_CHECK(codec != NULL, -1);
  VLIB_CHECK(1 <= fps && fps <= 30, -1);
  codec->fps = fps;
  if (codec->context && !avcodec_is_open(codec->context)) {
    codec->context->time_base = AVRational{1, fps};
    codec->context->framerate = AVRational{fps, 1};
  }
  return 0;
}

int vlib_codec_set_frame_duration(vlib_codec* codec, int num, int den) {
  VLIB_CHECK(codec != NULL, -1);
  VLIB_CHECK(1 <= num && 1 <= den && den <= 65535 && num <= 100LL * den, -1);
  const int common = static_cast<int>(av_gcd(num, den));
  num /= common;
  den /= common;
  codec->fps = std::max(1, (den + num / 2) / num);
  if (codec->context && !avcodec_is_open(codec->context)) {
    codec->context->time_base = AVRational{num, den};
    codec->context->framerate = AVRational{den, num};
  }
  return 0;
}

int vlib_codec_set_gop_size(vlib_codec* codec, int gop_size) {
  VLIB_CHECK(codec != NULL, -1);
  VLIB_CHECK(0 <= gop_size, -1);
  codec->gop_size = gop_size;
  if (codec->context && !avcodec_is_open(codec->context))
    codec->context->gop_size = gop_size;
  return 0;
}

int vlib_codec_open(vlib_codec* codec) {
  VLIB_CHECK(codec != NULL, -1);
  VLIB_CHECK(codec->context != NULL, -1);
  AVCodecContext* ctx = codec->context;
  if (ctx->codec_id == AV_CODEC_ID_MPEG1VIDEO && av_codec_is_encoder(codec->codec) &&
      !avcodec_is_open(ctx)) {
    // See vlib_codec_create: rates MPEG-1 cannot code keep their time
    // stamps. Without B-frames FFmpeg's MPEG-1 encoder still holds each
    // picture back until the next one arrives (and the last one would be
    // lost, as nothing here drains the encoder); low delay makes it give
    // each picture's packet at once. The bitstream is the same: MPEG-1
    // has no low-delay field, decoders show the last picture at the end.
    const int fps = ctx->time_base.num == 1 ? ctx->time_base.den : 0;
    ctx->strict_std_compliance = Mpeg1Compliance(fps);
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
  }
  if (avcodec_open2(ctx, codec->codec, nullptr) < 0) {
    vlib_log("can't open codec '%d'.", static_cast<int>(ctx->codec_id));
    return -1;
  }
  return 0;
}

int vlib_codec_encode(vlib_codec* codec, const std::uint8_t* src, std::uint8_t* dest) {
  VLIB_CHECK(codec != NULL, -1);
  VLIB_CHECK(src != NULL, -1);
  VLIB_CHECK(dest != NULL, -1);
  AVCodecContext* ctx = codec->context;
  VLIB_CHECK(ctx != NULL && avcodec_is_open(ctx) && av_codec_is_encoder(ctx->codec), -1);
  const long long packed = PackedSize(codec->width, codec->height);
  VLIB_CHECK(packed > 0, -1);
  const int capacity = static_cast<int>(packed);

  // The picture as packed planes of the size given at creation; the
  // encoder reads its (even) size from them.
  const int n = codec->width * codec->height;
  std::uint8_t* base = const_cast<std::uint8_t*>(src);
  codec->picture.data[0] = base;
  codec->picture.data[1] = base + n;
  codec->picture.data[2] = base + n + n / 4;
  codec->picture.linesize[0] = codec->width;
  codec->picture.linesize[1] = codec->width / 2;
  codec->picture.linesize[2] = codec->width / 2;

  // Handing FFmpeg a reference-counted frame keeps it from copying the
  // picture into a fresh buffer on every call; the wrapper does not own it.
  if (!codec->frame_ref || codec->frame_ref_data != src) {
    av_buffer_unref(&codec->frame_ref);
    codec->frame_ref = av_buffer_create(base, static_cast<std::size_t>(capacity), KeepBuffer,
                                        nullptr, AV_BUFFER_FLAG_READONLY);
    codec->frame_ref_data = codec->frame_ref ? src : nullptr;
  }
  AVFrame* frame = codec->frame;
  for (int i = 0; i < 3; ++i) {
    frame->data[i] = codec->picture.data[i];
    frame->linesize[i] = codec->picture.linesize[i];
  }
  frame->width = ctx->width;
  frame->height = ctx->height;
  frame->format = ctx->pix_fmt;
  frame->pts = codec->next_pts++;
  frame->buf[0] = codec->frame_ref;  // null: FFmpeg copies the picture

  int produced = 0;
  bool first = true;
  // Takes every packet the encoder has ready into dest.
  auto drain = [&]() -> int {
    for (;;) {
      int ret = avcodec_receive_packet(ctx, codec->packet);
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
      if (ret < 0) return ret;
      const int size = codec->packet->size;
      if (size > capacity - produced) {
        vlib_log("encoded picture larger than %d bytes.", capacity);
        av_packet_unref(codec->packet);
        return AVERROR(ENOSPC);
      }
      std::memcpy(dest + produced, codec->packet->data, static_cast<std::size_t>(size));
      produced += size;
      if (first) {
        const AVPacket* p = codec->packet;
        codec->last_key = (p->flags & AV_PKT_FLAG_KEY) != 0;
      }
      first = false;
      av_packet_unref(codec->packet);
    }
  };

  int ret = avcodec_send_frame(ctx, frame);
  if (ret == AVERROR(EAGAIN)) {
    // The encoder still holds output: take it, then the picture goes in.
    ret = drain();
    if (ret == 0) ret = avcodec_send_frame(ctx, frame);
  }
  frame->buf[0] = nullptr;
  if (ret < 0) return ret;
  ret = drain();
  return ret < 0 ? ret : produced;
}

// ---------------------------------------------------------------- files

vlib_file* vlib_file_open(const char* filename) {
  VLIB_CHECK(filename != NULL, nullptr);
  auto* file = static_cast<vlib_file*>(vlib_calloc(sizeof(vlib_file)));
  if (!file) return nullptr;
  if (avformat_alloc_output_context2(&file->format, nullptr, nullptr, filename) < 0 ||
      !file->format) {
    vlib_log("unknown output file '%s'.", filename);
    vlib_file_close(file);
    return nullptr;
  }
  file->params = nullptr;  // no format parameters: FFmpeg's defaults
  if (av_opt_set_dict(file->format, &file->params) < 0) {
    vlib_log("invalid encoding parameter.");
    vlib_file_close(file);
    return nullptr;
  }
  // The file name field holds at most 1023 characters.
  char name[1024];
  std::snprintf(name, sizeof name, "%s", filename);
  av_free(file->format->url);
  file->format->url = av_strdup(name);
  file->packet = av_packet_alloc();
  if (!file->format->url || !file->packet ||
      avio_open(&file->format->pb, file->format->url, AVIO_FLAG_WRITE) < 0) {
    vlib_log("can't open '%s'", name);
    vlib_file_close(file);
    return nullptr;
  }
  file->header_written = 0;
  vlib_log("created mpeg file '%s'", name);
  return file;
}

int vlib_file_add_stream(vlib_file* file, vlib_codec* codec) {
  VLIB_CHECK(file != NULL, -1);
  VLIB_CHECK(codec != NULL, -1);
  VLIB_CHECK(file->format != NULL && codec->context != NULL, -1);
  AVStream* stream = file->stream_count < VLIB_MAX_STREAMS && !file->header_written
                         ? avformat_new_stream(file->format, nullptr)
                         : nullptr;
  if (!stream) {
    vlib_log("can't allocate a new stream.");
    return -1;
  }
  AVCodecContext* ctx = codec->context;
  if (avcodec_parameters_from_context(stream->codecpar, ctx) < 0) {
    vlib_log("can't allocate a new stream.");
    return -1;
  }
  // The encoder's side data (its buffer and rate properties) goes with the
  // stream, as FFmpeg's own tools hand it over: the MPEG system stream
  // muxer schedules its packs by it.
  for (int i = 0; i < ctx->nb_coded_side_data; ++i) {
    const AVPacketSideData& side = ctx->coded_side_data[i];
    std::uint8_t* copy = av_stream_new_side_data(stream, side.type, side.size);
    if (copy) std::memcpy(copy, side.data, side.size);
  }
  stream->time_base = ctx->time_base;
  stream->avg_frame_rate = ctx->framerate;
  stream->r_frame_rate = ctx->framerate;
  const int index = file->stream_count++;
  file->time_base_num[index] = ctx->time_base.num;
  file->time_base_den[index] = ctx->time_base.den;
  file->frames[index] = 0;
  file->stream_codec[index] = codec;

  char description[256];
  avcodec_string(description, sizeof description, ctx, 1);
  vlib_log("added stream '%s' on '%s'.", description, file->format->url);
  return 0;
}

int vlib_file_write(vlib_file* file, int stream, const std::uint8_t* src, int size) {
  VLIB_CHECK(file != NULL, -1);
  VLIB_CHECK(src != NULL, -1);
  VLIB_CHECK(0 <= stream && stream < file->stream_count, -1);
  VLIB_CHECK(0 <= size, -1);
  AVFormatContext* format = file->format;
  if (!file->header_written) {
    if (avformat_write_header(format, &file->params) < 0) {
      vlib_log("can't write header '%s'.", format->url);
      return -1;
    }
    file->header_written = 1;
  }
  AVStream* st = format->streams[stream];
  const AVRational frameBase{file->time_base_num[stream], file->time_base_den[stream]};
  // One frame per call: the frame counter in the stream's own time base
  // (the muxer may have changed it when it wrote the header).
  const std::int64_t frame = file->frames[stream]++;
  const std::int64_t pts = av_rescale_q(frame, frameBase, st->time_base);
  const std::int64_t next = av_rescale_q(frame + 1, frameBase, st->time_base);
  if (size == 0) return 0;
  const vlib_codec* codec = file->stream_codec[stream];
  // MPEG-1 video decodes a picture one picture before it shows it, even
  // without B-frames: its decode time stamps run one frame behind, from the
  // first packet on, so that they rise strictly (the encoder stamps its
  // first packet without that delay). Others decode at their presentation
  // time.
  const bool mpeg1 = codec && codec->context && codec->context->codec_id == AV_CODEC_ID_MPEG1VIDEO;
  const std::int64_t dts = mpeg1 ? av_rescale_q(frame - 1, frameBase, st->time_base) : pts;

  AVPacket* packet = file->packet;
  packet->data = const_cast<std::uint8_t*>(src);
  packet->size = size;
  packet->stream_index = stream;
  packet->pts = pts;
  packet->dts = dts;
  packet->duration = next - pts;
  packet->flags = codec && codec->last_key ? AV_PKT_FLAG_KEY : 0;
  av_write_frame(format, packet);  // its result is not examined
  packet->data = nullptr;
  packet->size = 0;
  return 0;
}

int vlib_file_close(vlib_file* file) {
  VLIB_CHECK(file != NULL, -1);
  if (file->format) {
    if (file->header_written) av_write_trailer(file->format);
    if (file->format->pb && !(file->format->oformat->flags & AVFMT_NOFILE))
      avio_closep(&file->format->pb);
    avformat_free_context(file->format);
    file->format = nullptr;
  }
  av_dict_free(&file->params);
  av_packet_free(&file->packet);
  vlib_free(file);
  return 0;
}
