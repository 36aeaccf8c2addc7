#include "tools/sample_backup.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "playback/av_util.h"
#include "tools/jpeg_luma.h"

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

// Grey pictures are encoded as 4:4:4 with neutral chroma, which
// KeepLumaOnly then drops.
AVPixelFormat PixelFormatOf(Chroma chroma) {
  switch (chroma) {
    case Chroma::k422:
      return AV_PIX_FMT_YUVJ422P;
    case Chroma::k444:
    case Chroma::kGray:
      return AV_PIX_FMT_YUVJ444P;
    case Chroma::k420:
      break;
  }
  return AV_PIX_FMT_YUVJ420P;
}

// Draws into the three planes of a YUVJ frame; rectangles are in luma
// pixels and clipped to the picture, chroma follows the subsampling.
class Canvas {
 public:
  Canvas(AVFrame* f, Chroma chroma) : f_(f), colour_(chroma != Chroma::kGray) {
    sx_ = chroma == Chroma::k444 || chroma == Chroma::kGray ? 0 : 1;
    sy_ = chroma == Chroma::k420 ? 1 : 0;
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

void DrawPicture(AVFrame* f, const FrameRecipe& shot) {
  Canvas c(f, shot.chroma);
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
  // Times out of range are drawn clamped rather than refused: the picture
  // only has to show roughly where it is.
  const int hour = std::clamp(shot.hour, 0, 99);
  const int minute = std::clamp(shot.minute, 0, 99);
  const int centis = std::clamp(shot.centis, 0, 5999);
  const int secs = centis / 100, hundredths = centis % 100;
  const int digits[8] = {hour / 10,       hour % 10,      minute / 10,
                         minute % 10,     secs / 10,      secs % 10,
                         hundredths / 10, hundredths % 10};
  for (int i = 0; i < 8; ++i) {
    DrawDigit(c, x, y, dw, dh, t, digits[i]);
    x += dw + gap;
    if (i == 1 || i == 3) {  // colon
      c.Fill(x + (narrow - t) / 2, y + dh / 3 - t / 2,
             x + (narrow + t) / 2 + (t == 1), y + dh / 3 + t / 2 + 1,
             kClockInk);
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
  const int barX =
      static_cast<int>(static_cast<long long>(centis) * (w - barW) / 5999);
  c.Fill(0, 11 * h / 20 + (h / 8) - 1, w, 11 * h / 20 + (h / 8) + 1, kTrack);
  c.Fill(barX, 11 * h / 20, barX + barW, 9 * h / 10, kGreen);

  // The second's progress: a yellow block that crosses once a second, so
  // steps of a few hundredths are visible too.
  const int blockW = std::max(w / 20, 2);
  const int blockX = (hundredths * (w - blockW)) / 99;
  c.Fill(blockX, 37 * h / 40, blockX + blockW, 39 * h / 40, kYellow);
}

// ---------------------------------------------------------------- encoding

// An encoder kept for the last (size, chroma, quality): a sample backup
// writes hundreds of frames of one size in a row, and opening the encoder
// costs about as much as encoding a small frame. One per thread that writes.
struct Encoder {
  av::CodecContextPtr ctx;
  av::FramePtr frame;
  av::PacketPtr packet;
  int width = 0, height = 0, quality = 0;
  std::int64_t nextPts = 0;  // the encoder wants rising time stamps
  Chroma chroma = Chroma::k420;
  std::vector<std::uint8_t> grey;  // a grey picture's one-component JPEG
};

// Sets *error to one line naming the path and the cause; returns false.
bool Fail(std::string* error, const std::string& path, const char* what,
          int err = 0) {
  char text[AV_ERROR_MAX_STRING_SIZE] = "";
  if (err) av_strerror(err, text, sizeof text);
  *error = "orvanel-sample: " + path + ": " + what + (err ? ": " : "") + text;
  return false;
}

bool OpenEncoder(Encoder& e, const FrameRecipe& shot, const std::string& path,
                 std::string* error) {
  e = Encoder{};
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) return Fail(error, path, "no MJPEG encoder in this FFmpeg");
  av::CodecContextPtr ctx(avcodec_alloc_context3(codec));
  av::FramePtr frame(av_frame_alloc());
  av::PacketPtr packet(av_packet_alloc());
  if (!ctx || !frame || !packet) return Fail(error, path, "out of memory");
  ctx->width = shot.width;
  ctx->height = shot.height;
  ctx->pix_fmt = PixelFormatOf(shot.chroma);
  ctx->color_range = AVCOL_RANGE_JPEG;
  ctx->time_base = AVRational{1, 25};
  ctx->thread_count = 1;  // one slice: the same bytes on every run
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * shot.quality;
  int err = avcodec_open2(ctx.get(), codec, nullptr);
  if (err < 0) return Fail(error, path, "cannot open the MJPEG encoder", err);
  frame->width = shot.width;
  frame->height = shot.height;
  frame->format = ctx->pix_fmt;
  frame->color_range = AVCOL_RANGE_JPEG;
  err = av_frame_get_buffer(frame.get(), 0);
  if (err < 0) return Fail(error, path, "cannot allocate the picture", err);
  e.ctx = std::move(ctx);
  e.frame = std::move(frame);
  e.packet = std::move(packet);
  e.width = shot.width;
  e.height = shot.height;
  e.chroma = shot.chroma;
  e.quality = shot.quality;
  return true;
}

bool WriteBytes(const std::string& path, const std::uint8_t* data,
                std::size_t size, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return Fail(error, path, "cannot create the file");
  const bool written = std::fwrite(data, 1, size, f) == size;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    std::remove(path.c_str());
    return Fail(error, path, "cannot write the file");
  }
  return true;
}

bool EncodeFrame(Encoder& e, const std::string& path, const FrameRecipe& shot,
                 std::string* error) {
  if (shot.width < 1 || shot.height < 1 || shot.width > kMaxFrameSide ||
      shot.height > kMaxFrameSide || shot.quality < 2 || shot.quality > 31)
    return Fail(error, path, "frame size or quality out of range");
  if (!e.ctx || e.width != shot.width || e.height != shot.height ||
      e.chroma != shot.chroma || e.quality != shot.quality) {
    if (!OpenEncoder(e, shot, path, error)) return false;
  }
  int err = av_frame_make_writable(e.frame.get());
  if (err < 0) return Fail(error, path, "cannot write the picture", err);
  DrawPicture(e.frame.get(), shot);
  e.frame->quality = FF_QP2LAMBDA * shot.quality;
  e.frame->pts = e.nextPts++;

  err = avcodec_send_frame(e.ctx.get(), e.frame.get());
  if (err < 0) {
    e = Encoder{};
    return Fail(error, path, "cannot encode the picture", err);
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
    e = Encoder{};
    return Fail(error, path, "the encoder gave no picture");
  }
  if (err < 0) {
    e = Encoder{};
    return Fail(error, path, "cannot encode the picture", err);
  }
  const std::uint8_t* bytes = e.packet->data;
  std::size_t size = static_cast<std::size_t>(e.packet->size);
  bool ok = true;
  if (shot.chroma == Chroma::kGray) {
    ok = KeepLumaOnly(bytes, size, e.grey) ||
         Fail(error, path, "cannot make the grey picture one-component");
    bytes = e.grey.data();
    size = e.grey.size();
  }
  ok = ok && WriteBytes(path, bytes, size, error);
  av_packet_unref(e.packet.get());
  if (drained) e = Encoder{};
  return ok;
}

std::mutex g_encoderMutex;
Encoder g_encoder;  // WriteFrame's, guarded by g_encoderMutex

}  // namespace

bool WriteFrame(const std::string& path, const FrameRecipe& shot) {
  std::string error;
  bool ok;
  {
    std::lock_guard<std::mutex> lock(g_encoderMutex);
    ok = EncodeFrame(g_encoder, path, shot, &error);
  }
  if (!ok) std::fprintf(stderr, "%s\n", error.c_str());
  return ok;
}

// ---------------------------------------------------------------- layout

namespace {

// Frames every stepMs from startMs (inclusive) to endMs (exclusive), each
// moved by up to +-jitterMs except the first.
struct Run {
  int startMs, endMs, stepMs, jitterMs;
};

struct MinuteDef {
  int camera;
  const char* date;
  int hour, minute;
  NameScheme scheme;
  Chroma chroma;
  Run runs[2];
  int runCount;
};

constexpr NameScheme kCs = NameScheme::kCentisecond;
constexpr NameScheme kMs = NameScheme::kMillisecond;
constexpr NameScheme kDash = NameScheme::kDashed;

// The shown minute folders, in order: camera, date, hour, minute, names,
// chroma, runs of frames {start ms, end ms, step ms, jitter ms}.
// clang-format off
const MinuteDef kMinuteDefs[] = {
    {0, "2004-03-15", 12,  0, kCs,   Chroma::k420, {{0, 60000, 500, 60}, {}}, 1},
    {0, "2004-03-15", 12,  1, kCs,   Chroma::k420,
     {{20000, 35000, 200, 30}, {42000, 50000, 200, 30}}, 2},
    {0, "2004-03-15", 12,  2, kCs,   Chroma::k420, {{}, {}}, 0},
    {0, "2004-03-15", 12,  3, kDash, Chroma::k420,
     {{0, 10000, 200, 20}, {15000, 30000, 400, 40}}, 2},
    {0, "2004-03-15", 12, 59, kCs,   Chroma::k420, {{50000, 60000, 500, 0}, {}}, 1},
    {0, "2004-03-15", 14,  3, kMs,   Chroma::k420, {{5000, 9000, 40, 8}, {}}, 1},
    {0, "2004-03-15", 14, 10, kCs,   Chroma::k420, {{0, 20000, 1000, 0}, {}}, 1},
    {0, "2004-03-16",  9, 30, kCs,   Chroma::k444, {{0, 30000, 400, 40}, {}}, 1},
    {1, "2004-03-15",  8, 15, kMs,   Chroma::k422,
     {{0, 5000, 40, 8}, {12000, 13000, 40, 8}}, 2},
    {1, "2004-03-15",  8, 16, kCs,   Chroma::k422, {{0, 60000, 500, 60}, {}}, 1},
    {1, "2004-03-15",  8, 17, kDash, Chroma::k422,
     {{2000, 20000, 400, 40}, {45000, 58000, 400, 40}}, 2},
    {1, "2004-03-15", 10,  0, kCs,   Chroma::kGray, {{0, 60000, 2000, 0}, {}}, 1},
    {1, "2004-03-16",  7, 45, kDash, Chroma::k422, {{10000, 40000, 500, 40}, {}}, 1},
    {1, "2004-03-16",  7, 46, kMs,   Chroma::k422, {{0, 2000, 40, 10}, {}}, 1},
};
// clang-format on

const MinuteDef* FindDef(const SampleMinute& m) {
  for (const MinuteDef& d : kMinuteDefs)
    if (d.camera == m.camera && std::strcmp(d.date, m.date) == 0 &&
        d.hour == m.hour && d.minute == m.minute)
      return &d;
  return nullptr;
}

std::vector<int> TimesOf(const MinuteDef& d) {
  std::vector<int> times;
  const int unit = d.scheme == NameScheme::kMillisecond ? 1 : 10;
  // A fixed linear congruential sequence per minute: the same jitter on
  // every run and every machine.
  std::uint32_t state = static_cast<std::uint32_t>((d.camera + 1) * 7919 +
                                                   (d.date[9] - '0') * 100003 +
                                                   d.hour * 60 + d.minute);
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  int prev = -1;
  for (int r = 0; r < d.runCount; ++r) {
    const Run& run = d.runs[r];
    for (int k = 0;; ++k) {
      const int base = run.startMs + k * run.stepMs;
      if (base >= run.endMs) break;
      int t = base;
      if (k > 0 && run.jitterMs > 0)
        t += static_cast<int>(next() % (2 * run.jitterMs + 1)) - run.jitterMs;
      t = std::clamp(t, run.startMs, std::min(run.endMs, 60000) - 1);
      t -= t % unit;
      if (t <= prev) t = prev + unit;
      if (t >= run.endMs || t > 59999) break;
      times.push_back(t);
      prev = t;
    }
  }
  return times;
}

std::string Native(const std::string& relative) {
  std::string s = relative;
  for (char& c : s)
    if (c == '/') c = platform::kPathSeparator;
  return s;
}

std::string Join(const std::string& root, const std::string& relative) {
  return root + platform::kPathSeparator + Native(relative);
}

std::string TwoDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

std::string RelativeMinutePath(const SampleMinute& m) {
  const bool known = m.camera >= 0 && m.camera < kSampleCameraCount;
  return std::string(known ? kSampleCameras[m.camera].name : "unknown camera") +
         "/" + (m.date ? m.date : "") + "/" + TwoDigits(m.hour) + "/" +
         TwoDigits(m.minute);
}

bool MakeFolder(const std::string& path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec || !std::filesystem::is_directory(path, ec)) {
    *error = "orvanel-sample: " + path + ": cannot create the folder" +
             (ec ? ": " + ec.message() : std::string());
    return false;
  }
  return true;
}

bool WriteText(const std::string& path, const char* text, std::string* error) {
  return WriteBytes(path, reinterpret_cast<const std::uint8_t*>(text),
                    std::strlen(text), error);
}

// A lone frame in a folder the tree hides.
bool WriteHiddenFrame(Encoder& e, const std::string& root,
                      const std::string& relative, int camera,
                      std::string* error) {
  const std::string path = Join(root, relative);
  const std::string folder =
      path.substr(0, path.rfind(platform::kPathSeparator));
  FrameRecipe shot;
  shot.width = kSampleCameras[camera].width;
  shot.height = kSampleCameras[camera].height;
  return MakeFolder(folder, error) && EncodeFrame(e, path, shot, error);
}

// Writes the frames of the shown minutes (folders made already), minute by
// minute, on a few threads with an encoder each: the bytes of a frame
// depend on what it shows only, so the split does not change the result.
bool WriteMinuteFrames(const std::string& root, std::string* error) {
  const std::vector<SampleMinute>& minutes = SampleMinutes();
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  auto work = [&] {
    Encoder e;
    std::string message;
    for (std::size_t i = next++; i < minutes.size() && !failed; i = next++) {
      const SampleMinute& m = minutes[i];
      const std::string folder = SampleMinutePath(root, m);
      FrameRecipe shot;
      shot.width = kSampleCameras[m.camera].width;
      shot.height = kSampleCameras[m.camera].height;
      shot.hour = m.hour;
      shot.minute = m.minute;
      shot.chroma = m.chroma;
      for (int ms : SampleFrameTimes(m)) {
        shot.centis = ms / 10;
        const std::string path =
            folder + platform::kPathSeparator + SampleFrameName(m.scheme, ms);
        if (!EncodeFrame(e, path, shot, &message)) {
          std::lock_guard<std::mutex> lock(errorMutex);
          if (!failed.exchange(true)) *error = message;
          return;
        }
      }
    }
  };
  const unsigned cores = std::thread::hardware_concurrency();
  const unsigned count = std::clamp(cores, 1u, 4u);
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < count; ++t) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  return !failed;
}

}  // namespace

const std::vector<SampleMinute>& SampleMinutes() {
  static const std::vector<SampleMinute> minutes = [] {
    std::vector<SampleMinute> list;
    for (const MinuteDef& d : kMinuteDefs) {
      const std::vector<int> times = TimesOf(d);
      list.push_back(SampleMinute{d.camera, d.date, d.hour, d.minute, d.scheme,
                                  d.chroma, static_cast<int>(times.size()),
                                  times.empty() ? -1 : times.front(),
                                  times.empty() ? -1 : times.back()});
    }
    return list;
  }();
  return minutes;
}

std::vector<std::string> SampleEmptyHours() {
  return {"Camera 1/2004-03-15/15"};
}

std::vector<std::string> SampleHiddenPaths() {
  return {".sync",
          "Camera 1/.thumbs",
          "Camera 1/2004-13-01",
          "Camera 1/misc",
          "Camera 1/index.txt",
          "Camera 1/2004-03-15/24",
          "Camera 1/2004-03-15/ab",
          "Camera 1/2004-03-15/notes.txt",
          "Camera 1/2004-03-16/09/60"};
}

std::vector<std::string> SampleNonFrameFiles() {
  return {"Camera 1/2004-03-15/12/00/index.dat"};
}

std::vector<int> SampleFrameTimes(const SampleMinute& minute) {
  const MinuteDef* d = FindDef(minute);
  return d ? TimesOf(*d) : std::vector<int>{};
}

std::string SampleFrameName(NameScheme scheme, int ms) {
  ms = std::clamp(ms, 0, 59999);
  const int secs = ms / 1000, rest = ms % 1000;
  char name[32];
  switch (scheme) {
    case NameScheme::kMillisecond:
      // The recorder drops the leading zero of the milliseconds.
      if (rest < 100)
        std::snprintf(name, sizeof name, "%02d%02d.jpg", secs, rest);
      else
        std::snprintf(name, sizeof name, "%02d%03d.jpg", secs, rest);
      break;
    case NameScheme::kDashed:
      std::snprintf(name, sizeof name, "%02d-%02d.jpg", secs, rest / 10);
      break;
    case NameScheme::kCentisecond:
      std::snprintf(name, sizeof name, "%02d%02d.jpg", secs, rest / 10);
      break;
  }
  return name;
}

std::string SampleMinutePath(const std::string& root, const SampleMinute& m) {
  return Join(root, RelativeMinutePath(m));
}

int GenerateSampleBackup(const std::string& root) {
  std::string error;
  Encoder e;
  bool ok = !root.empty() || Fail(&error, root, "no root folder given");
  ok = ok && MakeFolder(root, &error);
  for (const SampleMinute& m : SampleMinutes())
    ok = ok && MakeFolder(SampleMinutePath(root, m), &error);
  for (const std::string& hour : SampleEmptyHours())
    ok = ok && MakeFolder(Join(root, hour), &error);
  ok = ok && WriteMinuteFrames(root, &error);
  for (const std::string& file : SampleNonFrameFiles())
    ok = ok && WriteText(Join(root, file), "DVR index\n", &error);

  // What the tree hides.
  ok = ok && MakeFolder(Join(root, ".sync"), &error) &&
       WriteText(Join(root, ".sync/state.db"), "last=2004-03-16\n", &error) &&
       WriteHiddenFrame(e, root, "Camera 1/.thumbs/0000.jpg", 0, &error) &&
       WriteHiddenFrame(e, root, "Camera 1/2004-13-01/12/00/0000.jpg", 0,
                        &error) &&
       MakeFolder(Join(root, "Camera 1/misc"), &error) &&
       WriteText(Join(root, "Camera 1/misc/readme.txt"), "not a date\n",
                 &error) &&
       WriteText(Join(root, "Camera 1/index.txt"), "Camera 1\n", &error) &&
       WriteHiddenFrame(e, root, "Camera 1/2004-03-15/24/00/0000.jpg", 0,
                        &error) &&
       MakeFolder(Join(root, "Camera 1/2004-03-15/ab"), &error) &&
       WriteText(Join(root, "Camera 1/2004-03-15/notes.txt"), "hours 12-15\n",
                 &error) &&
       WriteHiddenFrame(e, root, "Camera 1/2004-03-16/09/60/0000.jpg", 0,
                        &error);
  if (!ok) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return -1;
  }
  return 0;
}

}  // namespace sample
