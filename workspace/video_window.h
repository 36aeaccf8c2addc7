// The "MDIVideoChild" window: one video window of the workspace, its picture
// view and its strip (time text and trackbar).
#pragma once

#include <windows.h>

// The window procedure of the "MDIVideoChild" class, registered by the main
// window code with the other classes.
LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam);
