// Process-wide values of the windowed program, owned by the main window code
// and read by the other windows. Written on the user-interface thread only.
#pragma once

#include <windows.h>

// The application instance (set by the entry point before any window).
HINSTANCE GetAppInstance();
void SetAppInstance(HINSTANCE instance);

extern HWND g_mainWindow;  // "ORVANEL"
extern HWND g_mdiFrame;    // "MDIFrame"
extern HWND g_mdiClient;   // the workspace (MDI client)
extern bool g_isWindowsNT;

// Registers the window classes and creates the main window (shown with
// `show`). Tests call it in-process; the entry point too. Null on failure.
HWND CreateMainWindow(int show);

// What the message loop does with a message before translating and
// dispatching it (Ctrl+A, the modeless dialogs, MDI system keys). True when
// the message was consumed. Tests pump through it too.
bool PreTranslateAppMessage(MSG& message);

// The message loop of the program: runs until the quit message and returns
// its code.
int RunMessageLoop();

// Width of the folder tree column when nothing has moved the splitter.
constexpr int kFolderTreeWidth = 210;
// Width the command bar's host and rebar are created with.
constexpr int kCommandBarCreateWidth = 2699;
