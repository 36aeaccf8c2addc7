// Generated camera scenes for the activity search: a textured still scene,
// sensor noise, objects standing or moving along a line, and whole-picture
// light changes, written as real JPEG minute folders (SSCC.jpg names) at a
// chosen frame rate and size, across minute, hour and date folders.
#pragma once

#include <string>
#include <vector>

#include "store/wall_clock.h"

namespace sample {

struct SceneObject {
  int width = 40, height = 40;  // full-size pixels
  int luma = 0;                 // its level (0-255)
  // The top-left corner moves at an even pace from (fromX, fromY) when the
  // object appears to (toX, toY) when it leaves: the same for a standing one.
  int fromX = 0, fromY = 0, toX = 0, toY = 0;
  double appear = 0, leave = 0;  // seconds from the scene's start; there while appear <= t < leave
  bool blob = false;             // an ellipse in the box instead of a rectangle
};

// From `at` seconds on, every level v becomes gain * v + offset (lights
// switched on or off, the camera's exposure).
struct LightChange {
  double at = 0;
  float gain = 1, offset = 0;
};

struct Scene {
  int width = 352, height = 288;
  double fps = 4;
  double noise = 6;  // standard deviation of each pixel's random noise, in levels
  unsigned seed = 1;
  int quality = 4;   // MJPEG qscale, 2 (best) to 31
  std::vector<SceneObject> objects;
  std::vector<LightChange> lights;
};

// The luma of the scene `seconds` after its start, noise included (rows of
// width bytes).
void DrawScene(const Scene& scene, double seconds, std::vector<unsigned char>& luma);

// Writes the frames of the scene whose times t (seconds from `origin`, on the
// scene's frame grid) lie in [from, to) into `camera`'s minute folders
// (made as needed): camera/YYYY-MM-DD/HH/MM/SSCC.jpg. Several calls with
// gaps between them make gaps in the recording. Returns the frames written,
// or -1 (with a line on standard error) when one cannot be written.
int WriteScene(const std::string& camera, const Scene& scene, WallTime origin, double from,
               double to);

// The path of the frame file for `moment` under `camera` (no folder made).
std::string SceneFramePath(const std::string& camera, WallTime moment);

}  // namespace sample
