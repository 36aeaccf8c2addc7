#include "export/time_stamp.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace {

// Rows top to bottom, bit 4 the leftmost column (tools/stamp_font.py).
const std::uint8_t kGlyphs[95][kStampGlyphHeight] = {
#include "export/stamp_font.inc"
};

int TextWidth(const std::string& text, int scale) {
  return static_cast<int>(text.size()) * kStampCellWidth * scale;
}

void DrawText(const std::string& text, int left, int top, int scale, StampMask* mask) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::uint8_t* glyph = kGlyphs[(c >= 32 && c < 127 ? c : '?') - 32];
    const int x0 = left + static_cast<int>(i) * kStampCellWidth * scale;
    for (int row = 0; row < kStampGlyphHeight; ++row)
      for (int col = 0; col < kStampGlyphWidth; ++col) {
        if (!(glyph[row] & (0x10 >> col))) continue;
        for (int dy = 0; dy < scale; ++dy) {
          const int y = top + row * scale + dy;
          const int xs = x0 + col * scale, xe = std::min(xs + scale, mask->width);
          if (y < 0 || y >= mask->height || xs >= xe) continue;
          std::memset(&mask->ink[static_cast<std::size_t>(y) * mask->width + xs], 1,
                      static_cast<std::size_t>(xe - xs));
        }
      }
  }
}

}  // namespace

std::string StampCameraName(const char* minuteFolder) {
  std::vector<std::string> parts;
  std::string part;
  for (const char* p = minuteFolder;; ++p) {
    if (*p == '\0' || platform::IsPathSeparator(*p)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      if (*p == '\0') break;
    } else {
      part += *p;
    }
  }
  if (parts.empty()) return "";
  if (BackupLevelOf(minuteFolder) != 5 || parts.size() < 4) return parts.back();
  const std::string& camera = parts[parts.size() - 4];
  return parts.size() < 5 ? camera : parts[parts.size() - 5] + " - " + camera;
}

std::string StampTimeText(WallTime time) {
  char text[32];
  FormatWallTime(time, text, sizeof text, ' ');
  return text;
}

void RenderStamp(int pictureWidth, int pictureHeight, const std::string& camera,
                 const std::string& when, StampMask* mask) {
  int scale = std::max(1, pictureHeight / 120);
  while (scale > 1 && TextWidth(when, scale) + 2 * scale > pictureWidth) --scale;
  const int margin = scale;
  const std::string oneLine = camera.empty() ? when : camera + "  " + when;
  const bool single = camera.empty() || TextWidth(oneLine, scale) + 2 * margin <= pictureWidth;
  const int lines = single ? 1 : 2;
  // Even sides, so that the band covers whole chroma samples.
  const int textWidth = std::max(TextWidth(single ? oneLine : camera, scale), TextWidth(when, scale));
  mask->scale = scale;
  mask->width = std::min((textWidth + 2 * margin - scale + 1) & ~1, pictureWidth & ~1);
  mask->height = std::min((lines * kStampLineHeight * scale + 2 * margin - scale + 1) & ~1,
                          pictureHeight & ~1);
  mask->x = 0;
  mask->y = (pictureHeight & ~1) - mask->height;
  mask->ink.assign(static_cast<std::size_t>(mask->width) * mask->height, 0);
  if (single) {
    DrawText(oneLine, margin, margin, scale, mask);
  } else {
    DrawText(camera, margin, margin, scale, mask);
    DrawText(when, margin, margin + kStampLineHeight * scale, scale, mask);
  }
}

void StampYuv420(std::uint8_t* picture, int width, int height, const StampMask& mask) {
  const int n = width * height, cw = width / 2;
  for (int y = 0; y < mask.height; ++y) {
    std::uint8_t* row = picture + static_cast<std::size_t>(mask.y + y) * width + mask.x;
    const std::uint8_t* ink = &mask.ink[static_cast<std::size_t>(y) * mask.width];
    for (int x = 0; x < mask.width; ++x) row[x] = ink[x] ? 235 : 16;
  }
  for (int plane = 0; plane < 2; ++plane) {
    std::uint8_t* chroma = picture + n + plane * (n / 4);
    for (int y = mask.y / 2; y < (mask.y + mask.height) / 2; ++y)
      std::memset(chroma + static_cast<std::size_t>(y) * cw + mask.x / 2, 128,
                  static_cast<std::size_t>(mask.width / 2));
  }
}

void StampBgr(std::uint8_t* topRow, int stride, const StampMask& mask) {
  for (int y = 0; y < mask.height; ++y) {
    std::uint8_t* row = topRow + static_cast<std::ptrdiff_t>(mask.y + y) * stride + 3 * mask.x;
    const std::uint8_t* ink = &mask.ink[static_cast<std::size_t>(y) * mask.width];
    for (int x = 0; x < mask.width; ++x) std::memset(row + 3 * x, ink[x] ? 255 : 0, 3);
  }
}
