// A message-only window that worker threads post to: the one marshalling path
// from a worker to the user-interface thread.
#pragma once

#include <windows.h>

// Registers `className` with `proc` once and makes a message-only window of
// it whose user data is `owner`. nullptr on failure (GetLastError says why).
HWND MakeMailbox(const char* className, WNDPROC proc, void* owner);
