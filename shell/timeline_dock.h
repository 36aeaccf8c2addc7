// The timeline panel as the main window docks it: under the workspace, its
// height dragged by its top edge, shown or hidden by the View menu, both
// kept in the settings' registry key. It answers the panel's questions
// from the video windows and the folder tree. User-interface thread only.
#pragma once

#include <windows.h>

#include "shell/command_bar.h"
#include "timeline/timeline_panel.h"

class ChildManager;
class FolderTree;
class Settings;

class TimelineDock final : public TimelineHost, public PanelSwitch {
 public:
  TimelineDock(ChildManager& windows, FolderTree& tree, Settings& settings);

  // Makes the panel in the main window as the stored choice says.
  void Create(HWND mainWindow);
  // Pixels it takes at the bottom of the main window (0 when hidden).
  int height() const;
  // Puts it across the given columns at the bottom of a client area that
  // is `clientHeight` high.
  void Place(int left, int width, int clientHeight);
  // The choice and height to the registry.
  void Save() const;
  TimelinePanel& panel() { return panel_; }

  bool shown() const override { return shown_; }
  void Toggle() override;

  std::vector<TimelineRow> Rows() override;
  WallTime SelectedMoment() override;
  void MoveSelectedTo(WallTime moment) override;
  void HeightDragged(int height) override;
  void Marks(WallTime* in, WallTime* out) override;

 private:
  void Relayout();
  // The tree's selected item: its camera folder and the day of its date
  // (-1 when it is above a date).
  bool TreeSelection(std::string* camera, WallTime* day) const;

  ChildManager& windows_;
  FolderTree& tree_;
  Settings& settings_;
  TimelinePanel panel_;
  HWND main_ = nullptr;
  bool shown_ = false;
  int height_ = kTimelineDefaultHeight;
};
