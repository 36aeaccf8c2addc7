// The module the program's resources (menus, dialogs, bitmaps) load from.
#pragma once

#include <windows.h>

// The application instance (set by the entry point before any window; the
// executable's module until then).
HINSTANCE GetAppInstance();
void SetAppInstance(HINSTANCE instance);
