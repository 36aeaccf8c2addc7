// The modeless Save As dialog (template 141) that composes an export: the
// ordered list of minute folders, the output name, bit rate and format. Its
// Save button runs the export in the modal progress dialog. The shell makes
// one, which also owns the export job and its buffers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/progress_dialog.h"
#include "export/export_job.h"
#include "store/layout.h"

// Longest folder entry: the longest minute folder that can be opened, with
// its final backslash.
constexpr int kMaxFolderEntry = static_cast<int>(kMaxMinuteFolderLength) + 1;
// Longest output name the fields and the export take.
constexpr int kMaxOutputName = static_cast<int>(kLongestPath);
// Bit rates a typed entry may give, kbit/s.
constexpr int kLowestBitRate = 50;
constexpr int kHighestBitRate = 20000;

class SaveAsDialog {
 public:
  SaveAsDialog();
  virtual ~SaveAsDialog();
  SaveAsDialog(const SaveAsDialog&) = delete;
  SaveAsDialog& operator=(const SaveAsDialog&) = delete;

  // Creates the dialog hidden, owned by `owner` (the main window), fills
  // its lists: 1, or 0 when the dialog could not be made.
  int Create(HWND owner);
  // Shows it (the "&Save As..." command) and hides it (Close).
  void Show();
  void Hide();
  // The "&Save As..." command: a hidden dialog opens beside `column` (the
  // tree's panel, which it must not cover: items are dragged from there);
  // either way it comes to the front.
  void ShowBeside(HWND column);
  HWND window() const { return window_; }
  bool visible() const { return visible_ != 0; }
  bool exporting() const { return job_.running.load() != 0; }

  // Drag and drop from the folder tree. IsDropPoint: 1 when the screen
  // point lies on the shown dialog. AddDroppedFolder: 1 when the minute
  // folder was added (made backslash-terminated); 0 when it is already
  // listed, too long, or the dialog is hidden or exporting.
  int IsDropPoint(const POINT* point) const;
  int AddDroppedFolder(const char* folder);
  // Enables Save exactly when an export can start: 1 when it ends enabled.
  int UpdateSaveButton();

  // The buttons, as a click runs them.
  void OnAdd();
  void OnMoveUp();
  void OnMoveDown();
  void OnRemove();
  void OnSave();
  void OnBrowseSource();
  void OnBrowseOutput();

  // "Export Range...": lists `folders` (minute folders) in place of the
  // list's entries, fills From/To with the range and shows the dialog.
  // False while an export runs.
  bool OpenWithRange(const std::vector<std::string>& folders, WallTime from, WallTime to);

  // The main window is closing: a running export stops and keeps the
  // pictures written so far (the progress dialog logs where).
  void StopExportForExit() { progress_.StopForExit(); }

  // The export job the progress dialog runs (tests and benchmarks read its
  // outcome).
  ExportJob& job() { return job_; }
  ProgressDialog& progress() { return progress_; }

  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // The typed or chosen bit rate, kbit/s; 0 when it is not a number from
  // kLowestBitRate to kHighestBitRate. `selecting`: the combo box whose
  // choice is being announced (its edit part still shows the old text), so
  // its selected entry counts.
  int BitRate(HWND selecting = nullptr) const;
  // The format code of the chosen or typed entry; -1 when it names none.
  int FormatCode(HWND selecting = nullptr) const;
  int UpdateSave(HWND selecting);
  // The output name's label names the chosen format: "File name (AVI)".
  void ShowFormatInLabel(int formatCode);
  // Reads From/To and the stamp into `request`; false, with the reason in
  // the hint line, when a typed time does not parse or From is after To.
  // Both empty: whole minutes.
  bool ReadRange(ExportRequest* request);
  // Appends `entry` (backslash-terminated) unless it or `asGiven` is listed.
  bool Append(const char* asGiven, const std::string& entry);
  // Tells the user why a path was not taken: a beep and a log line.
  void Refuse(const char* what, std::size_t length, int limit) const;

  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND source_ = nullptr;
  HWND output_ = nullptr;
  HWND up_ = nullptr;
  HWND down_ = nullptr;
  HWND remove_ = nullptr;
  HWND save_ = nullptr;
  HWND bitRate_ = nullptr;
  HWND format_ = nullptr;
  HWND from_ = nullptr, to_ = nullptr, hint_ = nullptr, stamp_ = nullptr;
  HICON upIcon_ = nullptr;
  HICON downIcon_ = nullptr;
  int visible_ = 0;
  bool outputTooLong_ = false;  // said once until the name fits again
  bool browsing_ = false;       // the folder browser is open

  // The progress dialog before the job: the job keeps a pointer to it.
  ProgressDialog progress_;
  ExportJob job_;
};
