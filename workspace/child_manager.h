// The table of open video windows, their selection and the commands that
// reach several of them. One global instance; user-interface thread only.
#pragma once

#include <windows.h>

#include "playback/video_child.h"

enum class SizeMode : int { Half = 0, Original = 1, Double = 2, Fit = 3 };

class ChildManager {
 public:
  ChildManager();
  virtual ~ChildManager();
  ChildManager(const ChildManager&) = delete;
  ChildManager& operator=(const ChildManager&) = delete;

  // The workspace (MDI client) that new video windows are made in.
  void SetWorkspace(HWND mdiClient);

  // Opens a minute folder (no trailing separator) for a camera: into the
  // camera's window unless the overlapped option is on, else via Load.
  void OpenMinute(const char* folder, const char* dateText, const char* cameraName);
  int Load(HWND workspace, const char* folder, const char* dateText,
           const char* cameraName);
  int Unload(HWND child);
  int RequestUnload(HWND child);

  VideoChild* Find(HWND child) const;
  VideoChild* FindByTrackbar(HWND trackbar) const;
  VideoChild* FindByCamera(const char* cameraName) const;

  void Select(HWND child, bool exclusive);
  void SelectAll();
  bool IsSelected(HWND child) const;
  void SetModeOfSelected(PlaybackMode mode);
  int SetSize(SizeMode mode);  // on the selected windows
  void ArrangeGrid();
  void ShowContextMenu(HWND child, int x, int y);

  // Number of video windows in the table.
  int count() const;
};

extern ChildManager g_childManager;
