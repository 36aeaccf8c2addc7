// What the export job reads from and writes to the user interface: the
// Save As dialog's input list, output name, bit-rate and format lists, and
// the progress dialog's status text, progress bar and button.
//
// The Win32 dialog implements it by sending messages to its controls (the
// worker thread waits while the user-interface thread serves them); the
// command-line tool and the tests implement it directly. Every call comes
// from the job's worker thread. The defaults are a user interface that lists
// nothing and shows nothing.
#pragma once

#include <cstddef>

#include "store/wall_clock.h"

class ExportUi {
 public:
  virtual ~ExportUi() = default;

  // Input folder list: paths ending with the path separator, in list order.
  virtual int FolderCount() { return 0; }
  // Copies entry `index` into `out` (at most size - 1 characters); false
  // when there is no such entry or it does not fit.
  virtual bool GetFolder(int, char*, std::size_t) { return false; }
  virtual void RemoveFolder(int) {}

  // Output name field.
  virtual bool GetOutputName(char*, std::size_t) { return false; }
  virtual void SetOutputName(const char*) {}

  // Text of the selected bit-rate entry (kbit/s, read as a decimal number);
  // false when no entry is selected.
  virtual bool GetBitRateText(char*, std::size_t) { return false; }
  // Format code of the selected format entry (6 .mpg, 1 .avi, 2 .asf,
  // 4 .wmv); -1 when no entry is selected.
  virtual int GetFormatCode() { return -1; }

  // Progress dialog. The range's upper bound is a frame count, which may
  // exceed 65535 (PBM_SETRANGE32 holds it).
  virtual void SetStatusText(const char*) {}
  virtual void SetProgressRange(int, int) {}
  virtual void SetProgressStep(int) {}
  virtual void SetProgressPosition(int) {}
  virtual void StepProgress() {}
  virtual void SetButtonText(const char*) {}

  // The picture-size mismatch: a message box owned by the Save As dialog,
  // OK button, stop icon, the system's default caption.
  virtual void ShowMismatch(const char*) {}

  // Added for ranged and stamped exports; the defaults keep whole minutes
  // without a stamp.
  // The wall-clock range to export, both ends included (From/To fields):
  // false for whole minutes. Frames of folders that are not minute folders
  // of a backup (no wall-clock time) lie outside every range.
  virtual bool GetTimeRange(WallTime* from, WallTime* to) {
    (void)from;
    (void)to;
    return false;
  }
  // Whether each picture gets the camera name and its time burned in.
  virtual bool GetTimeStamp() { return false; }
};
