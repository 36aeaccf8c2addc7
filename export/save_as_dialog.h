// The modeless Save As dialog (template 141) that composes an export, and
// the modal progress dialog (template 142) that runs it. One global instance.
#pragma once

#include <windows.h>

class SaveAsDialog {
 public:
  SaveAsDialog();
  virtual ~SaveAsDialog();
  SaveAsDialog(const SaveAsDialog&) = delete;
  SaveAsDialog& operator=(const SaveAsDialog&) = delete;

  // Creates the dialog hidden, owned by `owner` (the main window).
  int Create(HWND owner);
  // Shows it (the "&Save As..." command).
  void Show();
  HWND window() const { return window_; }

  // Drag and drop from the folder tree (screen point; folder path).
  int IsDropPoint(const POINT* point) const;
  int AddDroppedFolder(const char* folder);
  int UpdateSaveButton();

 private:
  HWND window_ = nullptr;
};

extern SaveAsDialog g_saveAsDialog;
