// The "MDIVideoChild" window: one video window of the workspace, its picture
// view and its strip (time text and trackbar).
//
// The playback thread never touches a window. It tells the view that
// something changed (Changed: one post to the manager's mailbox, coalesced by
// a flag), and the user-interface thread pulls the slider, the time text and
// the picture serial from the child and repaints. Its last act, ThreadEnded,
// is one more post; the user-interface thread then removes the window's
// entry, destroys the child and joins the finished thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "activity/activity.h"
#include "playback/video_child.h"
#include "workspace/arrangement.h"
#include "workspace/marks.h"

// Commands of a video window's own menu beyond the Control menu's items.
constexpr int kCmdSavePicture = 32820;

// The window procedure of the "MDIVideoChild" class, registered by the main
// window code with the other classes.
LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam);

// What a video window asks of the manager that made it (ChildManager). The
// defaults are those of a window on its own: keys and sizes do nothing.
class VideoWindowHost {
 public:
  virtual ~VideoWindowHost() = default;
  // A click on the window (Ctrl held: `exclusive` false).
  virtual void Select(HWND, bool) {}
  // Keys for the selected windows; true when the key was used.
  virtual bool HandleKey(int) { return false; }
  virtual void ShowContextMenu(HWND, int, int) {}
  // A size command of the window's menu, for the selected windows.
  virtual int SetSize(SizeMode) { return -1; }
  // The window is going: its playback is to end.
  virtual int RequestUnload(HWND) { return -1; }
  // Synchronize on the selected windows (the context menu's item).
  virtual void Synchronize() {}
  // Whether pictures are stretched with halftone.
  virtual bool Halftone() const { return false; }
  // Whether pictures fill the window whatever their proportions (else they
  // keep them, with black bars).
  virtual bool Stretch() const { return false; }
  // A command of the window's menu the window does not carry out itself
  // (marks, Export Range); true when used.
  virtual bool Command(HWND, int) { return false; }
  // The workspace's marked range, shown on the strip; null: none.
  virtual const MarkedRange* Marks() const { return nullptr; }
  // The search region of a camera folder (empty: none), drawn as an outline
  // on each of its windows; a drag on one of them sets it (empty: removes).
  virtual activity::Region SearchRegion(const std::string&) const { return {}; }
  virtual void SetSearchRegion(const std::string&, const activity::Region&) {}
};

// Messages the views post to the manager's mailbox; lParam is the view.
constexpr UINT kMsgViewChanged = WM_APP + 0x41;
constexpr UINT kMsgViewEnded = WM_APP + 0x42;

class VideoWindow final : public VideoView, public PictureSink {
 public:
  // `host`: the manager that made it, which outlives it; `mailbox`: the
  // manager's message-only window that gets the posts.
  VideoWindow(VideoWindowHost& host, HWND mailbox);
  ~VideoWindow() override;
  VideoWindow(const VideoWindow&) = delete;
  VideoWindow& operator=(const VideoWindow&) = delete;

  // VideoView: any thread, never waits.
  void Changed() override;
  void ThreadEnded() override;
  // Whether the playback thread has ended (its last act has begun).
  bool ended() const { return ended_.load(); }

  // Takes ownership of the child (made after the window exists).
  void Attach(std::unique_ptr<VideoChild> child);
  VideoChild* child() const { return child_.get(); }

  // The window, null once destroyed; its handle value stays for the log.
  HWND window() const { return window_; }
  std::intptr_t windowId() const { return windowId_; }
  HWND trackbar() const { return trackbar_; }
  HWND timeLabel() const { return timeLabel_; }

  // Camera and date of the title ("%s   [ %s ]"); `folder` is the minute
  // first played, whose date the title follows when playing moves on.
  void SetTitleParts(const char* camera, const char* date, const char* folder);
  // A minute opened into this window ("Same window for a camera"): it
  // plays from its first frame, and a paused window shows that frame, its
  // time text and its date in the title at once.
  void OpenMinute(const char* folder);
  // Size probed from the folder, used until a picture is decoded.
  void SetProbedSize(int width, int height);
  int pictureWidth() const;
  int pictureHeight() const;

  void CreateStrip();
  void Layout(int width, int height);
  // Pulls the child's view state and brings the strip, title and picture up
  // to date (the mailbox's kMsgViewChanged).
  void Refresh();
  void SetSelected(bool on);
  bool selected() const { return selected_; }

  // Shows frame `index` at once if the child is paused (trackbar, keys).
  void ShowIfPaused(int index);
  // Writes the picture on screen as a 24-bit BMP, or a PNG when `path` ends
  // in ".png"; `stamp`: with the camera and time burned in. 0, or -1 (logged).
  int SavePicture(const char* path, bool stamp = false);
  // Asks for a file name with the standard dialog and saves there.
  void SavePictureWithDialog();

  // Pictures drawn by WM_PAINT so far (what reached the screen).
  long paints() const { return paints_; }

  // "Set Search Region": the next drag on the picture sets the camera's
  // region; Escape, a lost mouse or a drag that covers none of the picture
  // cancels it.
  void ArmRegionDrag();

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnNcCreate(HWND window);
  void OnNcDestroy();
  // Lets go of a window that is to outlive this object (at exit).
  void ForgetWindow();

  // The trackbar's pressed-button handling (subclass procedure).
  LRESULT TrackbarMessage(HWND bar, UINT message, WPARAM wParam, LPARAM lParam);

  // PictureSink: draws on the paint DC under the child's picture lock.
  int DrawPicture(const BitmapHeader& header, const std::uint8_t* pixels) override;

 private:
  void Paint();
  void DrawSelectionBorder();
  void DrawNoRecording(HDC dc, const char* timeText);
  // The camera's search region, or the rectangle being dragged, over the
  // picture.
  void DrawRegion(HDC dc);
  // Mouse and keys while a region is armed or dragged; true when used.
  bool RegionMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void EndRegionDrag(bool commit);
  std::string Camera() const;
  // Where the picture is drawn in the client area (black bars around it).
  Rect PictureArea() const;
  void UpdateTitle(const char* date);
  // The user holds the thumb on frame `index` (a press or a drag): the
  // picture stands on it until the press ends.
  void HoldThumb(int index);
  // The press on the trackbar ends (release, end of drag or lost mouse):
  // playing goes on from the frame the thumb was let go on.
  void EndPress();
  // Shows the host's marked range on the trackbar as its selection.
  void ShowMarks(const std::string& folder, int maximum);

  VideoWindowHost& host_;
  HWND mailbox_;
  std::atomic<bool> pending_{false};
  std::atomic<bool> ended_{false};
  std::unique_ptr<VideoChild> child_;

  HWND window_ = nullptr;
  std::intptr_t windowId_ = 0;
  HWND trackbar_ = nullptr;
  HWND spacer_ = nullptr;
  HWND timeLabel_ = nullptr;
  HFONT font_ = nullptr;
  int labelWidth_ = 75;  // the time text's column (see LayoutStrip)
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  int probedWidth_ = 352;
  int probedHeight_ = 240;

  // The window's own state (user-interface thread): its selection, and the
  // frame under the held thumb of its trackbar until the press ends (-1:
  // none).
  bool selected_ = false;
  int pressedPosition_ = -1;

  // What the strip and title show now (user-interface thread).
  int shownMaximum_ = -1;
  int shownPosition_ = -1;
  std::uint32_t shownSerial_ = 0;
  char shownText_[32] = {};
  bool grouped_ = false;  // the strip's label marks the group
  std::string camera_;
  std::string folderDate_;  // date of the minute the title was made for

  int shownMarks_[2] = {-1, -1};  // the trackbar's selection; -1: none
  enum class RegionDrag { kNone, kArmed, kDragging };
  RegionDrag regionDrag_ = RegionDrag::kNone;
  POINT dragFrom_{}, dragTo_{};
  long paints_ = 0;
  // Set around Paint: where DrawPicture draws, and whether it drew.
  HDC paintDc_ = nullptr;
  Rect drawRect_{};
  bool drew_ = false;
};
