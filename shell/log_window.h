// The hidden "LOGWND" window: a list box that shows the lines written with
// LogWindow::Write while the window exists.
#pragma once

#include <windows.h>

#include "platform/log.h"

LRESULT CALLBACK LogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The log's window and its list box; null while there is none.
HWND LogWindowHandle();
HWND LogListHandle();
