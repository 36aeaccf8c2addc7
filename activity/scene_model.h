// The detector: a model of the still scene of one minute, in small (1/8
// size) luma pictures, and the comparison of each picture with it.
//
// The still scene starts as the per-pixel median of a few pictures spread
// over the minute (what moves is mostly gone from most of them), then follows
// the pictures slowly, pixels judged changed barely at all. Each picture is
// first matched to the scene by a gain and an offset fitted robustly (a
// second fit without the pixels the first one leaves far off), which takes
// out lights and exposure; a pixel still kChangeLevels or more away changed.
#pragma once

#include <cstdint>
#include <vector>

#include "activity/index_file.h"

namespace activity {

// A small pixel at least this far from the fitted still scene changed. At 1/8
// size a pixel is the mean of an 8 x 8 block: sensor noise has averaged out,
// and an object 40 levels off the scene counts where it covers half a block.
constexpr int kChangeLevels = 20;

class SceneModel {
 public:
  // Starts the still scene from `samples`, small pictures of width x height
  // (tightly packed rows).
  void Start(const std::vector<const std::uint8_t*>& samples, int width, int height);
  // Compares `picture` with the still scene: the changed small pixels of
  // each cell (ascending cells, changed ones only) into `out`; then moves the
  // scene toward it. `seconds` since the previous picture compared.
  void Compare(const std::uint8_t* picture, double seconds, std::vector<CellChange>& out);

  // The last fit, picture = gain * scene + offset (for the tests).
  float gain() const { return gain_; }
  float offset() const { return offset_; }

 private:
  void Fit(const std::uint8_t* picture);
  // The scene's level in the picture's light; the picture clips at 0 and 255.
  float Lit(float scene) const {
    const float v = gain_ * scene + offset_;
    return v < 0 ? 0 : v > 255 ? 255 : v;
  }

  int width_ = 0, height_ = 0;
  std::vector<float> scene_;
  std::vector<std::uint16_t> cellMasks_;
  std::vector<float> residual_, nearMax_;
  float gain_ = 1, offset_ = 0;
};

}  // namespace activity
