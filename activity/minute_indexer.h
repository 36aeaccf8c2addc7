// Indexing one minute folder: its frame files listed with the details that
// tell whether they changed, read (by a FrameSource, perhaps ahead on a
// thread), decoded at 1/8 size, luma only, and compared with the still scene.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "activity/index_file.h"
#include "activity/scene_model.h"
#include "platform/platform.h"
#include "playback/av_util.h"
#include "playback/frame_decoder.h"
#include "store/minute_frame_list.h"

namespace activity {

struct FrameFileInfo {
  FrameName name;
  std::uint64_t size = 0;
  std::int64_t modified = 0;
};

// The frame files of a minute folder, as the frame list takes them (names
// ending ".jpg", no folders, no name longer than a scheme allows), in play
// order, with a key over their names, sizes and modification times.
struct MinuteListing {
  std::vector<FrameFileInfo> frames;
  bool millisecondNames = false;
  std::uint64_t key = 0;
  std::int64_t folderTime = 0;  // read before the listing: a change meanwhile shows
  // 0, or -1 when the folder cannot be listed (a folder without frame files
  // lists as empty).
  int List(const std::string& folder);
  // Hundredths within the minute of frame `i`.
  int TimeOf(std::size_t i) const;
};

// Hands out the bytes of the frame files named in `paths`, in that order.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual void Begin(const std::vector<std::string>& paths) = 0;
  // The next file: true with its bytes, false when it could not be read
  // (why, in `why`).
  virtual bool Next(const FrameFile** file, const char** why) = 0;
  // The rest is not wanted (stopped).
  virtual void End() {}
};

// Reads each file when it is asked for.
class DirectSource : public FrameSource {
 public:
  void Begin(const std::vector<std::string>& paths) override;
  bool Next(const FrameFile** file, const char** why) override;

 private:
  const std::vector<std::string>* paths_ = nullptr;
  std::size_t next_ = 0;
  FrameFile file_;
  char why_[160] = {};
};

// Reads the files ahead on a thread of its own, a few at a time, while the
// caller decodes: under Wine every open is a round trip to the server.
class ReadAheadSource : public FrameSource {
 public:
  ReadAheadSource();
  ~ReadAheadSource() override;
  void Begin(const std::vector<std::string>& paths) override;
  bool Next(const FrameFile** file, const char** why) override;
  void End() override;

 private:
  static constexpr std::size_t kSlots = 8;
  struct Slot {
    FrameFile file;
    bool ok = false;
    char why[160] = {};
  };
  void Run();
  void WaitIdle(std::unique_lock<platform::HandOffMutex>& lock);

  Slot slots_[kSlots];
  platform::HandOffMutex mutex_;
  platform::HandOffCondition changed_;
  // Guarded by mutex_. Files [done_, read_) are in slots; the caller holds
  // file done_ between two calls of Next.
  std::vector<std::string> paths_;
  std::size_t read_ = 0, taken_ = 0, done_ = 0;
  bool busy_ = false, quit_ = false;
  std::thread thread_;
};

class MinuteIndexer {
 public:
  MinuteIndexer();
  // Indexes the frames of `listing` (of the minute folder `folder`, its full
  // path) into `out`, reading through `source`. Damaged frames are marked
  // and logged. false when `stop` ended it.
  bool Index(const std::string& folder, const MinuteListing& listing, FrameSource& source,
             const std::atomic<bool>* stop, MinuteIndex* out);

 private:
  // Decodes one file into `luma` (small picture, rows packed); the full
  // size into *width, *height. false (with `why`) when it holds no usable
  // picture.
  bool DecodeSmall(const FrameFile& file, std::vector<std::uint8_t>& luma, int* width,
                   int* height, const char** why);

  av::CodecContextPtr decoder_;
  av::PacketPtr packet_;
  av::FramePtr frame_;
  SceneModel model_;
  std::vector<std::uint8_t> picture_;
  std::vector<CellChange> cells_;
};

}  // namespace activity
