// The two small modal dialogs of the command bar: Options (template 145)
// edits and saves the three options; About (template 103) shows the title
// and version.
#pragma once

#include <windows.h>

class Settings;

class OptionsDialog {
 public:
  OptionsDialog(HWND owner, Settings& settings, bool windowsNT);
  virtual ~OptionsDialog();
  // Modal, owned by `owner` (the workspace), over its corner; edits and saves
  // `settings`. Halftone is offered only on `windowsNT`. Returns the
  // dialog's result.
  static INT_PTR Run(HWND owner, Settings& settings, bool windowsNT);
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  INT_PTR OnInitDialog(HWND dialog);
  INT_PTR OnCommand(HWND dialog, int id);

  HWND owner_;
  Settings& settings_;
  bool windowsNT_;
};

class AboutDialog {
 public:
  AboutDialog();
  virtual ~AboutDialog();
  static INT_PTR Run(HWND owner);
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

// The About text: the title and the version joined by one blank; the version
// is the program file's own (its version resource's ProductVersion).
#define APP_TITLE "Orvanel"
