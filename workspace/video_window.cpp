#include "workspace/video_window.h"

LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  return DefMDIChildProcA(window, message, wParam, lParam);
}
