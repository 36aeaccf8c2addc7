#include "shell/dialogs.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "shell/instance.h"
#include "shell/settings.h"

namespace {

// The ProductVersion in the version resource of the file the program runs
// from, read as Explorer reads it; "" when the file has none.
std::string OwnProductVersion() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(GetAppInstance(), path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return "";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return "";
  // The first language and code page the resource lists name its strings.
  struct Translation { WORD language, codePage; }* translation = nullptr;
  UINT bytes = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &bytes) ||
      bytes < sizeof *translation)
    return "";
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\ProductVersion",
                translation->language, translation->codePage);
  char* version = nullptr;
  if (!VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&version), &bytes) ||
      bytes == 0)
    return "";
  return std::string(version, strnlen(version, bytes));
}

// BST_CHECKED or BST_UNCHECKED applies; any other state leaves `field`.
void ApplyCheck(HWND dialog, int id, bool* field, bool inverted) {
  const LRESULT state = SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0);
  if (state == BST_CHECKED) *field = !inverted;
  else if (state == BST_UNCHECKED) *field = inverted;
}

}  // namespace

OptionsDialog::OptionsDialog(HWND owner, Settings& settings, bool windowsNT)
    : owner_(owner), settings_(settings), windowsNT_(windowsNT) {}
OptionsDialog::~OptionsDialog() = default;

INT_PTR OptionsDialog::Run(HWND owner, Settings& settings, bool windowsNT) {
  OptionsDialog dialog(owner, settings, windowsNT);
  return DialogBoxParamA(GetAppInstance(), MAKEINTRESOURCEA(IDD_OPTIONS), owner,
                         &OptionsDialog::DialogProc, reinterpret_cast<LPARAM>(&dialog));
}

INT_PTR CALLBACK OptionsDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  auto* self = reinterpret_cast<OptionsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<OptionsDialog*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return self ? self->OnInitDialog(dialog) : FALSE;
  }
  if (!self) return FALSE;
  if (message == WM_COMMAND) return self->OnCommand(dialog, LOWORD(wParam));
  if (message == WM_NCDESTROY) SetWindowLongPtrA(dialog, DWLP_USER, 0);
  return FALSE;
}

INT_PTR OptionsDialog::OnInitDialog(HWND dialog) {
  RECT workspace = {};
  if (owner_ && GetWindowRect(owner_, &workspace))
    SetWindowPos(dialog, HWND_TOP, workspace.left, workspace.top, 0, 0, SWP_NOSIZE);
  CheckDlgButton(dialog, IDC_OVER_MINUTE, settings_.GetOverMinute() ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_SAME_WINDOW, settings_.GetOverlapped() ? BST_UNCHECKED : BST_CHECKED);
  if (windowsNT_) {
    CheckDlgButton(dialog, IDC_HIGH_QUALITY, settings_.highQuality ? BST_CHECKED : BST_UNCHECKED);
  } else {
    SetDlgItemTextA(dialog, IDC_HIGH_QUALITY, "High Quality Image(only WinNT systems)");
    EnableWindow(GetDlgItem(dialog, IDC_HIGH_QUALITY), FALSE);
  }
  CheckDlgButton(dialog, IDC_STRETCH, settings_.stretch ? BST_CHECKED : BST_UNCHECKED);
  return FALSE;  // no initial focus set by the system
}

INT_PTR OptionsDialog::OnCommand(HWND dialog, int id) {
  if (id == IDOK) {
    bool overMinute = settings_.GetOverMinute();
    bool overlapped = settings_.GetOverlapped();
    ApplyCheck(dialog, IDC_OVER_MINUTE, &overMinute, false);
    ApplyCheck(dialog, IDC_SAME_WINDOW, &overlapped, true);
    ApplyCheck(dialog, IDC_HIGH_QUALITY, &settings_.highQuality, false);
    ApplyCheck(dialog, IDC_STRETCH, &settings_.stretch, false);
    settings_.SetOverMinute(overMinute);
    settings_.SetOverlapped(overlapped);
    settings_.SaveAll(owner_ ? GetAncestor(owner_, GA_ROOT) : nullptr);
    // Open windows draw their pictures by the options at once.
    if (owner_) RedrawWindow(owner_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    EndDialog(dialog, id);
    return TRUE;
  }
  if (id == IDCANCEL) {
    EndDialog(dialog, id);
    return TRUE;
  }
  return FALSE;
}

AboutDialog::AboutDialog() = default;
AboutDialog::~AboutDialog() = default;

INT_PTR AboutDialog::Run(HWND owner) {
  return DialogBoxParamA(GetAppInstance(), MAKEINTRESOURCEA(IDD_ABOUT), owner,
                         &AboutDialog::DialogProc, 0);
}

INT_PTR CALLBACK AboutDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    const std::string version = OwnProductVersion();
    const std::string text = version.empty() ? APP_TITLE : APP_TITLE " " + version;
    SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, text.c_str());
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}
