// Turns the bytes of one frame file into a top-down 24-bit BGR picture that
// the platform draws as a device-independent bitmap without conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "playback/av_util.h"

// The fields of the platform's BITMAPINFOHEADER, laid out as it is (40 bytes),
// so the Win32 view can hand it to StretchDIBits as it stands.
#pragma pack(push, 2)
struct BitmapHeader {
  std::uint32_t biSize = 0;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;  // negative: rows top-down
  std::uint16_t biPlanes = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;  // BI_RGB (0)
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BitmapHeader) == 40, "BITMAPINFOHEADER layout");

// 704 x 576 x 3: the usual picture; larger pictures grow the buffers once.
constexpr std::size_t kFrameBufferSize = 1216512;
// Larger than any camera writes: refused rather than allocated.
constexpr int kMaxPictureSide = 8192;

// A frame file's bytes, read whole and padded for the decoder. The buffer
// grows once and is kept, so a reused FrameFile allocates nothing more.
struct FrameFile {
  std::vector<std::uint8_t> bytes;
  std::size_t size = 0;
  void Swap(FrameFile& other) {
    bytes.swap(other.bytes);
    std::swap(size, other.size);
  }
};

class FrameDecoder {
 public:
  FrameDecoder();  // opens the MJPEG decoder
  virtual ~FrameDecoder();
  FrameDecoder(const FrameDecoder&) = delete;
  FrameDecoder& operator=(const FrameDecoder&) = delete;

  // Reads and decodes one frame file into the picture buffer. 0 with the
  // picture, header and size set; -1 on failure, leaving the previous
  // picture (the trace texts name the cause). An empty file decodes nothing
  // and answers 0 with the previous picture kept.
  int Decode(const char* path);
  // The two halves of Decode(path). Read touches no decoder, so a caller can
  // read from the disc without holding the lock that guards its decoder.
  // Read answers 0, or -1 (the trace texts name the cause; `why`, when
  // given, gets it in words).
  static int Read(const char* path, FrameFile& file, char* why = nullptr,
                  std::size_t whySize = 0);
  int Decode(const FrameFile& file);

  // The smallest size the picture is shown at (0 x 0: its own size, the
  // default). From the next Decode on, a picture whose halves (quarters,
  // eighths) still cover that size is decoded at that scale: the decoder
  // skips the finer part of its work, and the conversion has fewer pixels.
  void SetShownSize(int width, int height);
  // The scale a picture of that recorded size is decoded at for the shown
  // size: 0 for its own size, k for 1/2^k of it.
  int ScaleFor(int pictureWidth, int pictureHeight) const {
    return ScaleFor(pictureWidth, pictureHeight, shownWidth_, shownHeight_);
  }
  static int ScaleFor(int pictureWidth, int pictureHeight, int shownWidth, int shownHeight);
  // The scale of the last Decode's picture.
  int scale() const { return scale_; }

  const BitmapHeader& header() const { return header_; }
  // Valid until the next Decode (a larger picture moves the buffer).
  const std::uint8_t* pixels() const { return picture_.data(); }
  // Size of the picture buffer's picture (the recorded size reduced by the
  // scale).
  int width() const { return width_; }
  int height() const { return height_; }
  // Bytes per row of the picture buffer: 3 x width rounded up to 4.
  int stride() const { return stride_; }
  // The picture's size as recorded, whatever scale it was decoded at.
  int pictureWidth() const { return pictureWidth_; }
  int pictureHeight() const { return pictureHeight_; }
  // Why the last Decode answered -1, in words for a person (empty after a
  // success).
  const char* lastError() const { return lastError_; }

 private:
  int Convert();  // frame_ into the picture buffer
  void FillHeader();
  // The decoder for `scale`, opened on first use (the reduced IDCT is chosen
  // when a decoder opens, so each scale has its own).
  AVCodecContext* DecoderFor(int scale);
  void Fail(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  static constexpr int kScales = 4;  // 1, 1/2, 1/4, 1/8: what the decoder offers
  av::CodecContextPtr ctx_[kScales];
  av::PacketPtr packet_;
  av::FramePtr frame_;
  // The conversion, kept while the source stays the same. Keyed on what we
  // asked for: swscale adjusts its own flags for some sizes (odd widths), so
  // comparing them, as sws_getCachedContext does, would rebuild it for every
  // picture and lose the colour range set on it.
  av::SwsPtr sws_;
  int swsWidth_ = 0, swsHeight_ = 0, swsFormat_ = -1;
  bool swsFullRange_ = false;
  int shownWidth_ = 0, shownHeight_ = 0;
  int scale_ = 0;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  FrameFile file_;
  std::vector<std::uint8_t> picture_;
  BitmapHeader header_;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  char lastError_[160] = {};
};

// Probes the picture size of a minute folder by decoding its first listed
// ".jpg" file with a short-lived decoder of its own. `readBuffer` is the
// caller's reusable buffer. 0 with the size set; -1 (outputs untouched).
int GetImageSize(const char* folder, int* width, int* height,
                 std::vector<std::uint8_t>& readBuffer);
