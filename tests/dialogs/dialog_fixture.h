// The Save As dialog as the program makes it (by the real main window),
// shown and emptied before each test, and helpers that drive it as a user
// does: clicks, typing, selections, keys.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/save_as_dialog.h"
#include "resources/resource.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"

namespace dialog_test {

using shell_test::Pump;
using shell_test::PumpUntil;

// Runs `tick` every `ms` from a thread timer, so also inside the modal
// loops (progress dialog, message box) that a click starts.
class Every {
 public:
  Every(UINT ms, std::function<void()> tick) : tick_(std::move(tick)) {
    current_ = this;
    id_ = SetTimer(nullptr, 0, ms, &Every::Fire);
  }
  ~Every() { KillTimer(nullptr, id_), current_ = nullptr; }

 private:
  static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) {
    if (!current_ || current_->busy_) return;
    current_->busy_ = true;  // not again from a modal loop the tick starts
    current_->tick_();
    current_->busy_ = false;
  }
  static inline Every* current_ = nullptr;
  std::function<void()> tick_;
  UINT_PTR id_ = 0;
  bool busy_ = false;
};

inline std::string WindowText(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

class SaveAsTest : public shell_test::MainWindowTest {
 protected:
  void SetUp() override;

  HWND dialog() const { return App().saveAsDialog.window(); }
  HWND item(int id) const { return GetDlgItem(dialog(), id); }
  // A button click as the button itself reports it.
  void Click(int id) { SendMessageA(item(id), BM_CLICK, 0, 0); }
  // The text of an edit field (or a combo box's edit part) as if typed.
  void Type(int id, const std::string& text);
  bool SaveEnabled() const { return IsWindowEnabled(item(IDC_SAVE)) != 0; }

  std::vector<std::string> Entries() const;
  void Fill(const std::vector<std::string>& entries);
  std::vector<int> Selection() const;
  void Select(const std::vector<int>& indices);

  testing_support::TempDir dir_;
};

}  // namespace dialog_test
