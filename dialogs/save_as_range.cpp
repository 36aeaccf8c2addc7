// The Save As dialog's time range and stamp: the From/To fields, the
// "Time stamp" check box and "Export Range...".
#include <cstring>

#include "dialogs/save_as_dialog.h"

namespace {

constexpr char kRangeHint[] = "Empty: whole minutes. Times as 2024-01-31T08:15:00.00";

std::string FieldText(HWND field) {
  char text[64] = {};
  GetWindowTextA(field, text, sizeof text);
  // Blanks around a pasted time are not part of it.
  std::string s = text;
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

void SetHint(HWND hint, const char* text) {
  char shown[128] = {};
  GetWindowTextA(hint, shown, sizeof shown);
  if (std::strcmp(shown, text) != 0) SetWindowTextA(hint, text);
}

}  // namespace

bool SaveAsDialog::ReadRange(ExportRequest* request) {
  request->stamp = SendMessageA(stamp_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const std::string from = FieldText(from_), to = FieldText(to_);
  request->ranged = false;
  // One end may stay open: the range reaches the first or last frame.
  WallTime start = INT64_MIN, end = INT64_MAX;
  if (!from.empty() && !ParseWallTime(from.c_str(), &start)) {
    SetHint(hint_, "From is not a time: write it as 2024-01-31T08:15:00.00");
    return false;
  }
  if (!to.empty() && !ParseWallTime(to.c_str(), &end)) {
    SetHint(hint_, "To is not a time: write it as 2024-01-31T08:15:00.00");
    return false;
  }
  if (start > end) {
    SetHint(hint_, "From is after To: the range holds no frame");
    return false;
  }
  SetHint(hint_, kRangeHint);
  if (from.empty() && to.empty()) return true;
  request->ranged = true;
  request->from = start;
  request->to = end;
  return true;
}

bool SaveAsDialog::OpenWithRange(const std::vector<std::string>& folders, WallTime from,
                                 WallTime to) {
  if (!window_ || exporting()) return false;
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
  for (const std::string& folder : folders) {
    std::string entry = folder;
    if (entry.empty() || entry.size() + 1 > static_cast<std::size_t>(kMaxFolderEntry)) continue;
    if (entry.back() != '\\' && entry.back() != '/') entry += '\\';
    Append(entry.c_str(), entry);
  }
  char text[32];
  FormatWallTime(from, text, sizeof text);
  SetWindowTextA(from_, text);
  FormatWallTime(to, text, sizeof text);
  SetWindowTextA(to_, text);
  Show();
  UpdateSaveButton();
  return true;
}
