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
  // Left, Right, Down, Up, Enter and Escape for the hot button.
  int OnKeyDown(WPARAM key);
  // Keys of the message loop, before they are translated: true when the
  // menu buttons took the message (F10, Alt, Alt+letter, keyboard mode).
  bool PreTranslate(const MSG& message);
  // F10 or a lone Alt: the first button hot, or the mode left.
  void ToggleKeyboardMode();
  void LeaveKeyboardMode();
  bool InKeyboardMode() const { return keyboardMode_; }
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
  bool keyboardMode_ = false;  // the buttons have the keys, the focus stays
  bool altAlone_ = false;      // Alt is down and no other key came since
  void SwitchTo(int index);
  void OpenByKeyboard(int index);
  static int MenuOfLetter(WPARAM key);  // the menu a letter names, or -1
};

class ToolButtonBar {
 public:
  explicit ToolButtonBar(const CommandTargets& targets);
  virtual ~ToolButtonBar();

  int Create(HWND host);
  int OnCommand(int id);
  int GetToolTipText(NMTTDISPINFOA* request);
  // Checks the button of the mode the selected windows share, else none.
  void ShowModeOfSelected();

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
