#include "playback/video_child.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/log.h"
#include "playback/late_pictures.h"
#include "playback/sync_clock.h"
#include "store/navigation.h"

namespace {

// Further behind than this, a stream skips ahead in time instead of racing
// through the frames it missed.
constexpr std::chrono::seconds kMaxLag{1};

bool IsPlaying(PlaybackMode mode) {
  return mode == PlaybackMode::FastRewind || mode == PlaybackMode::Rewind ||
         mode == PlaybackMode::Forward || mode == PlaybackMode::FastForward;
}

// The span rule's largest gap between two frames of one recording: a
// camera whose last frame is older than this at a moment recorded nothing
// then.
constexpr WallTime kHold = 2 * kHundredthsPerSecond;
constexpr WallTime kNever = INT64_MAX;
// Three pictures of a camera at 25 a second.
constexpr WallTime kFastRefresh = 12;

// The moment a minute folder's list starts; -1 for a folder that is not a
// minute folder of a backup.
WallTime ListStart(const char* folder) {
  WallTime start = -1;
  return MinuteFolderStart(folder, &start) ? start : -1;
}

// The camera folder of a minute folder (…/camera/date/HH/MM); empty when the
// path is not one.
std::string CameraOf(const char* folder) {
  if (BackupLevelOf(folder) != 5) return {};
  std::string camera(folder);
  for (int level = 0; level < 3; ++level) {
    while (!camera.empty() && platform::IsPathSeparator(camera.back())) camera.pop_back();
    while (!camera.empty() && !platform::IsPathSeparator(camera.back())) camera.pop_back();
  }
  while (camera.size() > 1 && platform::IsPathSeparator(camera.back())) camera.pop_back();
  return camera;
}

// " HH : MM : SS CC" of a moment, as FormatTimeText writes a frame's.
void FormatMomentText(WallTime moment, char* out, std::size_t size) {
  const CivilTime c = SplitWallTime(moment);
  std::snprintf(out, size, " %02d : %02d : %02d %02d", c.hour, c.minute, c.second, c.hundredths);
}

}  // namespace

VideoView::~VideoView() = default;

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
  Leave(false);
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
  Leave(true);
  MinuteFrameList fresh;
  const int result = fresh.Load(folder, nullptr);
  const WallTime start = ListStart(fresh.folder());
  {
    std::lock_guard<std::mutex> lock(state_);
    list_.Swap(fresh);
    listStart_ = start;
    ++epoch_;
    positionChosen_ = false;
    held_ = false;  // a new minute: the thumb's frame is gone
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
  WallTime moment = -1;
  {
    std::lock_guard<std::mutex> lock(state_);
    listed = lists_;
    if (list != nullptr && *list != listed) return -1;
    if (index < 0 || index >= list_.count()) return -1;
    if (!list_.FramePath(index, path, sizeof path)) return -1;
    FormatTimeText(list_.folder(), list_.name(index), text, sizeof text);
    if (listStart_ >= 0) moment = listStart_ + list_.TimeCodeAt(index);
  }
  return DecodeAndPublish(path, text, index, listed, moment, list, nullptr);
}

int VideoChild::DecodeAndPublish(const char* path, const char* text, int index,
                                 std::uint64_t listed, WallTime moment,
                                 const std::uint64_t* list, const std::uint64_t* epoch) {
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
    // Left the group or moved meanwhile: the frame is no longer wanted.
    if (epoch != nullptr && *epoch != epoch_.load()) return -1;
    PublishLocked(path, text);
    shownFile_.Swap(file);
    shownIndex_ = index;
    shownList_ = listed;
    shownMoment_ = moment;
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
  noRecording_ = false;
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
  std::shared_ptr<SyncClock> clock;
  {
    std::lock_guard<std::mutex> lock(state_);
    out->sliderMaximum = std::max(list_.count() - 1, 0);
    listed = lists_;
    clock = clock_;
  }
  out->grouped = clock != nullptr;
  out->mode = clock ? clock->mode() : mode_.load();
  std::lock_guard<std::mutex> lock(picture_);
  // A picture of an earlier list leaves the thumb at the new list's start.
  out->sliderPosition = shownList_ == listed ? shownIndex_ : 0;
  std::memcpy(out->timeText, timeText_, sizeof out->timeText);
  out->pictureSerial = pictureSerial_;
  out->noRecording = noRecording_;
  out->moment = shownMoment_;
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
  Leave(true);
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

void VideoChild::Hold(int index) {
  Leave(true);
  std::lock_guard<std::mutex> lock(state_);
  if (held_ && list_.position == index) return;  // the thumb did not move
  ++epoch_;
  list_.position = index;
  positionChosen_ = true;
  held_ = true;
  heldShown_ = false;
  anchored_ = false;
  ++changes_;
  ++moves_;
  wake_.notify_all();
}

void VideoChild::SetPosition(int index) {
  Leave(true);
  std::lock_guard<std::mutex> lock(state_);
  held_ = false;
  ++epoch_;
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

  if (held_) {
    // Under the user's thumb: its frame once, at once, and no step past it.
    // The position stays the thumb's, never "played through the minute".
    if (heldShown_ || list_.position < 0 || list_.position >= list_.count()) return -1;
    heldShown_ = true;
    *dueOut = Clock::now();
    *listOut = lists_;
    return list_.position;
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
  listStart_ = ListStart(list_.folder());
  ++lists_;
  anchored_ = false;
  list_.position = backwards ? list_.count() - 1 : 0;
  return Crossing::Crossed;
}

int VideoChild::Run() {
  for (;;) {
    std::shared_ptr<SyncClock> clock;
    bool asked;
    {
      std::lock_guard<std::mutex> lock(state_);
      if (quit_) break;
      clock = clock_;
      asked = momentAsked_;
    }
    if (clock || asked) {
      SyncStep(clock.get());
      continue;
    }
    Clock::time_point due;
    std::uint64_t list = 0;
    const int index = StepUntilDue(&due, &list);
    if (index < 0) {
      std::unique_lock<std::mutex> lock(state_);
      if (!quit_ && mode_.load() == PlaybackMode::Pause && !clock_ && !momentAsked_) {
        parked_ = true;
        wake_.wait(lock, [this] {
          return quit_ || mode_.load() != PlaybackMode::Pause || clock_ || momentAsked_;
        });
        parked_ = false;
      } else if (!quit_ && held_ && heldShown_ && !clock_ && !momentAsked_) {
        // Standing on the held frame until the thumb moves or is let go.
        const std::uint64_t changes = changes_;
        wake_.wait(lock, [&] { return quit_ || changes_ != changes; });
      }
      continue;
    }
    ShowFrameOf(index, &list);
    const Clock::time_point shown = Clock::now();
    NotePictureShown(due, shown);
    if (frameHook_ != nullptr) frameHook_(frameHookContext_, index, due, shown);
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

// ---------------------------------------------------------------------------
// Synchronised play and moments.

struct VideoChild::Sight {
  bool recorded = false;
  WallTime time = 0;  // of the frame shown
  WallTime minuteStart = 0;
  int index = -1;
  const MinuteFrameList* list = nullptr;  // valid until the track lists again
  WallTime next = kNever;  // when the picture changes next, in the mode asked
};

PlaybackMode VideoChild::mode() const {
  const std::shared_ptr<SyncClock> group = clock();
  return group ? group->mode() : mode_.load();
}

std::shared_ptr<SyncClock> VideoChild::clock() const {
  std::lock_guard<std::mutex> lock(state_);
  return clock_;
}

WallTime VideoChild::shownMoment() const {
  std::lock_guard<std::mutex> lock(picture_);
  return shownMoment_;
}

void VideoChild::ClockChanged() {
  std::lock_guard<std::mutex> lock(state_);
  ++changes_;
  wake_.notify_all();
}

void VideoChild::Synchronize(std::shared_ptr<SyncClock> clock) {
  if (!clock || this->clock() == clock) return;
  Leave(false);
  clock->Add(this);
  {
    std::lock_guard<std::mutex> lock(state_);
    clock_ = std::move(clock);
    momentAsked_ = false;
    ++epoch_;
    ++changes_;
    wake_.notify_all();
  }
  NotifyView();
}

void VideoChild::Unsynchronize() { Leave(true); }

void VideoChild::Leave(bool notify) {
  const std::shared_ptr<SyncClock> group = clock();
  if (!group) return;
  // Read before the state lock: the clock's lock is never taken under it.
  const PlaybackMode groupMode = group->mode();
  {
    std::lock_guard<std::mutex> lock(state_);
    if (clock_ != group) return;
    clock_.reset();
    ++epoch_;
    SetModeLocked(groupMode);
    anchored_ = false;
    ++changes_;
    wake_.notify_all();
  }
  group->Remove(this);
  if (notify) NotifyView();
}

void VideoChild::ShowMoment(WallTime moment) {
  Leave(true);
  std::lock_guard<std::mutex> lock(state_);
  momentAsked_ = true;
  askedMoment_ = moment;
  ++epoch_;
  ++changes_;
  ++moves_;
  wake_.notify_all();
}

VideoChild::Sight VideoChild::SightAt(WallTime moment, PlaybackMode mode) {
  Sight sight;
  const ModeSpeed speed = SpeedOf(mode);
  // Fast modes show a new picture no more often than every kFastRefresh of
  // the recording, as the engine's frame step does at 25 pictures a second;
  // backwards, the picture is taken that much ahead, so it is never later
  // than the moment.
  const WallTime refresh = speed.frameStep > 1 ? kFastRefresh : 0;
  const WallTime look = speed.backwards ? moment - refresh : moment;
  const FrameTrack::Frame frame = track_.LastAtOrBefore(look, kHold);
  const FrameTrack::Minute& minute = track_.MinuteAt(look);  // kept: no listing
  if (frame.minute != nullptr) {
    sight.recorded = true;
    sight.time = frame.time;
    sight.minuteStart = frame.minute->start;
    sight.index = frame.index;
    sight.list = &frame.minute->list;
  }
  if (!IsPlaying(mode)) return sight;
  const std::vector<WallTime>& times = minute.times;
  const auto after = std::upper_bound(times.begin(), times.end(), look);
  if (speed.backwards) {
    if (sight.recorded && frame.minute == &minute) {
      sight.next = frame.time - 1;  // the last moment it is at or before
    } else if (!sight.recorded && after != times.begin()) {
      sight.next = *(after - 1) + kHold + refresh;  // back within a recording
    } else {
      sight.next = minute.start - 1 + refresh;  // on into the minute before
    }
    // The time text of "No recording" goes on by whole seconds.
    if (!sight.recorded) sight.next = std::max(sight.next, moment - moment % 100 - 1);
  } else {
    sight.next = after != times.end() ? *after : minute.start + kHundredthsPerMinute;
    if (sight.recorded) sight.next = std::min(sight.next, frame.time + kHold + 1);
    sight.next = std::max(sight.next, moment + refresh);
    if (!sight.recorded) sight.next = std::min(sight.next, moment - moment % 100 + 100);
  }
  return sight;
}

bool VideoChild::ShowSight(const Sight& sight, WallTime moment, std::uint64_t epoch,
                           bool alone) {
  if (sight.recorded) {
    if (syncShown_ && !syncShownNone_ && syncShownTime_ == sight.time) return false;
    char path[platform::kMaxPath];
    char text[sizeof timeText_];
    std::uint64_t listed;
    {
      std::lock_guard<std::mutex> lock(state_);
      if (epoch_.load() != epoch) return false;
      if (listStart_ != sight.minuteStart) {
        list_.CopyFrom(*sight.list);
        listStart_ = sight.minuteStart;
        ++lists_;
      }
      // Where the child goes on from when it leaves the group.
      list_.position = sight.index;
      positionChosen_ = true;
      anchored_ = false;
      listed = lists_;
      if (!list_.FramePath(sight.index, path, sizeof path)) return false;
      FormatTimeText(list_.folder(), list_.name(sight.index), text, sizeof text);
    }
    syncShown_ = true;
    syncShownNone_ = false;
    syncShownTime_ = sight.time;  // also when it fails to decode: not read again and again
    return DecodeAndPublish(path, text, sight.index, listed, sight.time, nullptr, &epoch) == 0;
  }
  if (!syncShown_ || !syncShownNone_ || syncShownTime_ / 100 != moment / 100) {
    syncShown_ = true;
    syncShownNone_ = true;
    syncShownTime_ = moment;
    PublishNoRecording(moment, epoch);
  }
  if (alone) {
    // Playing on goes from the first frame after the moment.
    const FrameTrack::Frame next = track_.FirstAfter(moment);
    std::lock_guard<std::mutex> lock(state_);
    if (next.minute != nullptr && epoch_.load() == epoch) {
      if (listStart_ != next.minute->start) {
        list_.CopyFrom(next.minute->list);
        listStart_ = next.minute->start;
        ++lists_;
      }
      list_.position = next.index;
      positionChosen_ = true;
      anchored_ = false;
    }
  }
  return false;
}

void VideoChild::PublishNoRecording(WallTime moment, std::uint64_t epoch) {
  {
    std::lock_guard<std::mutex> decodeLock(decode_);
    std::lock_guard<std::mutex> pictureLock(picture_);
    if (epoch_.load() != epoch) return;
    if (header_.biWidth <= 0) {
      header_ = BitmapHeader{};
      header_.biSize = sizeof(BitmapHeader);
      header_.biWidth = 16;  // any size: the window stretches it
      header_.biHeight = -12;
      header_.biPlanes = 1;
      header_.biBitCount = 24;
    }
    const std::size_t stride =
        (3 * static_cast<std::size_t>(header_.biWidth) + 3) & ~std::size_t{3};
    const std::size_t bytes = stride * static_cast<std::size_t>(-header_.biHeight);
    if (bytes > pixels_.size()) pixels_.resize(bytes);
    std::memset(pixels_.data(), 0, bytes);
    FormatMomentText(moment, timeText_, sizeof timeText_);
    shownPath_[0] = '\0';
    shownFile_.size = 0;
    noRecording_ = true;
    shownMoment_ = moment;
    ++pictureSerial_;
  }
  NotifyView();
}

bool VideoChild::AnswerStep(bool forward, WallTime from, WallTime* time) {
  const FrameTrack::Frame frame =
      forward ? track_.FirstAfter(from) : track_.LastAtOrBefore(from - 1, -1);
  *time = frame.time;
  return frame.minute != nullptr;
}

void VideoChild::SyncStep(SyncClock* clock) {
  // Taken before the clock is read: a change after it cuts the wait short.
  const std::uint64_t changes = changes_.load();
  std::uint64_t epoch;
  bool asked = false;
  WallTime askedMoment = 0;
  char folder[platform::kMaxPath];
  {
    std::lock_guard<std::mutex> lock(state_);
    epoch = epoch_.load();
    if (clock == nullptr) {
      asked = momentAsked_;
      askedMoment = askedMoment_;
      momentAsked_ = false;
    }
    std::memcpy(folder, list_.folder(), sizeof folder);
  }
  if (epoch != trackEpoch_) {
    trackEpoch_ = epoch;
    syncShown_ = false;
    syncDue_ = Clock::now();
    track_.SetCamera(CameraOf(folder));
  }
  if (clock == nullptr) {
    if (asked) ShowSight(SightAt(askedMoment, PlaybackMode::Pause), askedMoment, epoch, true);
    return;
  }

  const SyncClock::Reading reading = clock->Read();
  if (reading.step != 0 && reading.step != answered_) {
    answered_ = reading.step;
    WallTime time = 0;
    const bool found = AnswerStep(reading.stepForward, reading.stepFrom, &time);
    clock->Answer(reading.step, this, found, time);  // the last answer wakes the group
  }
  const WallTime moment = reading.MomentAt(Clock::now());
  const Sight sight = SightAt(moment, reading.mode);
  if (ShowSight(sight, moment, epoch, false)) {
    const Clock::time_point shown = Clock::now();
    NotePictureShown(syncDue_, shown);
    if (frameHook_ != nullptr) frameHook_(frameHookContext_, sight.index, syncDue_, shown);
  }

  std::unique_lock<std::mutex> lock(state_);
  const auto woken = [&] { return quit_ || changes_.load() != changes; };
  if (sight.next == kNever) {
    parked_ = !IsPlaying(reading.mode);
    wake_.wait(lock, woken);
    parked_ = false;
    syncDue_ = Clock::now();
    return;
  }
  const Clock::time_point due = reading.DueAt(sight.next);
  wake_.wait_until(lock, due, woken);
  syncDue_ = woken() ? Clock::now() : due;
}
