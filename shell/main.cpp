#include <windows.h>

#include "shell/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  SetAppInstance(instance);
  if (!CreateMainWindow(show)) return 0;
  return RunMessageLoop();
}
