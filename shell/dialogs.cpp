#include "shell/dialogs.h"

#include <cstdio>

#include "resources/resource.h"
#include "shell/instance.h"
#include "shell/settings.h"

namespace {

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
    char text[64];
    std::snprintf(text, sizeof text, "%s %s", APP_TITLE, APP_VERSION);
    SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, text);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}
