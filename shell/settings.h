// The user's three options and the main window's placement, kept in the
// registry of the current user. The program has one; user-interface thread
// only (the playback threads read the option bytes without locks).
#pragma once

#include <windows.h>

class Settings {
 public:
  Settings();
  virtual ~Settings();
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // 0 when the key could be opened or created, -1 otherwise.
  int Load();
  // 0 when the window was moved to the stored placement, -1 otherwise.
  int RestorePlacement(HWND mainWindow);
  // 0, or -1 when the key cannot be opened for writing.
  int SavePlacement(HWND mainWindow);
  // The three options and, when there is one, the main window's placement.
  int SaveAll(HWND mainWindow);
  // The folder tree column's stored width, or `fallback` when it is missing
  // or outside 1 to `widest` pixels.
  int LoadTreeWidth(int fallback, int widest) const;
  // 0, or -1 when the key cannot be opened for writing.
  int SaveTreeWidth(int width);

  bool GetOverMinute() const { return overMinute_; }
  void SetOverMinute(bool on) { overMinute_ = on; }
  bool GetOverlapped() const { return overlapped_; }
  void SetOverlapped(bool on) { overlapped_ = on; }
  // Read by the video view at every picture, written by the Options dialog.
  bool highQuality = false;
  // Pictures fill their windows instead of keeping their proportions.
  bool stretch = false;

  // The show command for the main window's first showing: maximised when it
  // was closed maximised and the caller asks for an ordinary showing.
  int FirstShowCommand(int requested) const;

  // Sub-key under HKEY_CURRENT_USER; tests point it at a scratch key.
  void SetKeyPath(const char* path);
  const char* GetKeyPath() const { return keyPath_; }

 private:
  bool overMinute_ = false;
  bool overlapped_ = false;
  bool closedMaximized_ = false;
  char keyPath_[260];

  int WritePlacement(HKEY key, HWND mainWindow);
  // What a current desktop adds to the stored placement: the window opens
  // maximised when it was closed so, and never off every screen.
  void ApplyDesktopRules(RECT* rect);
};

// A stored rectangle that no monitor shows is moved onto the primary
// monitor's work area (kept inside it where it fits); otherwise unchanged.
// `monitors` are the screens' rectangles. Pure, for tests.
RECT KeepOnSomeScreen(const RECT& stored, const RECT* monitors, int monitorCount,
                      const RECT& primaryWorkArea);

// Registry value names.
#define SETTINGS_KEY "Software\\VELMORA\\Orvanel"
