// The sorted table of the frame file names of one minute folder.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/layout.h"

using FrameName = std::array<char, kFrameNameSize>;

// Sorts entries first..last (inclusive) by frame-name order, in place.
// O(n log n) on every input, including names that arrive already in order.
void SortFrameNames(FrameName* table, int first, int last);

// What loading a list does to the slider of the window that shows it.
class FrameListView {
 public:
  virtual ~FrameListView();
  virtual void SetSliderRange(int maximum) = 0;  // range 0..maximum
  virtual void SetSliderPosition(int position) = 0;
};

// The usual minute holds up to 1800 frames; a larger minute grows the table
// once and plays all its frames.
constexpr int kUsualFrameCount = 1800;

class MinuteFrameList {
 public:
  MinuteFrameList();
  virtual ~MinuteFrameList();

  // Replaces the list with the frame files of `folder` (no trailing
  // separator; may be folder() itself). Returns 0, or -1 when the folder
  // cannot be listed or its path is longer than kMaxMinuteFolderLength (the
  // list is then empty).
  // Moves the view's slider to range 0..count-1, thumb 0, on success.
  int Load(const char* folder, FrameListView* view);

  int count() const { return count_; }
  const char* name(int index) const { return names_[index].data(); }
  bool millisecondNames() const { return millisecondNames_; }
  int TimeCodeAt(int index) const { return TimeCode(name(index), millisecondNames_); }

  // The minute folder being played; the navigation rewrites it in place.
  const char* folder() const { return folder_; }
  char* folderBuffer() { return folder_; }

  // Exchanges contents (names, folder, position) with `other`, keeping each
  // table's capacity with its contents: a list read elsewhere is swapped in
  // without copying its names.
  void Swap(MinuteFrameList& other);
  // Takes a copy of `other`'s names, folder and position (the table keeps
  // its capacity), for a list that must stay where it is.
  void CopyFrom(const MinuteFrameList& other);

  // Writes "<folder><sep><name>" for frame `index` into `out`; false (with a
  // trace text) when it would not fit in `size` bytes.
  bool FramePath(int index, char* out, std::size_t size) const;

  // Index of the next frame to show; -1 when none has been chosen.
  int position = -1;

 private:
  std::vector<FrameName> names_;
  int count_ = 0;
  bool millisecondNames_ = false;
  char folder_[platform::kMaxPath] = {};
  std::vector<platform::DirEntry> listing_;  // reused: no allocation per load
};
