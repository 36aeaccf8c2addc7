// What a camera recorded, as spans of wall-clock time: consecutive frames at
// most kSpanGap apart belong to one span, across minute, hour and date
// folders. Built from folder listings only; no frame file is opened.
//
// Two levels: the minute level reads each minute folder's first and last
// frame and its count (a minute counts as one run, gaps inside it unseen:
// cheap enough for a whole day at once); the frame level reads every frame's
// time (for the range a zoomed-in view shows). Both list each minute folder
// once. The scan goes step by step and holds no lock: a worker steps it and
// hands spans() to the user interface between steps.
#pragma once

#include <string>
#include <vector>

#include "store/minute_frame_list.h"
#include "store/wall_clock.h"

// Frames further apart than this end a span; exactly this far apart, not.
constexpr WallTime kSpanGap = 2 * kHundredthsPerSecond;

struct CoverageSpan {
  WallTime start = 0;  // the first frame's time
  WallTime end = 0;    // the last frame's time (== start for one frame)
  int frames = 0;
};

enum class CoverageLevel {
  kMinute,  // each minute folder as one run from its first frame to its last
  kFrame,   // every frame: a gap inside a minute ends a span as well
};

// The minute folders of a camera folder (no trailing separator) with moments
// in [from, to), in time order, by the level rules of ListMinuteFolders.
// Lists the camera, the dates and the hours in range (a day: 1 + 1 + 24
// listings; an hour: 3). Returns 0, or -1 when the camera folder cannot be
// listed.
int MinuteFoldersBetween(const char* camera, WallTime from, WallTime to,
                         std::vector<std::string>& out);

class CoverageScan {
 public:
  // `minuteFolders` in time order (from ListMinuteFolders or
  // MinuteFoldersBetween). Does no reading.
  CoverageScan(std::vector<std::string> minuteFolders, CoverageLevel level);

  // Reads up to `folders` more minute folders (one listing each; a folder
  // without frames or that cannot be listed adds nothing). Returns whether
  // folders are left.
  bool Step(int folders);
  bool done() const { return next_ >= folders_.size(); }

  // The spans so far, in time order. Until done(), the last one may still
  // grow; those before it are final.
  const std::vector<CoverageSpan>& spans() const { return spans_; }
  // The minutes not read yet as whole-minute spans, frames 0 (not counted):
  // a minute folder is there, so the minute was most likely recorded. Each
  // listing costs Wine server round trips, so a day's 26-listing folder walk
  // ends long before its 1,440 minute listings: a view draws these (paler)
  // at once and lets Step replace them.
  std::vector<CoverageSpan> PendingSpans() const;
  // Minute folders read so far, and in all.
  int foldersRead() const { return static_cast<int>(next_); }
  int folderCount() const { return static_cast<int>(folders_.size()); }

 private:
  std::vector<std::string> folders_;
  std::size_t next_ = 0;
  CoverageLevel level_;
  std::vector<CoverageSpan> spans_;
  MinuteFrameList list_;  // reused: one table for every minute
};

// The spans of `folder` (a camera, date, hour or minute folder) at `level`,
// read to the end. Returns 0, or -1 when the folder cannot be listed.
int ReadCoverage(const char* folder, CoverageLevel level, std::vector<CoverageSpan>& out);
