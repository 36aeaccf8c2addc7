// Activity search: when something moved in a camera's pictures, from an index
// kept per minute folder in the user's cache folder (never in the backup).
//
// Indexing decodes each frame at 1/8 size and compares it with a model of the
// still scene; what it keeps per frame (its time and a coarse grid of how much
// changed in each cell) answers later queries, a region's included, without
// decoding again. A minute folder whose files changed is indexed again.
//
// Threads: an ActivityIndex may be used by several threads at once (each
// minute folder's file is written whole under a new name, then renamed).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "store/wall_clock.h"

namespace activity {

// A search region in pixels of the full-size picture; empty: the whole
// picture.
struct Region {
  int x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const Region& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

// One span of activity: its first and last frame's moments and the largest
// share of the picture (or region) that changed in it, in percent.
struct Span {
  WallTime start = 0;
  WallTime end = 0;
  float peak = 0;
};

// Spans closer than this merge (exactly this far apart, too); a recording gap
// longer than this ends a span.
constexpr WallTime kActivityMergeGap = 2 * kHundredthsPerSecond;

// The index folder used when none is chosen: %LOCALAPPDATA%\Orvanel\index on
// Windows, ${XDG_CACHE_HOME:-~/.cache}/orvanel/index elsewhere.
std::string DefaultIndexFolder();

// How Query tells that a minute folder's files are those its index was made
// from.
enum class Freshness {
  // Lists the folder: the names, sizes and write times of its frame files.
  kFiles,
  // The folder's own write time, when it is as it was (files added, removed
  // or renamed change it; a file rewritten in place does not); else as
  // kFiles. No listing: for reading many minutes fast (a listing costs a
  // call per file, under Wine and natively).
  kFolder,
};

class ActivityIndex {
 public:
  // `folder`: where the index files live (made when first written).
  explicit ActivityIndex(std::string folder);

  // The spans of one minute folder from its stored index, when there is one
  // and the folder's files are those it was made from. Lists the minute
  // folder; never decodes. false: not indexed yet (or stale).
  bool Query(const char* minuteFolder, const Region& region, std::vector<Span>& out,
             Freshness freshness = Freshness::kFiles);

  // Indexes one minute folder unless its index is fresh, and stores the
  // result. Damaged frames count as no change (logged). `stop` (may be null)
  // ends the work early: nothing is stored then. 0, or -1 when the folder
  // cannot be listed, was stopped or the index cannot be written (logged).
  int Build(const char* minuteFolder, const std::atomic<bool>* stop = nullptr);

  const std::string& folder() const { return folder_; }

  // The index file of a minute folder (for the tests and the command line).
  std::string IndexFileOf(const char* minuteFolder) const;

 private:
  std::string folder_;
};

// Builds the index of each of `minuteFolders` that has none or a stale one,
// on `threads` workers (each reads the next frame files ahead on a thread of
// its own while it decodes). `progress` (may be empty) is told, one call at
// a time, after each folder: (done, total). Returns the count of folders
// that could not be indexed (logged), or -1 when `stop` ended the work.
int IndexMinutes(ActivityIndex& index, const std::vector<std::string>& minuteFolders, int threads,
                 const std::function<void(int done, int total)>& progress,
                 const std::atomic<bool>* stop = nullptr);

// Orders `spans` and merges those closer than kActivityMergeGap (spans of
// neighbouring minutes become one when the frames run on).
void MergeSpans(std::vector<Span>& spans);

// Where a search goes from a moment.
enum class Direction { kNext, kPrevious };

// The start of the next span beginning after `from` (kNext), or of the last
// one beginning before `from` less a second (kPrevious, so that pressing it
// at a span's start goes on to the one before), in `camera` (a camera folder)
// across minute, hour and date folders. Minute folders not indexed yet are
// indexed on the way (the call may take long: run it on a worker; `stop`
// ends it). false when there is none or it was stopped.
bool FindActivity(ActivityIndex& index, const char* camera, WallTime from, Direction direction,
                  const Region& region, Span* out, const std::atomic<bool>* stop = nullptr);

}  // namespace activity
