// The arithmetic of video window sizes, the grid, the strip and the trackbar,
// kept free of windows so that it can be checked on plain numbers.
#pragma once

#include <cstddef>

enum class SizeMode : int { Half = 0, Original = 1, Double = 2, Fit = 3 };

// Height of the band under the picture that holds the time text and the
// trackbar.
constexpr int kStripHeight = 24;
// Width of the time text (and of the spacer above it) at the strip's left.
constexpr int kTimeLabelWidth = 75;

struct Size {
  int width;
  int height;
};
struct Rect {
  int x;
  int y;
  int width;
  int height;
};

// What the system adds around a client area: 2 x SM_CXFRAME across,
// SM_CYCAPTION + 2 x SM_CYFRAME down.
struct FrameAllowance {
  int frameX;   // SM_CXFRAME
  int frameY;   // SM_CYFRAME
  int caption;  // SM_CYCAPTION
};

// k = the smallest whole number whose square is at least n (0 for n < 1).
int GridSide(int n);

// Client size of a window for picture size (w, h) in `mode`. For Fit the
// workspace size and the number of loaded windows choose a grid cell.
Size ClientSizeFor(SizeMode mode, int pictureWidth, int pictureHeight,
                   Size workspace, int loaded, const FrameAllowance& frame);

// The outer size of a window with that client size.
Size OuterSizeFor(Size client, const FrameAllowance& frame);

// Cell of the `index`-th window (opening order) of `loaded` in the grid.
Rect GridCell(int index, int loaded, Size workspace);

// The view's parts for a client area of width w and height h.
struct StripLayout {
  Rect picture;
  Rect trackbar;
  Rect spacer;
  Rect timeLabel;
};
// `labelWidth` is the time text's column: 75, or wider where the system's
// face for "tahoma" needs more for the text.
StripLayout LayoutStrip(int w, int h, int labelWidth = kTimeLabelWidth);

// Where a picture of w x h is drawn in an `area` (the view's picture part):
// the whole area when stretched, else the largest rectangle of the picture's
// proportions, centred, the rest left to black bars. A picture of no size
// fills the area.
Rect PictureRect(Rect area, int pictureWidth, int pictureHeight, bool stretch);

// The frame under a click at x on a trackbar whose channel runs from
// channelLeft to channelRight, range 0..maximum: truncated toward zero and
// kept in range (a channel of no width gives 0).
int TrackbarClickPosition(int x, int channelLeft, int channelRight, int maximum);

// Tick spacing of a trackbar range that keeps ticks some pixels apart, so
// that a long minute does not draw a tick per frame.
int TickFrequency(int maximum, int channelWidth);

// The date folder's name of a minute folder path (…\date\HH\MM): the third
// component from the end, copied into `out` (empty when the path has fewer).
void DateOfMinuteFolder(const char* folder, char* out, std::size_t size);

// Default file name of a saved picture: camera, date and time text, e.g.
// "Camera 1 2004-03-15 12-58-43.07.bmp" for " 12 : 58 : 43 07". Characters
// that a file name cannot hold become '_'. A name longer than `size` or a
// file name's 255 characters loses the end of its camera name, never its
// date, time or extension. Always terminated.
void PictureFileName(const char* camera, const char* date, const char* timeText,
                     char* out, std::size_t size);
