#include "dialogs/save_as_dialog.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "dialogs/dialog_proc.h"
#include "resources/resource.h"
#include "platform/log.h"

namespace {

// The selection the move and remove buttons take at most.
constexpr int kMaxSelected = 360;

struct FormatEntry {
  const char* text;
  int code;
};
constexpr FormatEntry kFormats[] = {{".mpg", 6}, {".avi", 1}, {".asf", 2}, {".wmv", 4}};
constexpr int kFirstBitRate = 100, kLastBitRate = 1000, kBitRateStep = 50, kDefaultRate = 400;

std::string Text(HWND control) {
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(control, &text[0], length + 1)));
  return text;
}

std::string ItemText(HWND list, int index) {
  const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT got = SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
  return text;
}

std::string ComboItemText(HWND combo, int index) {
  const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT got = SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
  return text;
}

int Count(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); }

bool Listed(HWND list, const char* text) {
  return SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                      reinterpret_cast<LPARAM>(text)) != LB_ERR;
}

std::vector<int> Selected(HWND list) {
  std::vector<int> items(kMaxSelected);
  const LRESULT n =
      SendMessageA(list, LB_GETSELITEMS, kMaxSelected, reinterpret_cast<LPARAM>(items.data()));
  items.resize(n == LB_ERR || n < 0 ? 0 : static_cast<std::size_t>(n));
  return items;
}

void MoveItem(HWND list, int from, int to) {
  const std::string text = ItemText(list, from);
  SendMessageA(list, LB_DELETESTRING, from, 0);
  SendMessageA(list, LB_INSERTSTRING, to, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(list, LB_SETSEL, TRUE, to);
}

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// A decimal number of at most five digits, blanks around it allowed; -1
// for anything else.
int ParseRate(const std::string& text) {
  std::size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  if (i == end || end - i > 5) return -1;
  int value = 0;
  for (; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Whether the export could write `name`: it can be created (the probe file
// goes again at once), or it is a file that exists and will be replaced.
bool Writable(const char* name) {
  const DWORD attributes = GetFileAttributesA(name);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    DeleteFileA(name);
    return true;
  }
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

INT_PTR CALLBACK SaveAsDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ForwardDialogMessage<SaveAsDialog>("Save As dialog", window, message, wParam, lParam);
}

}  // namespace

SaveAsDialog::SaveAsDialog() : job_(&progress_) {}

SaveAsDialog::~SaveAsDialog() = default;

int SaveAsDialog::Create(HWND owner) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_SAVE_AS), owner,
                                   SaveAsDialogProc, reinterpret_cast<LPARAM>(this));
  if (!window) {
    LogWindow::Print("Save As dialog: not created (%lu)", GetLastError());
    return 0;
  }
  window_ = window;
  list_ = GetDlgItem(window, IDC_INPUT_LIST);
  source_ = GetDlgItem(window, IDC_SOURCE_FOLDER);
  output_ = GetDlgItem(window, IDC_OUTPUT_NAME);
  up_ = GetDlgItem(window, IDC_MOVE_UP);
  down_ = GetDlgItem(window, IDC_MOVE_DOWN);
  remove_ = GetDlgItem(window, IDC_REMOVE);
  save_ = GetDlgItem(window, IDC_SAVE);
  bitRate_ = GetDlgItem(window, IDC_BITRATE);
  format_ = GetDlgItem(window, IDC_FORMAT);
  from_ = GetDlgItem(window, IDC_RANGE_FROM);
  to_ = GetDlgItem(window, IDC_RANGE_TO);
  hint_ = GetDlgItem(window, IDC_RANGE_HINT);
  stamp_ = GetDlgItem(window, IDC_TIME_STAMP);

  for (int rate = kFirstBitRate; rate <= kLastBitRate; rate += kBitRateStep) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", rate);
    SendMessageA(bitRate_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageA(bitRate_, CB_SETCURSEL, (kDefaultRate - kFirstBitRate) / kBitRateStep, 0);
  for (const FormatEntry& format : kFormats) {
    const LRESULT index =
        SendMessageA(format_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(format.text));
    SendMessageA(format_, CB_SETITEMDATA, index, format.code);
  }
  SendMessageA(format_, CB_SETCURSEL, 0, 0);

  // Icons sized for the buttons, not the shared 32 x 32 ones: released with
  // the dialog.
  upIcon_ = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_ARROW_UP), IMAGE_ICON, 16, 16, 0));
  downIcon_ = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_ARROW_DOWN), IMAGE_ICON, 16, 16, 0));
  SendMessageA(up_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(upIcon_));
  SendMessageA(down_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(downIcon_));
  visible_ = 0;
  return 1;
}

void SaveAsDialog::Show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOW);
  visible_ = 1;
}

// Right of the column, level with its top, kept on the column's monitor;
// only a screen too narrow for both lets the dialog overlap the column.
void SaveAsDialog::ShowBeside(HWND column) {
  if (!window_) return;
  RECT beside{}, box{};
  if (!IsWindowVisible(window_) && column && GetWindowRect(column, &beside) && GetWindowRect(window_, &box)) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(column, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const int width = box.right - box.left, height = box.bottom - box.top;
    const int x = std::max<int>(work.left, std::min<int>(beside.right, work.right - width));
    const int y = std::max<int>(work.top, std::min<int>(beside.top, work.bottom - height));
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Show();
  SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window_);
}

void SaveAsDialog::Hide() {
  if (!window_) return;
  ShowWindow(window_, SW_HIDE);
  visible_ = 0;
}

int SaveAsDialog::IsDropPoint(const POINT* point) const {
  if (!point || !window_ || !IsWindowVisible(window_)) return 0;
  RECT rect;
  return GetWindowRect(window_, &rect) && PtInRect(&rect, *point) ? 1 : 0;
}

int SaveAsDialog::AddDroppedFolder(const char* folder) {
  if (!folder || !folder[0] || !window_ || !IsWindowVisible(window_) || exporting()) return 0;
  std::string entry = folder;
  if (!EndsWithSeparator(entry)) entry += '\\';
  if (entry.size() > static_cast<std::size_t>(kMaxFolderEntry)) {
    Refuse("Dropped folder", entry.size(), kMaxFolderEntry);
    return 0;
  }
  return Append(folder, entry) ? 1 : 0;
}

bool SaveAsDialog::Append(const char* asGiven, const std::string& entry) {
  if (Listed(list_, asGiven) || Listed(list_, entry.c_str())) return false;
  SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  UpdateSaveButton();
  return true;
}

void SaveAsDialog::Refuse(const char* what, std::size_t length, int limit) const {
  char line[160];
  std::snprintf(line, sizeof line, "%s not taken: %u characters, longer than the %d a path may have",
                what, static_cast<unsigned>(length), limit);
  LogWindow::Print("%s", line);
  LogWindow::AddLine(line);
  MessageBeep(MB_ICONWARNING);
}

int SaveAsDialog::BitRate(HWND selecting) const {
  std::string text;
  if (selecting == bitRate_)
    text = ComboItemText(bitRate_, static_cast<int>(SendMessageA(bitRate_, CB_GETCURSEL, 0, 0)));
  else
    text = Text(bitRate_);
  const int rate = ParseRate(text);
  return rate >= kLowestBitRate && rate <= kHighestBitRate ? rate : 0;
}

int SaveAsDialog::FormatCode(HWND selecting) const {
  int index = static_cast<int>(SendMessageA(format_, CB_GETCURSEL, 0, 0));
  if (selecting != format_) {
    // Typed text counts when it names an entry, with or without its dot.
    std::string text = Text(format_);
    index = static_cast<int>(SendMessageA(format_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(text.c_str())));
    if (index == CB_ERR && !text.empty() && text[0] != '.') {
      text.insert(0, 1, '.');
      index = static_cast<int>(SendMessageA(format_, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(text.c_str())));
    }
  }
  if (index < 0) return -1;
  return static_cast<int>(SendMessageA(format_, CB_GETITEMDATA, index, 0));
}

int SaveAsDialog::UpdateSaveButton() { return UpdateSave(nullptr); }

void SaveAsDialog::ShowFormatInLabel(int formatCode) {
  const char* extension = FormatExtension(formatCode);  // ".avi", or null
  char label[32] = "File name";
  if (extension) {
    char format[8] = "";
    for (int i = 0; extension[i + 1] && i < 7; ++i)
      format[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(extension[i + 1])));
    std::snprintf(label, sizeof label, "File name (%s)", format);
  }
  SetDlgItemTextA(window_, IDC_OUTPUT_LABEL, label);
}

int SaveAsDialog::UpdateSave(HWND selecting) {
  if (!window_) return 0;
  ShowFormatInLabel(FormatCode(selecting));
  bool enable = Count(list_) > 0 && BitRate(selecting) > 0;
  const int format = enable ? FormatCode(selecting) : -1;
  enable = format >= 0;
  const std::string name = Text(output_);
  const bool tooLong = name.size() > static_cast<std::size_t>(kMaxOutputName);
  if (tooLong && !outputTooLong_) Refuse("Output file name", name.size(), kMaxOutputName);
  outputTooLong_ = tooLong;
  if (name.empty() || tooLong) enable = false;
  ExportRequest range;
  if (!ReadRange(&range)) enable = false;
  if (enable) {
    // The name the export will write: the format's extension in place.
    char finalName[kMaxOutputName + 1];
    enable = ReplaceExtension(name.c_str(), FormatExtension(format), finalName, sizeof finalName) &&
             Writable(finalName);
  }
  EnableWindow(save_, enable);
  return enable ? 1 : 0;
}

void SaveAsDialog::OnAdd() {
  const std::string text = Text(source_);
  if (text.empty()) return;
  std::string entry = text;
  if (!EndsWithSeparator(entry)) entry += '\\';
  if (entry.size() > static_cast<std::size_t>(kMaxFolderEntry)) {
    Refuse("Path", entry.size(), kMaxFolderEntry);
    return;
  }
  const DWORD attributes = GetFileAttributesA(entry.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  Append(entry.c_str(), entry);
}

// Each selected entry moves one place up, except those stuck in a run of
// selected entries that reaches the top.
void SaveAsDialog::OnMoveUp() {
  int stuck = 0;  // entries above this index cannot move
  for (int index : Selected(list_)) {
    if (index == stuck) {
      ++stuck;
      continue;
    }
    MoveItem(list_, index, index - 1);
  }
}

void SaveAsDialog::OnMoveDown() {
  std::vector<int> selected = Selected(list_);
  int stuck = Count(list_) - 1;  // entries below this index cannot move
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    if (*it == stuck) {
      --stuck;
      continue;
    }
    MoveItem(list_, *it, *it + 1);
  }
}

void SaveAsDialog::OnRemove() {
  const std::vector<int> selected = Selected(list_);
  if (selected.empty()) return;
  int removed = 0;
  for (int index : selected) SendMessageA(list_, LB_DELETESTRING, index - removed++, 0);
  UpdateSaveButton();
}

void SaveAsDialog::OnSave() {
  if (exporting() || Count(list_) == 0 || !UpdateSaveButton()) return;
  ExportRequest request;
  for (int i = 0, n = Count(list_); i < n; ++i) request.folders.push_back(ItemText(list_, i));
  request.output = Text(output_);
  request.bitRate = std::to_string(BitRate());
  request.format = FormatCode();
  ReadRange(&request);
  progress_.Run(&job_, request, ExportTargets{window_, list_, output_});
  // Destroyed meanwhile when the program closed during the export.
  if (window_) UpdateSaveButton();
}

void SaveAsDialog::OnBrowseSource() {
  // No owner: the browser runs beside the dialog, so a second click must
  // not open another.
  if (browsing_) return;
  browsing_ = true;
  char name[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.pszDisplayName = name;
  info.lpszTitle = "Select source folder";
  // The browser asks the shell's folders for their items: COM must be up
  // on this thread; each successful initialisation is balanced.
  const HRESULT com = CoInitialize(nullptr);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  browsing_ = false;
  char path[MAX_PATH] = {};
  if (chosen && SHGetPathFromIDListA(chosen, path) && window_) SetWindowTextA(source_, path);
  IMalloc* malloc = nullptr;
  if (chosen && SUCCEEDED(SHGetMalloc(&malloc))) {
    malloc->Free(chosen);
    malloc->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

void SaveAsDialog::OnBrowseOutput() {
  char file[MAX_PATH] = {};
  const std::string current = Text(output_);
  // A name too long to hand over is not cut: the dialog starts empty.
  if (current.size() < sizeof file) std::memcpy(file, current.c_str(), current.size() + 1);
  OPENFILENAMEA open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = window_;
  open.lpstrFilter = "All files(*.*)\0*.*\0";
  open.lpstrFile = file;
  open.nMaxFile = sizeof file;
  if (GetSaveFileNameA(&open)) SetWindowTextA(output_, file);
}

INT_PTR SaveAsDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_CLOSE:
      Hide();
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      if (code == BN_CLICKED) {
        switch (id) {
          case IDC_ADD: OnAdd(); break;
          case IDC_MOVE_UP: OnMoveUp(); break;
          case IDC_MOVE_DOWN: OnMoveDown(); break;
          case IDC_REMOVE: OnRemove(); break;
          case IDC_SAVE: OnSave(); break;
          case IDC_SOURCE_BROWSE: OnBrowseSource(); break;
          case IDC_OUTPUT_BROWSE: OnBrowseOutput(); break;
          case IDCANCEL: Hide(); break;
        }
      }
      if ((id == IDC_OUTPUT_NAME || id == IDC_RANGE_FROM || id == IDC_RANGE_TO) &&
          code == EN_CHANGE)
        UpdateSaveButton();
      if ((id == IDC_BITRATE || id == IDC_FORMAT) && code == CBN_EDITCHANGE) UpdateSaveButton();
      // While a choice is announced the edit part still shows the old text.
      if ((id == IDC_BITRATE || id == IDC_FORMAT) && code == CBN_SELCHANGE)
        UpdateSave(GetDlgItem(window, id));
      return TRUE;
    }
    case WM_NCDESTROY:
      window_ = list_ = source_ = output_ = up_ = down_ = remove_ = save_ = bitRate_ = format_ =
          from_ = to_ = hint_ = stamp_ = nullptr;
      visible_ = 0;
      if (upIcon_) DestroyIcon(upIcon_);
      if (downIcon_) DestroyIcon(downIcon_);
      upIcon_ = downIcon_ = nullptr;
      return FALSE;
  }
  return FALSE;
}
