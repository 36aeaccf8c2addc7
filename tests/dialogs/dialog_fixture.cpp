#include "tests/dialogs/dialog_fixture.h"

namespace dialog_test {

void SaveAsTest::SetUp() {
  MainWindowTest::SetUp();
  ASSERT_NE(dialog(), nullptr);
  if (!IsWindowVisible(dialog())) {
    PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_SAVE_AS, 0);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(dialog()) != 0; }, 2000));
  }
  SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
  SetWindowTextA(item(IDC_SOURCE_FOLDER), "");
  SetWindowTextA(item(IDC_OUTPUT_NAME), "");
  SendMessageA(item(IDC_BITRATE), CB_SETCURSEL, 6, 0);
  SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, 0, 0);
  SetWindowTextA(item(IDC_RANGE_FROM), "");
  SetWindowTextA(item(IDC_RANGE_TO), "");
  SendMessageA(item(IDC_TIME_STAMP), BM_SETCHECK, BST_UNCHECKED, 0);
  App().saveAsDialog.UpdateSaveButton();
}

void SaveAsTest::Type(int id, const std::string& text) {
  HWND control = item(id);
  char cls[32] = "";
  GetClassNameA(control, cls, sizeof cls);
  if (lstrcmpiA(cls, "ComboBox") != 0) {
    SetWindowTextA(control, text.c_str());
    return;
  }
  // Keystrokes into the edit part: the combo box reports typing only.
  HWND edit = FindWindowExA(control, nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, WM_CHAR, VK_BACK, 0);
  for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
}

std::vector<std::string> SaveAsTest::Entries() const {
  std::vector<std::string> entries;
  HWND list = item(IDC_INPUT_LIST);
  const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char text[1024] = "";
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

std::vector<int> SaveAsTest::Selection() const {
  std::vector<int> selected;
  HWND list = item(IDC_INPUT_LIST);
  const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i)
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) selected.push_back(i);
  return selected;
}

void SaveAsTest::Fill(const std::vector<std::string>& entries) {
  for (const std::string& e : entries) ASSERT_EQ(App().saveAsDialog.AddDroppedFolder(e.c_str()), 1) << e;
}

void SaveAsTest::Select(const std::vector<int>& indices) {
  HWND list = item(IDC_INPUT_LIST);
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  for (int i : indices) SendMessageA(list, LB_SETSEL, TRUE, i);
}

}  // namespace dialog_test
