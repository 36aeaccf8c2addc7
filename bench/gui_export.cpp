// Export through the Save As and progress dialogs of the real main window
// against the command-line export of the same folders, under Wine:
//  - gui: from the Save click to the progress dialog's "Close" button;
//  - cli: the export command run in this process (the code of
//    orvanel-cli.exe, without a process start);
//  - cli_exe: orvanel-cli.exe started as a process and waited for.
// MINUTES minute folders of 1500 frames of 704 x 576 every 0.04 s, to .avi
// at 400 kbit/s (25 frames per second, each frame written once). Best of
// RUNS runs each, taken in turns.
//
//   bench-gui_export [--minutes N] [--runs N]
//
// The frames are made once under %TEMP%\orvanel-bench-export and kept.
// Prints "name: value" lines; "cpu_ratio:" is the processor time of gui /
// cli, "exe_ratio:" gui / cli_exe wall time, and the final "ratio:" gui /
// cli wall time.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "cli/cli.h"
#include "dialogs/save_as_dialog.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "tests/support/pump.h"
#include "tools/sample_backup.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 1500;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Processor time of this process so far (all threads), seconds.
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto value = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
}

// Wall and processor time of one export.
struct Timing {
  double wall = 1e9, cpu = 1e9;
  void Keep(const Timing& t) {
    wall = std::min(wall, t.wall);
    cpu = std::min(cpu, t.cpu);
  }
};

template <class P>
bool PumpUntil(P done, DWORD ms = 300000) {
  return test_pump::PumpUntil(done, ms, 5);
}

std::string Text(HWND window) {
  char text[512] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// MINUTES folders of the same 1500 frames (hard links after the first).
std::vector<std::string> MakeFolders(const std::string& root, int minutes) {
  std::vector<std::string> folders;
  for (int m = 0; m < minutes; ++m) {
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%s\\Bench\\2004-03-15\\12\\%02d", root.c_str(), m);
    folders.push_back(folder);
    CreateDirectoryA(root.c_str(), nullptr);
    std::string path = root;
    for (const char* part : {"\\Bench", "\\2004-03-15", "\\12"}) {
      path += part;
      CreateDirectoryA(path.c_str(), nullptr);
    }
    CreateDirectoryA(folder, nullptr);
    for (int i = 0; i < kFrames; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "\\%04d.jpg", 4 + i * 4);
      const std::string file = folder + std::string(name);
      if (Exists(file)) continue;
      if (m > 0 && CreateHardLinkA(file.c_str(), (folders[0] + name).c_str(), nullptr)) continue;
      sample::FrameRecipe picture;
      picture.hour = 12;
      picture.centis = 4 + i * 4;
      if (!sample::WriteFrame(file, picture)) std::exit(2);
    }
  }
  return folders;
}

// The end of a dialog export as the user sees it: the button reads "Close".
struct Watch {
  Clock::time_point end;
  bool done = false;
};
Watch g_watch;

// Sees the button's text change as it happens (no polling of its own that
// would compete with the export for the processor).
LRESULT CALLBACK WatchHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_SETTEXT && !g_watch.done &&
      GetDlgCtrlID(sent->hwnd) == IDC_PROGRESS_CANCEL &&
      GetParent(sent->hwnd) == App().saveAsDialog.progress().window() &&
      std::strcmp(reinterpret_cast<const char*>(sent->lParam), "Close") == 0) {
    g_watch.end = Clock::now();
    g_watch.done = true;
    PostMessageA(sent->hwnd, BM_CLICK, 0, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One export from the dialog: from the Save click to "Close".
Timing GuiExport(const std::vector<std::string>& folders, const std::string& output) {
  HWND dialog = App().saveAsDialog.window();
  SendMessageA(GetDlgItem(dialog, IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
  for (const std::string& f : folders) App().saveAsDialog.AddDroppedFolder(f.c_str());
  SendMessageA(GetDlgItem(dialog, IDC_FORMAT), CB_SETCURSEL, 1, 0);  // .avi
  SetWindowTextA(GetDlgItem(dialog, IDC_OUTPUT_NAME), output.c_str());
  if (!App().saveAsDialog.UpdateSaveButton()) {
    std::fprintf(stderr, "gui_export: Save is disabled\n");
    std::exit(2);
  }
  g_watch = Watch();
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchHook, nullptr, GetCurrentThreadId());
  const double cpu = CpuSeconds();
  const Clock::time_point start = Clock::now();
  PostMessageA(GetDlgItem(dialog, IDC_SAVE), BM_CLICK, 0, 0);
  const bool ended =
      PumpUntil([] { return g_watch.done && !App().saveAsDialog.progress().window(); });
  UnhookWindowsHookEx(hook);
  if (!ended || App().saveAsDialog.job().outcome() != ExportJob::Outcome::kCompleted) {
    std::fprintf(stderr, "gui_export: the dialog's export did not complete\n");
    std::exit(1);
  }
  return {Seconds(start, g_watch.end), CpuSeconds() - cpu};
}

std::vector<std::string> CliArgs(const std::vector<std::string>& folders,
                                 const std::string& output) {
  std::vector<std::string> args = {"-o", output, "--format", "avi", "--bitrate", "400"};
  args.insert(args.end(), folders.begin(), folders.end());
  return args;
}

// The export command in this process.
Timing CliExport(const std::vector<std::string>& folders, const std::string& output) {
  std::vector<std::string> args = CliArgs(folders, output);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  std::FILE* sink = std::tmpfile();
  const double cpu = CpuSeconds();
  const Clock::time_point start = Clock::now();
  const int code = CmdExport(static_cast<int>(argv.size()), argv.data(), sink, sink);
  const Clock::time_point end = Clock::now();
  const double used = CpuSeconds() - cpu;
  if (sink) std::fclose(sink);
  if (code != 0) {
    std::fprintf(stderr, "gui_export: the command's export failed (%d)\n", code);
    std::exit(1);
  }
  return {Seconds(start, end), used};
}

// orvanel-cli.exe beside this program's build folder, started and waited for.
double CliExeExport(const std::string& exe, const std::vector<std::string>& folders,
                    const std::string& output) {
  std::string line = "\"" + exe + "\" export";
  for (const std::string& a : CliArgs(folders, output)) line += " \"" + a + "\"";
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE sink = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = sink;
  PROCESS_INFORMATION pi = {};
  const Clock::time_point start = Clock::now();
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi)) {
    std::fprintf(stderr, "gui_export: cannot start %s\n", exe.c_str());
    std::exit(2);
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  const Clock::time_point end = Clock::now();
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(sink);
  if (code != 0) {
    std::fprintf(stderr, "gui_export: orvanel-cli.exe failed (%lu)\n", code);
    std::exit(1);
  }
  return Seconds(start, end);
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
  int minutes = 2, runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--minutes")) minutes = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  av_log_set_level(AV_LOG_ERROR);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string root = std::string(temp) + "orvanel-bench-export";
  const std::vector<std::string> folders = MakeFolders(root, minutes);
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string exe = self;
  exe = exe.substr(0, exe.find_last_of('\\'));
  exe = exe.substr(0, exe.find_last_of('\\')) + "\\cli\\orvanel-cli.exe";
  const bool haveExe = GetFileAttributesA(exe.c_str()) != INVALID_FILE_ATTRIBUTES;

  SetAppInstance(GetModuleHandleA(nullptr));
  HWND main = CreateMainWindow(SW_SHOWNORMAL);
  if (!main || !App().saveAsDialog.window()) return 2;
  App().saveAsDialog.Show();
  PumpUntil([] { return false; }, 300);

  const std::string guiOut = root + "\\gui.avi", cliOut = root + "\\cli.avi",
                    exeOut = root + "\\exe.avi";
  Timing gui, cli;
  double cliExe = 1e9;
  for (int r = 0; r < runs; ++r) {
    gui.Keep(GuiExport(folders, guiOut));
    cli.Keep(CliExport(folders, cliOut));
    if (haveExe) cliExe = std::min(cliExe, CliExeExport(exe, folders, exeOut));
  }
  DestroyWindow(main);

  std::printf("frames: %d in %d minute folders (704x576, every 0.04 s), best of %d\n",
              kFrames * minutes, minutes, runs);
  std::printf("gui_s: %.3f\n", gui.wall);
  std::printf("cli_s: %.3f\n", cli.wall);
  if (haveExe) std::printf("cli_exe_s: %.3f\n", cliExe);
  std::printf("gui_cpu_s: %.3f\n", gui.cpu);
  std::printf("cli_cpu_s: %.3f\n", cli.cpu);
  std::printf("same_size: %s\n", FileSize(guiOut) == FileSize(cliOut) ? "yes" : "no");
  std::printf("cpu_ratio: %.3f\n", gui.cpu / cli.cpu);
  if (haveExe) std::printf("exe_ratio: %.3f\n", gui.wall / cliExe);
  std::printf("ratio: %.3f\n", gui.wall / cli.wall);
  return 0;
}
