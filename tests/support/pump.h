// Serves this thread's windows the way the program's message loop does, until
// `done()` holds (looked at after every message) or `ms` milliseconds pass;
// between messages it sleeps at most `poll` milliseconds, for states that
// other threads change without a message.
#pragma once

#include <windows.h>

#include <algorithm>

#include "shell/app.h"

namespace test_pump {

// Set when a pump took a quit message off the queue: a closed main window's
// quit is not the test's to end on.
inline bool g_quitSeen = false;

template <class P>
bool PumpUntil(P done, DWORD ms = 5000, DWORD poll = 20) {
  for (const DWORD start = GetTickCount();;) {
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) {
      if (m.message == WM_QUIT) {
        g_quitSeen = true;
      } else if (!PreTranslateAppMessage(m)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      if (done()) return true;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (done()) return true;
    if (elapsed >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min(poll, ms - elapsed), QS_ALLINPUT);
  }
}

inline void Pump(DWORD ms = 50) { PumpUntil([] { return false; }, ms); }

}  // namespace test_pump
