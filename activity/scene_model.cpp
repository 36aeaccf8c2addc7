#include "activity/scene_model.h"

#include <algorithm>
#include <cmath>

namespace activity {

namespace {

// How fast the still scene follows the pictures: unchanged pixels within a
// second or so (light drifting, the fit's leftovers), changed ones over a
// minute, so that an object standing still is counted while it stays.
constexpr double kFollowSeconds = 1.0;
constexpr double kChangedFollowSeconds = 60.0;
constexpr float kMinGain = 0.2f, kMaxGain = 5.0f;

// The level below which `fraction` of a 256-bin histogram's `total` lies.
int Quantile(const int* histogram, int bins, int total, double fraction) {
  const int want = static_cast<int>(total * fraction);
  int seen = 0;
  for (int i = 0; i < bins; ++i) {
    seen += histogram[i];
    if (seen > want) return i;
  }
  return bins - 1;
}

// Fits picture = gain * scene + offset over the pixels the light explains.
void FitLight(const float* scene, const std::uint8_t* picture, int n, float* gain, float* offset) {
  // Start from matching the quartiles of picture and scene: a minority of
  // moving pixels hardly moves them, while light moves them all.
  int hx[256] = {}, hy[256] = {};
  for (int i = 0; i < n; ++i) {
    ++hx[std::min(255, std::max(0, static_cast<int>(scene[i] + 0.5f)))];
    ++hy[picture[i]];
  }
  const int spreadX = Quantile(hx, 256, n, 0.75) - Quantile(hx, 256, n, 0.25);
  const int spreadY = Quantile(hy, 256, n, 0.75) - Quantile(hy, 256, n, 0.25);
  float a = spreadX >= 8 ? static_cast<float>(spreadY) / spreadX : 1.0f;
  a = std::min(kMaxGain, std::max(kMinGain, a));
  // The offset: the median of what is left once the gain is applied.
  constexpr int kBins = 2048, kZero = 1024;
  std::vector<int> hd(kBins, 0);
  for (int i = 0; i < n; ++i) {
    // Rounded by truncation of a positive number: lround costs a call.
    const int d = static_cast<int>(picture[i] - a * scene[i] + (kZero + 0.5f));
    ++hd[std::min(kBins - 1, std::max(0, d))];
  }
  float b = static_cast<float>(Quantile(hd.data(), kBins, n, 0.5) - kZero);
  // Then least squares over the pixels the fit so far explains, twice, the
  // second time closer: the changed pixels drop out.
  for (const float limit : {2.0f * kChangeLevels, 1.0f * kChangeLevels}) {
    double sn = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
      const float x = scene[i], y = picture[i];
      // A clipped pixel says nothing of the light's gain.
      if (y <= 1 || y >= 254 || std::fabs(y - (a * x + b)) >= limit) continue;
      sn += 1;
      sx += x;
      sy += y;
      sxx += double(x) * x;
      sxy += double(x) * y;
    }
    if (sn < n / 4.0) break;  // most of the picture changed: keep what we have
    const double varX = sxx - sx * sx / sn;
    if (varX >= 4.0 * sn) {  // texture enough to tell gain from offset
      a = static_cast<float>((sxy - sx * sy / sn) / varX);
      a = std::min(kMaxGain, std::max(kMinGain, a));
    }
    b = static_cast<float>((sy - a * sx) / sn);
  }
  *gain = a;
  *offset = b;
}

}  // namespace

void SceneModel::Fit(const std::uint8_t* picture) {
  FitLight(scene_.data(), picture, width_ * height_, &gain_, &offset_);
}

void SceneModel::Start(const std::vector<const std::uint8_t*>& samples, int width, int height) {
  width_ = width;
  height_ = height;
  const std::size_t n = static_cast<std::size_t>(width) * height;
  scene_.assign(n, 0.0f);
  gain_ = 1;
  offset_ = 0;
  if (samples.empty()) return;
  // The samples may be in different light (lights switched during the
  // minute): each is brought to the first one's light before the median,
  // its clipped pixels left out (they say only "this bright or more").
  std::vector<float> first(samples[0], samples[0] + n);
  std::vector<float> gains(samples.size(), 1.0f), offsets(samples.size(), 0.0f);
  for (std::size_t s = 1; s < samples.size(); ++s)
    FitLight(first.data(), samples[s], static_cast<int>(n), &gains[s], &offsets[s]);
  std::vector<float> values;
  for (std::size_t i = 0; i < n; ++i) {
    values.clear();
    for (std::size_t s = 0; s < samples.size(); ++s) {
      const std::uint8_t v = samples[s][i];
      if (s == 0 || (v > 1 && v < 254)) values.push_back((v - offsets[s]) / gains[s]);
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    scene_[i] = *middle;
  }
}


void SceneModel::Compare(const std::uint8_t* picture, double seconds, std::vector<CellChange>& out) {
  out.clear();
  if (width_ <= 0 || height_ <= 0) return;
  Fit(picture);
  const int across = (width_ + kCellSide - 1) / kCellSide;
  const int down = (height_ + kCellSide - 1) / kCellSide;
  cellMasks_.assign(static_cast<std::size_t>(across) * down, 0);
  const std::size_t n = static_cast<std::size_t>(width_) * height_;
  residual_.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    residual_[i] = std::fabs(picture[i] - Lit(scene_[i]));
  // A small pixel is the mean of a block: where an object covers part of
  // it, it is off by that part of the object's difference. Counting it from
  // half the largest difference nearby counts the blocks the object covers
  // half or more of, whatever its contrast, so a share means its area.
  nearMax_.resize(n);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float m = 0;
      for (int yy = std::max(0, y - 1); yy <= std::min(height_ - 1, y + 1); ++yy)
        for (int xx = std::max(0, x - 1); xx <= std::min(width_ - 1, x + 1); ++xx)
          m = std::max(m, residual_[static_cast<std::size_t>(yy) * width_ + xx]);
      nearMax_[static_cast<std::size_t>(y) * width_ + x] = m;
    }
  const float still = static_cast<float>(1.0 - std::exp(-seconds / kFollowSeconds));
  const float moved = static_cast<float>(1.0 - std::exp(-seconds / kChangedFollowSeconds));
  for (int y = 0; y < height_; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * width_;
    std::uint16_t* cells = &cellMasks_[static_cast<std::size_t>(y / kCellSide) * across];
    for (int x = 0; x < width_; ++x) {
      const std::size_t i = row + x;
      float& s = scene_[i];
      const float p = picture[i];
      const float r = residual_[i];
      if (r >= kChangeLevels && r >= 0.5f * nearMax_[i])
        cells[x / kCellSide] |= static_cast<std::uint16_t>(1u << ((y % kCellSide) * kCellSide + x % kCellSide));
      if (r < kChangeLevels) {
        s += still * (p - s);
      } else {
        // Hidden by something: the scene there follows the light as the
        // fit says, and the picture itself barely.
        const float lit = Lit(s);
        s += still * (lit - s) + moved * (p - lit);
      }
    }
  }
  for (std::size_t c = 0; c < cellMasks_.size(); ++c)
    if (cellMasks_[c] != 0)
      out.push_back({static_cast<std::uint16_t>(c), cellMasks_[c]});
}

}  // namespace activity
