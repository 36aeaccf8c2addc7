// The folder tree panel ("ORVTREEVIEW"): root selector, browse button and
// the tree of cameras, dates, hours and minutes. One global instance.
#pragma once

#include <windows.h>

class FolderTree {
 public:
  FolderTree();
  virtual ~FolderTree();
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;

  // Creates the panel at the left of `parent`, below the command bar.
  int Create(HINSTANCE instance, HWND parent, int height);
  // A value of 0 or less keeps the current width or height.
  int Resize(int width, int height);
  int Refresh();
  int BrowseForRoot();
  int SetRoot(const char* root);
  int LoadRootList();
  int SaveRootList();

  HWND window() const { return window_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HWND window_ = nullptr;
  int width_ = 210;
  int height_ = 600;
};

extern FolderTree g_folderTree;
