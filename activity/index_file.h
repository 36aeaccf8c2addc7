// What the index keeps of one minute folder, and its file form.
//
// Per frame: its time and, for each cell of a grid laid over the picture
// decoded at 1/8 size, which of the cell's 4 x 4 small pixels changed (a
// bit each). Most frames change nothing, so only changed cells are kept. A
// region's share is then exact to the small pixel (8 x 8 of the full-size
// picture, counted by the part the region covers), and a frame with nothing
// changed costs four bytes, so a whole day is read in a blink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "activity/activity.h"

namespace activity {

// Full-size pixels per small pixel (the decoder's 1/8 scale).
constexpr int kSmallScale = 8;
// Small pixels per cell side.
constexpr int kCellSide = 4;

struct CellChange {
  std::uint16_t cell;  // row * cellsAcross + column
  std::uint16_t mask;  // bit (y * kCellSide + x): small pixel (x, y) of the cell changed
};

struct MinuteIndex {
  std::string folder;          // the minute folder's full path
  std::uint64_t key = 0;       // freshness key of its frame files
  std::int64_t folderTime = 0; // the folder's write time before it was listed (0: unknown)
  std::uint32_t files = 0;     // how many frame files the key covers
  int width = 0, height = 0;   // full-size picture (0 x 0: no frame decoded)
  std::vector<std::uint16_t> times;   // per frame, hundredths within the minute
  std::vector<std::uint8_t> damaged;  // per frame, 1 when it could not be used
  std::vector<std::uint32_t> first;   // per frame, its first entry in `changes`; one more at the end
  std::vector<CellChange> changes;

  int smallWidth() const { return (width + kSmallScale - 1) / kSmallScale; }
  int smallHeight() const { return (height + kSmallScale - 1) / kSmallScale; }
  int cellsAcross() const { return (smallWidth() + kCellSide - 1) / kCellSide; }
  int cellsDown() const { return (smallHeight() + kCellSide - 1) / kCellSide; }
  std::size_t frames() const { return times.size(); }
  // The bits of a cell's small pixels that lie inside the picture (edge
  // cells may be cut).
  std::uint16_t CellBits(int cell) const;
  void Clear();
};

// The checksum the file ends with, over the bytes before it.
std::uint64_t IndexChecksum(const std::uint8_t* data, std::size_t size);

// The file's bytes for `index`.
void EncodeIndex(const MinuteIndex& index, std::vector<std::uint8_t>& out);
// Parses an index file. Anything malformed (wrong magic or version, sizes
// out of range, a cell or count that cannot be, trailing or missing bytes, a
// checksum that does not match): false, never a read outside `data`.
bool DecodeIndex(const std::uint8_t* data, std::size_t size, MinuteIndex* out);

// The share (0..1) of `region` (full-size pixels; empty: the picture) that
// changed in each frame; a damaged frame's share is 0.
void FrameShares(const MinuteIndex& index, const Region& region, std::vector<float>& out);

// Spans of frames whose share is at least kActiveShare, merged as
// MergeSpans merges; `minuteStart` is the minute's moment.
constexpr float kActiveShare = 0.005f;
void MinuteSpans(const MinuteIndex& index, WallTime minuteStart, const Region& region,
                 std::vector<Span>& out);

}  // namespace activity
