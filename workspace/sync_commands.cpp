#include "workspace/sync_commands.h"

#include <algorithm>
#include <memory>

#include "platform/log.h"
#include "playback/sync_clock.h"
#include "workspace/child_manager.h"

std::string CameraOfMinuteFolder(const std::string& folder) {
  std::string camera = folder;
  while (!camera.empty() && (camera.back() == '\\' || camera.back() == '/')) camera.pop_back();
  for (int i = 0; i < 3; ++i) {
    const std::size_t cut = camera.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    camera.erase(cut);
  }
  return camera;
}

std::vector<WindowSight> SightsOfWindows(const ChildManager& windows) {
  std::vector<WindowSight> sights;
  HWND workspace = windows.workspace();
  if (workspace == nullptr) return sights;
  HWND active = reinterpret_cast<HWND>(SendMessageA(workspace, WM_MDIGETACTIVE, 0, 0));
  for (HWND h = GetWindow(workspace, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
    VideoChild* child = windows.Find(h);
    if (child == nullptr) continue;
    ViewState state{};
    child->GetViewState(&state);
    WindowSight s;
    s.window = h;
    s.child = child;
    s.camera = CameraOfMinuteFolder(child->folder());
    s.name = child->cameraName();
    s.moment = state.moment;
    s.selected = windows.IsSelected(h);
    s.grouped = state.grouped;
    s.active = h == active;
    sights.push_back(std::move(s));
  }
  return sights;
}

void SynchronizeSelected(ChildManager& windows) {
  const std::vector<WindowSight> sights = SightsOfWindows(windows);
  const WindowSight* leader = nullptr;
  for (const WindowSight& s : sights)
    if (s.active) leader = &s;
  if (leader == nullptr) {
    for (const WindowSight& s : sights)
      if (s.selected && leader == nullptr) leader = &s;
  }
  if (leader == nullptr) return;
  if (leader->child->shownMoment() < 0) {
    LogWindow::Print("Synchronize: the active window shows no moment of a backup");
    return;
  }
  std::shared_ptr<SyncClock> clock = leader->child->clock();
  if (!clock) clock = SyncClock::StartFrom(leader->child->shownMoment(), leader->child->mode());
  int members = 0;
  for (const WindowSight& s : sights) {
    if (!s.selected && &s != leader) continue;
    if (s.child->clock() != clock) s.child->Synchronize(clock);
    ++members;
  }
  LogWindow::Print("Synchronize: %d windows on one clock", members);
}

void MoveSelectedTo(ChildManager& windows, WallTime moment) {
  std::vector<SyncClock*> moved;
  for (const WindowSight& s : SightsOfWindows(windows)) {
    if (!s.selected) continue;
    std::shared_ptr<SyncClock> clock = s.child->clock();
    if (!clock) {
      s.child->ShowMoment(moment);
    } else if (std::find(moved.begin(), moved.end(), clock.get()) == moved.end()) {
      clock->JumpTo(moment);
      moved.push_back(clock.get());
    }
  }
}
