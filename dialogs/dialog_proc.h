// The dialog procedure of a dialog object: it finds the object the dialog
// was created with (WM_INITDIALOG's lParam) and forwards to its
// HandleMessage. A failing handler is logged and ends here, never inside the
// system's dispatcher.
#pragma once

#include <windows.h>

#include "platform/log.h"

template <class Dialog>
INT_PTR ForwardDialogMessage(const char* name, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
  }
  if (!self) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    LogWindow::Print("%s: message %u failed", name, message);
  }
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  return result;
}
