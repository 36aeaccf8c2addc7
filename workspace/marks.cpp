#include "workspace/marks.h"

#include <algorithm>

void MarkedRange::Set(bool isOut, const End& end, const std::string& camera) {
  End& mine = isOut ? out : in;
  End& other = isOut ? in : out;
  mine = end;
  if (other.moment >= 0 && in.moment >= 0 && out.moment >= 0 && in.moment > out.moment)
    other = End();
  if (!camera.empty() && std::find(cameras.begin(), cameras.end(), camera) == cameras.end())
    cameras.push_back(camera);
}

bool MarkedSpan(const MarkedRange& range, const std::string& folder, int maximum, int* low,
                int* high) {
  WallTime start;
  if (range.in.moment < 0 && range.out.moment < 0) return false;
  if (!MinuteFolderStart(folder.c_str(), &start)) return false;
  const WallTime end = start + kHundredthsPerMinute;
  const WallTime in = range.in.moment >= 0 ? range.in.moment : start;
  const WallTime out = range.out.moment >= 0 ? range.out.moment : end - 1;
  if (out < start || in >= end) return false;
  *low = range.in.folder == folder ? range.in.position : 0;
  *high = range.out.folder == folder ? range.out.position : maximum;
  // Another camera's mark inside this minute: its frame here is not known,
  // so the span is cut at the minute's side of it only when it is ours.
  if (range.in.moment >= start && range.in.folder != folder) *low = 0;
  if (range.out.moment < end && range.out.folder != folder) *high = maximum;
  return *low <= *high;
}

std::string CameraOfMinute(const std::string& minuteFolder) {
  WallTime start;
  if (!MinuteFolderStart(minuteFolder.c_str(), &start)) return std::string();
  std::string path = minuteFolder;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  for (int level = 0; level < 3; ++level) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    path.resize(cut);
  }
  return path;
}
