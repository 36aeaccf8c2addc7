#include "dialogs/progress_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "export/export_job.h"
#include "dialogs/dialog_proc.h"
#include "playback/frame_decoder.h"
#include "resources/resource.h"
#include "platform/log.h"

namespace {

constexpr UINT_PTR kPullTimer = 1;
constexpr UINT kPullMs = 100;
constexpr UINT kDoorbell = WM_APP + 12;

// Bounded copy; false when `text` had to be cut.
bool CopyText(char* out, std::size_t size, const char* text) {
  if (size == 0) return false;
  const std::size_t length = std::strlen(text);
  const std::size_t n = std::min(length, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
  return n == length;
}

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ForwardDialogMessage<ProgressDialog>("Progress dialog", window, message, wParam, lParam);
}

}  // namespace

void ProgressDialog::Run(ExportJob* job, const ExportRequest& request,
                         const ExportTargets& targets) {
  job_ = job;
  request_ = request;
  targets_ = targets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    box_ = Mailbox();
    removed_.clear();
    removed_.reserve(request_.folders.size());
  }
  shown_ = Mailbox();
  rung_ = false;
  exitStop_ = false;
  if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), targets.owner,
                      ProgressDialogProc, reinterpret_cast<LPARAM>(this)) == -1)
    LogWindow::Print("Progress dialog: not created (%lu)", GetLastError());
}

INT_PTR ProgressDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(window);
      return TRUE;
    case WM_TIMER:
      if (wParam == kPullTimer) Pull(false);
      return TRUE;
    case kDoorbell:
      rung_ = false;
      Pull(false);
      return TRUE;
    case WM_COMMAND:
      // Escape (IDCANCEL) is Cancel too.
      if ((LOWORD(wParam) == IDC_PROGRESS_CANCEL && HIWORD(wParam) == BN_CLICKED) ||
          LOWORD(wParam) == IDCANCEL)
        OnCancel();
      return TRUE;
    case WM_CLOSE:
      OnCancel();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
  }
  return FALSE;
}

void ProgressDialog::OnInit(HWND window) {
  window_ = window;
  status_ = GetDlgItem(window, IDC_PROGRESS_STATUS);
  bar_ = GetDlgItem(window, IDC_PROGRESS_BAR);
  button_ = GetDlgItem(window, IDC_PROGRESS_CANCEL);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    doorbell_ = window;
  }
  SetTimer(window, kPullTimer, kPullMs, nullptr);
  StartSizeCheck();
}

void ProgressDialog::StartSizeCheck() {
  SetWindowTextA(status_, "Checking the picture sizes...");
  checkStop_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    checkEnded_ = false;
    checkMismatch_.clear();
  }
  checking_ = true;
  checker_ = std::thread(&ProgressDialog::CheckSizes, this);
}

// Folders whose first picture cannot be read are left to the job, which
// passes them over.
void ProgressDialog::CheckSizes() {
  std::vector<std::uint8_t> buffer;
  std::string first, found;
  int firstWidth = 0, firstHeight = 0;
  for (std::string folder : request_.folders) {
    if (checkStop_.load()) break;
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    int width = 0, height = 0;
    if (GetImageSize(folder.c_str(), &width, &height, buffer) != 0) continue;
    if (first.empty()) {
      first = folder;
      firstWidth = width;
      firstHeight = height;
    } else if (width != firstWidth || height != firstHeight) {
      char text[700];
      std::snprintf(text, sizeof text,
                    "The pictures differ in size: %dx%d in %s, %dx%d in %s. One file takes one "
                    "size: nothing was exported.",
                    firstWidth, firstHeight, first.c_str(), width, height, folder.c_str());
      found = text;
      break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    checkEnded_ = true;
    checkMismatch_ = found;
  }
  Ring();
}

void ProgressDialog::PullSizeCheck(bool closing) {
  std::string mismatch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!checkEnded_) return;
    mismatch = checkMismatch_;
  }
  checker_.join();  // its last act was the report just read
  checking_ = false;
  const char* status = nullptr;
  if (checkStop_.load()) {
    status = "Cancelled before the export started.";
  } else if (!mismatch.empty()) {
    status = "Not started: the listed folders hold pictures of different sizes.";
    LogWindow::Print("%s", mismatch.c_str());
  } else if (!job_ || !job_->Start()) {
    status = "Failed: the export did not start.";
    LogWindow::Print("Progress dialog: the export did not start");
  } else {
    joined_ = false;
    return;
  }
  SetWindowTextA(status_, status);
  SetWindowTextA(button_, kCloseText);
  if (!mismatch.empty() && !closing)
    MessageBoxA(IsWindow(targets_.owner) ? targets_.owner : nullptr, mismatch.c_str(), nullptr,
                MB_OK | MB_ICONHAND);
}

std::string ProgressDialog::EndText(const Mailbox& box) const {
  char text[400];
  const int pictures = job_->picturesWritten();
  const char* plural = pictures == 1 ? "" : "s";
  switch (job_->outcome()) {
    case ExportJob::Outcome::kCancelled:
      if (!box.outputSerial) return "Cancelled before the file was made.";
      std::snprintf(text, sizeof text, "Cancelled. The file holds %d picture%s.", pictures, plural);
      return text;
    case ExportJob::Outcome::kMismatch:
      std::snprintf(text, sizeof text, "Stopped: %s. The file holds %d picture%s.", box.mismatch,
                    pictures, plural);
      return text;
    case ExportJob::Outcome::kOutputFailed:
      return "Failed: the output file could not be made.";
    case ExportJob::Outcome::kNoFolder:
      return "Failed: no listed folder holds pictures.";
    case ExportJob::Outcome::kProbeFailed:
      return "Failed: the first picture could not be read.";
    case ExportJob::Outcome::kEncoderFailed:
      return "Failed: the encoder could not be started.";
    default:
      return box.status;
  }
}

void ProgressDialog::OnCancel() {
  // The job closes its file first; the dialog ends with the next click,
  // once the button reads "Close".
  if (job_ && job_->running.load()) {
    job_->stopRequested = 1;
    return;
  }
  if (checking_) {
    checkStop_ = true;
    return;
  }
  EndDialog(window_, IDCANCEL);
}

// Ends by EndDialog, or destroyed with its owners when the program closes:
// then the job stops as by Cancel and keeps what it has written.
void ProgressDialog::OnDestroy() {
  KillTimer(window_, kPullTimer);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    doorbell_ = nullptr;
  }
  StopSizeCheck();
  const bool stopped = exitStop_ || (job_ && job_->running.load());
  if (stopped) job_->stopRequested = 1;
  if (job_ && !joined_) job_->Join();
  joined_ = true;
  Pull(true);
  if (stopped) {
    char line[400];
    if (shown_.outputSerial)
      std::snprintf(line, sizeof line,
                    "Export cancelled: the program was closed; %s holds the %d frames written so "
                    "far.",
                    shown_.output, job_->picturesWritten());
    else
      std::snprintf(line, sizeof line,
                    "Export cancelled: the program was closed before the output file was made.");
    LogWindow::Print("%s", line);
    LogWindow::AddLine(line);
  }
  window_ = status_ = bar_ = button_ = nullptr;
}

void ProgressDialog::StopSizeCheck() {
  if (!checking_) return;
  checkStop_ = true;
  checker_.join();
  checking_ = false;
}

void ProgressDialog::StopForExit() {
  if (!window_ || !job_) return;
  StopSizeCheck();
  if (job_->running.load()) {
    job_->stopRequested = 1;
    exitStop_ = true;
  }
  if (!joined_) job_->Join();
  joined_ = true;
}

void ProgressDialog::Pull(bool closing) {
  if (checking_) {
    PullSizeCheck(closing);
    return;
  }
  Mailbox box;
  std::vector<int> removed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    box = box_;
    removed.swap(removed_);
  }
  if (box.statusSerial != shown_.statusSerial) SetWindowTextA(status_, box.status);
  if (box.rangeSerial != shown_.rangeSerial)
    SendMessageA(bar_, PBM_SETRANGE32, box.low, std::max(box.low, box.high));
  if (box.position != shown_.position || box.rangeSerial != shown_.rangeSerial)
    SendMessageA(bar_, PBM_SETPOS, box.position, 0);
  if (box.buttonSerial != shown_.buttonSerial) SetWindowTextA(button_, box.button);
  if (box.ended && !shown_.ended) SetWindowTextA(status_, EndText(box).c_str());
  if (box.outputSerial != shown_.outputSerial && IsWindow(targets_.output))
    SetWindowTextA(targets_.output, box.output);
  if (IsWindow(targets_.list))
    for (int index : removed) SendMessageA(targets_.list, LB_DELETESTRING, index, 0);
  const bool mismatch = box.mismatchSerial != shown_.mismatchSerial;
  // Before the message box: its loop runs this again.
  shown_ = box;
  if (mismatch && !closing)
    MessageBoxA(IsWindow(targets_.owner) ? targets_.owner : nullptr, box.mismatch, nullptr,
                MB_OK | MB_ICONHAND);
  if (box.ended && !joined_) {
    // The worker's last act was the report just read: the join is short.
    joined_ = true;
    KillTimer(window_, kPullTimer);
    job_->Join();
    ShowManifest();
  }
}

void ProgressDialog::Ring() {
  if (rung_.exchange(true)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (doorbell_)
    PostMessageA(doorbell_, kDoorbell, 0, 0);
  else
    rung_ = false;
}

// ---- ExportUi, on the worker thread ----

int ProgressDialog::FolderCount() { return static_cast<int>(request_.folders.size()); }

bool ProgressDialog::GetFolder(int index, char* out, std::size_t size) {
  if (index < 0 || index >= FolderCount()) return false;
  return CopyText(out, size, request_.folders[index].c_str());
}

void ProgressDialog::RemoveFolder(int index) {
  if (index < 0 || index >= FolderCount()) return;
  request_.folders.erase(request_.folders.begin() + index);
  std::lock_guard<std::mutex> lock(mutex_);
  removed_.push_back(index);
}

bool ProgressDialog::GetOutputName(char* out, std::size_t size) {
  return CopyText(out, size, request_.output.c_str());
}

void ProgressDialog::SetOutputName(const char* name) {
  request_.output = name;
  std::lock_guard<std::mutex> lock(mutex_);
  CopyText(box_.output, sizeof box_.output, name);
  ++box_.outputSerial;
}

bool ProgressDialog::GetBitRateText(char* out, std::size_t size) {
  return !request_.bitRate.empty() && CopyText(out, size, request_.bitRate.c_str());
}

int ProgressDialog::GetFormatCode() { return request_.format; }

void ProgressDialog::SetStatusText(const char* text) {
  std::lock_guard<std::mutex> lock(mutex_);
  CopyText(box_.status, sizeof box_.status, text);
  ++box_.statusSerial;
}

void ProgressDialog::SetProgressRange(int low, int high) {
  std::lock_guard<std::mutex> lock(mutex_);
  box_.low = low;
  box_.high = std::max(low, high);
  box_.position = std::min(std::max(box_.position, box_.low), box_.high);
  ++box_.rangeSerial;
}

void ProgressDialog::SetProgressStep(int step) {
  std::lock_guard<std::mutex> lock(mutex_);
  box_.step = step;
}

void ProgressDialog::SetProgressPosition(int position) {
  std::lock_guard<std::mutex> lock(mutex_);
  box_.position = std::min(std::max(position, box_.low), box_.high);
}

// Stops at the end of the range: the bar stays full rather than starting
// over.
void ProgressDialog::StepProgress() {
  std::lock_guard<std::mutex> lock(mutex_);
  box_.position = std::min(std::max(box_.position + box_.step, box_.low), box_.high);
}

// The job names its button only when it ends.
void ProgressDialog::SetButtonText(const char* text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    CopyText(box_.button, sizeof box_.button, text);
    ++box_.buttonSerial;
    box_.ended = true;
  }
  Ring();
}

void ProgressDialog::ShowMismatch(const char* text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    CopyText(box_.mismatch, sizeof box_.mismatch, text);
    ++box_.mismatchSerial;
  }
  Ring();
}

bool ProgressDialog::GetTimeRange(WallTime* from, WallTime* to) {
  if (!request_.ranged) return false;
  *from = request_.from;
  *to = request_.to;
  return true;
}

void ProgressDialog::ShowManifest() {
  if (!job_ || job_->manifestPath().empty() || !status_) return;
  const std::string text =
      EndText(shown_) + "\r\nChecksum: " + job_->manifestPath();
  SetWindowTextA(status_, text.c_str());
  LogWindow::Print("Export: checksum manifest %s", job_->manifestPath().c_str());
}
