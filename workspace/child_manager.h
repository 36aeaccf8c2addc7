// The table of open video windows, their selection and the commands that
// reach several of them. The shell makes one and hands it the workspace and
// the user's view options; user-interface thread only.
//
// Lifetime: a window's destruction asks its playback thread to end
// (RequestUnload); the thread's last act posts to the manager's mailbox, and
// only then, on this thread, is the entry removed, the child destroyed and
// the finished thread joined. So the table is only ever changed and walked
// here, and no thread waits for another that may be waiting for it. A post
// that never arrives (a full queue) is made up for by a sweep, once a second
// while windows are going, for threads that have ended.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "playback/video_child.h"
#include "workspace/arrangement.h"
#include "workspace/search_regions.h"
#include "workspace/video_window.h"
#include "workspace/view_options.h"

struct vlib_node;

class ChildManager final : public VideoWindowHost {
 public:
  ChildManager();
  ~ChildManager() override;
  ChildManager(const ChildManager&) = delete;
  ChildManager& operator=(const ChildManager&) = delete;

  // The workspace (MDI client) that new video windows are made in.
  void SetWorkspace(HWND mdiClient);
  HWND workspace() const { return workspace_; }
  // The options new and open windows follow; null: the defaults. The
  // options outlive the manager.
  void SetViewOptions(const ViewOptions* options);

  // Opens a minute folder (no trailing separator) for a camera: into the
  // camera's window unless the overlapped option is on, else via Load.
  void OpenMinute(const char* folder, const char* dateText, const char* cameraName);
  int Load(HWND workspace, const char* folder, const char* dateText,
           const char* cameraName);
  // Removes a window's entry: ends and joins its thread, destroys the child
  // (and the window if it still exists). 0, or -1 if not in the table.
  int Unload(HWND child);
  // The window is going: its thread is asked to end; the entry goes when it
  // has. 0, or -1 if not in the table.
  int RequestUnload(HWND child) override;

  VideoChild* Find(HWND child) const;
  VideoChild* FindByTrackbar(HWND trackbar) const;
  VideoChild* FindByCamera(const char* cameraName) const;
  VideoWindow* FindView(HWND child) const;

  void Select(HWND child, bool exclusive) override;
  void SelectAll();
  bool IsSelected(HWND child) const;
  // Grouped windows take the mode through their clock.
  void SetModeOfSelected(PlaybackMode mode);
  // The mode every selected window is in; false when none is selected or
  // their modes differ.
  bool ModeOfSelected(PlaybackMode* mode) const;
  // Called on this thread after the selection or a window's mode may have
  // changed, by whatever path (the command bar shows the selected mode).
  void SetSelectionListener(std::function<void()> listener) { listener_ = std::move(listener); }
  // Synchronize on the selected windows (key S, the window's menu): what
  // the shell hands over (SynchronizeSelected of workspace/sync_commands.h).
  void SetSynchronizer(std::function<void()> synchronize) {
    synchronize_ = std::move(synchronize);
  }
  void Synchronize() override;
  // Next/Previous Activity on the selected windows (keys N and P, the
  // window's menu): what the shell hands over (an ActivitySearch's Start).
  void SetActivityStepper(std::function<void(activity::Direction)> step) {
    stepActivity_ = std::move(step);
  }
  void StepActivity(activity::Direction direction);
  // The search regions by camera (the shell points them at its registry key).
  SearchRegions& regions() { return regions_; }
  activity::Region SearchRegion(const std::string& camera) const override;
  // Also redraws every window of the camera.
  void SetSearchRegion(const std::string& camera, const activity::Region& region) override;
  int SetSize(SizeMode mode) override;  // on the selected windows
  void ArrangeGrid();
  void Cascade();
  void Tile();
  void ShowContextMenu(HWND child, int x, int y) override;
  bool Halftone() const override;
  bool Stretch() const override;

  // Mark In / Mark Out: the moment of the frame `child` shows (null: of the
  // first selected window that shows one) ends the workspace's range. 0, or
  // -1 when no window shows a known moment.
  int Mark(HWND child, bool isOut);
  // The marked range, for the timeline panel and "Export Range...".
  const MarkedRange& markedRange() const { return marks_; }
  const MarkedRange* Marks() const override { return &marks_; }
  // What "Export Range..." of a window's menu runs (set by the shell).
  void SetExportRangeAction(std::function<void()> action) { exportRange_ = std::move(action); }
  bool Command(HWND child, int id) override;

  // The Control menu of a window as ShowContextMenu shows it, with the ten
  // check-mark bitmaps it uses; Release frees both.
  struct ContextMenu {
    HMENU menu = nullptr;   // the loaded menu resource
    HMENU popup = nullptr;  // its "Control" popup
    HBITMAP bitmaps[10] = {};
    void Release();
  };
  ContextMenu MakeContextMenu(HWND child);

  // Keys for the selected windows: Space, Left/Right (a frame while
  // paused), Shift+Left/Right (fast), Home/End, S (Synchronize), I/O
  // (marks), N/P (next/previous activity). True when the key was used.
  bool HandleKey(int virtualKey) override;

  // Number of video windows loaded (windows whose thread has not yet ended
  // count until their entry is removed).
  int count() const { return loadCount_; }

  // Measurement point for benchmarks: given to every child Load makes,
  // before its thread starts.
  void SetFrameHook(VideoChild::FrameHook hook, void* context) {
    frameHook_ = hook;
    frameHookContext_ = context;
  }

  // Mailbox messages (posted by the views).
  LRESULT MailboxMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // Live views (window not yet destroyed), in table order.
  std::vector<VideoWindow*> Views() const;
  vlib_node* NodeOf(const VideoWindow* view) const;
  void Remove(vlib_node* node, bool log = true);
  // Removes the entries whose thread has ended (see the header's comment).
  void Sweep();
  HWND Mailbox();
  void StepSelected(int delta, bool toEnd);
  void TellListener() const {
    if (listener_) listener_();
  }

  MarkedRange marks_;
  std::function<void()> exportRange_;
  vlib_node* children_ = nullptr;
  int loadCount_ = 0;
  HWND workspace_ = nullptr;
  HWND mailbox_ = nullptr;
  const ViewOptions* options_;
  VideoChild::FrameHook frameHook_ = nullptr;
  void* frameHookContext_ = nullptr;
  std::function<void()> listener_;
  std::function<void()> synchronize_;
  std::function<void(activity::Direction)> stepActivity_;
  SearchRegions regions_;
};
