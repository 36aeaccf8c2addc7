// The timeline's arithmetic between wall-clock time and pixels, kept free of
// windows so that hit testing is checked on plain numbers.
//
// A scale maps the moments [start, start + span) onto the pixel columns
// [left, left + width): column x covers the moments from TimeAtPixel(x) up
// to TimeAtPixel(x + 1). The view never leaves its day and shows between one
// minute and the whole day.
#pragma once

#include "store/wall_clock.h"

constexpr WallTime kTimelineMinSpan = kHundredthsPerMinute;
constexpr WallTime kTimelineMaxSpan = kHundredthsPerDay;

struct TimeScale {
  WallTime start = 0;  // the moment at column `left`
  WallTime span = kTimelineMaxSpan;
  int left = 0;
  int width = 1;
};

// The moment under column x, whole hundredths rounded down, kept within
// [start, start + span].
inline WallTime TimeAtPixel(const TimeScale& s, int x) {
  if (s.width <= 0) return s.start;
  if (x <= s.left) return s.start;
  if (x >= s.left + s.width) return s.start + s.span;
  return s.start + static_cast<WallTime>(x - s.left) * s.span / s.width;
}

// The column that holds moment t (rounded down); moments outside the view
// land one column beyond its edge, so that GDI never sees huge numbers.
inline int PixelAtTime(const TimeScale& s, WallTime t) {
  if (s.span <= 0 || t < s.start) return s.left - 1;
  if (t >= s.start + s.span) return s.left + s.width + 1;
  return s.left + static_cast<int>((t - s.start) * s.width / s.span);
}

// The view moved so that it starts no earlier than the day and ends no later
// than its end; the span kept between a minute and a day.
inline TimeScale KeepInDay(TimeScale s, WallTime day) {
  if (s.span < kTimelineMinSpan) s.span = kTimelineMinSpan;
  if (s.span > kTimelineMaxSpan) s.span = kTimelineMaxSpan;
  if (s.start < day) s.start = day;
  if (s.start + s.span > day + kHundredthsPerDay) s.start = day + kHundredthsPerDay - s.span;
  return s;
}

// Zoomed by `factor` (below 1 zooms in) around column x: the moment under x
// stays under x unless the day's edge or the span's limits move it.
inline TimeScale ZoomAround(const TimeScale& s, int x, double factor, WallTime day) {
  TimeScale z = s;
  const WallTime fixed = TimeAtPixel(s, x);
  z.span = static_cast<WallTime>(static_cast<double>(s.span) * factor + 0.5);
  if (z.span < kTimelineMinSpan) z.span = kTimelineMinSpan;
  if (z.span > kTimelineMaxSpan) z.span = kTimelineMaxSpan;
  const int offset = x < s.left ? 0 : (x > s.left + s.width ? s.width : x - s.left);
  z.start = s.width > 0 ? fixed - static_cast<WallTime>(offset) * z.span / s.width : fixed;
  return KeepInDay(z, day);
}

// Dragged by dx columns (to the right: earlier moments come into view).
inline TimeScale PanBy(const TimeScale& s, int dx, WallTime day) {
  TimeScale p = s;
  if (s.width > 0) p.start = s.start - static_cast<WallTime>(dx) * s.span / s.width;
  return KeepInDay(p, day);
}

// The spacing of labelled ticks: the smallest of 1, 5, 10, 30 s, 1, 5, 10,
// 15, 30 min, 1, 2, 3, 6 h that keeps labels `minPixels` apart.
inline WallTime TickStep(const TimeScale& s, int minPixels) {
  static const WallTime kSteps[] = {
      kHundredthsPerSecond,     5 * kHundredthsPerSecond,  10 * kHundredthsPerSecond,
      30 * kHundredthsPerSecond, kHundredthsPerMinute,     5 * kHundredthsPerMinute,
      10 * kHundredthsPerMinute, 15 * kHundredthsPerMinute, 30 * kHundredthsPerMinute,
      kHundredthsPerHour,       2 * kHundredthsPerHour,    3 * kHundredthsPerHour,
      6 * kHundredthsPerHour};
  for (WallTime step : kSteps) {
    if (s.span <= 0 || static_cast<WallTime>(s.width) * step / s.span >= minPixels) return step;
  }
  return 6 * kHundredthsPerHour;
}
