#include "playback/frame_decoder.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/log.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
}

namespace {

// No camera writes frame files anywhere near this; a larger file is damage
// or not a frame, and reading it whole would only waste memory.
constexpr std::size_t kMaxFrameFileSize = 64u << 20;

// The "J" formats are YUV at full range. swscale accepts them only with a
// deprecation warning; hand it the plain twin and set the range ourselves.
AVPixelFormat PlainTwin(AVPixelFormat format, bool* fullRange) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P: *fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: *fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: *fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: *fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: *fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return format;
  }
}

int RowBytes(int width) { return (3 * width + 3) & ~3; }

bool PathFits(const char* path) {
  return std::strlen(path) < platform::kMaxPath;
}

// An MJPEG decoder that refuses absurd sizes before it allocates planes for
// them; null when this FFmpeg build has none.
av::CodecContextPtr OpenFrameDecoder(int scale) {
  av::CodecContextPtr ctx = av::OpenMjpegDecoder(scale);
  if (ctx) ctx->max_pixels = static_cast<std::int64_t>(kMaxPictureSide) * kMaxPictureSide;
  return ctx;
}

// Reads a frame file whole into `buffer`, padded for the decoder. On failure
// logs the trace texts and writes the cause into `why`.
bool ReadFrameFile(const char* path, std::vector<std::uint8_t>& buffer, std::size_t* size,
                   char* why, std::size_t whySize) {
  int error = 0;
  switch (platform::ReadWholeFile(path, buffer, AV_INPUT_BUFFER_PADDING_SIZE,
                                  kMaxFrameFileSize, size, &error)) {
    case platform::ReadResult::Ok:
      return true;
    case platform::ReadResult::OpenFailed:
      LogWindow::Print("src = %s", path);
      LogWindow::Print("Can't open file (errno): %d", error);
      std::snprintf(why, whySize, "cannot open the file (error %d)", error);
      return false;
    case platform::ReadResult::ReadFailed:
      LogWindow::Print("Can't open Read file (errno): %d", error);
      std::snprintf(why, whySize, "cannot read the file (error %d)", error);
      return false;
    case platform::ReadResult::TooLarge:
      LogWindow::Print("src = %s", path);
      LogWindow::Print("Frame file larger than %d MiB refused.",
                       static_cast<int>(kMaxFrameFileSize >> 20));
      std::snprintf(why, whySize, "the file is larger than %d MiB",
                    static_cast<int>(kMaxFrameFileSize >> 20));
      return false;
  }
  return false;
}

}  // namespace

FrameDecoder::FrameDecoder()
    : packet_(av_packet_alloc()),
      frame_(av_frame_alloc()),
      picture_(kFrameBufferSize) {
  ctx_[0] = OpenFrameDecoder(0);
}

FrameDecoder::~FrameDecoder() = default;

int FrameDecoder::Read(const char* path, FrameFile& file, char* why, std::size_t whySize) {
  char ignored[8];
  if (why == nullptr || whySize == 0) {
    why = ignored;
    whySize = sizeof ignored;
  }
  if (!path || !PathFits(path)) {
    LogWindow::Print("Frame path too long: %.200s", path ? path : "");
    std::snprintf(why, whySize, "the path is longer than %d characters",
                  static_cast<int>(platform::kMaxPath - 1));
    return -1;
  }
  file.size = 0;
  return ReadFrameFile(path, file.bytes, &file.size, why, whySize) ? 0 : -1;
}

void FrameDecoder::SetShownSize(int width, int height) {
  shownWidth_ = width;
  shownHeight_ = height;
}

int FrameDecoder::ScaleFor(int pictureWidth, int pictureHeight, int shownWidth,
                           int shownHeight) {
  if (shownWidth <= 0 || shownHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return 0;
  int scale = 0;
  while (scale + 1 < kScales) {
    const int next = scale + 1;
    const int w = (pictureWidth + (1 << next) - 1) >> next;  // as the decoder rounds
    const int h = (pictureHeight + (1 << next) - 1) >> next;
    if (w < shownWidth || h < shownHeight) break;
    scale = next;
  }
  return scale;
}

AVCodecContext* FrameDecoder::DecoderFor(int scale) {
  if (!ctx_[scale]) ctx_[scale] = OpenFrameDecoder(scale);
  return ctx_[scale].get();
}

void FrameDecoder::Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(lastError_, sizeof lastError_, format, args);
  va_end(args);
}

int FrameDecoder::Decode(const char* path) {
  lastError_[0] = 0;
  if (Read(path, file_, lastError_, sizeof lastError_) != 0) return -1;
  return Decode(file_);
}

int FrameDecoder::Decode(const FrameFile& file) {
  lastError_[0] = 0;
  if (!ctx_[0] || !packet_ || !frame_) {
    LogWindow::Print("Decoding frame failed.");
    Fail("no MJPEG decoder in this FFmpeg build");
    return -1;
  }
  const std::size_t size = file.size;
  if (size > 0 && file.bytes.size() < size + AV_INPUT_BUFFER_PADDING_SIZE) {
    Fail("frame bytes not padded for the decoder");
    return -1;
  }
  const std::uint8_t* data = file.bytes.data();

  // Chosen from the last picture's size: a camera's pictures keep theirs.
  int scale = ScaleFor(pictureWidth_, pictureHeight_);
  AVCodecContext* ctx = scale > 0 ? DecoderFor(scale) : nullptr;
  if (ctx == nullptr) scale = 0;
  int got = av::DecodeJpeg(ctx != nullptr ? ctx : ctx_[0].get(), packet_.get(), frame_.get(),
                           data, size);
  if (got < 0 && scale > 0) {
    // Some pictures (lossless JPEG) cannot be decoded reduced: whole, then.
    scale = 0;
    ctx = nullptr;
    got = av::DecodeJpeg(ctx_[0].get(), packet_.get(), frame_.get(), data, size);
  }
  if (got < 0) {
    LogWindow::Print("Decoding frame failed.");
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(got, text, sizeof text);
    Fail("not a JPEG picture or damaged (%s)", text);
    return -1;
  }
  if (got == 0) {
    // An empty file, or bytes that end before a picture: the previous
    // picture stays and is drawn again.
    FillHeader();
    return 0;
  }

  const AVCodecContext* used = ctx != nullptr ? ctx : ctx_[0].get();
  // The decoder keeps the recorded size as the coded size when it reduces.
  const int recordedWidth = scale > 0 && used->coded_width > 0 ? used->coded_width
                                                                : frame_->width << scale;
  const int recordedHeight = scale > 0 && used->coded_height > 0 ? used->coded_height
                                                                  : frame_->height << scale;
  int result = -1;
  if (recordedWidth > kMaxPictureSide || recordedHeight > kMaxPictureSide) {
    // Refused at any scale, as it is when decoded whole.
    LogWindow::Print("Picture size %d x %d refused.", recordedWidth, recordedHeight);
    Fail("picture of %d x %d is outside 1 to %d pixels a side", recordedWidth, recordedHeight,
         kMaxPictureSide);
  } else {
    result = Convert();
  }
  av_frame_unref(frame_.get());  // hand the planes back to the decoder's pool
  if (result == 0) {
    scale_ = scale;
    pictureWidth_ = recordedWidth;
    pictureHeight_ = recordedHeight;
  }
  return result;
}

int FrameDecoder::Convert() {
  const AVFrame* f = frame_.get();
  const int w = f->width;
  const int h = f->height;
  if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide) {
    LogWindow::Print("Picture size %d x %d refused.", w, h);
    Fail("picture of %d x %d is outside 1 to %d pixels a side", w, h,
         kMaxPictureSide);
    return -1;
  }

  bool fullRange = f->color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat source =
      PlainTwin(static_cast<AVPixelFormat>(f->format), &fullRange);
  // swscale's fast YUV-to-RGB path converts whole runs of 8 pixels and, when
  // the row's bytes end before the next run, leaves the last pixels of every
  // row unwritten. Other widths take the general path, which writes them.
  const int flags = SWS_BILINEAR | (w % 8 ? SWS_ACCURATE_RND : 0);
  if (!sws_ || w != swsWidth_ || h != swsHeight_ || source != swsFormat_ ||
      fullRange != swsFullRange_) {
    sws_.reset(sws_getContext(w, h, source, w, h, AV_PIX_FMT_BGR24, flags, nullptr, nullptr,
                              nullptr));
    if (!sws_) {
      const char* name = av_get_pix_fmt_name(source);
      LogWindow::Print("Decoding frame failed.");
      Fail("cannot convert pictures of pixel format %s", name ? name : "?");
      swsFormat_ = -1;
      return -1;
    }
    // A new context starts at limited range; the range and matrix are set
    // once per source, not per picture.
    const int* matrix = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(sws_.get(), matrix, fullRange ? 1 : 0, matrix, 1, 0, 1 << 16,
                             1 << 16);
    swsWidth_ = w;
    swsHeight_ = h;
    swsFormat_ = source;
    swsFullRange_ = fullRange;
  }

  const int stride = RowBytes(w);
  const std::size_t need = static_cast<std::size_t>(stride) * h;
  if (picture_.size() < need) {
    // A larger picture than any before: a buffer of exactly its size (the
    // old picture is about to be replaced anyway). Never shrunk, so
    // alternating sizes allocate nothing more.
    std::vector<std::uint8_t> larger(need);
    picture_.swap(larger);
  }

  std::uint8_t* dst[4] = {picture_.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {stride, 0, 0, 0};
  sws_scale(sws_.get(), f->data, f->linesize, 0, h, dst, dstStride);

  width_ = w;
  height_ = h;
  stride_ = stride;
  FillHeader();
  return 0;
}

void FrameDecoder::FillHeader() {
  header_ = BitmapHeader{};
  header_.biSize = sizeof(BitmapHeader);
  header_.biWidth = width_;
  header_.biHeight = -height_;
  header_.biPlanes = 1;
  header_.biBitCount = 24;
  header_.biCompression = 0;  // BI_RGB
}

int GetImageSize(const char* folder, int* width, int* height,
                 std::vector<std::uint8_t>& readBuffer) {
  char pattern[platform::kMaxPath];
  const int n = std::snprintf(pattern, sizeof pattern, "%s%c*.jpg", folder,
                              platform::kPathSeparator);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof pattern) {
    LogWindow::Print("GetImageSize() find what = %.200s", folder);
    LogWindow::Print("Invalid File Handle. Get Last Error reports %d\n",
                     platform::kErrorNameTooLong);
    return -1;
  }

  std::vector<platform::DirEntry> entries;
  int error = 0;
  const platform::DirEntry* first = nullptr;
  if (platform::ListDirectory(folder, "*.jpg", entries, &error) == 0) {
    for (const auto& e : entries) {
      if (!e.isDirectory) {
        first = &e;
        break;
      }
    }
    if (!first) error = platform::kErrorFileNotFound;  // only folders matched
  }
  if (!first) {
    LogWindow::Print("GetImageSize() find what = %s", pattern);
    LogWindow::Print("Invalid File Handle. Get Last Error reports %d\n", error);
    return -1;
  }
  LogWindow::Print("The first file found is %s at GIS\n", first->name.c_str());

  char path[platform::kMaxPath];
  const int m = std::snprintf(path, sizeof path, "%s%c%s", folder,
                              platform::kPathSeparator, first->name.c_str());
  if (m < 0 || static_cast<std::size_t>(m) >= sizeof path) {
    LogWindow::Print("Frame path too long: %.200s", folder);
    return -1;
  }

  av::CodecContextPtr ctx = OpenFrameDecoder(0);
  av::PacketPtr packet(av_packet_alloc());
  av::FramePtr frame(av_frame_alloc());
  if (!ctx || !packet || !frame) {
    LogWindow::Print("Decoding frame failed.");
    return -1;
  }

  std::size_t size = 0;
  char why[96];
  if (!ReadFrameFile(path, readBuffer, &size, why, sizeof why)) return -1;

  // No picture (an empty first file) is a failure here: a size of 0 x 0
  // would make a window with nothing in it; the caller keeps its default.
  const int got =
      av::DecodeJpeg(ctx.get(), packet.get(), frame.get(), readBuffer.data(), size);
  if (got <= 0 || frame->width <= 0 || frame->height <= 0 ||
      frame->width > kMaxPictureSide || frame->height > kMaxPictureSide) {
    LogWindow::Print("Decoding frame failed.");
    return -1;
  }
  *width = frame->width;
  *height = frame->height;
  return 0;
}
