#include "export/export_job.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "platform/platform.h"
#include "playback/frame_decoder.h"
#include "platform/log.h"
#include "store/layout.h"
#include "export/manifest.h"
#include "export/time_stamp.h"

namespace {

constexpr int kSmallestStep = 4;    // 25 frames per second
constexpr int kLargestStep = 100;   // 1 frame per second
constexpr int kLongestGap = 200;    // hundredths: longer gaps are not filled
constexpr int kMpegFormat = 6;
constexpr int kDefaultFormat = kMpegFormat;  // the dialog's first entry
constexpr int kDefaultBitRate = 400;
// The probe reads a frame before its size is known: room for any JPEG of
// the largest pictures cameras write.
constexpr std::size_t kProbeReadLimit = 64u << 20;

// "<folder><name>", with a separator between them when the folder lacks
// its final one; false when the path does not fit.
bool JoinPath(const char* folder, const char* name, char* out, std::size_t size) {
  const std::size_t length = std::strlen(folder);
  const bool needsSeparator = length > 0 && !platform::IsPathSeparator(folder[length - 1]);
  const char separator[2] = {needsSeparator ? platform::kPathSeparator : '\0', '\0'};
  const int written = std::snprintf(out, size, "%s%s%s", folder, separator, name);
  return written >= 0 && static_cast<std::size_t>(written) < size;
}

// Lists the "*.jpg" entries of `folder`, which the listing takes without its
// final separator; false when the path is too long or cannot be listed.
bool ListFrameFiles(const char* folder, std::vector<platform::DirEntry>& listing) {
  char directory[platform::kMaxPath];
  const int written = std::snprintf(directory, sizeof directory, "%s", folder);
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof directory) {
    LogWindow::Print("export: folder path too long: %.200s", folder);
    return false;
  }
  std::size_t length = static_cast<std::size_t>(written);
  while (length > 1 && platform::IsPathSeparator(directory[length - 1])) directory[--length] = '\0';
  int error = 0;
  return platform::ListDirectory(directory, "*.jpg", listing, &error) == 0;
}

// The limited-range twin of a full-range (JPEG) YUV format. Converting
// between twins keeps the samples' range as it is, as the 4:2:0 copy does.
AVPixelFormat SameRangeFormat(int format) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: return AV_PIX_FMT_YUV411P;
    default: return static_cast<AVPixelFormat>(format);
  }
}

// Full range (0-255) to video range in 8.8 fixed point, rounded: luma to
// 16-235 (x 220/256 + 16), chroma to 16-240 around 128 (x 225/256 + 16).
// Within 0.6 of the exact scale, and 16-bit lanes never overflow.
struct RangeScale {
  std::uint16_t factor, offset;
};
constexpr RangeScale kLumaScale{220, 16 * 256 + 128};
constexpr RangeScale kChromaScale{225, 16 * 256};  // 128 stays 128

void ToVideoRange(std::uint8_t* dst, const std::uint8_t* src, int count, const RangeScale& s) {
  int i = 0;
#if defined(__SSE2__)
  // 16 samples at a time: this runs for every sample of every exported
  // picture, and the compiler does not vectorise it at -O2.
  const __m128i zero = _mm_setzero_si128();
  const __m128i factor = _mm_set1_epi16(static_cast<short>(s.factor));
  const __m128i offset = _mm_set1_epi16(static_cast<short>(s.offset));
  for (; i + 16 <= count; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(lo, factor), offset), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(hi, factor), offset), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < count; ++i)
    dst[i] = static_cast<std::uint8_t>((src[i] * s.factor + s.offset) >> 8);
}

// JPEG pictures are full range unless the decoder says otherwise.
bool IsFullRange(const AVFrame* frame) {
  switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P: case AV_PIX_FMT_YUVJ422P: case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P: case AV_PIX_FMT_YUVJ411P:
      return true;
    default:
      return frame->color_range != AVCOL_RANGE_MPEG;
  }
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// A minute folder ".../camera/YYYY-MM-DD/HH/MM/" as minutes since 1970 and
// the camera folder's path (its length in `cameraLength`); -1 when the path
// is not laid out so.
long MinuteOfFolder(const char* folder, std::size_t* cameraLength) {
  std::size_t end = std::strlen(folder);
  while (end > 0 && platform::IsPathSeparator(folder[end - 1])) --end;
  std::size_t starts[3];
  for (int part = 2; part >= 0; --part) {
    std::size_t start = end;
    while (start > 0 && !platform::IsPathSeparator(folder[start - 1])) --start;
    if (start == 0) return -1;
    starts[part] = start;
    end = start - 1;
  }
  *cameraLength = end;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  char tail = 0;
  const char* date = folder + starts[0];
  if (std::sscanf(date, "%4d-%2d-%2d%c", &y, &mo, &d, &tail) != 4 || !platform::IsPathSeparator(tail))
    return -1;
  if (std::sscanf(folder + starts[1], "%2d", &h) != 1 || std::sscanf(folder + starts[2], "%2d", &mi) != 1)
    return -1;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59) return -1;
  return DaysFromCivil(y, mo, d) * 1440 + h * 60 + mi;
}

// Whether minute folder `next` is the minute after `folder` of the same
// camera.
bool IsNextMinute(const char* folder, const char* next) {
  std::size_t a = 0, b = 0;
  const long m = MinuteOfFolder(folder, &a), n = MinuteOfFolder(next, &b);
  return m >= 0 && n == m + 1 && a == b && std::strncmp(folder, next, a) == 0;
}

// Adds the time from its making to Stop (or its end) to `sink`, when given
// one.
class StageTimer {
 public:
  StageTimer(bool on, std::int64_t* sink) : sink_(on ? sink : nullptr) {
    if (sink_) start_ = std::chrono::steady_clock::now();
  }
  ~StageTimer() { Stop(); }
  StageTimer(const StageTimer&) = delete;
  StageTimer& operator=(const StageTimer&) = delete;
  void Stop() {
    if (!sink_) return;
    *sink_ += std::chrono::duration_cast<std::chrono::nanoseconds>(
                  std::chrono::steady_clock::now() - start_)
                  .count();
    sink_ = nullptr;
  }

 private:
  std::int64_t* sink_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

// ---------------------------------------------------------------- names

int FrameTime(const char* name, int nameLength) {
  const std::size_t length = std::strlen(name);
  // A name without a leading number has no time at all.
  if (length == 0 || name[0] < '0' || name[0] > '9') return -1;
  int t = -1;
  if (nameLength == 8) {
    t = LeadingNumber(name);  // SSCC.jpg
  } else if (nameLength == 9) {
    if (length >= 3 && name[2] == '-') {
      int seconds = 0, hundredths = 0;  // SS-CC.jpg
      if (std::sscanf(name, "%02d-%02d.jpg", &seconds, &hundredths) != 2) return -1;
      t = seconds * 100 + hundredths;
    } else if (length == 9) {
      t = LeadingNumber(name) / 10;  // SSmmm.jpg
    } else {
      const int n = LeadingNumber(name);  // SSmm.jpg: 0mm milliseconds
      t = (n / 100) * 100 + (n % 100) / 10;
    }
  }
  return t < 0 || t > 5999 ? -1 : t;
}

const char* FormatExtension(int formatCode) {
  switch (formatCode) {
    case 6: return ".mpg";
    case 1: return ".avi";
    case 2: return ".asf";
    case 4: return ".wmv";
    default: return nullptr;
  }
}

bool ReplaceExtension(const char* name, const char* extension, char* out,
                      std::size_t size) {
  const std::size_t length = std::strlen(name);
  std::size_t fileStart = length;
  while (fileStart > 0 && !platform::IsPathSeparator(name[fileStart - 1])) --fileStart;
  const char* dot = std::strrchr(name + fileStart, '.');
  const std::size_t keep = dot ? static_cast<std::size_t>(dot - name) : length;
  const int written = std::snprintf(out, size, "%.*s%s", static_cast<int>(keep), name, extension);
  return written >= 0 && static_cast<std::size_t>(written) < size;
}

// ---------------------------------------------------------------- pipeline

// Reads the frame files of the folder being decoded on a thread of its own,
// up to kSlots files ahead of the decoder. Opening and closing a file are
// system calls that may wait (under Wine each is a round trip through its
// server, slow while both cores are busy): made here, they no longer hold
// up the decoding. Hands files over in batches like the decoder does. Used
// by the decode thread alone, which names the folder and takes the files.
class ExportJob::Reader {
 public:
  static constexpr int kSlots = 32;
  static constexpr int kBatch = kSlots / 2;

  explicit Reader(ExportJob* job) : job_(job), thread_([this] { Loop(); }) {}

  ~Reader() {
    Quit();
    thread_.join();
  }

  // Starts reading `names` (frame names of `folder`, in order) ahead; what
  // was read of the last folder is dropped.
  void Begin(const char* folder, const std::vector<FrameName>& names) {
    std::lock_guard<platform::HandOffMutex> lock(mutex_);
    std::snprintf(folder_, sizeof folder_, "%s", folder);
    names_.assign(names.begin(), names.end());
    ++generation_;
    read_ = consumed_ = 0;
    if (readerWaiting_) Wake(more_);
  }

  // Waits for file `k` of the folder: true with its bytes (valid until
  // Release(k)), false when it could not be read or the reader quits.
  bool Take(int k, const std::uint8_t** data, std::size_t* size) {
    std::unique_lock<platform::HandOffMutex> lock(mutex_);
    if (read_ <= k && !quit_) {
      Profile& profile = job_->decodeProfile_;
      StageTimer wait(job_->profiling_, &profile.waitNs);
      ++profile.waits;
      decoderWaiting_ = true;
      wanted_ = k;
      ready_.wait(lock, [&] { return read_ > k || quit_; });
      decoderWaiting_ = false;
    }
    if (quit_) return false;
    const Slot& slot = slots_[k % kSlots];
    *data = slot.bytes.data();
    *size = slot.size;
    return slot.ok;
  }

  // Frees file `k`'s slot once it is decoded.
  void Release(int k) {
    std::lock_guard<platform::HandOffMutex> lock(mutex_);
    consumed_ = k + 1;
    if (readerWaiting_ && kSlots - (read_ - consumed_) >= kBatch) Wake(more_);
  }

  // Ends the reading; a waiting Take returns false.
  void Quit() {
    std::lock_guard<platform::HandOffMutex> lock(mutex_);
    quit_ = true;
    more_.notify_all();
    ready_.notify_all();
  }

 private:
  struct Slot {
    std::vector<std::uint8_t> bytes;  // grows to the largest file, once
    std::size_t size = 0;
    bool ok = false;
  };

  void Wake(platform::HandOffCondition& cv) {
    ++job_->decodeProfile_.wakes;
    cv.notify_all();
  }

  void Loop() {
    Profile& profile = job_->readProfile_;
    std::unique_lock<platform::HandOffMutex> lock(mutex_);
    for (;;) {
      auto hasWork = [this] {
        return quit_ || (read_ < static_cast<int>(names_.size()) && read_ - consumed_ < kSlots);
      };
      if (!hasWork()) {
        StageTimer wait(job_->profiling_, &profile.waitNs);
        ++profile.waits;
        readerWaiting_ = true;
        more_.wait(lock, hasWork);
        readerWaiting_ = false;
      }
      if (quit_) return;
      const int k = read_;
      const unsigned generation = generation_;
      char path[platform::kMaxPath];
      const bool fits = JoinPath(folder_, names_[k].data(), path, sizeof path);
      lock.unlock();
      // The slot is free: the decoder holds only files below read_.
      Slot& slot = slots_[k % kSlots];
      {
        StageTimer read(job_->profiling_, &profile.readNs);
        ++profile.reads;
        int error = 0;
        slot.ok = fits && platform::ReadWholeFile(path, slot.bytes, AV_INPUT_BUFFER_PADDING_SIZE,
                                                  job_->readLimit_, &slot.size,
                                                  &error) == platform::ReadResult::Ok;
      }
      lock.lock();
      if (generation != generation_) continue;  // the folder was dropped meanwhile
      read_ = k + 1;
      if (decoderWaiting_ && (read_ >= wanted_ + kBatch ||
                              read_ == static_cast<int>(names_.size()) ||
                              read_ - consumed_ == kSlots)) {
        ++profile.wakes;
        ready_.notify_all();
      }
    }
  }

  ExportJob* job_;
  platform::HandOffMutex mutex_;
  platform::HandOffCondition ready_;  // the decoder waits for files
  platform::HandOffCondition more_;   // the reader waits for work or room
  bool quit_ = false;
  bool decoderWaiting_ = false;
  bool readerWaiting_ = false;
  unsigned generation_ = 0;
  char folder_[platform::kMaxPath] = {};
  std::vector<FrameName> names_;
  int read_ = 0;      // files read (their slots hold them)
  int consumed_ = 0;  // files decoded (their slots are free)
  int wanted_ = 0;
  Slot slots_[kSlots];
  std::thread thread_;  // last: starts once the fields above exist
};

// Decodes the frames of the folder being encoded on a second thread, up to
// kRingSlots ahead of the encoder, each into a picture of its own ring slot.
// The threads hand frames over in batches: each side wakes the other only
// when that one sleeps and a batch (half the ring) is ready or free, since
// every wake is costly where a wait and a wake are a system call each (under
// Wine a round trip through its server).
class ExportJob::Prefetcher {
 public:
  static constexpr int kBatch = kRingSlots / 2;

  explicit Prefetcher(ExportJob* job) : job_(job), thread_([this] { Loop(); }) {}

  ~Prefetcher() {
    {
      std::lock_guard<platform::HandOffMutex> lock(mutex_);
      quit_ = true;
    }
    more_.notify_all();
    reader_.Quit();  // the decode thread may wait for a file
    thread_.join();
  }

  // Starts decoding `names` (frame names of `folder`, in order) ahead.
  void Begin(const char* folder, const std::vector<FrameName>& names) {
    std::lock_guard<platform::HandOffMutex> lock(mutex_);
    std::snprintf(folder_, sizeof folder_, "%s", folder);
    names_ = names;
    ++generation_;
    produced_ = consumed_ = 0;
    if (producerWaiting_) Wake(more_, job_->jobProfile_);
  }

  // Waits for frame `k` of the folder: LoadFrame's result, the frame's
  // size and its picture (valid until Release(k)).
  int Take(int k, int* frameWidth, int* frameHeight, const std::uint8_t** picture) {
    std::unique_lock<platform::HandOffMutex> lock(mutex_);
    if (produced_ <= k) {
      Profile& profile = job_->jobProfile_;
      StageTimer wait(job_->profiling_, &profile.waitNs);
      ++profile.waits;
      consumerWaiting_ = true;
      wanted_ = k;
      ready_.wait(lock, [&] { return produced_ > k; });
      consumerWaiting_ = false;
    }
    const Slot& slot = slots_[k % kRingSlots];
    *frameWidth = slot.width;
    *frameHeight = slot.height;
    *picture = job_->ring_[k % kRingSlots].data();
    return slot.result;
  }

  // Frees frame `k`'s slot once its picture is written.
  void Release(int k) {
    std::lock_guard<platform::HandOffMutex> lock(mutex_);
    consumed_ = k + 1;
    if (producerWaiting_ && kRingSlots - (produced_ - consumed_) >= kBatch)
      Wake(more_, job_->jobProfile_);
  }

  // Drops what is left of the folder (a stop or a size mismatch).
  void Abandon() { Begin("", {}); }

 private:
  struct Slot {
    int result = 0, width = 0, height = 0;
  };

  static void Wake(platform::HandOffCondition& cv, Profile& profile) {
    ++profile.wakes;
    cv.notify_all();
  }

  void Loop() {
    Profile& profile = job_->decodeProfile_;
    unsigned readerGeneration = 0;
    std::unique_lock<platform::HandOffMutex> lock(mutex_);
    for (;;) {
      auto hasWork = [this] {
        return quit_ || (produced_ < static_cast<int>(names_.size()) &&
                         produced_ - consumed_ < kRingSlots);
      };
      if (!hasWork()) {
        StageTimer wait(job_->profiling_, &profile.waitNs);
        ++profile.waits;
        producerWaiting_ = true;
        more_.wait(lock, hasWork);
        producerWaiting_ = false;
      }
      if (quit_) return;
      const int k = produced_;
      const unsigned generation = generation_;
      // A new folder (or a dropped one) for the reader too.
      if (generation != readerGeneration) {
        reader_.Begin(folder_, names_);
        readerGeneration = generation;
      }
      lock.unlock();
      Slot slot;
      const std::uint8_t* bytes = nullptr;
      std::size_t size = 0;
      if (reader_.Take(k, &bytes, &size))
        slot.result = job_->DecodeBytes(bytes, size, false, job_->ring_[k % kRingSlots].data(),
                                        &slot.width, &slot.height, &profile);
      reader_.Release(k);
      lock.lock();
      if (generation != generation_) continue;  // the folder was dropped meanwhile
      slots_[k % kRingSlots] = slot;
      produced_ = k + 1;
      if (consumerWaiting_ && (produced_ >= wanted_ + kBatch ||
                               produced_ == static_cast<int>(names_.size()) ||
                               produced_ - consumed_ == kRingSlots))
        Wake(ready_, profile);
    }
  }

  ExportJob* job_;
  platform::HandOffMutex mutex_;
  platform::HandOffCondition ready_;  // the encoder waits for frames
  platform::HandOffCondition more_;   // the decoder waits for work or room
  bool quit_ = false;
  bool consumerWaiting_ = false;
  bool producerWaiting_ = false;
  unsigned generation_ = 0;
  char folder_[platform::kMaxPath] = {};
  std::vector<FrameName> names_;
  int produced_ = 0;  // frames decoded (their slots hold them)
  int consumed_ = 0;  // frames written (their slots are free)
  int wanted_ = 0;
  Slot slots_[kRingSlots];
  Reader reader_{job_};
  std::thread thread_;  // last: starts once the fields above exist
};

// ---------------------------------------------------------------- job

ExportJob::ExportJob(ExportUi* ui)
    : ui_(ui),
      decoder_(av::OpenMjpegDecoder()),
      packet_(av_packet_alloc()),
      frame_(av_frame_alloc()),
      readBuffer_(kExportBufferSize + AV_INPUT_BUFFER_PADDING_SIZE),
      picture_(kExportBufferSize),
      output_(kExportBufferSize) {
  for (std::vector<std::uint8_t>& slot : ring_) slot.resize(kExportBufferSize);
  // FFmpeg 5.1 registers its codecs and formats by itself: there is no
  // av_register_all() to call before the first export.
  if (!decoder_) LogWindow::Print("export: no MJPEG decoder");
  // The viewer's limit: larger pictures are refused, not allocated.
  if (decoder_) decoder_->max_pixels = static_cast<std::int64_t>(kMaxPictureSide) * kMaxPictureSide;
  names_.reserve(kUsualFrameCount);
  listing_.reserve(kUsualFrameCount + 2);
  loads_.reserve(kUsualFrameCount);
}

ExportJob::~ExportJob() {
  if (running.load()) stopRequested = 1;
  Join();
}

bool ExportJob::Start() {
  int idle = 0;
  if (!running.compare_exchange_strong(idle, 1)) return false;
  if (thread_.joinable()) thread_.join();
  // A cancel meant for an earlier job does not stop this one.
  stopRequested = 0;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    LogWindow::Print("export: cannot start the export thread");
    running = 0;
    return false;
  }
  return true;
}

void ExportJob::Join() {
  if (thread_.joinable()) thread_.join();
}

bool ExportJob::CollectNames(const char* folder) {
  names_.clear();
  nameLength = 0;
  StageTimer list(profiling_, &jobProfile_.listNs);
  if (!ListFrameFiles(folder, listing_)) return false;
  list.Stop();
  for (const platform::DirEntry& entry : listing_) {
    const std::size_t size = entry.name.size();
    if (entry.isDirectory || (size != 8 && size != 9)) continue;
    // A folder may hold more than the usual 1800 frames: the table grows
    // (once) and every frame is taken.
    FrameName name{};
    std::memcpy(name.data(), entry.name.c_str(), size + 1);
    names_.push_back(name);
    nameLength = std::max(nameLength, static_cast<int>(size));
  }
  if (names_.empty()) return false;
  SortFrameNames(names_.data(), 0, static_cast<int>(names_.size()) - 1);
  return true;
}

bool ExportJob::FolderStart(const char* folder, WallTime* start) const {
  WallTime minute = 0;
  const bool known = MinuteFolderStart(folder, &minute);
  *start = known ? minute : -1;
  return known || !hasRange_;
}

int ExportJob::UsableTime(const char* name, WallTime folderStart) const {
  const int t = FrameTime(name, nameLength);
  if (t < 0 || !hasRange_) return t;
  const WallTime at = folderStart + t;
  return folderStart >= 0 && rangeFrom_ <= at && at <= rangeTo_ ? t : -1;
}

int ExportJob::MeasureFolder(const char* folder) {
  firstTime_ = -1;
  WallTime start = -1;
  if (!FolderStart(folder, &start) || !CollectNames(folder)) return 0;
  int smallest = 9999;
  int previous = -1;
  for (const FrameName& name : names_) {
    const int t = UsableTime(name.data(), start);
    if (t < 0) continue;
    // Two frames with the same time (4307.jpg beside 43007.jpg) make no
    // step; counted as one, they would make the folder look empty.
    if (previous >= 0 && t - previous >= 1 && t - previous < smallest) smallest = t - previous;
    if (previous < 0) firstTime_ = t;
    previous = t;
    ++frameCount;
  }
  if (1 <= smallest && smallest < frameStep) frameStep = smallest;
  return previous < 0 && hasRange_ ? 0 : smallest;  // none in the range: the folder leaves
}

int ExportJob::ProbeSize(const char* folder) {
  if (!ListFrameFiles(folder, listing_)) return 0;
  // The first file the search returns, whatever its name.
  for (const platform::DirEntry& entry : listing_) {
    if (entry.isDirectory) continue;
    char path[platform::kMaxPath];
    if (!JoinPath(folder, entry.name.c_str(), path, sizeof path)) return 0;
    if (LoadFrame(path, true) != 1) return 0;
    width = decoder_->width;
    height = decoder_->height;
    return 1;
  }
  return 0;
}

int ExportJob::Decode(const char* path, bool probeOnly, std::uint8_t* picture,
                      int* frameWidth, int* frameHeight, Profile* profile) {
  std::size_t size = 0;
  int error = 0;
  const std::size_t limit = probeOnly ? kProbeReadLimit : readLimit_;
  // A file over the limit (larger than the raw picture) is no frame of
  // this camera: refused rather than decoded cut short.
  StageTimer read(profiling_, &profile->readNs);
  ++profile->reads;
  if (platform::ReadWholeFile(path, readBuffer_, AV_INPUT_BUFFER_PADDING_SIZE, limit, &size,
                              &error) != platform::ReadResult::Ok)
    return 0;
  read.Stop();
  return DecodeBytes(readBuffer_.data(), size, probeOnly, picture, frameWidth, frameHeight,
                     profile);
}

int ExportJob::DecodeBytes(const std::uint8_t* data, std::size_t size, bool probeOnly,
                           std::uint8_t* picture, int* frameWidth, int* frameHeight,
                           Profile* profile) {
  if (!decoder_ || !packet_ || !frame_) return 0;
  StageTimer decode(profiling_, &profile->decodeNs);
  if (av::DecodeJpeg(decoder_.get(), packet_.get(), frame_.get(), data, size) != 1) return 0;
  decode.Stop();
  if (frame_->width > kMaxPictureSide || frame_->height > kMaxPictureSide) return 0;
  *frameWidth = frame_->width;
  *frameHeight = frame_->height;
  if (probeOnly) return 1;
  if (frame_->width != width || frame_->height != height) return -1;
  // A picture that cannot be packed is a frame that failed to decode: the
  // buffer is not written again with what it held before.
  StageTimer pack(profiling_, &profile->packNs);
  return PackPicture(frame_.get(), picture) ? 1 : 0;
}

bool ExportJob::PackPicture(const AVFrame* frame, std::uint8_t* picture) {
  // Packed YUV 4:2:0: width x height luma bytes, then (width/2) x
  // (height/2) bytes of U and of V at the offsets of the buffer layout,
  // copied row by row whatever the decoder's line lengths. An odd last
  // column or row has no chroma of its own; the encoder leaves it out.
  // JPEG samples use the full range, video players assume the video range:
  // the rows are scaled on the way (the viewer shows the JPEG at full range,
  // so an export then shows the same levels).
  const int w = width, h = height;
  const int n = w * h;
  const int cw = w / 2, ch = h / 2;
  std::uint8_t* planes[3] = {picture, picture + n, picture + n + n / 4};
  const bool fullRange = IsFullRange(frame);

  auto packPlane = [fullRange](std::uint8_t* dst, int dstLine, const std::uint8_t* src,
                               int srcLine, int columns, int rows, const RangeScale& scale) {
    for (int y = 0; y < rows; ++y) {
      std::uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstLine;
      const std::uint8_t* in = src + static_cast<std::ptrdiff_t>(y) * srcLine;
      if (fullRange)
        ToVideoRange(out, in, columns, scale);
      else
        std::memcpy(out, in, static_cast<std::size_t>(columns));
    }
  };

  if (frame->format == AV_PIX_FMT_GRAY8) {
    packPlane(planes[0], w, frame->data[0], frame->linesize[0], w, h, kLumaScale);
    std::memset(planes[1], 128, static_cast<std::size_t>(2 * (n / 4)));
    return true;
  }
  const AVFrame* source = frame;
  if (frame->format != AV_PIX_FMT_YUVJ420P && frame->format != AV_PIX_FMT_YUV420P) {
    // Other chroma layouts (4:2:2, 4:4:4, 4:4:0, 4:1:1, ...) are converted
    // to 4:2:0 at the same range, so that every camera's frames export
    // alike. The converter writes whole vectors past a row's end, so it
    // fills a padded picture (made once per size) that is then copied.
    if (!converted_ || converted_->width != w || converted_->height != h) {
      converted_.reset(av_frame_alloc());
      if (converted_) {
        converted_->width = w;
        converted_->height = h;
        converted_->format = AV_PIX_FMT_YUV420P;
        if (av_frame_get_buffer(converted_.get(), 0) < 0) converted_.reset();
      }
    }
    SwsContext* sws = sws_getCachedContext(sws_.release(), w, h, SameRangeFormat(frame->format), w,
                                           h, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                                           nullptr);
    sws_.reset(sws);
    if (!sws || !converted_) {
      LogWindow::Print("export: cannot convert %s pictures",
                       av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format)));
      return false;
    }
    if (sws_scale(sws, frame->data, frame->linesize, 0, h, converted_->data,
                  converted_->linesize) != h)
      return false;
    source = converted_.get();
  }
  packPlane(planes[0], w, source->data[0], source->linesize[0], w, h, kLumaScale);
  packPlane(planes[1], cw, source->data[1], source->linesize[1], cw, ch, kChromaScale);
  packPlane(planes[2], cw, source->data[2], source->linesize[2], cw, ch, kChromaScale);
  return true;
}

int ExportJob::Mismatch(int frameWidth, int frameHeight) {
  char text[128];
  std::snprintf(text, sizeof text, "Image mismatch : %dx%d != %dx%d", width, height, frameWidth,
                frameHeight);
  ui_->ShowMismatch(text);
  outcome_ = Outcome::kMismatch;
  stopRequested = 1;
  return -1;
}

int ExportJob::LoadFrame(const char* path, bool probeOnly) {
  int w = 0, h = 0;
  const int result = Decode(path, probeOnly, picture_.data(), &w, &h, &jobProfile_);
  if (result == -1) return Mismatch(w, h);
  return result;
}

bool ExportJob::GrowBuffers(int pictureWidth, int pictureHeight) {
  const std::size_t need = std::max(
      kExportBufferSize, static_cast<std::size_t>(pictureWidth) * static_cast<std::size_t>(pictureHeight) * 3);
  try {
    if (picture_.size() < need) picture_.resize(need);
    for (std::vector<std::uint8_t>& slot : ring_)
      if (slot.size() < need) slot.resize(need);
    if (output_.size() < need) output_.resize(need);
  } catch (const std::bad_alloc&) {
    LogWindow::Print("export: no memory for %dx%d pictures", pictureWidth, pictureHeight);
    return false;
  }
  readLimit_ = need;
  return true;
}

int ExportJob::Prepare() {
  int code = ui_->GetFormatCode();
  // Nothing selected: the dialog's defaults (.mpg, 400 kbit/s).
  if (!FormatExtension(code)) code = kDefaultFormat;

  char name[platform::kMaxPath] = {};
  char finalName[platform::kMaxPath];
  if (!ui_->GetOutputName(name, sizeof name) || name[0] == '\0' ||
      !ReplaceExtension(name, FormatExtension(code), finalName, sizeof finalName)) {
    LogWindow::Print("export: unusable output name '%.200s'", name);
    outcome_ = Outcome::kOutputFailed;
    return 0;
  }
  file = vlib_file_open(finalName);
  if (!file) {
    outcome_ = Outcome::kOutputFailed;
    return 0;
  }
  outputPath_ = finalName;
  ui_->SetOutputName(finalName);

  char rate[32] = {};
  const int bitRate = ui_->GetBitRateText(rate, sizeof rate) ? LeadingNumber(rate) : kDefaultBitRate;

  char folder[platform::kMaxPath];
  if (ui_->FolderCount() < 1 || !ui_->GetFolder(0, folder, sizeof folder)) {
    outcome_ = Outcome::kNoFolder;
    return 0;
  }
  if (!ProbeSize(folder) || !GrowBuffers(width, height)) {
    outcome_ = Outcome::kProbeFailed;
    return 0;
  }

  frameStep = std::min(std::max(frameStep, kSmallestStep), kLargestStep);
  // MPEG-1 players time pictures by the sequence header's rate, which
  // holds only the standard table's rates; of those within 1..30 fps only
  // 25 is a whole number of hundredths. The FFmpeg-only codes (5, 10, 12,
  // 15) are not in the standard and other decoders refuse or mistime them:
  // .mpg is always 25 frames per second, repetition fills the time. The
  // recording's step stays the last frame's duration. The other formats
  // time each picture at exactly the frame step (6/100 s is no whole rate:
  // at 16 fps ten minutes would play 625 s).
  pictureStep_ = code == kMpegFormat ? kSmallestStep : frameStep;
  fps_ = 100 / pictureStep_;
  const std::uint32_t type = static_cast<std::uint32_t>(code) | VLIB_ENCODER;
  codec = code == kMpegFormat
              ? vlib_codec_create(type, width, height, fps_, bitRate, fps_)
              : vlib_codec_create_timed(type, width, height, pictureStep_, 100, bitRate, fps_);
  if (!codec) {
    LogWindow::Print("failed to initalize codec!");
    outcome_ = Outcome::kEncoderFailed;
    return 0;
  }
  if (vlib_file_add_stream(file, codec) == -1) {
    LogWindow::Print("failed to Add stream!");
    outcome_ = Outcome::kEncoderFailed;
    return 0;
  }
  return 1;
}

bool ExportJob::WritePicture(const std::uint8_t* picture, const char* failureText) {
  StageTimer encode(profiling_, &jobProfile_.encodeNs);
  const int bytes = vlib_codec_encode(codec, picture, output_.data());
  if (bytes < 0) return false;
  encode.Stop();
  StageTimer write(profiling_, &jobProfile_.writeNs);
  if (vlib_file_write(file, 0, output_.data(), bytes) == -1) LogWindow::Print("%s", failureText);
  ++picturesWritten_;
  return true;
}

int ExportJob::EncodeFolder(const char* folder, const char* nextFolder, int nextFirstTime) {
  WallTime start = -1;
  if (!FolderStart(folder, &start) || !CollectNames(folder)) return 0;
  const int count = static_cast<int>(names_.size());

  // Every frame with a time (in the range) is written, in time order;
  // known in advance, so a second thread can decode ahead.
  loads_.clear();
  for (int i = 0; i < count; ++i)
    if (UsableTime(names_[i].data(), start) >= 0) loads_.push_back(i);
  const int loads = static_cast<int>(loads_.size());

  // The last frame lasts until the next minute's first frame when that
  // minute follows on (within the gap rule), else one frame step.
  int lastEnd = -1;
  if (loads > 0 && nextFolder && nextFirstTime >= 0 && IsNextMinute(folder, nextFolder)) {
    const int end = 6000 + nextFirstTime;
    const int last = FrameTime(names_[loads_.back()].data(), nameLength);
    if (end - last <= kLongestGap) lastEnd = end;
  }

  if (stamp_) camera_ = StampCameraName(folder);
  Prefetcher* prefetcher = prefetcher_;
  if (prefetcher) {
    loadNames_.clear();
    for (int i : loads_) loadNames_.push_back(names_[i]);
    prefetcher->Begin(folder, loadNames_);
  }

  int written = 0;  // time up to which video has been written
  for (int k = 0; k < loads && stopRequested.load() == 0; ++k) {
    const char* name = names_[loads_[k]].data();
    const int t = FrameTime(name, nameLength);
    const int end = k + 1 < loads ? FrameTime(names_[loads_[k + 1]].data(), nameLength)
                    : lastEnd >= 0 ? lastEnd
                                   : t + frameStep;
    if (k == 0) written = t;
    char framePath[platform::kMaxPath];
    const bool pathFits = JoinPath(folder, name, framePath, sizeof framePath);
    ui_->SetStatusText(framePath);

    int result;
    const std::uint8_t* picture = picture_.data();
    if (prefetcher) {
      int w = 0, h = 0;
      result = prefetcher->Take(k, &w, &h, &picture);
      if (result == -1) result = Mismatch(w, h);
    } else {
      result = pathFits ? LoadFrame(framePath, false) : 0;
    }

    if (result == 0) {
      // Skipped: the next picture covers its time (written stays).
      LogWindow::Print("Decoding failed!");
      if (prefetcher) prefetcher->Release(k);
      continue;
    }
    if (result == -1) {
      LogWindow::Print("Different frame size");
      break;
    }
    ui_->StepProgress();
    if (stamp_) {
      // The picture is this job's (a ring slot or the picture buffer) until
      // it is released.
      StageTimer timer(profiling_, &jobProfile_.stampNs);
      RenderStamp(width, height, camera_,
                  start >= 0 ? StampTimeText(start + t) : std::string(name), &stampMask_);
      StampYuv420(const_cast<std::uint8_t*>(picture), width, height, stampMask_);
    }
    int repeats = 1;
    if (end - t > kLongestGap) {
      // A gap over 2 s is not filled: the picture once, and the video jumps.
      written = end;
    } else {
      // Repeated to cover the time until the next frame, on the output's
      // frame grid (rounded, so that time is kept whatever the spacing); a
      // picture is written at least once.
      repeats = std::max(1, (end - written + pictureStep_ / 2) / pictureStep_);
      written += repeats * pictureStep_;
    }
    for (int r = 0; r < repeats; ++r)
      if (!WritePicture(picture, repeats == 1 ? "failed to write file #1"
                                              : "failed to write file #2"))
        break;
    ++framesExported_;
    if (start >= 0) {
      if (firstExported_ < 0) firstExported_ = start + t;
      lastExported_ = start + t;
    }
    if (prefetcher) prefetcher->Release(k);
  }
  // Frames decoded ahead that are no longer wanted (a stop) are dropped.
  if (prefetcher) prefetcher->Abandon();
  return stopRequested.load() ? -1 : 1;
}

void ExportJob::Run() {
  running = 1;
  frameStep = 9999;
  frameCount = 0;
  fps_ = 0;
  outcome_ = Outcome::kNone;
  picturesWritten_ = 0;
  framesMeasured_ = 0;
  jobProfile_ = Profile();
  decodeProfile_ = Profile();
  hasRange_ = ui_->GetTimeRange(&rangeFrom_, &rangeTo_);
  outputPath_.clear();
  manifestPath_.clear();
  framesExported_ = 0;
  firstExported_ = lastExported_ = -1;
  stamp_ = ui_->GetTimeStamp();
  int count = ui_->FolderCount();
  ui_->SetStatusText(kCalculatingFps);

  // FPS pass: folders without frame names leave the list.
  char folder[platform::kMaxPath];
  bool stopped = false;
  firstTimes_.clear();
  for (int i = 0; i < count;) {
    const int step = ui_->GetFolder(i, folder, sizeof folder) ? MeasureFolder(folder) : 0;
    if (step < 1) {
      ui_->RemoveFolder(i);
      --count;
    } else {
      firstTimes_.push_back(firstTime_);
      ++i;
    }
    if (stopRequested.load()) {
      stopped = true;
      break;
    }
  }

  if (!stopped) {
    ui_->SetProgressRange(0, frameCount - 1);
    ui_->SetProgressStep(1);
    if (!Prepare()) {
      stopRequested = 1;  // ends as stopped: no "Completed."
    } else {
      std::unique_ptr<Prefetcher> prefetcher(pipelining_ ? new Prefetcher(this) : nullptr);
      prefetcher_ = prefetcher.get();
      count = ui_->FolderCount();
      sources_.clear();
      for (int i = 0; i < count; ++i)
        if (ui_->GetFolder(i, folder, sizeof folder)) sources_.push_back(folder);
      char next[platform::kMaxPath];
      bool haveNext = count > 0 && ui_->GetFolder(0, next, sizeof next);
      for (int i = 0; i < count; ++i) {
        const bool have = haveNext;
        if (have) std::memcpy(folder, next, sizeof folder);
        haveNext = i + 1 < count && ui_->GetFolder(i + 1, next, sizeof next);
        if (!have) continue;
        const int nextFirst =
            haveNext && i + 1 < static_cast<int>(firstTimes_.size()) ? firstTimes_[i + 1] : -1;
        if (EncodeFolder(folder, haveNext ? next : nullptr, nextFirst) == -1) {
          stopRequested = 1;
          break;
        }
      }
      prefetcher_ = nullptr;
    }
  }
  FinishJob();
}

void ExportJob::WriteChecksum() {
  ManifestInfo info;
  info.minuteFolders = sources_;
  info.frames = framesExported_;
  info.pictures = picturesWritten_;
  // The range asked for; an open end, or whole minutes, by the frames found.
  const bool known = firstExported_ >= 0;
  const WallTime from = hasRange_ && rangeFrom_ > INT64_MIN ? rangeFrom_ : firstExported_;
  const WallTime to = hasRange_ && rangeTo_ < INT64_MAX ? rangeTo_ : lastExported_;
  char a[32] = "?", b[32] = "?";
  if (known || hasRange_) {
    FormatWallTime(from, a, sizeof a);
    FormatWallTime(to, b, sizeof b);
  }
  info.timeRange = std::string(a) + " to " + b + (hasRange_ ? "" : " (whole minutes)");
  if (WriteManifest(outputPath_, info))
    manifestPath_ = outputPath_ + ".sha256";
  else
    LogWindow::Print("export: cannot write the checksum manifest %.200s.sha256", outputPath_.c_str());
}

void ExportJob::FinishJob() {
  if (file) vlib_file_close(file);
  if (codec) vlib_codec_free(codec);
  file = nullptr;
  codec = nullptr;
  // Every file kept gets its manifest: a cancelled export's part as well.
  if (picturesWritten_ > 0 && !outputPath_.empty()) WriteChecksum();
  // The outcome is settled before the button says the job is over: the
  // user-interface thread may read it as soon as it sees "Close".
  const bool completed = stopRequested.load() == 0;
  if (completed)
    outcome_ = Outcome::kCompleted;
  else if (outcome_.load() == Outcome::kNone)
    outcome_ = Outcome::kCancelled;
  framesMeasured_ = frameCount;
  if (completed) {
    ui_->SetStatusText(kCompleted);
    ui_->SetProgressPosition(frameCount - 1);
  }
  ui_->SetButtonText(kCloseText);
  stopRequested = 0;
  frameCount = 0;
  running = 0;
}
