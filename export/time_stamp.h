// The time stamp burned into exported pictures (and, later, saved ones):
// the camera name and the frame's wall-clock time in the lower left corner,
// light text on a dark band, in the program's own bitmap font scaled to the
// picture. Only the band's pixels change. No windows: any layer above the
// core may draw it over its own pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/wall_clock.h"

// The font: printable ASCII in 5 x 9 cells (two rows below the base line);
// other characters draw as '?'. Each cell is followed by a blank column and
// each line by a blank row.
constexpr int kStampGlyphWidth = 5, kStampGlyphHeight = 9;
constexpr int kStampCellWidth = 6, kStampLineHeight = 10;

// A rendered stamp: the band's place in the picture and, for each of its
// pixels, whether it is text (1) or band (0).
struct StampMask {
  int x = 0, y = 0, width = 0, height = 0;  // even, inside the picture
  int scale = 0;                            // pixels per font pixel
  std::vector<std::uint8_t> ink;            // width x height
};

// The camera name the stamp shows for a minute folder
// ".../root/camera/YYYY-MM-DD/HH/MM": "root - camera" (a drive root keeps
// its drive text); other folders give their own last name.
std::string StampCameraName(const char* minuteFolder);

// The time as the stamp shows it: "YYYY-MM-DD HH:MM:SS.CC".
std::string StampTimeText(WallTime time);

// Lays out and draws `camera` and `time` (StampTimeText) for a picture of
// the given size into `mask`, whose storage is reused. The
// scale is a whole number, about a fifteenth of the picture's height per
// line (2 on 352 x 240: letters 14 pixels high), smaller only where the
// time would not fit the width. One line when both fit it, else the camera
// above the time; text beyond the picture's width is cut.
void RenderStamp(int pictureWidth, int pictureHeight, const std::string& camera,
                 const std::string& time, StampMask* mask);

// Draws a mask into packed YUV 4:2:0 of the picture's size (the export's
// layout): video-range black band, white text, neutral chroma.
void StampYuv420(std::uint8_t* picture, int width, int height, const StampMask& mask);
// The same into 24-bit BGR rows `stride` bytes apart (top row first; a
// bottom-up DIB passes its last row and a negative stride).
void StampBgr(std::uint8_t* topRow, int stride, const StampMask& mask);
