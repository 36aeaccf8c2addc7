// The built program itself, as a user starts it, and its real registry key.
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

}  // namespace

TEST(Program, CloseBoxStoresThePlacementAndTheSplitter) {
  // Only this program's values go: the folder tree's roots stay.
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    for (const char* name : {"OVERMINUTE", "OVERLAPPED", "HIGHQUALITY", "MAINWNDXPOS",
                             "MAINWNDYPOS", "MAINWNDXSIZE", "MAINWNDYSIZE", "MAINWNDMAXIMIZED",
                             "TREEWIDTH"})
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
  HWND main = nullptr;  // the tests' own main window is gone by now
  for (int i = 0; i < 500 && !main; ++i, Sleep(20)) main = FindWindowA("ORVANEL", nullptr);
  ASSERT_NE(main, nullptr);
  SetWindowPos(main, nullptr, 111, 77, 720, 540, SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  // What it saved is read once the process has ended.
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(GetDword("MAINWNDXPOS", SETTINGS_KEY), 111);
  EXPECT_EQ(GetDword("MAINWNDYPOS", SETTINGS_KEY), 77);
  EXPECT_EQ(GetDword("MAINWNDXSIZE", SETTINGS_KEY), 720);
  EXPECT_EQ(GetDword("MAINWNDYSIZE", SETTINGS_KEY), 540);
  EXPECT_EQ(GetDword("TREEWIDTH", SETTINGS_KEY), kFolderTreeWidth);
  // Options are written by the Options dialog only, never at start or close.
  EXPECT_EQ(GetDword("OVERMINUTE", SETTINGS_KEY), -1);
}
