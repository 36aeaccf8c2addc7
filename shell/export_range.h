// "Export Range...": the Save As dialog with the marked range's minute
// folders listed and its From/To fields filled.
#pragma once

#include <string>
#include <vector>

#include "workspace/marks.h"

class SaveAsDialog;

// The minute folders of the range's cameras that hold part of [in, out],
// camera by camera, each in time order.
std::vector<std::string> RangeMinuteFolders(const MarkedRange& range);

// False, with a beep and a log line, while the range lacks an end or the
// dialog cannot take it (an export runs).
bool ExportRange(const MarkedRange& range, SaveAsDialog& saveAs);
