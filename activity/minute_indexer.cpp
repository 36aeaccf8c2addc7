#include "activity/minute_indexer.h"

#include <algorithm>
#include <cstring>

#include "platform/log.h"
#include "platform/platform.h"
#include "store/layout.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace activity {

namespace {

// Pictures the still scene starts from, spread over the minute.
constexpr std::size_t kStartSamples = 9;
constexpr int kLastTimeCode = 5999;
// The decoder's 1/8 scale.
constexpr int kLowres = 3;

std::uint64_t Mix(std::uint64_t h, const void* data, std::size_t size) {
  const auto* b = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    h ^= b[i];
    h *= 1099511628211ull;
  }
  return h;
}

// A JPEG ends with its end-of-image marker; a file cut short has none.
// Inside the coded data 0xFF is always followed by 0x00 or a restart
// marker, so 0xFF 0xD9 near the end can only be the real end.
bool EndsLikeJpeg(const std::uint8_t* data, std::size_t size) {
  const std::size_t from = size > 64 ? size - 64 : 0;
  for (std::size_t i = size; i-- > from + 1;)
    if (data[i - 1] == 0xFF && data[i] == 0xD9) return true;
  return false;
}

}  // namespace

int MinuteListing::List(const std::string& folder) {
  frames.clear();
  millisecondNames = false;
  key = 1469598103934665603ull;
  if (!platform::WriteTime(folder.c_str(), &folderTime)) folderTime = 0;
  std::vector<platform::DirEntry> entries;
  int error = 0;
  if (platform::ListDirectory(folder.c_str(), "*.jpg", entries, &error, true) != 0) {
    if (error == platform::kErrorFileNotFound && platform::IsDirectory(folder.c_str())) return 0;
    LogWindow::Print("activity: cannot list %.200s (error %d)", folder.c_str(), error);
    return -1;
  }
  for (const platform::DirEntry& e : entries) {
    if (e.isDirectory || e.name.size() >= kFrameNameSize ||
        folder.size() + 1 + e.name.size() > kLongestPath)
      continue;
    FrameFileInfo info;
    std::memcpy(info.name.data(), e.name.c_str(), e.name.size() + 1);
    info.size = e.size;
    info.modified = e.modified;
    frames.push_back(info);
    if (IsMillisecondName(e.name.c_str())) millisecondNames = true;
  }
  std::stable_sort(frames.begin(), frames.end(), [](const FrameFileInfo& a, const FrameFileInfo& b) {
    return CompareFrameNames(a.name.data(), b.name.data()) < 0;
  });
  for (const FrameFileInfo& f : frames) {
    key = Mix(key, f.name.data(), std::strlen(f.name.data()) + 1);
    key = Mix(key, &f.size, sizeof f.size);
    key = Mix(key, &f.modified, sizeof f.modified);
  }
  return 0;
}

int MinuteListing::TimeOf(std::size_t i) const {
  return std::min(std::max(TimeCode(frames[i].name.data(), millisecondNames), 0), kLastTimeCode);
}

void DirectSource::Begin(const std::vector<std::string>& paths) {
  paths_ = &paths;
  next_ = 0;
}

bool DirectSource::Next(const FrameFile** file, const char** why) {
  *file = &file_;
  *why = why_;
  file_.size = 0;
  return FrameDecoder::Read((*paths_)[next_++].c_str(), file_, why_, sizeof why_) == 0;
}

ReadAheadSource::ReadAheadSource() : thread_([this] { Run(); }) {}

ReadAheadSource::~ReadAheadSource() {
  {
    std::lock_guard<platform::HandOffMutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadAheadSource::WaitIdle(std::unique_lock<platform::HandOffMutex>& lock) {
  // A read in progress writes into a slot: let it finish before the slots
  // change hands.
  changed_.wait(lock, [this] { return !busy_; });
}

void ReadAheadSource::Begin(const std::vector<std::string>& paths) {
  {
    std::unique_lock<platform::HandOffMutex> lock(mutex_);
    WaitIdle(lock);
    paths_ = paths;
    read_ = taken_ = done_ = 0;
  }
  changed_.notify_all();
}

void ReadAheadSource::End() {
  std::unique_lock<platform::HandOffMutex> lock(mutex_);
  paths_.clear();
  read_ = taken_ = done_ = 0;
  WaitIdle(lock);
}

bool ReadAheadSource::Next(const FrameFile** file, const char** why) {
  std::unique_lock<platform::HandOffMutex> lock(mutex_);
  done_ = taken_;  // the caller is through with the file before
  changed_.notify_all();
  changed_.wait(lock, [this] { return read_ > taken_; });
  Slot& slot = slots_[taken_++ % kSlots];
  *file = &slot.file;
  *why = slot.why;
  return slot.ok;
}

void ReadAheadSource::Run() {
  std::unique_lock<platform::HandOffMutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return quit_ || (read_ < paths_.size() && read_ < done_ + kSlots);
    });
    if (quit_) return;
    const std::string path = paths_[read_];
    Slot& slot = slots_[read_ % kSlots];
    busy_ = true;
    lock.unlock();
    slot.why[0] = 0;
    slot.ok = FrameDecoder::Read(path.c_str(), slot.file, slot.why, sizeof slot.why) == 0;
    lock.lock();
    busy_ = false;
    if (!paths_.empty()) ++read_;  // not when End came meanwhile
    changed_.notify_all();
  }
}

MinuteIndexer::MinuteIndexer()
    : decoder_(av::OpenMjpegDecoder(kLowres)), packet_(av_packet_alloc()), frame_(av_frame_alloc()) {
  if (decoder_) decoder_->max_pixels = static_cast<std::int64_t>(kMaxPictureSide) * kMaxPictureSide;
}

bool MinuteIndexer::DecodeSmall(const FrameFile& file, std::vector<std::uint8_t>& luma,
                                int* width, int* height, const char** why) {
  if (!decoder_ || !packet_ || !frame_) {
    *why = "no MJPEG decoder in this FFmpeg build";
    return false;
  }
  if (file.size == 0) {
    *why = "empty file";
    return false;
  }
  if (!EndsLikeJpeg(file.bytes.data(), file.size)) {
    *why = "cut short (no end of picture)";
    return false;
  }
  const int got = av::DecodeJpeg(decoder_.get(), packet_.get(), frame_.get(), file.bytes.data(),
                                 file.size);
  if (got <= 0) {
    *why = got == 0 ? "no complete picture" : "not a JPEG picture or damaged";
    return false;
  }
  const AVPixFmtDescriptor* desc =
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame_->format));
  const bool lumaPlane = desc != nullptr && !(desc->flags & AV_PIX_FMT_FLAG_RGB) &&
                         desc->comp[0].plane == 0 && desc->comp[0].step == 1 &&
                         desc->comp[0].depth == 8;
  *width = decoder_->coded_width > 0 ? decoder_->coded_width : frame_->width << kLowres;
  *height = decoder_->coded_height > 0 ? decoder_->coded_height : frame_->height << kLowres;
  const int w = (*width + kSmallScale - 1) / kSmallScale;
  const int h = (*height + kSmallScale - 1) / kSmallScale;
  bool ok = false;
  if (!lumaPlane) {
    *why = "not a picture with a luma plane";
  } else if (*width > kMaxPictureSide || *height > kMaxPictureSide || frame_->width != w ||
             frame_->height != h) {
    *why = "picture size out of range";
  } else {
    luma.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      std::memcpy(&luma[static_cast<std::size_t>(y) * w],
                  frame_->data[0] + static_cast<std::ptrdiff_t>(y) * frame_->linesize[0],
                  static_cast<std::size_t>(w));
    ok = true;
  }
  av_frame_unref(frame_.get());
  return ok;
}

bool MinuteIndexer::Index(const std::string& folder, const MinuteListing& listing,
                          FrameSource& source, const std::atomic<bool>* stop, MinuteIndex* out) {
  out->Clear();
  out->folder = folder;
  out->key = listing.key;
  out->folderTime = listing.folderTime;
  const std::size_t n = listing.frames.size();
  out->files = static_cast<std::uint32_t>(n);
  out->times.resize(n);
  out->damaged.assign(n, 0);
  out->first.assign(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) out->times[i] = static_cast<std::uint16_t>(listing.TimeOf(i));
  if (n == 0) return true;

  // The samples come first, the others after in play order; each file is
  // read once, the samples' pictures kept for when play order reaches them.
  std::vector<std::size_t> samples;
  for (std::size_t k = 0; k < std::min(n, kStartSamples); ++k) {
    const std::size_t i = n <= kStartSamples ? k : (2 * k + 1) * n / (2 * kStartSamples);
    if (samples.empty() || samples.back() != i) samples.push_back(i);
  }
  std::vector<std::string> paths;
  std::vector<int> sampleSlot(n, -1);
  for (std::size_t k = 0; k < samples.size(); ++k) sampleSlot[samples[k]] = static_cast<int>(k);
  for (std::size_t i : samples) paths.push_back(folder + platform::kPathSeparator + listing.frames[i].name.data());
  for (std::size_t i = 0; i < n; ++i)
    if (sampleSlot[i] < 0) paths.push_back(folder + platform::kPathSeparator + listing.frames[i].name.data());
  source.Begin(paths);

  auto stopped = [&] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
  // Reads and decodes the next file; a frame that gives no picture of the
  // minute's size is damaged.
  auto next = [&](std::size_t frame, std::vector<std::uint8_t>& luma) {
    const FrameFile* file = nullptr;
    const char* why = "";
    int w = 0, h = 0;
    bool ok = source.Next(&file, &why) && DecodeSmall(*file, luma, &w, &h, &why);
    if (ok && out->width == 0) {
      out->width = w;
      out->height = h;
    } else if (ok && (w != out->width || h != out->height)) {
      ok = false;
      why = "picture size differs from the minute's";
    }
    if (!ok) {
      out->damaged[frame] = 1;
      LogWindow::Print("activity: %.200s%c%s damaged (%s): counted as no change", folder.c_str(),
                       platform::kPathSeparator, listing.frames[frame].name.data(), why);
    }
    return ok;
  };

  std::vector<std::vector<std::uint8_t>> samplePictures(samples.size());
  std::vector<const std::uint8_t*> good;
  for (std::size_t k = 0; k < samples.size(); ++k) {
    if (stopped()) {
      source.End();
      return false;
    }
    if (next(samples[k], samplePictures[k])) good.push_back(samplePictures[k].data());
  }
  bool started = !good.empty();
  if (started) model_.Start(good, out->smallWidth(), out->smallHeight());

  int previous = -1;
  for (std::size_t i = 0; i < n; ++i) {
    out->first[i] = static_cast<std::uint32_t>(out->changes.size());
    const std::vector<std::uint8_t>* picture = &picture_;
    if (sampleSlot[i] >= 0) {
      picture = &samplePictures[static_cast<std::size_t>(sampleSlot[i])];
    } else {
      if (stopped()) {
        source.End();
        return false;
      }
      next(i, picture_);
    }
    if (out->damaged[i]) continue;
    if (!started) {  // every sample was damaged: start from the first good picture
      model_.Start({picture->data()}, out->smallWidth(), out->smallHeight());
      started = true;
    }
    const int t = out->times[i];
    const double seconds = previous < 0 ? 0.0 : std::max(0, t - previous) / 100.0;
    previous = t;
    model_.Compare(picture->data(), seconds, cells_);
    out->changes.insert(out->changes.end(), cells_.begin(), cells_.end());
  }
  out->first[n] = static_cast<std::uint32_t>(out->changes.size());
  return true;
}

}  // namespace activity
