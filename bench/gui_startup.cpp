// Start-up of the viewer to its first painted main window, warm, against a
// bare Win32 window started the same way (this program with --bare), and the
// idle working set of both. Run under Wine with a display:
//   xvfb-run -a tools/wine-run.sh build-win/bench/bench-gui_startup.exe
// Prints "name: value" lines and a final "ratio:" line (viewer / bare).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

LRESULT CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The reference: one window, shown and painted, then the message loop.
int RunBare() {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = BareProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "BAREREFERENCE";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "BAREREFERENCE", "Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                wc.hInstance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}

struct Run {
  double startMs = 0;
  SIZE_T workingSet = 0;
};

BOOL CALLBACK CloseWindowsOf(HWND window, LPARAM process) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(process) && IsWindowVisible(window))
    PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM search) {
  auto* s = reinterpret_cast<std::pair<DWORD, HWND>*>(search);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != s->first || !IsWindowVisible(window)) return TRUE;
  s->second = window;
  return FALSE;
}

// Starts the program and times it until its main window is visible and its
// thread answers a message: by then the window was shown and painted and the
// message loop runs. (WaitForInputIdle cannot serve: this console program,
// the reference, has no input idle to wait for.) Then measures the idle working set and
// closes it with its close box.
bool StartOnce(std::string commandLine, Run* run) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  LARGE_INTEGER frequency, t0, t1;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&t0);
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi))
    return false;
  std::pair<DWORD, HWND> search(pi.dwProcessId, nullptr);
  const DWORD start = GetTickCount();
  while (!search.second && GetTickCount() - start < 20000) {
    EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
    if (!search.second) Sleep(2);
  }
  DWORD_PTR answer = 0;
  const bool answered =
      search.second && SendMessageTimeoutA(search.second, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &answer);
  QueryPerformanceCounter(&t1);
  run->startMs = 1000.0 * (t1.QuadPart - t0.QuadPart) / frequency.QuadPart;
  Sleep(1000);  // settled and idle
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(pi.hProcess, &memory, sizeof memory))
    run->workingSet = memory.WorkingSetSize;
  EnumWindows(CloseWindowsOf, static_cast<LPARAM>(pi.dwProcessId));
  if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return answered;
}

// Median of five warm starts (one start before them warms the caches).
bool Measure(const std::string& commandLine, double* medianMs, SIZE_T* workingSet) {
  Run run;
  if (!StartOnce(commandLine, &run)) return false;
  std::vector<double> times;
  for (int i = 0; i < 5; ++i) {
    if (!StartOnce(commandLine, &run)) return false;
    times.push_back(run.startMs);
    *workingSet = run.workingSet;
  }
  std::sort(times.begin(), times.end());
  *medianMs = times[2];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--bare") return RunBare();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir(self);
  dir.erase(dir.find_last_of("\\/") + 1);
  const std::string viewer = argc > 1 ? argv[1] : dir + "..\\shell\\orvanel.exe";
  double viewerMs = 0, bareMs = 0;
  SIZE_T viewerSet = 0, bareSet = 0;
  if (!Measure("\"" + viewer + "\"", &viewerMs, &viewerSet)) {
    std::fprintf(stderr, "bench-gui_startup: cannot start %s (%lu)\n", viewer.c_str(), GetLastError());
    return 1;
  }
  if (!Measure("\"" + std::string(self) + "\" --bare", &bareMs, &bareSet)) {
    std::fprintf(stderr, "bench-gui_startup: cannot start the bare reference\n");
    return 1;
  }
  std::printf("viewer_start_to_painted_ms_median5: %.1f\n", viewerMs);
  std::printf("bare_window_start_to_painted_ms_median5: %.1f\n", bareMs);
  std::printf("viewer_idle_working_set_kb: %zu\n", viewerSet / 1024);
  std::printf("bare_window_idle_working_set_kb: %zu\n", bareSet / 1024);
  std::printf("ratio: %.2f\n", viewerMs / bareMs);
  return 0;
}
