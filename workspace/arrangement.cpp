#include "workspace/arrangement.h"

#include <cstdio>
#include <cstring>

int GridSide(int n) {
  if (n < 1) return 0;
  int k = 1;
  while (k * k < n) ++k;
  return k;
}

Size ClientSizeFor(SizeMode mode, int w, int h, Size workspace, int loaded,
                   const FrameAllowance& frame) {
  switch (mode) {
    case SizeMode::Half: return {w >> 1, (h >> 1) + kStripHeight};
    case SizeMode::Original: return {w, h + kStripHeight};
    case SizeMode::Double: return {2 * w, 2 * h + kStripHeight};
    case SizeMode::Fit: {
      const int k = GridSide(loaded) > 0 ? GridSide(loaded) : 1;
      return {workspace.width / k - 2 * frame.frameX,
              workspace.height / k - 2 * frame.frameY - frame.caption};
    }
  }
  return {w, h + kStripHeight};
}

Size OuterSizeFor(Size client, const FrameAllowance& frame) {
  return {client.width + 2 * frame.frameX,
          client.height + frame.caption + 2 * frame.frameY};
}

Rect GridCell(int index, int loaded, Size workspace) {
  const int k = GridSide(loaded);
  if (k < 1 || index < 0) return {0, 0, 0, 0};
  const int cellWidth = workspace.width / k;
  const int cellHeight = workspace.height / k;
  return {(index % k) * cellWidth, (index / k) * cellHeight, cellWidth, cellHeight};
}

StripLayout LayoutStrip(int w, int h, int labelWidth) {
  StripLayout l;
  l.picture = {0, 0, w, h - kStripHeight};
  l.trackbar = {labelWidth, h - kStripHeight, w - labelWidth, kStripHeight};
  l.spacer = {0, h - kStripHeight, labelWidth, 5};
  l.timeLabel = {0, h - kStripHeight + 5, labelWidth, kStripHeight - 5};
  return l;
}

Rect PictureRect(Rect area, int pictureWidth, int pictureHeight, bool stretch) {
  if (stretch || pictureWidth <= 0 || pictureHeight <= 0 || area.width <= 0 || area.height <= 0)
    return area;
  // Compared across (w * H against W * h) so that no rounding picks the side.
  const long long across = static_cast<long long>(pictureWidth) * area.height;
  const long long down = static_cast<long long>(area.width) * pictureHeight;
  Rect r = area;
  if (across > down) {  // wider than the area: bars above and below
    r.height = static_cast<int>((static_cast<long long>(area.width) * pictureHeight +
                                 pictureWidth / 2) / pictureWidth);
    r.y += (area.height - r.height) / 2;
  } else if (across < down) {  // narrower: bars left and right
    r.width = static_cast<int>((static_cast<long long>(area.height) * pictureWidth +
                                pictureHeight / 2) / pictureHeight);
    r.x += (area.width - r.width) / 2;
  }
  return r;
}

int TrackbarClickPosition(int x, int channelLeft, int channelRight, int maximum) {
  const int width = channelRight - channelLeft;
  if (width == 0 || maximum <= 0) return 0;
  const double p = static_cast<double>(maximum) / width * (x - channelLeft);
  // Clamp before converting: a click far outside must not overflow an int.
  if (p <= 0) return 0;
  if (p >= maximum) return maximum;
  return static_cast<int>(p);
}

int TickFrequency(int maximum, int channelWidth) {
  constexpr int kPixelsPerTick = 8;
  const int ticks = channelWidth / kPixelsPerTick;
  if (maximum <= 0 || ticks <= 1) return maximum > 0 ? maximum : 1;
  const int frequency = (maximum + ticks - 1) / ticks;
  return frequency > 0 ? frequency : 1;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

void DateOfMinuteFolder(const char* folder, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  out[0] = '\0';
  if (folder == nullptr) return;
  std::size_t end = std::strlen(folder);
  while (end > 0 && IsSeparator(folder[end - 1])) --end;  // tolerate a trailing one
  // Step over the minute and the hour components.
  for (int skip = 0; skip < 2; ++skip) {
    while (end > 0 && !IsSeparator(folder[end - 1])) --end;
    if (end == 0) return;
    --end;  // the separator
  }
  std::size_t begin = end;
  while (begin > 0 && !IsSeparator(folder[begin - 1])) --begin;
  const std::size_t length = end - begin;
  if (length == 0) return;
  std::snprintf(out, size, "%.*s", static_cast<int>(length), folder + begin);
}

void PictureFileName(const char* camera, const char* date, const char* timeText,
                     char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  // The eight characters of " HH : MM : SS CC", in order.
  char t[8];
  int n = 0;
  for (const char* p = timeText ? timeText : ""; *p != '\0' && n < 8; ++p) {
    if (*p != ' ' && *p != ':') t[n++] = *p;
  }
  while (n < 8) t[n++] = '0';
  char tail[96];
  std::snprintf(tail, sizeof tail, " %.40s %c%c-%c%c-%c%c.%c%c.bmp", date ? date : "", t[0], t[1],
                t[2], t[3], t[4], t[5], t[6], t[7]);
  const std::size_t tailLength = std::strlen(tail);
  // At most 255 characters: a file name's own limit.
  const std::size_t longest = (size < 256 ? size : 256) - 1;
  const std::size_t room = longest > tailLength ? longest - tailLength : 0;
  std::snprintf(out, size, "%.*s%s", static_cast<int>(room), camera ? camera : "", tail);
  // A camera name may hold a drive's "D:\": keep the name a name.
  for (char* p = out; *p != '\0'; ++p) {
    if (std::strchr("\\/:*?\"<>|", *p) != nullptr) *p = '_';
  }
}
