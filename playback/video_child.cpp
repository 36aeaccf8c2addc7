#include "playback/video_child.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/log.h"
#include "store/navigation.h"

namespace {

// Further behind than this, a stream skips ahead in time instead of racing
// through the frames it missed.
constexpr std::chrono::seconds kMaxLag{1};

bool IsPlaying(PlaybackMode mode) {
  return mode == PlaybackMode::FastRewind || mode == PlaybackMode::Rewind ||
         mode == PlaybackMode::Forward || mode == PlaybackMode::FastForward;
}

}  // namespace

VideoView::~VideoView() = default;

ModeSpeed SpeedOf(PlaybackMode mode) {
  switch (mode) {
    case PlaybackMode::FastRewind: return {3, 3, true};
    case PlaybackMode::Rewind: return {1, 10, true};
    case PlaybackMode::Forward: return {1, 10, false};
    case PlaybackMode::FastForward: return {3, 3, false};
    case PlaybackMode::Pause: break;
  }
  return {0, 0, false};
}

void FormatTimeText(const char* folder, const char* name, char* out,
                    std::size_t size) {
  if (out == nullptr || size == 0) return;
  if (folder == nullptr) folder = "";
  if (name == nullptr) name = "";
  const std::size_t folderLength = std::strlen(folder);
  const std::size_t nameLength = std::strlen(name);
  // The k-th character from the end of the folder path (1 = last).
  auto fromEnd = [&](std::size_t k) {
    return folderLength >= k ? folder[folderLength - k] : '?';
  };
  auto nameAt = [&](std::size_t i) { return i < nameLength ? name[i] : '?'; };
  const bool dashed = nameLength > 2 && name[2] == '-';
  const std::size_t hundredths = dashed ? 3 : 2;
  std::snprintf(out, size, " %c%c : %c%c : %c%c %c%c", fromEnd(5), fromEnd(4),
                fromEnd(2), fromEnd(1), nameAt(0), nameAt(1),
                nameAt(hundredths), nameAt(hundredths + 1));
}

VideoChild::VideoChild(bool playContinuously, VideoView* view)
    : view_(view),
      pixels_(kFrameBufferSize, 0),
      playContinuously_(playContinuously) {}

VideoChild::~VideoChild() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Destroyed from the thread's own last call: it returns right after.
    thread_.detach();
  } else {
    RequestQuit();
    thread_.join();
  }
}

int VideoChild::LoadFrameList(const char* folder) {
  // Listed without the state lock: the playback thread goes on meanwhile.
  MinuteFrameList fresh;
  const int result = fresh.Load(folder, nullptr);
  {
    std::lock_guard<std::mutex> lock(state_);
    list_.Swap(fresh);
    positionChosen_ = false;
    anchored_ = false;
    ++changes_;
    ++moves_;
    ++lists_;
    wake_.notify_all();
  }
  NotifyView();
  return result;
}

int VideoChild::ShowFrame(int index) { return ShowFrameOf(index, nullptr); }

int VideoChild::ShowFrameOf(int index, const std::uint64_t* list) {
  char path[platform::kMaxPath];
  char text[sizeof timeText_];
  std::uint64_t listed;
  {
    std::lock_guard<std::mutex> lock(state_);
    listed = lists_;
    if (list != nullptr && *list != listed) return -1;
    if (index < 0 || index >= list_.count()) return -1;
    if (!list_.FramePath(index, path, sizeof path)) return -1;
    FormatTimeText(list_.folder(), list_.name(index), text, sizeof text);
  }
  // Read before the decoder is taken: a slow disc holds up this thread only,
  // never a resize or Save Picture on the user-interface thread. The
  // buffer is the thread's own and swaps with the shown frame's bytes.
  thread_local FrameFile file;
  if (FrameDecoder::Read(path, file) != 0) return -1;
  {
    std::lock_guard<std::mutex> decodeLock(decode_);
    decoder_.SetShownSize(shownWidth_.load(), shownHeight_.load());
    if (decoder_.Decode(file) != 0) return -1;
    std::lock_guard<std::mutex> pictureLock(picture_);
    // A minute opened while this frame was read: the frame belongs to no
    // list shown any more.
    if (list != nullptr && *list != lists_.load()) return -1;
    PublishLocked(path, text);
    shownFile_.Swap(file);
    shownIndex_ = index;
    shownList_ = listed;
  }
  VideoView* view = view_.load();
  if (view == nullptr) {
    LogWindow::Print("Not available child");
    return -1;
  }
  view->Changed();
  return 0;
}

void VideoChild::PublishLocked(const char* path, const char* text) {
  const std::size_t bytes = static_cast<std::size_t>(decoder_.stride()) *
                            static_cast<std::size_t>(decoder_.height());
  if (bytes > pixels_.size()) pixels_.resize(bytes);  // grows once
  if (bytes > 0) std::memcpy(pixels_.data(), decoder_.pixels(), bytes);
  header_ = decoder_.header();
  pictureWidth_ = decoder_.pictureWidth();
  pictureHeight_ = decoder_.pictureHeight();
  pictureScale_ = decoder_.scale();
  if (text != timeText_) std::memcpy(timeText_, text, sizeof timeText_);
  if (path != shownPath_) std::snprintf(shownPath_, sizeof shownPath_, "%s", path);
  ++pictureSerial_;
}

void VideoChild::SetShownSize(int width, int height) {
  shownWidth_.store(width);
  shownHeight_.store(height);
  // Only a picture now too coarse waits for the decoder (which may be busy
  // reading a frame from the disc): shown smaller, the next frame follows.
  {
    std::lock_guard<std::mutex> pictureLock(picture_);
    if (pictureSerial_ == 0 ||
        FrameDecoder::ScaleFor(pictureWidth_, pictureHeight_, width, height) >= pictureScale_) {
      return;
    }
  }
  {
    // Decoded from the bytes of the frame on show: no disc read.
    std::lock_guard<std::mutex> decodeLock(decode_);
    decoder_.SetShownSize(shownWidth_.load(), shownHeight_.load());
    {
      std::lock_guard<std::mutex> pictureLock(picture_);
      if (decoder_.ScaleFor(pictureWidth_, pictureHeight_) >= pictureScale_) return;
    }
    if (shownFile_.size == 0 || decoder_.Decode(shownFile_) != 0) return;  // the coarse picture stays
    std::lock_guard<std::mutex> pictureLock(picture_);
    PublishLocked(shownPath_, timeText_);
  }
  NotifyView();
}

int VideoChild::PaintRecorded(PictureSink& sink, char* timeText, std::size_t size) {
  // A decoder of its own, on the bytes the picture on show was decoded
  // from: the playback thread's decoder and the disc are not waited for.
  FrameFile file;
  char path[platform::kMaxPath];
  {
    std::lock_guard<std::mutex> pictureLock(picture_);
    if (pictureSerial_ == 0 || header_.biWidth == 0) return -1;
    std::memcpy(path, shownPath_, sizeof path);
    if (timeText != nullptr && size > 0) std::snprintf(timeText, size, "%s", timeText_);
    file.bytes = shownFile_.bytes;
    file.size = shownFile_.size;
  }
  FrameDecoder whole;
  if (file.size > 0 && whole.Decode(file) == 0 && whole.header().biWidth > 0) {
    return sink.DrawPicture(whole.header(), whole.pixels());
  }
  LogWindow::Print("picture of '%s' not decoded again: saved as shown", path);
  std::lock_guard<std::mutex> pictureLock(picture_);
  return sink.DrawPicture(header_, pixels_.data());
}

void VideoChild::GetViewState(ViewState* out) const {
  if (out == nullptr) return;
  std::uint64_t listed;
  {
    std::lock_guard<std::mutex> lock(state_);
    out->sliderMaximum = std::max(list_.count() - 1, 0);
    listed = lists_;
  }
  out->mode = mode_.load();
  std::lock_guard<std::mutex> lock(picture_);
  // A picture of an earlier list leaves the thumb at the new list's start.
  out->sliderPosition = shownList_ == listed ? shownIndex_ : 0;
  std::memcpy(out->timeText, timeText_, sizeof out->timeText);
  out->pictureSerial = pictureSerial_;
}

int VideoChild::Paint(PictureSink& sink) {
  std::lock_guard<std::mutex> lock(picture_);
  if (header_.biWidth == 0) return 0;  // nothing decoded yet: nothing to draw
  return sink.DrawPicture(header_, pixels_.data());
}

void VideoChild::NotifyView() {
  VideoView* view = view_.load();
  if (view != nullptr) view->Changed();
}

void VideoChild::SetMode(PlaybackMode mode) {
  if (!IsPlaying(mode) && mode != PlaybackMode::Pause) {
    LogWindow::Print("unknown playback mode %d", static_cast<int>(mode));
    return;
  }
  bool changed;
  {
    std::lock_guard<std::mutex> lock(state_);
    changed = mode_.load() != mode;
    SetModeLocked(mode);
  }
  if (changed) NotifyView();
}

void VideoChild::SetModeLocked(PlaybackMode mode) {
  const ModeSpeed speed = SpeedOf(mode);
  if (IsPlaying(mode) && list_.position == -1) {
    if (!speed.backwards) {
      list_.position = 0;
      positionChosen_ = true;
    } else if (list_.count() > 0) {
      list_.position = list_.count() - 1;
      positionChosen_ = true;
    }
  }
  if (mode_.load() != mode) {
    mode_.store(mode);
    anchored_ = false;
    ++changes_;
    wake_.notify_all();
  }
}

void VideoChild::SetPosition(int index) {
  std::lock_guard<std::mutex> lock(state_);
  list_.position = index;
  positionChosen_ = true;
  anchored_ = false;
  ++changes_;
  ++moves_;
  wake_.notify_all();
}

int VideoChild::Step() {
  Clock::time_point due;
  std::uint64_t list;
  return StepUntilDue(&due, &list);
}

int VideoChild::StepUntilDue(Clock::time_point* due, std::uint64_t* list) {
  bool notify = false;
  int answer;
  {
    std::unique_lock<std::mutex> lock(state_);
    answer = StepLocked(lock, due, list, &notify);
  }
  if (notify) NotifyView();
  return answer;
}

int VideoChild::StepLocked(std::unique_lock<std::mutex>& lock,
                           Clock::time_point* dueOut, std::uint64_t* listOut,
                           bool* notify) {
  const PlaybackMode mode = mode_.load();
  if (quit_ || !IsPlaying(mode)) return -1;
  const ModeSpeed speed = SpeedOf(mode);

  // A list loaded from outside and no position set yet (a minute opened
  // into a playing child, before its SetPosition): start at the end the
  // mode starts from, rather than taking -1 for "passed the first frame".
  if (!positionChosen_) {
    positionChosen_ = true;
    if (list_.position < 0) {
      list_.position = speed.backwards ? list_.count() - 1 : 0;
    }
  }

  const bool pastEnd = speed.backwards ? list_.position < 0
                                       : list_.position >= list_.count();
  if (pastEnd) {
    const Crossing crossing = playContinuously_.load()
                                  ? CrossMinute(lock, speed.backwards)
                                  : Crossing::End;
    if (crossing == Crossing::Stale) return -1;  // the caller steps again
    *notify = true;
    if (crossing == Crossing::End) {
      // Back on the frame shown last (or the end frame, for a position set
      // beyond the list).
      if (speed.backwards) {
        list_.position += speed.frameStep;
        if (list_.count() > 0) list_.position = std::max(list_.position, 0);
      } else {
        list_.position -= speed.frameStep;
        if (list_.count() > 0) list_.position = std::min(list_.position, list_.count() - 1);
      }
      SetModeLocked(PlaybackMode::Pause);
      return -1;
    }
  }
  const int shown = list_.position;
  list_.position = shown + (speed.backwards ? -speed.frameStep : speed.frameStep);

  const int next = list_.position;
  const int count = list_.count();
  const bool shownInList = shown >= 0 && shown < count;
  const Clock::time_point now = Clock::now();
  if (!anchored_) {
    anchor_ = now;
    sinceAnchor_ = Clock::duration::zero();
    anchored_ = true;
  }
  if (shownInList && next >= 0 && next < count) {
    const int gap = std::abs(list_.TimeCodeAt(shown) - list_.TimeCodeAt(next));
    sinceAnchor_ += std::chrono::milliseconds(
        static_cast<long long>(gap) * speed.delayFactor);
  }
  Clock::time_point due = anchor_ + sinceAnchor_;
  if (now - due > kMaxLag) {
    anchor_ = now;
    sinceAnchor_ = Clock::duration::zero();
    due = now;
  }

  const std::uint64_t changes = changes_;
  const std::uint64_t moves = moves_;
  if (due > now) {
    // Releases the state lock while waiting.
    wake_.wait_until(lock, due, [&] { return quit_ || changes_ != changes; });
  }
  if (quit_ || changes_ != changes) {
    // Woken before the frame was due: it is not drawn, and unless the
    // position was moved from outside, playing resumes from it.
    if (moves_ == moves) list_.position = shown;
    return -1;
  }
  if (!shownInList) return -1;
  *dueOut = due;
  *listOut = lists_;
  return shown;
}

VideoChild::Crossing VideoChild::CrossMinute(std::unique_lock<std::mutex>& lock,
                                             bool backwards) {
  char folder[platform::kMaxPath];
  std::memcpy(folder, list_.folder(), sizeof folder);
  const std::uint64_t lists = lists_.load();
  const std::uint64_t moves = moves_;
  const std::uint64_t changes = changes_.load();
  lock.unlock();
  // A disc may take seconds to list: mode, position and view state stay
  // free meanwhile. Minutes that hold no frame are passed over.
  bool found = false;
  bool cut = false;
  while ((backwards ? FindPreviousMinute(folder) : FindNextMinute(folder)) == 0) {
    if (next_.Load(folder, nullptr) == 0) {
      found = true;
      break;
    }
    if (changes_.load() != changes) {
      cut = true;  // no longer wanted, most likely: decided below
      break;
    }
  }
  lock.lock();
  const PlaybackMode mode = mode_.load();
  if (cut || quit_ || lists_.load() != lists || moves_ != moves ||
      !IsPlaying(mode) || SpeedOf(mode).backwards != backwards) {
    return Crossing::Stale;
  }
  if (!found) return Crossing::End;
  // No gap is waited between the last frame of one minute and the first of
  // the next.
  list_.Swap(next_);
  ++lists_;
  anchored_ = false;
  list_.position = backwards ? list_.count() - 1 : 0;
  return Crossing::Crossed;
}

int VideoChild::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(state_);
      if (quit_) break;
    }
    Clock::time_point due;
    std::uint64_t list = 0;
    const int index = StepUntilDue(&due, &list);
    if (index < 0) {
      std::unique_lock<std::mutex> lock(state_);
      if (!quit_ && mode_.load() == PlaybackMode::Pause) {
        parked_ = true;
        wake_.wait(lock, [this] {
          return quit_ || mode_.load() != PlaybackMode::Pause;
        });
        parked_ = false;
      }
      continue;
    }
    ShowFrameOf(index, &list);
    if (frameHook_ != nullptr) {
      frameHook_(frameHookContext_, index, due, Clock::now());
    }
  }
  return 0;
}

int VideoChild::StartThread() {
  if (thread_.joinable()) return -1;
  try {
    thread_ = std::thread([this] {
      Run();
      VideoView* view = view_.load();
      // May destroy this child: nothing of it is touched afterwards.
      if (view != nullptr) view->ThreadEnded();
    });
  } catch (const std::system_error& error) {
    LogWindow::Print("playback thread cannot be made: %s", error.what());
    return -1;
  }
  return 0;
}

void VideoChild::RequestQuit() {
  std::lock_guard<std::mutex> lock(state_);
  quit_ = true;
  ++changes_;
  wake_.notify_all();
}

void VideoChild::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

int VideoChild::position() const {
  std::lock_guard<std::mutex> lock(state_);
  return list_.position;
}

int VideoChild::count() const {
  std::lock_guard<std::mutex> lock(state_);
  return list_.count();
}

std::string VideoChild::folder() const {
  std::lock_guard<std::mutex> lock(state_);
  return list_.folder();
}

bool VideoChild::quitRequested() const {
  std::lock_guard<std::mutex> lock(state_);
  return quit_;
}

bool VideoChild::parked() const {
  std::lock_guard<std::mutex> lock(state_);
  return parked_;
}

void VideoChild::SetCameraName(const char* name) {
  std::snprintf(cameraName_, sizeof cameraName_, "%s", name ? name : "");
}

int VideoChild::pictureWidth() const {
  std::lock_guard<std::mutex> lock(picture_);
  return pictureWidth_;
}

int VideoChild::pictureHeight() const {
  std::lock_guard<std::mutex> lock(picture_);
  return pictureHeight_;
}

void VideoChild::SetFrameHook(FrameHook hook, void* context) {
  frameHook_ = hook;
  frameHookContext_ = context;
}

int VideoChild::FindNeighbourMinute(bool backwards) {
  char folder[platform::kMaxPath];
  std::uint64_t lists;
  {
    std::lock_guard<std::mutex> lock(state_);
    std::memcpy(folder, list_.folder(), sizeof folder);
    lists = lists_.load();
  }
  // Searched without the lock, as the playback thread searches.
  if ((backwards ? ::FindPreviousMinute(folder) : ::FindNextMinute(folder)) != 0) return -1;
  std::lock_guard<std::mutex> lock(state_);
  if (lists_.load() != lists) return -1;  // another minute came meanwhile
  std::memcpy(list_.folderBuffer(), folder, sizeof folder);
  return 0;
}

int FindNextMinute(VideoChild& child) { return child.FindNeighbourMinute(false); }

int FindPreviousMinute(VideoChild& child) { return child.FindNeighbourMinute(true); }
