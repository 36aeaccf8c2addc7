// The timeline panel ("ORVTIMELINE"): a row per camera with the spans it
// recorded on one date, hour ticks, a marker per video window at the moment
// it shows. The wheel zooms around the cursor (a day down to a minute),
// dragging pans, "<" ">" (or PgUp/PgDn, [ ]) change the date, and a click
// sends the selected windows to the moment under the cursor.
//
// Coverage comes from a worker thread of the panel's own: it walks the
// camera's date and hour folders (the pending picture, drawn pale at once),
// then steps a CoverageScan, and hands each result to the panel through a
// mailbox under a short lock with one coalesced posted notification. It
// never touches a window nor waits for this thread. User-interface thread
// otherwise.
//
// Activity is shaded the same way: the worker asks the activity index for
// each minute of a row's day (in the row's search region) that is indexed
// already, and again for the minutes the background indexer reports
// (MinutesIndexed), so the shading grows as indexing proceeds. Reading the
// index lists the minute folder: only ever on the worker.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "activity/activity.h"
#include "store/coverage.h"
#include "timeline/timeline_scale.h"

// One window's marker on its camera's row.
struct TimelineMarker {
  WallTime moment = -1;
  bool selected = false;
  bool grouped = false;
};

struct TimelineRow {
  std::string camera;  // the camera folder, no trailing separator
  std::string name;    // shown at the row's left
  std::vector<TimelineMarker> markers;
  activity::Region region;  // the camera's search region (empty: the whole picture)
  bool operator==(const TimelineRow& o) const;
};

// What the panel asks of the rest of the program (the shell hands it one).
// The defaults are those of a panel on its own: no rows, nothing moves.
class TimelineHost {
 public:
  virtual ~TimelineHost() = default;
  // A row per camera of the open video windows, or the camera selected in
  // the tree when none is open.
  virtual std::vector<TimelineRow> Rows() { return {}; }
  // The moment the selected window shows (-1: none); the panel shows its date.
  virtual WallTime SelectedMoment() { return -1; }
  // A click: the selected windows to this moment.
  virtual void MoveSelectedTo(WallTime) {}
  // The panel's top edge was dragged: the height it asks for.
  virtual void HeightDragged(int) {}
  // The workspace's marked range (Mark In, Mark Out), -1 for an end not
  // marked.
  virtual void Marks(WallTime* in, WallTime* out) { *in = *out = -1; }
};

constexpr int kTimelineDefaultHeight = 130;
constexpr int kTimelineMinHeight = 60;
constexpr int kTimelineMaxHeight = 600;

class TimelinePanel {
 public:
  TimelinePanel();
  ~TimelinePanel();  // ends and joins the worker
  TimelinePanel(const TimelinePanel&) = delete;
  TimelinePanel& operator=(const TimelinePanel&) = delete;

  // Registers the class and makes the panel as a hidden child of `parent`.
  HWND Create(HWND parent, TimelineHost* host);
  HWND window() const { return window_; }

  // The day shown (midnight) and the time area's scale, in client pixels.
  WallTime day() const { return day_; }
  const TimeScale& scale() const { return scale_; }
  void ShowDay(WallTime day);
  void ShowRange(WallTime start, WallTime span);
  // Rows and markers pulled from the host now (also on the panel's timer).
  void Update();
  // Every coverage asked for is read to its end, and every activity.
  bool Idle() const;

  // Where activity is read from (null: no shading); set before Create.
  void SetActivityIndex(activity::ActivityIndex* index) { activityIndex_ = index; }
  // The background indexer has indexed these minute folders: rows of their
  // camera and day shade them.
  void MinutesIndexed(const std::vector<std::string>& minuteFolders);
  // The activity spans shaded on a camera's row of the day shown (tests).
  std::vector<activity::Span> ActivityOf(const std::string& camera) const;

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Key {
    std::string camera;
    WallTime from;
    WallTime to;
    CoverageLevel level;
    bool operator<(const Key& o) const {
      return std::tie(camera, from, to, level) < std::tie(o.camera, o.from, o.to, o.level);
    }
  };
  struct Coverage {
    std::vector<CoverageSpan> spans;
    std::vector<CoverageSpan> pending;  // minutes listed, not read yet
    bool done = false;
  };

  // A row's activity over a day, in its region.
  struct ActivityKey {
    std::string camera;
    WallTime day;
    activity::Region region;
    bool operator<(const ActivityKey& o) const {
      return std::tie(camera, day, region.x, region.y, region.width, region.height) <
             std::tie(o.camera, o.day, o.region.x, o.region.y, o.region.width, o.region.height);
    }
  };
  struct Activity {
    std::vector<activity::Span> spans;  // merged
    std::set<std::string> minutes;      // minute folders answered
    int asked = 0;                      // reads under way
  };
  struct ActivityJob {
    ActivityKey key;
    std::vector<std::string> minutes;  // empty: every minute folder of the day
  };
  struct ActivityResult {
    ActivityKey key;
    std::vector<std::string> minutes;
    std::vector<activity::Span> spans;
    bool last = false;  // the job's last part
  };

  void Layout(int width, int height);
  void Paint(HDC dc, const RECT& client);
  void DrawRow(HDC dc, const TimelineRow& row, int top, int height);
  void Ask(const Key& key);
  void AskVisible();
  void PullResults();
  void WorkerLoop();
  void Publish(const Key& key, const CoverageScan& scan, std::uint64_t generation);
  void AskActivity(const ActivityKey& key, std::vector<std::string> minutes);
  void ReadActivity(const ActivityJob& job);
  void PublishActivity(ActivityResult result);
  void Ring();
  void ChangeDay(int days);
  void SetScale(const TimeScale& s);
  int RowTop(int index, int* height) const;

  HWND window_ = nullptr;
  HWND previous_ = nullptr;
  HWND next_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP buffer_ = nullptr;  // the off-screen picture
  SIZE bufferSize_{0, 0};
  TimelineHost* host_ = nullptr;
  WallTime markIn_ = -1, markOut_ = -1;  // as the host last said
  std::vector<TimelineRow> rows_;
  WallTime day_ = -1;
  WallTime followedDay_ = -1;  // the selected window's date when last seen
  TimeScale scale_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  int hoverX_ = -1;
  // Mouse: a press in the time area pans once it moves, else it is a click.
  bool pressed_ = false;
  bool panning_ = false;
  int pressX_ = 0;
  TimeScale pressScale_;
  bool sizing_ = false;
  int sizingY_ = 0;
  int sizingHeight_ = 0;

  // User-interface thread's: what has been asked for and what came back.
  std::map<Key, Coverage> coverage_;
  std::map<ActivityKey, Activity> activity_;
  activity::ActivityIndex* activityIndex_ = nullptr;

  // The mailbox, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<Key, std::uint64_t>> jobs_;
  std::vector<std::pair<Key, Coverage>> results_;
  std::deque<ActivityJob> activityJobs_;  // after the coverage jobs
  std::vector<ActivityResult> activityResults_;
  bool quit_ = false;
  std::atomic<bool> posted_{false};
  // Frame-level jobs of a view no longer shown are dropped: their
  // generation is behind this.
  std::atomic<std::uint64_t> generation_{0};
  std::vector<WallTime> frameHours_;  // hours read at frame level now
  std::atomic<HWND> target_{nullptr};  // where the worker posts
  std::thread worker_;
};
