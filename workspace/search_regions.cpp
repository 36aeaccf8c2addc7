#include "workspace/search_regions.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/log.h"

namespace {

const char kSubKey[] = "SEARCHREGIONS";
constexpr int kLargest = 65535;  // no picture is wider or taller

// a * b / c rounded down or up; c > 0.
long long Scaled(long long a, long long b, long long c, bool up) {
  const long long n = a * b;
  if (up) return n >= 0 ? (n + c - 1) / c : -((-n) / c);
  return n >= 0 ? n / c : -((-n + c - 1) / c);
}

}  // namespace

bool SearchRegions::NoCase::operator()(const std::string& a, const std::string& b) const {
  return lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

void SearchRegions::SetKeyPath(const char* path) {
  keyPath_ = std::string(path) + "\\" + kSubKey;
}

void SearchRegions::Load() {
  byCamera_.clear();
  HKEY key = nullptr;
  if (keyPath_.empty() ||
      RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  std::vector<char> name(32768);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD type = 0;
    char data[64] = {};
    DWORD dataSize = sizeof data - 1;  // room for a terminator the value may lack
    const LONG r = RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &dataSize);
    if (r == ERROR_NO_MORE_ITEMS) break;
    activity::Region region;
    if (r != ERROR_SUCCESS || type != REG_SZ || !ParseRegion(data, &region)) {
      LogWindow::Print("Settings: search region %lu under %s is not \"X,Y,W,H\"; left out",
                       static_cast<unsigned long>(i), kSubKey);
      continue;
    }
    byCamera_[std::string(name.data(), nameSize)] = region;
  }
  RegCloseKey(key);
}

activity::Region SearchRegions::Get(const std::string& camera) const {
  const auto it = byCamera_.find(camera);
  return it != byCamera_.end() ? it->second : activity::Region{};
}

void SearchRegions::Set(const std::string& camera, const activity::Region& region) {
  if (camera.empty()) return;
  if (region.empty())
    byCamera_.erase(camera);
  else
    byCamera_[camera] = region;
  if (keyPath_.empty()) return;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    LogWindow::Print("Settings: cannot write the search region of '%s'", camera.c_str());
    return;
  }
  if (region.empty()) {
    RegDeleteValueA(key, camera.c_str());
  } else {
    const std::string text = FormatRegion(region);
    RegSetValueExA(key, camera.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  RegCloseKey(key);
}

std::string FormatRegion(const activity::Region& region) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", region.x, region.y, region.width,
                region.height);
  return text;
}

bool ParseRegion(const char* text, activity::Region* out) {
  int v[4] = {};
  int used = 0;
  if (std::sscanf(text, "%d,%d,%d,%d%n", &v[0], &v[1], &v[2], &v[3], &used) != 4 ||
      text[used] != '\0')
    return false;
  if (v[0] < 0 || v[1] < 0 || v[2] < 1 || v[3] < 1 || v[0] + v[2] > kLargest ||
      v[1] + v[3] > kLargest)
    return false;
  *out = {v[0], v[1], v[2], v[3]};
  return true;
}

activity::Region RegionOfDrag(const Rect& drawn, int pictureWidth, int pictureHeight, int x0,
                              int y0, int x1, int y1) {
  if (drawn.width <= 0 || drawn.height <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
    return {};
  // The drag's edges, as a rectangle's: from the lesser point up to the
  // greater, the picture's pixels they cut taken whole.
  const auto edge = [](int client, int origin, int shown, int full, bool up) {
    const long long p = Scaled(client - origin, full, shown, up);
    return static_cast<int>(std::min<long long>(std::max<long long>(p, 0), full));
  };
  const int left = edge(std::min(x0, x1), drawn.x, drawn.width, pictureWidth, false);
  const int right = edge(std::max(x0, x1), drawn.x, drawn.width, pictureWidth, true);
  const int top = edge(std::min(y0, y1), drawn.y, drawn.height, pictureHeight, false);
  const int bottom = edge(std::max(y0, y1), drawn.y, drawn.height, pictureHeight, true);
  if (right <= left || bottom <= top) return {};
  return {left, top, right - left, bottom - top};
}

Rect ShownRegion(const Rect& drawn, int pictureWidth, int pictureHeight,
                 const activity::Region& region) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return {0, 0, 0, 0};
  const int left = drawn.x + static_cast<int>(Scaled(region.x, drawn.width, pictureWidth, false));
  const int top = drawn.y + static_cast<int>(Scaled(region.y, drawn.height, pictureHeight, false));
  const int right = drawn.x + static_cast<int>(Scaled(region.x + region.width, drawn.width,
                                                      pictureWidth, true));
  const int bottom = drawn.y + static_cast<int>(Scaled(region.y + region.height, drawn.height,
                                                       pictureHeight, true));
  return {left, top, right - left, bottom - top};
}
