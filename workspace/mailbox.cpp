#include "workspace/mailbox.h"

HWND MakeMailbox(const char* className, WNDPROC proc, void* owner) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, className, &wc)) {
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    RegisterClassA(&wc);
  }
  HWND mailbox = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 instance, nullptr);
  if (mailbox != nullptr)
    SetWindowLongPtrA(mailbox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return mailbox;
}
