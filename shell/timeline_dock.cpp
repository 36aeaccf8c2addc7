#include "shell/timeline_dock.h"

#include <algorithm>
#include <cstring>

#include "platform/log.h"
#include "shell/settings.h"
#include "tree/folder_tree.h"
#include "workspace/child_manager.h"
#include "workspace/sync_commands.h"

namespace {

const char kShown[] = "TIMELINESHOWN";
const char kHeight[] = "TIMELINEHEIGHT";

// A REG_DWORD within [low, high]; anything else is reported and not taken.
bool ReadChecked(HKEY key, const char* name, DWORD low, DWORD high, DWORD* out) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof value || value < low || value > high) {
    LogWindow::Print("Settings: %s is not a number in %lu..%lu; the default is taken", name,
                     static_cast<unsigned long>(low), static_cast<unsigned long>(high));
    return false;
  }
  *out = value;
  return true;
}

bool SamePath(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string LastComponent(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

TimelineDock::TimelineDock(ChildManager& windows, FolderTree& tree, Settings& settings)
    : windows_(windows), tree_(tree), settings_(settings) {}

void TimelineDock::Create(HWND mainWindow) {
  main_ = mainWindow;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, settings_.GetKeyPath(), 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    DWORD value = 0;
    if (ReadChecked(key, kShown, 0, 1, &value)) shown_ = value != 0;
    if (ReadChecked(key, kHeight, kTimelineMinHeight, kTimelineMaxHeight, &value))
      height_ = static_cast<int>(value);
    RegCloseKey(key);
  }
  if (panel_.Create(mainWindow, this) == nullptr) shown_ = false;
}

int TimelineDock::height() const { return shown_ && panel_.window() != nullptr ? height_ : 0; }

void TimelineDock::Place(int left, int width, int clientHeight) {
  HWND panel = panel_.window();
  if (panel == nullptr) return;
  if (shown_) {
    MoveWindow(panel, left, clientHeight - height_, std::max(0, width), height_, TRUE);
    if (!IsWindowVisible(panel)) {
      ShowWindow(panel, SW_SHOWNA);
      panel_.Update();
    }
  } else if (IsWindowVisible(panel)) {
    ShowWindow(panel, SW_HIDE);
  }
}

void TimelineDock::Save() const {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, settings_.GetKeyPath(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    LogWindow::Print("Settings: cannot write the timeline's choice");
    return;
  }
  const DWORD shown = shown_ ? 1 : 0;
  const DWORD height = static_cast<DWORD>(height_);
  RegSetValueExA(key, kShown, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&shown), sizeof shown);
  RegSetValueExA(key, kHeight, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&height), sizeof height);
  RegCloseKey(key);
}

void TimelineDock::Toggle() {
  shown_ = !shown_;
  Relayout();
  Save();
}

void TimelineDock::HeightDragged(int height) {
  height_ = std::min(kTimelineMaxHeight, std::max(kTimelineMinHeight, height));
  Relayout();
}

void TimelineDock::Relayout() {
  if (main_ == nullptr) return;
  RECT client{};
  GetClientRect(main_, &client);
  SendMessageA(main_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  UpdateWindow(main_);
}

bool TimelineDock::TreeSelection(std::string* camera, WallTime* day) const {
  HWND tree = tree_.tree();
  if (tree == nullptr) return false;
  HTREEITEM item = TreeView_GetSelection(tree);
  if (item == nullptr) return false;
  TVITEMA tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!TreeView_GetItem(tree, &tv) || tv.lParam == 0) return false;
  const FolderItem* record = reinterpret_cast<const FolderItem*>(tv.lParam);
  if (record->level < 2 || record->level > 5) return false;
  std::string path(record->path, strnlen(record->path, sizeof record->path));
  while (!path.empty() && path.back() == '\\') path.pop_back();
  std::string date;
  for (int level = record->level; level > 2; --level) {
    if (level == 3) date = LastComponent(path);
    path.erase(std::min(path.size(), path.find_last_of('\\')));
  }
  *camera = path;
  *day = -1;
  if (!date.empty() && !DateFolderDay(date.c_str(), day)) *day = -1;
  return true;
}

std::vector<TimelineRow> TimelineDock::Rows() {
  std::vector<TimelineRow> rows;
  for (const WindowSight& s : SightsOfWindows(windows_)) {
    if (s.camera.empty()) continue;
    auto row = std::find_if(rows.begin(), rows.end(),
                            [&](const TimelineRow& r) { return SamePath(r.camera, s.camera); });
    if (row == rows.end()) {
      rows.push_back({s.camera, s.name.empty() ? LastComponent(s.camera) : s.name, {}, {}});
      row = rows.end() - 1;
    }
    row->markers.push_back({s.moment, s.selected, s.grouped});
  }
  std::string camera;
  WallTime day = -1;
  if (rows.empty() && TreeSelection(&camera, &day))
    rows.push_back({camera, LastComponent(camera), {}, {}});
  std::stable_sort(rows.begin(), rows.end(),
                   [](const TimelineRow& a, const TimelineRow& b) { return a.name < b.name; });
  for (TimelineRow& row : rows) row.region = windows_.SearchRegion(row.camera);
  return rows;
}

void TimelineDock::Marks(WallTime* in, WallTime* out) {
  *in = windows_.markedRange().in.moment;
  *out = windows_.markedRange().out.moment;
}

WallTime TimelineDock::SelectedMoment() {
  WallTime selected = -1, any = -1;
  for (const WindowSight& s : SightsOfWindows(windows_)) {
    if (s.moment < 0) continue;
    if (s.selected && (s.active || selected < 0)) selected = s.moment;
    if (any < 0) any = s.moment;
  }
  if (selected >= 0) return selected;
  if (any >= 0) return any;
  std::string camera;
  WallTime day = -1;
  return TreeSelection(&camera, &day) ? day : -1;
}

void TimelineDock::MoveSelectedTo(WallTime moment) { ::MoveSelectedTo(windows_, moment); }
