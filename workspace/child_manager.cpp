#include "workspace/child_manager.h"

// Placeholder until the video windows arrive: an empty table, so every
// command has nothing to act on.
ChildManager::ChildManager() = default;
ChildManager::~ChildManager() = default;
void ChildManager::SetWorkspace(HWND) {}
void ChildManager::OpenMinute(const char*, const char*, const char*) {}
int ChildManager::Load(HWND, const char*, const char*, const char*) { return -1; }
int ChildManager::Unload(HWND) { return -1; }
int ChildManager::RequestUnload(HWND) { return -1; }
VideoChild* ChildManager::Find(HWND) const { return nullptr; }
VideoChild* ChildManager::FindByTrackbar(HWND) const { return nullptr; }
VideoChild* ChildManager::FindByCamera(const char*) const { return nullptr; }
void ChildManager::Select(HWND, bool) {}
void ChildManager::SelectAll() {}
bool ChildManager::IsSelected(HWND) const { return false; }
void ChildManager::SetModeOfSelected(PlaybackMode) {}
int ChildManager::SetSize(SizeMode mode) {
  return static_cast<int>(mode) >= 0 && static_cast<int>(mode) <= 3 ? 0 : -1;
}
void ChildManager::ArrangeGrid() {}
void ChildManager::ShowContextMenu(HWND, int, int) {}
int ChildManager::count() const { return 0; }
