// The strip across the top of the main window: a rebar in an "ORVREBAR"
// host with two toolbars, four menu buttons that behave like a menu bar and
// eighteen picture buttons. Every command of the program reaches the host,
// whose two handlers carry it out on the windows the main window handed over
// (CommandTargets). UI thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

class ChildManager;
class FolderTree;
class SaveAsDialog;
class Settings;

// A panel that the View menu shows and hides (the timeline).
class PanelSwitch {
 public:
  virtual ~PanelSwitch() = default;
  virtual bool shown() const = 0;
  virtual void Toggle() = 0;
};

// What the commands act on; a command whose target is missing does nothing.
struct CommandTargets {
  ChildManager* windows = nullptr;  // the workspace's video windows
  FolderTree* folderTree = nullptr;
  SaveAsDialog* saveAs = nullptr;
  Settings* settings = nullptr;     // edited by Options
  const bool* windowsNT = nullptr;  // Options offers halftone only there
  PanelSwitch* timeline = nullptr;
};

class MenuButtonBar {
 public:
  explicit MenuButtonBar(const CommandTargets& targets);
  virtual ~MenuButtonBar();

  int Create(HWND host);
  int OnKeyDown(WPARAM key);
  int OnSysKeyDown(WPARAM key);
  int OnSysKeyUp(WPARAM key);
  int OpenMenu();
  int OnCommand(int id);

  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK MenuTrackHook(int code, WPARAM wParam, LPARAM lParam);

  // The hot button (keyboard mode), -1 when none.
  int HotIndex() const;
  void SetHotIndex(int index);
  // The popup the button at `index` drops down (first sub-menu of its menu).
  HMENU PopupOf(int index) const;
  // Index of the menu being tracked, -1 when none is open.
  int OpenIndex() const { return openIndex_; }

  HWND toolbar = nullptr;
  HHOOK hook = nullptr;
  HMENU menus[4] = {nullptr, nullptr, nullptr, nullptr};

 private:
  const CommandTargets& targets_;
  HWND host_ = nullptr;  // where chosen items and switches go
  int openIndex_ = -1;
  bool switching_ = false;  // the open menu closes to open a neighbour
  void SwitchTo(int index);
};

class ToolButtonBar {
 public:
  explicit ToolButtonBar(const CommandTargets& targets);
  virtual ~ToolButtonBar();

  int Create(HWND host);
  int OnCommand(int id);
  int GetToolTipText(NMTTDISPINFOA* request);

  int lastCommand = -1;
  HWND toolbar = nullptr;

 private:
  const CommandTargets& targets_;
  HIMAGELIST images_ = nullptr;
};

class CommandBar {
 public:
  CommandBar();
  virtual ~CommandBar();
  CommandBar(const CommandBar&) = delete;
  CommandBar& operator=(const CommandBar&) = delete;

  void SetTargets(const CommandTargets& targets) { targets_ = targets; }
  int Create(HWND parent, int width);
  int Resize(int width);
  int GetHeight() const { return height; }
  HWND GetHostWindow() const { return host; }
  int AddBand(HWND toolbar);

  static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam);

 private:
  CommandTargets targets_;  // before the bars, which refer to it

 public:
  HWND host = nullptr;
  HWND rebar = nullptr;
  int height = 0;
  MenuButtonBar menuButtons{targets_};
  ToolButtonBar toolButtons{targets_};

 private:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
