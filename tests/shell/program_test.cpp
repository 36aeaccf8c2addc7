// The built program itself, as a user starts it: its real registry key,
// read back from outside by reg.exe.
#include "tests/shell/shell_fixture.h"

using namespace shell_test;

namespace {

std::string ProgramPath() {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir(self);
  dir.erase(dir.find_last_of("\\/") + 1);
  return dir + "..\\shell\\orvanel.exe";
}

BOOL CALLBACK FindMain(HWND window, LPARAM search) {
  auto* s = reinterpret_cast<std::pair<DWORD, HWND>*>(search);
  DWORD owner = 0;
  char cls[16] = {};
  GetWindowThreadProcessId(window, &owner);
  GetClassNameA(window, cls, sizeof cls);
  if (owner == s->first && std::string(cls) == "ORVANEL") {
    s->second = window;
    return FALSE;
  }
  return TRUE;
}

// The value's number as reg.exe prints it ("0x6f"), or "" when absent.
std::string RegQuery(const char* name) {
  const std::string out =
      RunAndCapture(std::string("reg.exe query HKCU\\" SETTINGS_KEY " /v ") + name);
  const size_t at = out.find("0x");
  if (out.find(name) == std::string::npos || at == std::string::npos) return "";
  return out.substr(at, out.find_first_of("\r\n ", at) - at);
}

}  // namespace

TEST(Program, CloseBoxStoresThePlacementThatRegExeReadsFromOutside) {
  // Only this program's values go: the folder tree's roots stay.
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    for (const char* name : {"OVERMINUTE", "OVERLAPPED", "HIGHQUALITY", "MAINWNDXPOS",
                             "MAINWNDYPOS", "MAINWNDXSIZE", "MAINWNDYSIZE", "MAINWNDMAXIMIZED"})
      RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
  std::string command = "\"" + ProgramPath() + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi))
      << command;
  std::pair<DWORD, HWND> search(pi.dwProcessId, nullptr);
  for (int i = 0; i < 500 && !search.second; ++i) {
    EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
    Sleep(20);
  }
  ASSERT_NE(search.second, nullptr);
  SetWindowPos(search.second, nullptr, 111, 77, 720, 540, SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageA(search.second, WM_SYSCOMMAND, SC_CLOSE, 0);
  // What it saved is read once the process has ended.
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(RegQuery("MAINWNDXPOS"), "0x6f");
  EXPECT_EQ(RegQuery("MAINWNDYPOS"), "0x4d");
  EXPECT_EQ(RegQuery("MAINWNDXSIZE"), "0x2d0");
  EXPECT_EQ(RegQuery("MAINWNDYSIZE"), "0x21c");
  // Options are written by the Options dialog only, never at start or close.
  EXPECT_EQ(RegQuery("OVERMINUTE"), "");
}
