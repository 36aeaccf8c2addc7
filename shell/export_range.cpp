#include "shell/export_range.h"

#include <windows.h>

#include "dialogs/save_as_dialog.h"
#include "platform/log.h"

std::vector<std::string> RangeMinuteFolders(const MarkedRange& range) {
  std::vector<std::string> out;
  for (const std::string& camera : range.cameras) {
    std::vector<std::string> minutes;
    ListMinuteFolders(camera.c_str(), minutes);
    for (const std::string& minute : minutes) {
      WallTime start;
      if (MinuteFolderStart(minute.c_str(), &start) && start <= range.out.moment &&
          start + kHundredthsPerMinute > range.in.moment)
        out.push_back(minute);
    }
  }
  return out;
}

bool ExportRange(const MarkedRange& range, SaveAsDialog& saveAs) {
  if (!range.complete()) {
    LogWindow::Print("Export Range: mark In and Out first (keys I and O)");
    MessageBeep(MB_ICONWARNING);
    return false;
  }
  const std::vector<std::string> folders = RangeMinuteFolders(range);
  if (!saveAs.OpenWithRange(folders, range.in.moment, range.out.moment)) {
    LogWindow::Print("Export Range: the Save As dialog is busy");
    MessageBeep(MB_ICONWARNING);
    return false;
  }
  LogWindow::Print("Export Range: %u minute folders", static_cast<unsigned>(folders.size()));
  return true;
}
