// The modal "Generating..." dialog (template 142) that runs one export and
// shows its progress: status text, progress bar, Cancel/Close button.
//
// It is also the job's user interface. The job's worker never sends a
// message and never waits for the user-interface thread: what the job
// reads (folders, output name, bit rate, format) is a copy taken before the
// worker starts, and what it reports goes into a small mailbox under a
// short lock. The dialog copies the mailbox out on a 100 ms timer, and at
// once when the worker rings (the job's end, a picture-size mismatch).
//
// Before the job starts, a thread of the dialog's own reads the first
// picture of every listed folder: folders whose pictures differ in size are
// said before anything is written (a read may be slow, so not on the
// user-interface thread). The status ends by saying how the export ended.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/export_ui.h"

class ExportJob;

// What one export reads, copied from the Save As dialog's controls.
struct ExportRequest {
  std::vector<std::string> folders;  // backslash-terminated, in list order
  std::string output;
  std::string bitRate;  // decimal kbit/s
  int format = 6;       // format code
  bool ranged = false;  // From/To given: only frames in [from, to]
  WallTime from = 0, to = 0;
  bool stamp = false;  // "Time stamp" checked
};

// The Save As dialog's windows that the export's reports reach.
struct ExportTargets {
  HWND owner = nullptr;   // owns the progress dialog and the mismatch box
  HWND list = nullptr;    // input folder list: folders the job drops leave it
  HWND output = nullptr;  // output name field: the name the job writes
};

class ProgressDialog : public ExportUi {
 public:
  ProgressDialog() = default;
  ~ProgressDialog() override = default;
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // Runs `job` on `request` in the modal dialog; returns when the dialog
  // has closed and the job's worker has ended.
  void Run(ExportJob* job, const ExportRequest& request, const ExportTargets& targets);
  HWND window() const { return window_; }
  // The program is closing: a running job stops as by Cancel, and its
  // worker has ended when this returns. The dialog goes with its owners.
  void StopForExit();

  // ExportUi, called on the job's worker thread.
  int FolderCount() override;
  bool GetFolder(int index, char* out, std::size_t size) override;
  void RemoveFolder(int index) override;
  bool GetOutputName(char* out, std::size_t size) override;
  void SetOutputName(const char* name) override;
  bool GetBitRateText(char* out, std::size_t size) override;
  int GetFormatCode() override;
  void SetStatusText(const char* text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressStep(int step) override;
  void SetProgressPosition(int position) override;
  void StepProgress() override;
  void SetButtonText(const char* text) override;
  void ShowMismatch(const char* text) override;
  bool GetTimeRange(WallTime* from, WallTime* to) override;
  bool GetTimeStamp() override { return request_.stamp; }

  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // The job's latest reports. Texts are bounded copies: a report never
  // allocates.
  struct Mailbox {
    char status[288] = {};
    char button[32] = {};
    char output[288] = {};
    char mismatch[128] = {};
    unsigned statusSerial = 0, rangeSerial = 0, buttonSerial = 0, outputSerial = 0,
             mismatchSerial = 0;
    int low = 0, high = 0, step = 1, position = 0;
    bool ended = false;
  };

  void OnInit(HWND window);
  void OnCancel();
  void OnDestroy();
  // Copies the mailbox out and brings the controls up to date; joins the
  // worker once the job has ended. `closing`: the dialog is going away
  // (no message box any more).
  void Pull(bool closing);
  // Gets the user-interface thread to pull soon; at most one post waits.
  void Ring();
  // The size check before the job: started by OnInit; its thread's body;
  // on the user-interface thread once it has ended: the job starts, or the
  // dialog says why not.
  void StartSizeCheck();
  void CheckSizes();
  void PullSizeCheck(bool closing);
  // Ends the check at its next folder and waits for its thread.
  void StopSizeCheck();
  // The status text for how the job ended (after the job's own text).
  std::string EndText(const Mailbox& box) const;
  // After the job: the status says where its checksum manifest is.
  void ShowManifest();

  ExportJob* job_ = nullptr;
  ExportRequest request_;  // the worker's copy while the job runs
  ExportTargets targets_;
  HWND window_ = nullptr;
  HWND status_ = nullptr;
  HWND bar_ = nullptr;
  HWND button_ = nullptr;

  std::mutex mutex_;
  Mailbox box_;                  // under mutex_
  std::vector<int> removed_;     // under mutex_: list indices, in order
  HWND doorbell_ = nullptr;      // under mutex_: where Ring posts
  std::atomic<bool> rung_{false};

  std::thread checker_;             // the size check, while checking_
  bool checking_ = false;           // user-interface thread
  std::atomic<bool> checkStop_{false};
  bool checkEnded_ = false;         // under mutex_
  std::string checkMismatch_;       // under mutex_: what the check found

  Mailbox shown_;  // what the controls show (user-interface thread)
  bool joined_ = true;
  bool exitStop_ = false;  // StopForExit stopped the job
};
