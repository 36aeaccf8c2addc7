#include "store/minute_frame_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/log.h"

namespace {

constexpr std::size_t kMaxPathLength = platform::kMaxPath - 1;
constexpr std::size_t kMaxNameLength = kFrameNameSize - 1;

// The listing pattern as the trace texts show it.
constexpr char kPatternTail[] = "*.jpg";

}  // namespace

void SortFrameNames(FrameName* table, int first, int last) {
  if (table == nullptr || first >= last) return;
  // Introsort: ascending sort-key order, O(n log n) also on names that arrive
  // in order, with shallow recursion. Names with equal keys (4307.jpg and
  // 43007.jpg) may end in either order.
  const auto byKey = [](const FrameName& a, const FrameName& b) {
    return CompareFrameNames(a.data(), b.data()) < 0;
  };
  // Listings usually arrive in key order already; one pass confirms it.
  if (std::is_sorted(table + first, table + last + 1, byKey)) return;
  std::sort(table + first, table + last + 1, byKey);
}

FrameListView::~FrameListView() = default;

MinuteFrameList::MinuteFrameList() {
  names_.reserve(kUsualFrameCount);
  listing_.reserve(kUsualFrameCount + 2);
}

MinuteFrameList::~MinuteFrameList() = default;

int MinuteFrameList::Load(const char* folder, FrameListView* view) {
  position = -1;
  millisecondNames_ = false;
  count_ = 0;
  names_.clear();  // keeps the capacity: the usual minute never reallocates

  const std::size_t length = folder ? std::strlen(folder) : 0;
  // The pattern "<folder><sep>*.jpg" must fit a path buffer as well.
  static_assert(kMaxMinuteFolderLength + 1 + sizeof kPatternTail - 1 <= kMaxPathLength,
                "the pattern of the longest folder fits a path buffer");
  if (folder == nullptr || length > kMaxMinuteFolderLength) {
    LogWindow::Print("load folder path too long (%u characters): %.200s",
                     static_cast<unsigned>(length), folder ? folder : "");
    folder_[0] = '\0';
    return -1;
  }
  if (folder != folder_) std::memmove(folder_, folder, length + 1);

  char pattern[platform::kMaxPath + sizeof kPatternTail];  // length checked above
  std::snprintf(pattern, sizeof pattern, "%s%c%s", folder_,
                platform::kPathSeparator, kPatternTail);
  int error = 0;
  if (platform::ListDirectory(folder_, kPatternTail, listing_, &error) != 0) {
    LogWindow::Print("load file find what = %s", pattern);
    LogWindow::Print("Invalid File Handle. Get Last Error reports %d\n", error);
    return -1;
  }
  LogWindow::Print("The first file found is %s\n", listing_.front().name.c_str());

  for (const platform::DirEntry& entry : listing_) {
    const char* name = entry.name.c_str();
    const std::size_t nameLength = entry.name.size();
    if (entry.isDirectory) {
      LogWindow::Print("load skips folder %s", name);
      continue;
    }
    if (nameLength > kMaxNameLength) {
      // No frame name of the three schemes is this long.
      LogWindow::Print("load skips long name %.200s", name);
      continue;
    }
    if (length + 1 + nameLength > kMaxPathLength) {
      LogWindow::Print("load skips %s: path too long", name);
      continue;
    }
    FrameName entryName{};
    std::memcpy(entryName.data(), name, nameLength + 1);
    names_.push_back(entryName);
    ++count_;
    if (IsMillisecondName(name)) millisecondNames_ = true;
  }
  listing_.clear();  // names are kept only in the table

  SortFrameNames(names_.data(), 0, count_ - 1);
  LogWindow::Print("files total numbers = %d", count_);
  if (count_ == 0) return -1;  // only folders or unusable names matched

  if (view != nullptr) {
    view->SetSliderRange(count_ - 1);
    view->SetSliderPosition(0);
  }
  return 0;
}

void MinuteFrameList::Swap(MinuteFrameList& other) {
  if (&other == this) return;
  names_.swap(other.names_);
  std::swap(count_, other.count_);
  std::swap(millisecondNames_, other.millisecondNames_);
  std::swap(folder_, other.folder_);
  std::swap(position, other.position);
}

void MinuteFrameList::CopyFrom(const MinuteFrameList& other) {
  if (&other == this) return;
  names_.assign(other.names_.begin(), other.names_.begin() + other.count_);
  count_ = other.count_;
  millisecondNames_ = other.millisecondNames_;
  std::memcpy(folder_, other.folder_, sizeof folder_);
  position = other.position;
}

bool MinuteFrameList::FramePath(int index, char* out, std::size_t size) const {
  if (out == nullptr || size == 0) return false;
  if (index < 0 || index >= count_) {
    LogWindow::Print("frame index %d outside 0..%d", index, count_ - 1);
    out[0] = '\0';
    return false;
  }
  const int written = std::snprintf(out, size, "%s%c%s", folder_,
                                    platform::kPathSeparator, name(index));
  if (written < 0 || static_cast<std::size_t>(written) >= size) {
    LogWindow::Print("frame path too long: %.200s", folder_);
    out[0] = '\0';
    return false;
  }
  return true;
}
