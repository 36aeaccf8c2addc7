#include "timeline/timeline_panel.h"

#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/log.h"
#include "platform/platform.h"

namespace {

constexpr char kClassName[] = "ORVTIMELINE";
constexpr UINT kMsgCoverage = WM_APP + 0x51;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 250;
constexpr int kPreviousId = 101;
constexpr int kNextId = 102;
constexpr int kSplitter = 5;     // the top edge that drags the height
constexpr int kHeader = 22;      // date, buttons, tick labels
constexpr int kLabelWidth = 120;  // camera names
constexpr int kRightMargin = 12;
constexpr int kMaxRowHeight = 22;
// Frame-level spans are read for the hours in view once it shows this little.
constexpr WallTime kFrameLevelSpan = 3 * kHundredthsPerHour;
constexpr int kFoldersPerStep = 8;
constexpr auto kPublishEvery = std::chrono::milliseconds(50);
// Activity: a band in the lower half of a row, over the coverage.
const COLORREF kActivityColour = RGB(230, 70, 150);
// Activity of days no longer shown is dropped past this many rows' days.
constexpr std::size_t kMostActivityDays = 64;

bool InCamera(const std::string& minute, const std::string& camera) {
  return minute.size() > camera.size() + 1 &&
         platform::IsPathSeparator(minute[camera.size()]) &&
         _strnicmp(minute.c_str(), camera.c_str(), camera.size()) == 0;
}

WallTime DayOf(WallTime t) {
  return t - ((t % kHundredthsPerDay) + kHundredthsPerDay) % kHundredthsPerDay;
}

void FormatClock(WallTime t, bool seconds, char* out, std::size_t size) {
  const CivilTime c = SplitWallTime(t);
  if (seconds)
    std::snprintf(out, size, "%02d:%02d:%02d", c.hour, c.minute, c.second);
  else
    std::snprintf(out, size, "%02d:%02d", c.hour, c.minute);
}

void Fill(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
  const RECT r{x0, y0, x1, y1};
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);  // a fill with no brush
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TimelinePanel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<TimelinePanel*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return self->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    LogWindow::Print("timeline: message %u failed", message);
    return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

bool TimelineRow::operator==(const TimelineRow& o) const {
  if (camera != o.camera || name != o.name || markers.size() != o.markers.size() ||
      !(region == o.region))
    return false;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const TimelineMarker& a = markers[i];
    const TimelineMarker& b = o.markers[i];
    if (a.moment != b.moment || a.selected != b.selected || a.grouped != b.grouped) return false;
  }
  return true;
}

TimelinePanel::TimelinePanel() = default;

TimelinePanel::~TimelinePanel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);  // it points here
  if (font_ != nullptr) DeleteObject(font_);
  if (buffer_ != nullptr) DeleteObject(buffer_);
}

HWND TimelinePanel::Create(HWND parent, TimelineHost* host) {
  host_ = host;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, kClassName, &wc)) {
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
  }
  window_ = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP, 0, 0, 400,
                            kTimelineDefaultHeight, parent, nullptr, instance, this);
  if (window_ == nullptr) {
    LogWindow::Print("timeline: panel not created (%lu)", GetLastError());
    return nullptr;
  }
  target_.store(window_);
  font_ = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                      "Tahoma");
  previous_ = CreateWindowExA(0, "BUTTON", "<", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 2,
                              kSplitter + 1, 18, kHeader - 3, window_,
                              reinterpret_cast<HMENU>(kPreviousId), instance, nullptr);
  next_ = CreateWindowExA(0, "BUTTON", ">", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                          kLabelWidth - 22, kSplitter + 1, 18, kHeader - 3, window_,
                          reinterpret_cast<HMENU>(kNextId), instance, nullptr);
  for (HWND button : {previous_, next_})
    if (button != nullptr && font_ != nullptr)
      SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SetTimer(window_, kTimerId, kTimerMs, nullptr);
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
  return window_;
}

void TimelinePanel::ShowDay(WallTime day) {
  if (day_ >= 0) scale_.start += day - day_;
  else scale_.start = day;
  day_ = day;
  if (coverage_.size() > 512) coverage_.clear();  // asked again as needed
  SetScale(scale_);
}

void TimelinePanel::ShowRange(WallTime start, WallTime span) {
  TimeScale s = scale_;
  s.start = start;
  s.span = span;
  SetScale(s);
}

void TimelinePanel::SetScale(const TimeScale& s) {
  scale_ = day_ >= 0 ? KeepInDay(s, day_) : s;
  AskVisible();
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void TimelinePanel::ChangeDay(int days) {
  if (day_ >= 0) ShowDay(day_ + days * kHundredthsPerDay);
}

void TimelinePanel::Update() {
  if (host_ == nullptr) return;
  std::vector<TimelineRow> rows = host_->Rows();
  const WallTime selected = host_->SelectedMoment();
  // The date follows the selected window when that changes date, not back
  // after the user stepped to another date.
  if (selected >= 0 && DayOf(selected) != followedDay_) {
    followedDay_ = DayOf(selected);
    if (followedDay_ != day_) ShowDay(followedDay_);
  }
  WallTime in = -1, out = -1;
  host_->Marks(&in, &out);
  const bool marksMoved = in != markIn_ || out != markOut_;
  markIn_ = in;
  markOut_ = out;
  if (!(rows == rows_)) {
    rows_ = std::move(rows);
    AskVisible();
    if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
  } else if (marksMoved && window_ != nullptr) {
    InvalidateRect(window_, nullptr, FALSE);
  }
}

bool TimelinePanel::Idle() const {
  for (const auto& entry : coverage_)
    if (!entry.second.done) return false;
  for (const auto& entry : activity_)
    if (entry.second.asked > 0) return false;
  return true;
}

void TimelinePanel::AskActivity(const ActivityKey& key, std::vector<std::string> minutes) {
  if (activityIndex_ == nullptr) return;
  const bool wholeDay = minutes.empty();
  auto it = activity_.find(key);
  if (wholeDay) {
    if (it != activity_.end()) return;
    it = activity_.emplace(key, Activity{}).first;
  } else {
    if (it == activity_.end()) return;
    minutes.erase(std::remove_if(minutes.begin(), minutes.end(),
                                 [&](const std::string& m) { return it->second.minutes.count(m); }),
                  minutes.end());
    if (minutes.empty()) return;
  }
  ++it->second.asked;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    activityJobs_.push_back({key, std::move(minutes)});
  }
  wake_.notify_one();
}

void TimelinePanel::MinutesIndexed(const std::vector<std::string>& minuteFolders) {
  std::map<ActivityKey, std::vector<std::string>> asks;
  for (const std::string& folder : minuteFolders) {
    WallTime start = 0;
    if (!MinuteFolderStart(folder.c_str(), &start)) continue;
    for (const auto& entry : activity_) {
      if (entry.first.day == DayOf(start) && InCamera(folder, entry.first.camera))
        asks[entry.first].push_back(folder);
    }
  }
  for (auto& ask : asks) AskActivity(ask.first, std::move(ask.second));
}

std::vector<activity::Span> TimelinePanel::ActivityOf(const std::string& camera) const {
  for (const TimelineRow& row : rows_) {
    if (row.camera != camera) continue;
    const auto it = activity_.find({camera, day_, row.region});
    if (it != activity_.end()) return it->second.spans;
  }
  return {};
}

void TimelinePanel::Ask(const Key& key) {
  if (coverage_.count(key) != 0) return;
  coverage_[key] = Coverage{};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.emplace_back(key, key.level == CoverageLevel::kFrame ? generation_.load() : 0);
  }
  wake_.notify_one();
}

void TimelinePanel::AskVisible() {
  if (day_ < 0) return;
  std::vector<WallTime> hours;
  if (scale_.span <= kFrameLevelSpan) {
    for (WallTime h = scale_.start - (scale_.start - day_) % kHundredthsPerHour;
         h < scale_.start + scale_.span; h += kHundredthsPerHour)
      hours.push_back(h);
  }
  if (hours != frameHours_) {
    // Frame-level reads of hours no longer in view stop; what they read
    // whole stays.
    ++generation_;
    for (auto it = coverage_.begin(); it != coverage_.end();) {
      if (it->first.level == CoverageLevel::kFrame && !it->second.done)
        it = coverage_.erase(it);
      else
        ++it;
    }
    frameHours_ = hours;
  }
  for (const TimelineRow& row : rows_) {
    Ask({row.camera, day_, day_ + kHundredthsPerDay, CoverageLevel::kMinute});
    for (WallTime h : hours) Ask({row.camera, h, h + kHundredthsPerHour, CoverageLevel::kFrame});
  }
  if (activityIndex_ == nullptr) return;
  // A camera's activity in a region it no longer has is not wanted again.
  for (auto it = activity_.begin(); it != activity_.end();) {
    const bool stale = std::any_of(rows_.begin(), rows_.end(), [&](const TimelineRow& row) {
      return row.camera == it->first.camera && !(row.region == it->first.region);
    });
    it = stale || activity_.size() > kMostActivityDays ? activity_.erase(it) : std::next(it);
  }
  for (const TimelineRow& row : rows_) AskActivity({row.camera, day_, row.region}, {});
}

void TimelinePanel::PullResults() {
  std::vector<std::pair<Key, Coverage>> results;
  std::vector<ActivityResult> activities;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    results.swap(results_);
    activities.swap(activityResults_);
    posted_.store(false);
  }
  for (auto& result : results) {
    auto it = coverage_.find(result.first);
    if (it != coverage_.end() && !it->second.done) it->second = std::move(result.second);
  }
  for (ActivityResult& result : activities) {
    auto it = activity_.find(result.key);
    if (it == activity_.end()) continue;  // dropped meanwhile
    Activity& a = it->second;
    a.minutes.insert(result.minutes.begin(), result.minutes.end());
    a.spans.insert(a.spans.end(), result.spans.begin(), result.spans.end());
    activity::MergeSpans(a.spans);
    if (result.last && a.asked > 0) --a.asked;
  }
  if (window_ != nullptr && !(results.empty() && activities.empty()))
    InvalidateRect(window_, nullptr, FALSE);
}

void TimelinePanel::Publish(const Key& key, const CoverageScan& scan, std::uint64_t generation) {
  if (generation != 0 && generation != generation_.load()) return;
  Coverage c;
  c.spans = scan.spans();
  c.pending = scan.PendingSpans();
  c.done = scan.done();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(results_.begin(), results_.end(),
                           [&](const std::pair<Key, Coverage>& r) {
                             return !(r.first < key) && !(key < r.first);
                           });
    if (it != results_.end()) it->second = std::move(c);
    else results_.emplace_back(key, std::move(c));
  }
  Ring();
}

void TimelinePanel::Ring() {
  if (!posted_.exchange(true)) {
    HWND target = target_.load();
    if (target == nullptr || !PostMessageA(target, kMsgCoverage, 0, 0)) posted_.store(false);
  }
}

void TimelinePanel::PublishActivity(ActivityResult result) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    activityResults_.push_back(std::move(result));
  }
  Ring();
}

void TimelinePanel::ReadActivity(const ActivityJob& job) {
  std::vector<std::string> minutes = job.minutes;
  if (minutes.empty())
    MinuteFoldersBetween(job.key.camera.c_str(), job.key.day, job.key.day + kHundredthsPerDay,
                         minutes);
  ActivityResult part{job.key, {}, {}, false};
  auto published = std::chrono::steady_clock::now();
  std::vector<activity::Span> spans;
  for (std::size_t i = 0; i < minutes.size(); ++i) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (quit_) return;
      if (!jobs_.empty()) {
        // Coverage goes first: the rest of this job waits at the front.
        activityJobs_.push_front({job.key, {minutes.begin() + i, minutes.end()}});
        break;
      }
    }
    // Indexed minutes only: an index not made yet is the indexer's to make.
    // Judged by the folder's write time: a day is read without listing
    // every minute.
    if (activityIndex_->Query(minutes[i].c_str(), job.key.region, spans,
                              activity::Freshness::kFolder)) {
      part.minutes.push_back(minutes[i]);
      part.spans.insert(part.spans.end(), spans.begin(), spans.end());
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - published >= kPublishEvery && !part.minutes.empty()) {
      PublishActivity(std::move(part));
      part = ActivityResult{job.key, {}, {}, false};
      published = now;
    }
    if (i + 1 == minutes.size()) part.last = true;
  }
  if (minutes.empty()) part.last = true;
  PublishActivity(std::move(part));
}

void TimelinePanel::WorkerLoop() {
  for (;;) {
    std::pair<Key, std::uint64_t> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !jobs_.empty() || !activityJobs_.empty(); });
      if (quit_) return;
      if (jobs_.empty()) {
        const ActivityJob activityJob = std::move(activityJobs_.front());
        activityJobs_.pop_front();
        lock.unlock();
        ReadActivity(activityJob);
        continue;
      }
      job = jobs_.front();
      jobs_.pop_front();
    }
    const std::uint64_t generation = job.second;
    auto stale = [&] { return generation != 0 && generation != generation_.load(); };
    if (stale()) continue;
    std::vector<std::string> folders;
    if (MinuteFoldersBetween(job.first.camera.c_str(), job.first.from, job.first.to, folders) != 0)
      LogWindow::Print("timeline: camera folder '%s' cannot be listed", job.first.camera.c_str());
    CoverageScan scan(std::move(folders), job.first.level);
    Publish(job.first, scan, generation);  // the pending picture first
    auto published = std::chrono::steady_clock::now();
    while (!scan.done()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (quit_) return;
      }
      if (stale()) break;
      scan.Step(kFoldersPerStep);
      const auto now = std::chrono::steady_clock::now();
      if (scan.done() || now - published >= kPublishEvery) {
        Publish(job.first, scan, generation);
        published = now;
      }
    }
  }
}

void TimelinePanel::Layout(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  scale_.left = kLabelWidth;
  scale_.width = std::max(1, width - kLabelWidth - kRightMargin);
}

int TimelinePanel::RowTop(int index, int* height) const {
  const int top = kSplitter + kHeader + 2;
  const int n = std::max<int>(1, static_cast<int>(rows_.size()));
  const int h = std::min(kMaxRowHeight, std::max(6, (clientHeight_ - top - 2) / n));
  *height = h;
  return top + index * h;
}

void TimelinePanel::DrawRow(HDC dc, const TimelineRow& row, int top, int height) {
  const int x0 = scale_.left;
  const int x1 = scale_.left + scale_.width;
  const int y0 = top + 2;
  const int y1 = top + height - 1;
  Fill(dc, x0, y0, x1, y1, RGB(255, 255, 255));
  // Spans that meet within a column are filled as one run: a day of
  // scattered minutes is a few hundred fills, not thousands.
  auto spans = [&](const auto& list, COLORREF colour, int a, int b) {
    int runFrom = 0, runTo = -1;
    for (const auto& s : list) {
      if (s.end < scale_.start || s.start >= scale_.start + scale_.span) continue;
      const int from = std::max(x0, PixelAtTime(scale_, s.start));
      const int to = std::min(x1, std::max(from + 1, PixelAtTime(scale_, s.end) + 1));
      if (from <= runTo) {
        runTo = std::max(runTo, to);
        continue;
      }
      if (runTo > runFrom) Fill(dc, runFrom, a, runTo, b, colour);
      runFrom = from;
      runTo = to;
    }
    if (runTo > runFrom) Fill(dc, runFrom, a, runTo, b, colour);
  };
  if (day_ >= 0) {
    auto minute =
        coverage_.find({row.camera, day_, day_ + kHundredthsPerDay, CoverageLevel::kMinute});
    if (minute != coverage_.end()) {
      spans(minute->second.pending, RGB(170, 200, 235), y0, y1);
      spans(minute->second.spans, RGB(60, 120, 200), y0, y1);
    }
    // Read frame by frame, an hour replaces its minute-level picture.
    for (WallTime h : frameHours_) {
      auto frame = coverage_.find({row.camera, h, h + kHundredthsPerHour, CoverageLevel::kFrame});
      if (frame == coverage_.end() || !frame->second.done) continue;
      const int from = std::max(x0, PixelAtTime(scale_, h));
      const int to = std::min(x1, PixelAtTime(scale_, h + kHundredthsPerHour));
      Fill(dc, from, y0, to, y1, RGB(255, 255, 255));
      spans(frame->second.spans, RGB(20, 70, 160), y0, y1);
    }
    auto moved = activity_.find({row.camera, day_, row.region});
    if (moved != activity_.end()) spans(moved->second.spans, kActivityColour, (y0 + y1) / 2, y1);
  }
  for (const TimelineMarker& m : row.markers) {
    if (m.moment < scale_.start || m.moment >= scale_.start + scale_.span) continue;
    const int x = PixelAtTime(scale_, m.moment);
    const COLORREF colour = m.selected ? RGB(220, 30, 30) : RGB(40, 40, 40);
    Fill(dc, x - 1, top, x + 1, top + height, colour);
    if (m.grouped) Fill(dc, x - 3, top, x + 3, top + 4, RGB(0, 150, 70));
  }
}

void TimelinePanel::Paint(HDC dc, const RECT& client) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  Fill(dc, 0, 0, client.right, client.bottom, face);
  Fill(dc, 0, 0, client.right, 1, GetSysColor(COLOR_BTNSHADOW));  // the splitter's edge
  HGDIOBJ oldFont = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  char text[64];
  const int headerTop = kSplitter;
  const int headerBottom = kSplitter + kHeader;
  if (day_ >= 0) {
    const CivilTime c = SplitWallTime(day_);
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    RECT date{22, headerTop, kLabelWidth - 24, headerBottom};
    DrawTextA(dc, text, -1, &date, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  const int x0 = scale_.left;
  const int x1 = scale_.left + scale_.width;
  int rowHeight = 0;
  const int rowsTop = RowTop(0, &rowHeight);
  const int rowsBottom = rowsTop + rowHeight * static_cast<int>(rows_.size());
  if (day_ >= 0) {
    // Hour ticks where they are 4 pixels apart or more; labelled ticks at a
    // spacing that keeps labels apart.
    const WallTime step = TickStep(scale_, 64);
    const WallTime first = scale_.start - (scale_.start - day_) % step;
    const bool hourTicks =
        static_cast<WallTime>(scale_.width) * kHundredthsPerHour >= 4 * scale_.span;
    if (hourTicks && step > kHundredthsPerHour) {
      for (WallTime t = scale_.start - (scale_.start - day_) % kHundredthsPerHour;
           t <= scale_.start + scale_.span; t += kHundredthsPerHour) {
        const int x = std::min(PixelAtTime(scale_, t), x1);
        if (x >= x0) Fill(dc, x, headerBottom - 3, x + 1, headerBottom, RGB(90, 90, 90));
      }
    }
    for (WallTime t = first; t <= scale_.start + scale_.span; t += step) {
      if (t < scale_.start) continue;
      const int x = std::min(PixelAtTime(scale_, t), x1);
      Fill(dc, x, headerBottom - 6, x + 1, headerBottom, RGB(0, 0, 0));
      Fill(dc, x, rowsTop, x + 1, rowsBottom, RGB(200, 200, 200));
      if (t == day_ + kHundredthsPerDay) std::snprintf(text, sizeof text, "24:00");
      else FormatClock(t, step < kHundredthsPerMinute, text, sizeof text);
      // Centred on its tick, but kept inside the time area at both ends.
      RECT label{x - 40, headerTop, x + 40, headerBottom - 6};
      UINT align = DT_CENTER;
      if (label.left < x0) {
        label.left = x + 2;
        align = DT_LEFT;
      } else if (label.right > client.right) {
        label.right = x - 2;
        align = DT_RIGHT;
      }
      DrawTextA(dc, text, -1, &label, align | DT_BOTTOM | DT_SINGLELINE);
    }
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    int h = 0;
    const int top = RowTop(static_cast<int>(i), &h);
    if (top + h > client.bottom) break;  // rows that do not fit are left out
    RECT name{4, top, kLabelWidth - 4, top + h};
    DrawTextA(dc, rows_[i].name.c_str(), -1, &name,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    DrawRow(dc, rows_[i], top, h);
  }
  // The marked range: a band over the header's foot between the marks, a
  // line at each end (green In, red Out) across the rows.
  if (day_ >= 0 && (markIn_ >= 0 || markOut_ >= 0)) {
    const auto at = [&](WallTime t) { return std::max(x0, std::min(PixelAtTime(scale_, t), x1)); };
    const int left = markIn_ >= 0 ? at(markIn_) : x0;
    const int right = markOut_ >= 0 ? at(markOut_) : x1;
    Fill(dc, left, headerBottom - 3, std::max(left + 1, right), headerBottom, RGB(255, 190, 0));
    if (markIn_ >= 0) Fill(dc, left, rowsTop, left + 2, rowsBottom, RGB(0, 150, 0));
    if (markOut_ >= 0) Fill(dc, right - 1, rowsTop, right + 1, rowsBottom, RGB(200, 0, 0));
  }
  if (rows_.empty()) {
    RECT hint{x0, rowsTop, x1, client.bottom};
    DrawTextA(dc, "No camera: open a minute, or select a camera in the folder tree.", -1, &hint,
              DT_LEFT | DT_TOP | DT_SINGLELINE);
  }
  if (hoverX_ >= x0 && hoverX_ < x1 && day_ >= 0) {
    Fill(dc, hoverX_, rowsTop, hoverX_ + 1, rowsBottom, RGB(255, 140, 0));
    const WallTime t = TimeAtPixel(scale_, hoverX_);
    FormatClock(t, true, text, sizeof text);
    if (scale_.span <= 10 * kHundredthsPerMinute) {
      const CivilTime c = SplitWallTime(t);
      std::snprintf(text + 8, sizeof text - 8, ".%02d", c.hundredths);
    }
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    const int boxWidth = static_cast<int>(size.cx) + 6;
    const int left =
        std::max(0, std::min(hoverX_ - boxWidth / 2, static_cast<int>(client.right) - boxWidth));
    Fill(dc, left, headerTop + 1, left + boxWidth, headerBottom - 1, RGB(255, 255, 225));
    RECT box{left, headerTop + 1, left + boxWidth, headerBottom - 1};
    DrawTextA(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  SelectObject(dc, oldFont);
}

LRESULT TimelinePanel::HandleMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      window_ = h;
      break;
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      AskVisible();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT client{};
      GetClientRect(h, &client);
      // Drawn off screen and copied whole: no flicker while playing. The
      // bitmap is kept while the size stays.
      if (buffer_ == nullptr || bufferSize_.cx != client.right ||
          bufferSize_.cy != client.bottom) {
        if (buffer_ != nullptr) DeleteObject(buffer_);
        buffer_ = CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right),
                                         std::max<LONG>(1, client.bottom));
        bufferSize_ = {client.right, client.bottom};
      }
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(memory, buffer_);
      Paint(memory, client);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
      EndPaint(h, &ps);
      return 0;
    }
    case kMsgCoverage:
      PullResults();
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId && IsWindowVisible(h)) Update();  // hidden: nothing is read
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kPreviousId || LOWORD(wParam) == kNextId) {
        ChangeDay(LOWORD(wParam) == kPreviousId ? -1 : 1);
        SetFocus(h);  // the keys stay the panel's
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_PRIOR || wParam == VK_OEM_4) ChangeDay(-1);
      else if (wParam == VK_NEXT || wParam == VK_OEM_6) ChangeDay(1);
      else break;
      return 0;
    case WM_SETCURSOR: {
      POINT p{};
      GetCursorPos(&p);
      ScreenToClient(h, &p);
      if (LOWORD(lParam) == HTCLIENT && p.y < kSplitter) {
        SetCursor(LoadCursorA(nullptr, IDC_SIZENS));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONDOWN: {
      SetFocus(h);
      const int x = GET_X_LPARAM(lParam);
      const int y = GET_Y_LPARAM(lParam);
      if (y < kSplitter) {
        POINT p{x, y};
        ClientToScreen(h, &p);
        sizing_ = true;
        sizingY_ = p.y;
        sizingHeight_ = clientHeight_;
        SetCapture(h);
      } else if (x >= scale_.left && x < scale_.left + scale_.width) {
        pressed_ = true;
        panning_ = false;
        pressX_ = x;
        pressScale_ = scale_;
        SetCapture(h);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      const int x = GET_X_LPARAM(lParam);
      if (sizing_) {
        POINT p{x, GET_Y_LPARAM(lParam)};
        ClientToScreen(h, &p);
        const int asked = sizingHeight_ + sizingY_ - static_cast<int>(p.y);
        const int height = std::min(kTimelineMaxHeight, std::max(kTimelineMinHeight, asked));
        if (host_ != nullptr && height != clientHeight_) host_->HeightDragged(height);
        return 0;
      }
      if (pressed_ && std::abs(x - pressX_) > 3) panning_ = true;
      if (panning_) SetScale(PanBy(pressScale_, x - pressX_, day_));
      if (hoverX_ < 0) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, h, 0};
        TrackMouseEvent(&track);
      }
      hoverX_ = x;
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSELEAVE:
      hoverX_ = -1;
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      const bool click = pressed_ && !panning_;
      pressed_ = panning_ = sizing_ = false;
      if (GetCapture() == h) ReleaseCapture();
      if (click && host_ != nullptr && day_ >= 0) {
        host_->MoveSelectedTo(TimeAtPixel(scale_, GET_X_LPARAM(lParam)));
        Update();
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = panning_ = sizing_ = false;
      return 0;
    case WM_MOUSEWHEEL: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(h, &p);
      if (day_ < 0) return 0;
      const double notches = GET_WHEEL_DELTA_WPARAM(wParam) / static_cast<double>(WHEEL_DELTA);
      SetScale(ZoomAround(scale_, p.x, std::pow(0.5, notches), day_));
      return 0;
    }
    case WM_NCDESTROY:
      KillTimer(h, kTimerId);
      target_.store(nullptr);
      window_ = previous_ = next_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcA(h, message, wParam, lParam);
}
