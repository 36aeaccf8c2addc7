// Indexing in the background while the viewer is used: one worker thread at
// the lowest priority builds the index one minute folder at a time, always
// the minute nearest to what is on screen (each open window's moment, the
// timeline's visible range) of those not indexed yet. A change of what is on
// screen orders the queue again before the next minute. Where the lowered
// priority is not honoured (Wine), it keeps to a third of a processor and waits
// while playback has lately shown a late picture (playback/late_pictures.h).
//
// The worker never calls into windows: after each minute it rings a doorbell
// (the owner's callback, which posts one message) only if the last ring has
// not been answered yet; the owner then takes the minutes indexed since under
// a short lock (TakeIndexed). Stop ends a Build in progress through its
// atomic and joins.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "activity/activity.h"

namespace activity {

// A part of a camera's time on screen: a window's moment (from == to) or
// the timeline's view [from, to].
struct IndexFocus {
  std::string camera;  // the camera folder, no trailing separator
  WallTime from = 0;
  WallTime to = 0;
  bool operator==(const IndexFocus& o) const {
    return camera == o.camera && from == o.from && to == o.to;
  }
};

class BackgroundIndexer {
 public:
  // `index` outlives the indexer.
  explicit BackgroundIndexer(ActivityIndex& index);
  ~BackgroundIndexer();  // Stop
  BackgroundIndexer(const BackgroundIndexer&) = delete;
  BackgroundIndexer& operator=(const BackgroundIndexer&) = delete;

  // Called on the worker when a minute has been indexed and the previous
  // ring has been answered; answers whether the ring went out (a failed
  // post rings again next time). Set before Start.
  void SetDoorbell(std::function<bool()> ring) { ring_ = std::move(ring); }
  // Starts the worker; once.
  void Start();
  // Stops the minute being built and joins the worker; idempotent.
  void Stop();

  // What is on screen now. The days it touches are indexed, nearest minutes
  // first. Moments count by their minute: a playing window does not reorder
  // the queue at every picture.
  void SetOnScreen(std::vector<IndexFocus> focus);

  // The minute folders indexed (or found indexed) since the last call;
  // answers the doorbell.
  std::vector<std::string> TakeIndexed();
  // Nothing left to index for the focus given last (and the worker has
  // seen it).
  bool idle() const;
  // Minutes indexed (not found indexed already), for the benchmark.
  long built() const { return built_.load(); }

 private:
  struct Minute {
    std::string folder;
    WallTime start = 0;
  };
  void WorkerLoop();
  // The queue for `focus`, nearest last: lists the days it needs that have
  // not been listed yet (on the worker).
  void Order(const std::vector<IndexFocus>& focus);
  const std::vector<Minute>& DayOf(const std::string& camera, WallTime day);

  ActivityIndex& index_;
  std::function<bool()> ring_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> rung_{false};
  std::atomic<long> built_{0};

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<IndexFocus> focus_;   // as last set
  std::uint64_t focusSerial_ = 0;   // rises with each change
  std::uint64_t seenSerial_ = 0;    // the focus the queue was ordered for
  bool queueEmpty_ = true;
  std::vector<std::string> indexed_;

  // The worker's own.
  std::map<std::pair<std::string, WallTime>, std::vector<Minute>> days_;
  std::set<std::string> done_;
  std::vector<Minute> queue_;  // nearest at the back
  std::thread worker_;
};

}  // namespace activity
