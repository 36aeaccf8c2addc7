#include "tree/folder_tree.h"

// Placeholder until the folder tree arrives: no panel, no roots.
FolderTree::FolderTree() = default;
FolderTree::~FolderTree() = default;
int FolderTree::Create(HINSTANCE, HWND, int height) { height_ = height; return 1; }
int FolderTree::Resize(int width, int height) {
  if (width > 0) width_ = width;
  if (height > 0) height_ = height;
  return 1;
}
int FolderTree::Refresh() { return 0; }
int FolderTree::BrowseForRoot() { return 0; }
int FolderTree::SetRoot(const char* root) { return root != nullptr ? 1 : 0; }
int FolderTree::LoadRootList() { return 0; }
int FolderTree::SaveRootList() { return 0; }
