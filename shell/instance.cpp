#include "shell/instance.h"

namespace {
HINSTANCE g_instance = nullptr;
}  // namespace

HINSTANCE GetAppInstance() {
  if (!g_instance) g_instance = GetModuleHandleA(nullptr);
  return g_instance;
}

void SetAppInstance(HINSTANCE instance) { g_instance = instance; }
