#include "activity/index_file.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace activity {

namespace {

// Little-endian throughout, whatever the machine.
constexpr char kMagic[8] = {'O', 'R', 'V', 'A', 'C', 'T', 'I', 'X'};
// Bumped whenever the detector or the layout changes: older files are then
// taken as not indexed and made again.
constexpr std::uint32_t kVersion = 1;
constexpr int kMaxSide = 8192;  // as the decoder refuses larger pictures
constexpr std::uint16_t kDamaged = 0xFFFF;
constexpr std::uint32_t kMaxFrames = 60000;  // one a millisecond, the finest names
constexpr int kLastTimeCode = 5999;

class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>& out) : out_(out) { out_.clear(); }
  void Bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void U8(unsigned v) { out_.push_back(static_cast<std::uint8_t>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Reads within [data, data + size) only; once a read falls short every
// later one fails too.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Bytes(void* out, std::size_t n) {
    if (!ok_ || static_cast<std::size_t>(end_ - p_) < n) return ok_ = false;
    std::memcpy(out, p_, n);
    p_ += n;
    return true;
  }
  std::uint64_t Le(int bytes) {
    std::uint8_t b[8] = {};
    if (!Bytes(b, static_cast<std::size_t>(bytes))) return 0;
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[i];
    return v;
  }
  bool ok() const { return ok_; }
  std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  bool ok_ = true;
};

}  // namespace

std::uint64_t IndexChecksum(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (std::size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 1099511628211ull;
  }
  return h;
}

std::uint16_t MinuteIndex::CellBits(int cell) const {
  const int across = cellsAcross();
  const int cx = cell % across, cy = cell / across;
  const int w = std::min(kCellSide, smallWidth() - cx * kCellSide);
  const int h = std::min(kCellSide, smallHeight() - cy * kCellSide);
  const unsigned row = (1u << w) - 1;
  unsigned bits = 0;
  for (int y = 0; y < h; ++y) bits |= row << (y * kCellSide);
  return static_cast<std::uint16_t>(bits);
}

void MinuteIndex::Clear() {
  *this = MinuteIndex();
}

void EncodeIndex(const MinuteIndex& index, std::vector<std::uint8_t>& out) {
  Writer w(out);
  w.Bytes(kMagic, sizeof kMagic);
  w.U32(kVersion);
  w.U16(static_cast<unsigned>(index.folder.size()));
  w.Bytes(index.folder.data(), index.folder.size());
  w.U64(index.key);
  w.U64(static_cast<std::uint64_t>(index.folderTime));
  w.U32(index.files);
  w.U16(static_cast<unsigned>(index.width));
  w.U16(static_cast<unsigned>(index.height));
  w.U32(static_cast<std::uint32_t>(index.frames()));
  for (std::size_t f = 0; f < index.frames(); ++f) {
    w.U16(index.times[f]);
    const std::uint32_t a = index.first[f], b = index.first[f + 1];
    w.U16(index.damaged[f] ? kDamaged : b - a);
    if (index.damaged[f]) continue;
    for (std::uint32_t i = a; i < b; ++i) {
      w.U16(index.changes[i].cell);
      w.U16(index.changes[i].mask);
    }
  }
  w.U64(IndexChecksum(out.data(), out.size()));
}

bool DecodeIndex(const std::uint8_t* data, std::size_t size, MinuteIndex* out) {
  out->Clear();
  if (size < sizeof kMagic + 8 || std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
  std::uint64_t stored = 0;
  for (int i = 7; i >= 0; --i) stored = (stored << 8) | data[size - 8 + static_cast<std::size_t>(i)];
  if (IndexChecksum(data, size - 8) != stored) return false;
  Reader r(data + sizeof kMagic, size - sizeof kMagic - 8);
  if (r.Le(4) != kVersion) return false;
  const std::size_t pathLength = r.Le(2);
  if (pathLength >= platform::kMaxPath * 4 || pathLength > r.left()) return false;
  out->folder.resize(pathLength);
  if (!r.Bytes(&out->folder[0], pathLength)) return false;
  out->key = r.Le(8);
  out->folderTime = static_cast<std::int64_t>(r.Le(8));
  out->files = static_cast<std::uint32_t>(r.Le(4));
  out->width = static_cast<int>(r.Le(2));
  out->height = static_cast<int>(r.Le(2));
  const std::uint32_t frames = static_cast<std::uint32_t>(r.Le(4));
  if (!r.ok() || out->width > kMaxSide || out->height > kMaxSide ||
      (out->width == 0) != (out->height == 0) || frames > kMaxFrames || frames > out->files ||
      frames * 4ull > r.left())
    return false;
  const int cells = out->width > 0 ? out->cellsAcross() * out->cellsDown() : 0;
  out->times.resize(frames);
  out->damaged.resize(frames);
  out->first.resize(frames + 1);
  for (std::uint32_t f = 0; f < frames; ++f) {
    out->first[f] = static_cast<std::uint32_t>(out->changes.size());
    out->times[f] = static_cast<std::uint16_t>(r.Le(2));
    const unsigned n = static_cast<unsigned>(r.Le(2));
    if (!r.ok() || out->times[f] > kLastTimeCode) return false;
    if (n == kDamaged) {
      out->damaged[f] = 1;
      continue;
    }
    if (n > static_cast<unsigned>(cells) || n * 4ull > r.left()) return false;
    int previous = -1;
    for (unsigned i = 0; i < n; ++i) {
      CellChange c;
      c.cell = static_cast<std::uint16_t>(r.Le(2));
      c.mask = static_cast<std::uint16_t>(r.Le(2));
      // Cells ascending, each once, with pixels inside the picture only.
      if (c.cell >= cells || c.cell <= previous || c.mask == 0 ||
          (c.mask & ~out->CellBits(c.cell)) != 0)
        return false;
      previous = c.cell;
      out->changes.push_back(c);
    }
  }
  out->first[frames] = static_cast<std::uint32_t>(out->changes.size());
  return r.ok() && r.left() == 0;
}

void FrameShares(const MinuteIndex& index, const Region& region, std::vector<float>& out) {
  out.assign(index.frames(), 0.0f);
  if (index.width <= 0) return;
  const double sw = index.smallWidth(), sh = index.smallHeight();
  double x0 = 0, y0 = 0, x1 = sw, y1 = sh;
  if (!region.empty()) {
    x0 = std::max(0.0, double(region.x) / kSmallScale);
    y0 = std::max(0.0, double(region.y) / kSmallScale);
    x1 = std::min(sw, (double(region.x) + region.width) / kSmallScale);
    y1 = std::min(sh, (double(region.y) + region.height) / kSmallScale);
  }
  if (x1 <= x0 || y1 <= y0) return;  // the region lies outside the picture
  const double area = (x1 - x0) * (y1 - y0);
  // Each small pixel weighs the part of it the region covers, over the
  // region's area: the covered part of its column times that of its row.
  auto covered = [](double from, double to, int i) {
    return static_cast<float>(std::max(0.0, std::min(to, i + 1.0) - std::max(from, double(i))));
  };
  const int across = index.cellsAcross();
  std::vector<float> wx(static_cast<std::size_t>(across) * kCellSide, 0.0f);
  std::vector<float> wy(static_cast<std::size_t>(index.cellsDown()) * kCellSide, 0.0f);
  for (std::size_t i = 0; i < wx.size(); ++i) wx[i] = covered(x0, x1, int(i)) / float(area);
  for (std::size_t i = 0; i < wy.size(); ++i) wy[i] = covered(y0, y1, int(i));
  for (std::size_t f = 0; f < index.frames(); ++f) {
    if (index.damaged[f]) continue;
    float share = 0;
    for (std::uint32_t i = index.first[f]; i < index.first[f + 1]; ++i) {
      const CellChange& c = index.changes[i];
      const float* cx = &wx[static_cast<std::size_t>(c.cell % across) * kCellSide];
      const float* cy = &wy[static_cast<std::size_t>(c.cell / across) * kCellSide];
      for (int b = 0; b < kCellSide * kCellSide; ++b)
        if (c.mask & (1u << b)) share += cx[b % kCellSide] * cy[b / kCellSide];
    }
    out[f] = share;
  }
}

void MinuteSpans(const MinuteIndex& index, WallTime minuteStart, const Region& region,
                 std::vector<Span>& out) {
  out.clear();
  std::vector<float> shares;
  FrameShares(index, region, shares);
  for (std::size_t f = 0; f < shares.size(); ++f) {
    if (shares[f] < kActiveShare) continue;
    const WallTime t = minuteStart + index.times[f];
    const float peak = shares[f] * 100.0f;
    if (!out.empty() && t >= out.back().end && t - out.back().end <= kActivityMergeGap) {
      out.back().end = t;
      out.back().peak = std::max(out.back().peak, peak);
    } else {
      out.push_back({t, t, peak});
    }
  }
  MergeSpans(out);  // names of mixed schemes may sort out of time order
}

}  // namespace activity
