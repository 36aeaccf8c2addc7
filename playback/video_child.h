// The object behind one video window: the frame list of the minute it plays,
// its decoder, its picture and the playback engine that runs on a thread of
// its own.
//
// Threading model
// ---------------
// Two threads use a child: its playback thread (Run: Step, ShowFrame, minute
// changes) and the user-interface thread (SetMode, SetPosition, LoadFrameList
// when a minute is opened into it, ShowFrame for a paused child,
// GetViewState, Paint, the flags). Three locks of its own and a group's
// clock lock, never held while waiting for another thread, nor while
// reading the disc:
//
//   state    mode, position, frame list, folder, pacing anchor, quit flag.
//            Held for short bookkeeping only: lists are read into a list of
//            their own and swapped in under it. Released during the wait
//            between two frames (a condition variable's wait_until) and before
//            any call into the view.
//   decode   the FrameDecoder: one decode at a time, whichever thread asks.
//            Every picture is published under it, so a decode holding it
//            knows that the picture on show stays as it is. Frame files are
//            read before it is taken, and the bytes of the picture on show
//            are kept, so SetShownSize and PaintRecorded decode again without
//            a disc read and wait for one decode at most, never for a read.
//   picture  the published picture (header, pixels, size, time text, the
//            frame it shows), copied from the decoder under decode then
//            picture, and read by GetViewState and Paint. Held only for that
//            copy, those reads and the drawing inside Paint.
//   clock    a SyncClock's own lock (playback/sync_clock.h), for a child
//            that plays in a group. Taken alone or before a state lock
//            (the clock wakes its members under it), never under one.
//
// The view is only told that something changed (VideoView::Changed, never
// with a lock held); it pulls the state and the picture on its own thread.
// So the playback thread never waits for the user-interface thread, and the
// user-interface thread waits for the playback thread only for the length of
// one copy or one bookkeeping step.
//
// A mode change, position change, new minute or quit request wakes the
// playback thread at once, also in the middle of a long gap between two
// frames; the frame it was waiting to draw is then not drawn and the
// position goes back to it (unless the position itself was changed). Wakes
// are a counter and a flag checked under the state lock, so a wake that comes
// before the thread waits is not lost.
//
// Pacing: each frame is due at anchor + (sum of time-code gaps since the
// anchor) x delay factor on the steady clock, so decode and drawing time do
// not accumulate. The anchor is reset on a mode change, a position change, a
// new minute, and when more than a second behind (the stream skips ahead in
// time rather than racing to catch up).
//
// Synchronised: a child in a group (Synchronize) steps by the group's clock
// instead: it shows its last frame at or before the clock's moment and
// waits, released as above, until the moment reaches its next frame or the
// clock changes; the minute folders it needs are found and listed by its
// own thread with no lock held (FrameTrack).
//
// Ending and destruction
// ----------------------
// RequestQuit sets the quit flag and wakes the thread. The thread finishes
// the frame it is drawing, leaves Run, and calls the view's ThreadEnded as
// its very last use of the child. The owner then destroys the child from
// another thread (the program's user-interface thread, on the message
// ThreadEnded posts): the destructor requests quit and joins, which returns
// at once for a thread that has ended. The view must outlive the thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "playback/frame_decoder.h"
#include "playback/frame_track.h"
#include "playback/video_view.h"
#include "store/minute_frame_list.h"
#include "store/wall_clock.h"

class SyncClock;

enum class PlaybackMode : std::int32_t {
  FastRewind = 0,
  Rewind = 1,
  Forward = 2,
  FastForward = 3,
  Pause = 4,
};

// What the window shows of a child, pulled by the view after Changed.
struct ViewState {
  int sliderMaximum;   // slider range 0..sliderMaximum (0 for an empty list)
  // The frame shown, in every mode; 0 until a frame of the current list is
  // shown. The view leaves the thumb alone while the user drags it.
  int sliderPosition;
  char timeText[32];   // " HH : MM : SS CC" of the picture shown
  std::uint32_t pictureSerial;  // rises with every published picture
  PlaybackMode mode;   // the group's, for a synchronised child
  // Nothing recorded at the moment on show: the picture is black, and the
  // window writes "No recording" over it with the time text.
  bool noRecording = false;
  bool grouped = false;  // plays on a shared clock (SyncClock)
  WallTime moment = -1;  // of the picture on show; -1 when not known
};

// Draws the published picture (rows top-down, each rounded up to 4 bytes).
// Called by VideoChild::Paint with the picture lock held, on the thread that
// paints: it must not wait for another thread. Answers 0 or -1.
struct PictureSink {
  virtual int DrawPicture(const BitmapHeader& header,
                          const std::uint8_t* pixels) = 0;

 protected:
  ~PictureSink() = default;
};

// Frame step and delay factor (milliseconds per hundredth of a second of
// time code) of a playing mode; Pause has neither.
struct ModeSpeed {
  int frameStep;
  int delayFactor;
  bool backwards;
};
ModeSpeed SpeedOf(PlaybackMode mode);

// The time text " HH : MM : SS CC" from a minute folder path (hour and minute
// are its last two components) and a frame name (dashed names skip the '-').
// Characters that the path or name lacks show as '?'. Always terminated.
void FormatTimeText(const char* folder, const char* name, char* out,
                    std::size_t size);

class VideoChild {
 public:
  using Clock = std::chrono::steady_clock;
  // Measurement point for benchmarks: called on the playback thread after
  // each frame drawn by Run, with the time it was due and the time its
  // drawing ended.
  using FrameHook = void (*)(void* context, int index, Clock::time_point due,
                             Clock::time_point shown);

  // playContinuously: the overMinute option. The view may be set later
  // (SetView), but before StartThread.
  explicit VideoChild(bool playContinuously, VideoView* view = nullptr);
  virtual ~VideoChild();
  VideoChild(const VideoChild&) = delete;
  VideoChild& operator=(const VideoChild&) = delete;

  void SetView(VideoView* view) { view_.store(view); }

  // Replaces the frame list with the minute `folder` (no trailing separator).
  // 0, or -1 when it cannot be listed (the list is then empty). The folder
  // is listed before the state lock is taken; the view is then told (range
  // 0..count-1, thumb 0). Either thread.
  int LoadFrameList(const char* folder);

  // Decodes frame `index`, publishes it with its time text and tells the
  // view. 0, or -1 when the index is outside the list, the frame cannot be
  // read or decoded (the previous picture stays), or there is no view.
  int ShowFrame(int index);

  // Slider, time text, picture serial and mode as the view shows them
  // (short locks; the user-interface thread).
  void GetViewState(ViewState* out) const;

  // Hands the published picture to `sink` under the picture lock (WM_PAINT).
  // 0 (also when nothing has been decoded yet: nothing to draw), or the
  // sink's answer.
  int Paint(PictureSink& sink);

  // The size the window shows the picture at. Frames are decoded no finer
  // than that needs (a window at half size or smaller skips most of the
  // decoding). When the picture on show is now too coarse, its frame is
  // decoded again at once, on the calling thread, from the bytes it was
  // shown from: no disc read. 0 x 0: always whole.
  void SetShownSize(int width, int height);

  // The picture on show decoded again at its recorded size by a fresh
  // decoder, from the bytes it was shown from (no disc read, no wait for the
  // playback thread), with its time text (Save Picture). When those bytes do
  // not decode, the picture as shown. The sink's answer, or -1 when nothing
  // has been shown.
  int PaintRecorded(PictureSink& sink, char* timeText, std::size_t size);

  // Aimed at this child alone: each takes it out of its group first (it
  // goes on in the group's mode, then the command applies).
  void SetMode(PlaybackMode mode);
  void SetPosition(int index);

  // Plays on `clock` with the other members of its group, leaving any other
  // group first: the playback thread shows the child's last frame at or
  // before the clock's moment, loading the minute folder of its camera that
  // holds it (across hours and dates), or a black "No recording" picture
  // when the camera recorded nothing within 2 s before that moment (the
  // span rule's gap). The child's minute must be loaded first: its camera
  // is the minute folder's. Returns at once; the thread does the reading.
  void Synchronize(std::shared_ptr<SyncClock> clock);
  void Unsynchronize();
  std::shared_ptr<SyncClock> clock() const;
  // One child alone (leaving its group): its thread loads the minute that
  // holds `moment` and shows its last frame at or before it, or "No
  // recording"; playing goes on from there in the child's mode. Returns at
  // once (the timeline's click).
  void ShowMoment(WallTime moment);
  // The moment of the picture on show (-1 before the first, or when its
  // folder is not a minute folder of a backup).
  WallTime shownMoment() const;

  // One step of the engine: chooses the next frame, waits until it is due and
  // answers its index, or -1 for none (paused, an end reached, or woken by a
  // change before the frame was due). One thread steps at a time: the
  // playback thread, or a test driving the engine without it.
  int Step();

  // The body of the playback thread; answers 0 when the quit flag ends it.
  int Run();

  // Starts the playback thread (parked until a mode other than Pause is
  // set). 0, or -1 if it cannot be made or is already running.
  int StartThread();

  // Sets the quit flag and wakes the thread, parked or waiting for a frame.
  void RequestQuit();
  // Waits for the playback thread to end (not from the thread itself).
  void Join();

  PlaybackMode mode() const;  // the group's, for a synchronised child
  int position() const;
  int count() const;
  std::string folder() const;
  bool quitRequested() const;
  // Whether the playback thread is parked (paused and waiting to be woken).
  bool parked() const;

  bool playContinuously() const { return playContinuously_.load(); }
  void SetPlayContinuously(bool on) { playContinuously_.store(on); }
  void TogglePlayContinuously() { playContinuously_.store(!playContinuously_.load()); }

  bool dragging() const { return dragging_.load(); }
  void SetDragging(bool on) { dragging_.store(on); }

  bool selected() const { return selected_.load(); }
  void SetSelected(bool on) { selected_.store(on); }

  // Bounded copy: at most 259 characters are kept.
  void SetCameraName(const char* name);
  const char* cameraName() const { return cameraName_; }

  // Size of the last decoded picture (0 x 0 before the first).
  int pictureWidth() const;
  int pictureHeight() const;

  // Set before StartThread.
  void SetFrameHook(FrameHook hook, void* context);

  friend int FindNextMinute(VideoChild& child);
  friend int FindPreviousMinute(VideoChild& child);

 private:
  friend class SyncClock;
  // The clock changed (under the clock's lock: takes the state lock only).
  void ClockChanged();
  // Out of the group, going on in its mode; the view told when `notify`.
  void Leave(bool notify);
  // The black picture of a moment with nothing recorded.
  void PublishNoRecording(WallTime moment, std::uint64_t epoch);
  // What the child shows at a moment, and when that changes next.
  struct Sight;
  Sight SightAt(WallTime moment, PlaybackMode mode);
  // One step of a synchronised child, or of a moment asked for.
  void SyncStep(SyncClock* clock);
  bool AnswerStep(bool forward, WallTime from, WallTime* time);
  // Shows a sight; false when the child left or was moved meanwhile.
  bool ShowSight(const Sight& sight, WallTime moment, std::uint64_t epoch, bool keepPosition);
  // Reads and decodes `path`, publishing it as frame `index` of list
  // `listed` unless `list` (a list) or `epoch` (a group) changed meanwhile.
  int DecodeAndPublish(const char* path, const char* text, int index, std::uint64_t listed,
                       WallTime moment, const std::uint64_t* list, const std::uint64_t* epoch);
  // Step that also answers when the frame is due and which list it indexes.
  int StepUntilDue(Clock::time_point* due, std::uint64_t* list);
  // Its part under the state lock; `notify` when the view must be told (a
  // new list or a pause at an end).
  int StepLocked(std::unique_lock<std::mutex>& lock, Clock::time_point* due,
                 std::uint64_t* list, bool* notify);
  enum class Crossing { Crossed, End, Stale };
  // Past an end of the list with continuation: lists the neighbouring
  // recorded minute into next_ with the state lock released, and swaps it in
  // (Crossed) if nothing moved meanwhile. End when there is none; Stale when
  // the list, position, direction or quit flag changed while it listed.
  Crossing CrossMinute(std::unique_lock<std::mutex>& lock, bool backwards);
  int FindNeighbourMinute(bool backwards);
  // ShowFrame that publishes nothing when the list has been replaced since
  // `list` (a minute opened between a step and the end of its decoding).
  int ShowFrameOf(int index, const std::uint64_t* list);
  void SetModeLocked(PlaybackMode mode);
  void NotifyView();
  // Copies the decoder's picture into the published one; decode_ and
  // picture_ held.
  void PublishLocked(const char* path, const char* text);

  std::atomic<VideoView*> view_{nullptr};

  // Guarded by state_.
  mutable std::mutex state_;
  std::condition_variable wake_;
  MinuteFrameList list_;
  std::atomic<PlaybackMode> mode_{PlaybackMode::Pause};  // written under state_
  bool quit_ = false;
  bool parked_ = false;
  bool positionChosen_ = false;  // false after a load until a position is set
  // Any change that must cut a wait short; also read without the lock to
  // stop passing over empty minutes for a list no longer wanted.
  std::atomic<std::uint64_t> changes_{0};
  std::uint64_t moves_ = 0;      // position or list changes from outside
  // List loads, from either thread; written under state_, also read without
  // it to drop a picture of a list replaced while it was being decoded.
  std::atomic<std::uint64_t> lists_{0};
  bool anchored_ = false;
  std::shared_ptr<SyncClock> clock_;
  WallTime listStart_ = -1;   // the moment list_'s minute starts
  bool momentAsked_ = false;  // ShowMoment's request, for the thread
  WallTime askedMoment_ = 0;
  // Joins, leaves and moments asked for: a step of the group drops what it
  // was about to show when this moved on (written under state_).
  std::atomic<std::uint64_t> epoch_{0};
  // The stepping thread's own, for synchronised play.
  FrameTrack track_;
  std::uint64_t trackEpoch_ = ~std::uint64_t{0};
  std::uint64_t answered_ = 0;   // the clock's last step answered
  bool syncShown_ = false;       // something shown since trackEpoch_...
  bool syncShownNone_ = false;   // ..."No recording" or...
  WallTime syncShownTime_ = 0;   // ...the frame of this moment
  Clock::time_point syncDue_{};  // when the frame about to be shown was due
  // The stepping thread's own: the next minute is listed into it without the
  // state lock and swapped with list_ under it.
  MinuteFrameList next_;
  Clock::time_point anchor_{};
  Clock::duration sinceAnchor_{};

  // Guarded by decode_.
  std::mutex decode_;
  FrameDecoder decoder_;
  // The window's picture area; the decoder takes it before each decode.
  std::atomic<int> shownWidth_{0};
  std::atomic<int> shownHeight_{0};

  // Guarded by picture_.
  mutable std::mutex picture_;
  BitmapHeader header_{};
  std::vector<std::uint8_t> pixels_;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  char timeText_[32] = {};
  std::uint32_t pictureSerial_ = 0;
  int shownIndex_ = 0;          // the frame the picture shows...
  std::uint64_t shownList_ = 0;  // ...in the list loaded as this one
  char shownPath_[platform::kMaxPath] = {};  // ...read from this file
  // ...whose bytes are these (written under decode_ and picture_, so either
  // lock reads them): resizing and Save Picture decode them again without
  // reading the disc.
  FrameFile shownFile_;
  int pictureScale_ = 0;  // the decoder's scale of the picture
  WallTime shownMoment_ = -1;
  bool noRecording_ = false;

  std::atomic<bool> playContinuously_;
  std::atomic<bool> dragging_{false};
  std::atomic<bool> selected_{false};
  char cameraName_[platform::kMaxPath] = {};

  FrameHook frameHook_ = nullptr;
  void* frameHookContext_ = nullptr;

  std::thread thread_;
};

// The neighbouring minute folder of the child's camera: rewrites its folder
// (0), or -1 with the folder unchanged (also when another minute was opened
// during the search, which runs without the state lock). The caller loads
// the list after 0.
int FindNextMinute(VideoChild& child);
int FindPreviousMinute(VideoChild& child);
