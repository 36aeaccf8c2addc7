// The workspace's marked range ("Mark In", "Mark Out"): one range of wall
// time, the cameras whose windows marked it, and where on their strips the
// marked frames lie. The timeline panel and "Export Range..." read it.
#pragma once

#include <string>
#include <vector>

#include "store/wall_clock.h"

struct MarkedRange {
  struct End {
    WallTime moment = -1;  // -1: not marked
    std::string folder;    // the marking window's minute folder
    int position = -1;     // the marked frame's slider position there
  };
  End in, out;
  std::vector<std::string> cameras;  // camera folders of the marking windows

  bool complete() const { return in.moment >= 0 && out.moment >= 0; }
  // Takes one end; an end that would reverse the range clears the other.
  void Set(bool isOut, const End& end, const std::string& camera);
};

// The part of a window's strip the range covers while it shows the minute
// `folder` (slider 0..maximum): false when none. A marked frame in this
// minute bounds it by its position; a minute wholly inside runs end to end.
bool MarkedSpan(const MarkedRange& range, const std::string& folder, int maximum, int* low,
                int* high);

// The camera folder of a minute folder (…/camera/YYYY-MM-DD/HH/MM); empty
// when the path is not one.
std::string CameraOfMinute(const std::string& minuteFolder);
