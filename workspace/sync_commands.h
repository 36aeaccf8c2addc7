// Commands that reach the video windows as one group: Synchronize, the
// timeline's click, and what the timeline shows of each window.
// User-interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "store/wall_clock.h"

class ChildManager;
class VideoChild;

// One video window as the timeline draws it.
struct WindowSight {
  HWND window = nullptr;
  VideoChild* child = nullptr;
  std::string camera;  // the camera folder of its minute (no trailing separator)
  std::string name;    // the camera's name as the tree gave it
  WallTime moment = -1;
  bool selected = false;
  bool grouped = false;
  bool active = false;  // the workspace's active window (the focus)
};

// The open video windows, in the workspace's z-order.
std::vector<WindowSight> SightsOfWindows(const ChildManager& windows);

// The selected windows (and the active one) jump to the active window's
// moment and from then on play on one shared clock: the active window's
// group's clock when it has one, so that Synchronize again brings back a
// window that left.
void SynchronizeSelected(ChildManager& windows);

// The selected windows to a wall-clock moment: each shows its last frame at
// or before it (or "No recording"); a group moves on its clock.
void MoveSelectedTo(ChildManager& windows, WallTime moment);

// The camera folder of a minute folder path (…\camera\date\HH\MM).
std::string CameraOfMinuteFolder(const std::string& folder);
