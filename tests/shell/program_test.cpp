// The built programs themselves, as a user starts them, and the real registry
// key.
#include "tests/shell/shell_fixture.h"

#include "resources/resource.h"
#include "tests/support/test_support.h"

using namespace shell_test;

namespace {

// `relative` to the build folder.
std::string BuiltPath(const char* relative) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir(self);
  dir.erase(dir.find_last_of("\\/") + 1);
  return dir + "..\\" + relative;
}

std::string ProgramPath() { return BuiltPath("shell\\orvanel.exe"); }

// What `command` writes on its standard output.
std::string OutputOf(std::string command) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) return "";
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = write;
  PROCESS_INFORMATION pi = {};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
  CloseHandle(write);
  std::string out;
  char buffer[256];
  for (DWORD n; started && ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0;)
    out.append(buffer, n);
  CloseHandle(read);
  if (started) {
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return out;
}

// A string of `file`'s version resource, as Explorer shows it.
std::string VersionValue(const std::string& file, const char* name) {
  DWORD ignored = 0;
  std::string data(GetFileVersionInfoSizeA(file.c_str(), &ignored), '\0');
  char* value = nullptr;
  UINT size = 0;
  if (data.empty() || !GetFileVersionInfoA(file.c_str(), 0, data.size(), &data[0]) ||
      !VerQueryValueA(data.data(), (std::string("\\StringFileInfo\\040904b0\\") + name).c_str(),
                      reinterpret_cast<void**>(&value), &size))
    return "";
  return value;
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

TEST(Program, VersionResourcesAboutAndCliShowTheVersionFile) {
  std::string version = testing_support::ReadFile(std::string("Z:") + ORVANEL_SOURCE_DIR + "/VERSION");
  version.erase(version.find_last_not_of("\r\n") + 1);
  ASSERT_FALSE(version.empty());
  std::string quad = version;
  for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots)
    quad += ".0";  // 1.3 is 1.3.0.0
  for (const std::string& file : {ProgramPath(), BuiltPath("cli\\orvanel-cli.exe")}) {
    SCOPED_TRACE(file);
    EXPECT_EQ(VersionValue(file, "ProductName"), "Orvanel");
    EXPECT_EQ(VersionValue(file, "ProductVersion"), version);
    EXPECT_EQ(VersionValue(file, "FileVersion"), quad);
    EXPECT_NE(VersionValue(file, "FileDescription"), "");
  }
  EXPECT_EQ(OutputOf("\"" + BuiltPath("cli\\orvanel-cli.exe") + "\" --version"),
            "orvanel-cli " + version + "\r\n");

  std::string command = "\"" + ProgramPath() + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  HWND main = nullptr, about = nullptr;
  for (int i = 0; i < 500 && !main; ++i, Sleep(20)) main = FindWindowA("ORVANEL", nullptr);
  PostMessageA(FindWindowExA(main, nullptr, "ORVREBAR", nullptr), WM_COMMAND, ID_HELP_ABOUT, 0);
  for (int i = 0; i < 250 && main && !about; ++i, Sleep(20)) about = FindWindowA("#32770", "About");
  char text[64] = {};
  GetDlgItemTextA(about, IDC_ABOUT_TEXT, text, sizeof text);
  EXPECT_EQ(text, "Orvanel " + version);
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}
