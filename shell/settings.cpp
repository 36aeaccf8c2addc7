#include "shell/settings.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/log.h"
#include "platform/registry.h"

namespace {

const char kOverMinute[] = "OVERMINUTE";
const char kOverlapped[] = "OVERLAPPED";
const char kHighQuality[] = "HIGHQUALITY";
const char kStretch[] = "STRETCH";
const char kXPos[] = "MAINWNDXPOS";
const char kYPos[] = "MAINWNDYPOS";
const char kXSize[] = "MAINWNDXSIZE";
const char kYSize[] = "MAINWNDYSIZE";
// Not one of the original four: whether the window was closed maximised.
const char kMaximized[] = "MAINWNDMAXIMIZED";
// The splitter's place: the folder tree column's width in pixels.
const char kTreeWidth[] = "TREEWIDTH";

// Opens (creating if need be) the key; `created` tells whether it was new.
HKEY OpenKey(const char* path, REGSAM access, bool* created = nullptr) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      access, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return nullptr;
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  return key;
}

void WriteDword(HKEY key, const char* name, DWORD value) {
  // A failed single write is ignored: the program carries on in memory.
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
}

bool ReadFlag(const char* path, const char* name, bool fallback) {
  std::uint32_t value = 0;
  return registry::ReadNumber(path, name, &value) ? value != 0 : fallback;
}

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
  reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
  return TRUE;
}

}  // namespace

Settings::Settings() { SetKeyPath(SETTINGS_KEY); }
Settings::~Settings() = default;

void Settings::SetKeyPath(const char* path) {
  std::strncpy(keyPath_, path ? path : SETTINGS_KEY, sizeof keyPath_ - 1);
  keyPath_[sizeof keyPath_ - 1] = '\0';
}

int Settings::Load() {
  bool created = false;
  HKEY key = OpenKey(keyPath_, KEY_READ, &created);
  if (!key) {
    LogWindow::Print("Settings: cannot open HKCU\\%s", keyPath_);
    return -1;
  }
  RegCloseKey(key);
  if (created) {
    overMinute_ = true;
    overlapped_ = false;
    highQuality = true;
  } else {
    overMinute_ = ReadFlag(keyPath_, kOverMinute, true);
    overlapped_ = ReadFlag(keyPath_, kOverlapped, false);
    highQuality = ReadFlag(keyPath_, kHighQuality, true);
  }
  stretch = !created && ReadFlag(keyPath_, kStretch, false);
  return 0;
}

int Settings::RestorePlacement(HWND mainWindow) {
  closedMaximized_ = false;  // only a valid stored placement can say otherwise
  // Read in order; the first missing or out-of-range value voids them all.
  std::uint32_t x = 0, y = 0, w = 0, h = 0;
  const char* path = keyPath_;
  const bool valid =
      registry::ReadNumber(path, kXPos, &x) && static_cast<LONG>(x) >= 0 && x <= 1600 &&
      registry::ReadNumber(path, kYPos, &y) && static_cast<LONG>(y) >= 0 && y <= 1200 &&
      registry::ReadNumber(path, kXSize, &w) && static_cast<LONG>(w) >= 0 &&
      registry::ReadNumber(path, kYSize, &h) && static_cast<LONG>(h) >= 0;
  if (!valid) return -1;
  RECT rect = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w),
               static_cast<LONG>(y + h)};
  ApplyDesktopRules(&rect);
  SetWindowPos(mainWindow, nullptr, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

void Settings::ApplyDesktopRules(RECT* rect) {
  closedMaximized_ = ReadFlag(keyPath_, kMaximized, false);
  std::vector<RECT> monitors;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  RECT work = {0, 0, 0, 0};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (monitors.empty()) return;  // nothing known about the screens: keep it
  *rect = KeepOnSomeScreen(*rect, monitors.data(), static_cast<int>(monitors.size()), work);
}

RECT KeepOnSomeScreen(const RECT& stored, const RECT* monitors, int monitorCount,
                      const RECT& primaryWorkArea) {
  for (int i = 0; i < monitorCount; ++i) {
    RECT overlap;
    if (IntersectRect(&overlap, &stored, &monitors[i])) return stored;
  }
  // Off every screen (also a zero-size window beyond them): same size,
  // moved to the primary work area's corner, and cut to it where larger.
  const LONG width = stored.right - stored.left, height = stored.bottom - stored.top;
  const LONG workW = primaryWorkArea.right - primaryWorkArea.left;
  const LONG workH = primaryWorkArea.bottom - primaryWorkArea.top;
  RECT moved;
  moved.left = primaryWorkArea.left;
  moved.top = primaryWorkArea.top;
  moved.right = moved.left + (width < workW ? width : workW);
  moved.bottom = moved.top + (height < workH ? height : workH);
  return moved;
}

int Settings::FirstShowCommand(int requested) const {
  const bool ordinary = requested == SW_SHOWNORMAL || requested == SW_SHOW ||
                        requested == SW_SHOWDEFAULT;
  return closedMaximized_ && ordinary ? SW_SHOWMAXIMIZED : requested;
}

int Settings::WritePlacement(HKEY key, HWND mainWindow) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  RECT rect = {0, 0, 0, 0};
  bool maximized = false;
  if (GetWindowPlacement(mainWindow, &placement)) {
    maximized = placement.showCmd == SW_SHOWMAXIMIZED ||
                (placement.showCmd == SW_SHOWMINIMIZED &&
                 (placement.flags & WPF_RESTORETOMAXIMIZED));
    if (placement.showCmd == SW_SHOWNORMAL)
      GetWindowRect(mainWindow, &rect);
    else
      rect = placement.rcNormalPosition;
  } else {
    GetWindowRect(mainWindow, &rect);
  }
  WriteDword(key, kXPos, static_cast<DWORD>(rect.left));
  WriteDword(key, kYPos, static_cast<DWORD>(rect.top));
  WriteDword(key, kXSize, static_cast<DWORD>(rect.right - rect.left));
  WriteDword(key, kYSize, static_cast<DWORD>(rect.bottom - rect.top));
  WriteDword(key, kMaximized, maximized ? 1 : 0);
  return 0;
}

int Settings::SavePlacement(HWND mainWindow) {
  HKEY key = OpenKey(keyPath_, KEY_WRITE);
  if (!key) return -1;
  WritePlacement(key, mainWindow);
  RegCloseKey(key);
  return 0;
}

int Settings::SaveAll(HWND mainWindow) {
  HKEY key = OpenKey(keyPath_, KEY_WRITE);
  if (!key) return -1;
  WriteDword(key, kOverMinute, overMinute_ ? 1 : 0);
  WriteDword(key, kOverlapped, overlapped_ ? 1 : 0);
  WriteDword(key, kHighQuality, highQuality ? 1 : 0);
  WriteDword(key, kStretch, stretch ? 1 : 0);
  if (mainWindow) WritePlacement(key, mainWindow);
  RegCloseKey(key);
  return 0;
}

int Settings::LoadTreeWidth(int fallback, int widest) const {
  std::uint32_t width = 0;
  if (!registry::ReadNumber(keyPath_, kTreeWidth, &width)) return fallback;
  if (width < 1 || static_cast<std::int64_t>(width) > widest) {
    LogWindow::Print("TREEWIDTH %lu is outside 1 to %d: the tree is %d wide.",
                     static_cast<unsigned long>(width), widest, fallback);
    return fallback;
  }
  return static_cast<int>(width);
}

int Settings::SaveTreeWidth(int width) {
  HKEY key = OpenKey(keyPath_, KEY_WRITE);
  if (!key) return -1;
  WriteDword(key, kTreeWidth, static_cast<DWORD>(width));
  RegCloseKey(key);
  return 0;
}
