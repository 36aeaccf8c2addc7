// The export job: turns the listed minute folders into one video file on a
// worker thread. The FPS pass reads every frame name to find the smallest
// time step between frames (the output frame rate follows from it); the
// encode pass decodes each frame file in time order and writes it through
// vlib, repeated so that the video keeps the recording's time.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "export/export_ui.h"
#include "export/time_stamp.h"
#include "platform/platform.h"
#include "playback/av_util.h"
#include "store/minute_frame_list.h"
#include "store/wall_clock.h"
#include "vlib/vlib.h"

// Frame-sized buffers: 704 x 576 x 3 bytes. Larger pictures grow them once.
constexpr std::size_t kExportBufferSize = 1216512;

// Status and button texts of the progress dialog.
constexpr char kCalculatingFps[] = "Calculating FPS...";
constexpr char kCompleted[] = "Completed.";
constexpr char kCloseText[] = "Close";

// The time of a frame within its minute in hundredths of a second (0 to
// 5999), read from its name by the naming scheme that `nameLength` (the
// longest name of its folder, 8 or 9) tells; -1 when the name gives no
// time (no leading number, beyond the minute, another length).
int FrameTime(const char* name, int nameLength);

// The output name with its extension replaced by (or, without one, followed
// by) `extension`, into `out`; false when it does not fit.
bool ReplaceExtension(const char* name, const char* extension, char* out,
                      std::size_t size);

// Extension of a format code (".mpg" for 6, ".avi" 1, ".asf" 2, ".wmv" 4);
// null for other codes.
const char* FormatExtension(int formatCode);

class ExportJob {
 public:
  // How the last job ended (for callers that need more than the dialog
  // shows: the command-line tool's exit code and message).
  enum class Outcome {
    kNone,           // no job has run
    kCompleted,
    kCancelled,      // stopRequested from outside
    kMismatch,       // a picture of another size
    kOutputFailed,   // the output file could not be created
    kNoFolder,       // no folder with frame files left
    kProbeFailed,    // the first folder's first frame could not be read
    kEncoderFailed,  // encoder or stream could not be made
  };

  // Makes the decoder and the three buffers, once for every job this
  // object runs.
  explicit ExportJob(ExportUi* ui);
  virtual ~ExportJob();
  ExportJob(const ExportJob&) = delete;
  ExportJob& operator=(const ExportJob&) = delete;

  // Launches Run on a worker thread; false while a job runs.
  bool Start();
  // Waits for the worker thread of the last Start to end.
  void Join();

  // One whole job (the worker thread's body).
  void Run();

  // FPS pass of one folder: its smallest frame step (9999 with fewer than
  // two usable frames), or 0 when it yields no names.
  int MeasureFolder(const char* folder);
  // Output name, file, picture size, encoder and stream: 1, or 0.
  int Prepare();
  // Encode pass of one folder: 1, -1 when the job is to stop, 0 when the
  // folder yields no names. `nextFolder` (or null) is the folder encoded
  // next and `nextFirstTime` its first frame's time (-1 unknown): the last
  // frame lasts until then when that minute follows on within 2 s.
  int EncodeFolder(const char* folder, const char* nextFolder = nullptr, int nextFirstTime = -1);
  // Reads and decodes one frame file into the picture buffer: 1, 0 on a
  // read or decode failure, -1 on a picture-size mismatch.
  int LoadFrame(const char* path, bool probeOnly);
  // The picture size from the first frame file the folder lists: 1 or 0.
  int ProbeSize(const char* folder);

  // Decode of the next frames on a second thread while this one is encoded
  // (on by default). The output is the same either way.
  void SetPipelining(bool on) { pipelining_ = on; }

  // Where one thread's time went in the last job (for the benchmarks).
  // Times are summed only while profiling is on; the counts always.
  struct Profile {
    std::int64_t listNs = 0, readNs = 0, decodeNs = 0, packNs = 0, stampNs = 0, encodeNs = 0,
                 writeNs = 0, waitNs = 0;
    int reads = 0, waits = 0, wakes = 0;
  };
  void SetProfiling(bool on) { profiling_ = on; }
  // The job thread's, the decode-ahead thread's and the read-ahead
  // thread's, valid once running is back to 0.
  const Profile& jobProfile() const { return jobProfile_; }
  const Profile& decodeProfile() const { return decodeProfile_; }
  const Profile& readProfile() const { return readProfile_; }

  // Shared with the user-interface thread.
  std::atomic<int> running{0};
  std::atomic<int> stopRequested{0};

  // Job fields, used by the worker thread while a job runs.
  int frameStep = 9999;
  int width = 0;
  int height = 0;
  int frameCount = 0;
  int nameLength = 0;
  vlib_file* file = nullptr;
  vlib_codec* codec = nullptr;

  // Results of the last job, valid once running is back to 0.
  Outcome outcome() const { return outcome_.load(); }
  int picturesWritten() const { return picturesWritten_.load(); }
  int framesMeasured() const { return framesMeasured_.load(); }
  // Whole pictures per second (the key-frame distance): 100 / pictureStep.
  int fps() const { return fps_; }
  // The output's picture duration in hundredths (the frame step; 4 for .mpg).
  int pictureStep() const { return pictureStep_; }
  // The checksum manifest written beside the last job's file
  // ("<file>.sha256"), empty when none was (no picture, or it failed).
  const std::string& manifestPath() const { return manifestPath_; }
  // Recorded frames the last job wrote (each once, however often repeated).
  int framesExported() const { return framesExported_; }
  // The picture buffer LoadFrame fills (packed YUV 4:2:0).
  const std::uint8_t* picture() const { return picture_.data(); }

 private:
  class Prefetcher;
  class Reader;

  // The wall-clock moment the folder's minute starts (-1 unknown); false
  // when a range is set and the folder has no moment (none of its frames
  // can lie in the range).
  bool FolderStart(const char* folder, WallTime* start) const;
  // FrameTime of a name of a folder starting at `folderStart`, or -1 when it
  // has none or lies outside the range.
  int UsableTime(const char* name, WallTime folderStart) const;
  // Fills names_ with the folder's frame names of 8 or 9 characters,
  // sorted; false when there are none.
  bool CollectNames(const char* folder);
  // Reads and decodes a file into `picture` (unused in probe mode) and
  // gives the frame's size: 1, 0 on failure, -1 on a size mismatch (the
  // picture is then untouched). Shows nothing: safe on the decode thread.
  int Decode(const char* path, bool probeOnly, std::uint8_t* picture, int* frameWidth,
             int* frameHeight, Profile* profile);
  // The same for a file's bytes, read already (followed by the decoder's
  // zero padding).
  int DecodeBytes(const std::uint8_t* data, std::size_t size, bool probeOnly,
                  std::uint8_t* picture, int* frameWidth, int* frameHeight, Profile* profile);
  // Copies (or converts) the decoded picture into packed YUV 4:2:0 at the
  // video range; false when it cannot be converted.
  bool PackPicture(const AVFrame* frame, std::uint8_t* picture);
  int Mismatch(int frameWidth, int frameHeight);
  // Encodes `picture` and writes it; false when the encoder failed.
  bool WritePicture(const std::uint8_t* picture, const char* failureText);
  bool GrowBuffers(int pictureWidth, int pictureHeight);
  void FinishJob();
  void WriteChecksum();

  ExportUi* ui_;
  av::CodecContextPtr decoder_;
  av::PacketPtr packet_;
  av::FramePtr frame_;
  av::SwsPtr sws_;
  av::FramePtr converted_;  // other chroma layouts, converted to 4:2:0
  std::vector<std::uint8_t> readBuffer_;
  std::vector<std::uint8_t> picture_;
  // Pictures decoded ahead of the encoder, one per slot.
  static constexpr int kRingSlots = 8;
  std::vector<std::uint8_t> ring_[kRingSlots];
  std::vector<FrameName> loadNames_;  // the frames of loads_, for the ring
  std::vector<std::uint8_t> output_;
  std::size_t readLimit_ = kExportBufferSize;

  std::vector<FrameName> names_;
  std::vector<platform::DirEntry> listing_;
  std::vector<int> loads_;  // name indices the encode pass loads, in order
  int firstTime_ = -1;             // first frame time of the last measured folder
  std::vector<int> firstTimes_;    // of each listed folder, after the FPS pass

  std::string outputPath_, manifestPath_;
  std::vector<std::string> sources_;  // the folders of the encode pass
  int framesExported_ = 0;
  WallTime firstExported_ = -1, lastExported_ = -1;
  bool stamp_ = false;     // read at the job's start
  std::string camera_;     // the stamp's camera name for the folder being encoded
  StampMask stampMask_;
  bool hasRange_ = false;  // the user interface's range, read at the job's start
  WallTime rangeFrom_ = 0, rangeTo_ = 0;
  bool pipelining_ = true;
  bool profiling_ = false;
  Profile jobProfile_;
  Profile decodeProfile_;  // written by the decode-ahead thread only
  Profile readProfile_;    // and by the read-ahead thread only
  Prefetcher* prefetcher_ = nullptr;
  std::thread thread_;
  std::atomic<Outcome> outcome_{Outcome::kNone};
  std::atomic<int> picturesWritten_{0};
  std::atomic<int> framesMeasured_{0};
  int fps_ = 0;
  int pictureStep_ = 4;
};
