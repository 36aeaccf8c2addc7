// orvanel-cli export -o OUTPUT [--format mpg|avi|asf|wmv] [--bitrate KBPS]
//                    [--from TIME] [--to TIME] [--stamp] FOLDER...
//
// Exports minute folders into one video file with the export job the Save
// As dialog runs. Each FOLDER is a minute folder or any folder above one
// (hour, date, camera, backup root), which stands for its minute folders in
// time order (a root: camera after camera). --from and --to
// (YYYY-MM-DDTHH:MM:SS[.CC]) keep the frames whose wall-clock time lies
// between them, both ends included; --stamp burns the camera name and each
// frame's time into the pictures. OUTPUT gets the
// format's extension (out.avi with --format mpg is written as out.mpg); the
// name written is printed on the output stream. Beside it goes its checksum
// manifest, OUTPUT.sha256 (see orvanel-cli verify).
//
// Progress goes to the error stream: a bar on a terminal, a line every 10%
// otherwise. Ctrl+C stops the export; the file written so far is closed
// and playable.
//
// Exit 0 done; 1 stopped (cancelled, picture-size mismatch, encoder
// failure, nothing to export); 2 bad arguments or unreadable input.
#include "cli/cmd_export.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

extern "C" {
#include <libavutil/log.h>
}

#include "cli/cli.h"
#include "cli/cli_paths.h"
#include "export/export_job.h"
#include "platform/platform.h"
#include "store/layout.h"
#include "store/wall_clock.h"

namespace {

// A minute folder, its separator and a 9-character frame name fit a path.
constexpr std::size_t kMaxFolderLength = platform::kMaxPath - 1 - 1 - 9;

const char kCommand[] = "export";

struct Format {
  const char* name;
  int code;
};
const Format kFormats[] = {{"mpg", 6}, {"avi", 1}, {"asf", 2}, {"wmv", 4}};

// ---------------------------------------------------------------- folders

bool HoldsFrames(const std::string& path, std::vector<platform::DirEntry>& entries) {
  int error = 0;
  if (platform::ListDirectory(path.c_str(), "*.jpg", entries, &error) != 0) return false;
  for (const platform::DirEntry& e : entries)
    if (!e.isDirectory) return true;
  return false;
}

// The subfolders of `path` that the tree shows at `level`, in its order.
std::vector<std::string> Children(const std::string& path, int level,
                                  std::vector<platform::DirEntry>& entries) {
  std::vector<std::string> names;
  int error = 0;
  if (platform::ListDirectory(path.c_str(), "*", entries, &error) != 0) return names;
  for (const platform::DirEntry& e : entries) {
    if (!e.isDirectory || e.name.empty() || e.name[0] == '.') continue;
    if (IsValidLevelName(e.name.c_str(), level)) names.push_back(e.name);
  }
  return names;
}

void AddMinute(const std::string& path, std::vector<std::string>& minutes) {
  const std::string entry = cli::StripTrailingSeparators(path) + platform::kPathSeparator;
  for (const std::string& m : minutes)
    if (platform::CompareNtfsOrder(m.c_str(), entry.c_str()) == 0) return;
  minutes.push_back(entry);
}

// The minute folders of a camera, date, hour or minute folder, in time order.
void AddMinutesOf(const std::string& path, std::vector<std::string>& minutes) {
  std::vector<std::string> found;
  ListMinuteFolders(path.c_str(), found);
  for (const std::string& m : found) AddMinute(m, minutes);
}

// ---------------------------------------------------------------- progress

// Atomic: the handler may run on any thread while the guard sets or clears it.
std::atomic<std::atomic<int>*> g_stop{nullptr};

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (std::atomic<int>* stop = g_stop.load()) stop->store(1);
  return TRUE;
}
#else
extern "C" void OnInterrupt(int) {
  if (std::atomic<int>* stop = g_stop.load()) stop->store(1);
}
#endif

// Stops the job on Ctrl+C while it lives; the previous handling returns.
class InterruptGuard {
 public:
  explicit InterruptGuard(std::atomic<int>* stop) {
    g_stop = stop;
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    previous_ = std::signal(SIGINT, OnInterrupt);
#endif
  }
  ~InterruptGuard() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
#endif
    g_stop = nullptr;
  }

 private:
#ifndef _WIN32
  void (*previous_)(int) = SIG_DFL;
#endif
};

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

// The export's user interface on a console. Called on the job's worker
// thread only; the command's thread waits for the job meanwhile.
class ConsoleUi : public ExportUi {
 public:
  ConsoleUi(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}

  std::vector<std::string> folders;
  std::string output;
  std::string bitRate;
  int format = 6;
  bool hasRange = false;
  WallTime from = 0, to = 0;
  bool stamp = false;
  std::string lastFrame;  // the frame being loaded (the status text)
  std::string mismatch;   // the job's size-mismatch message

  int FolderCount() override { return static_cast<int>(folders.size()); }
  bool GetFolder(int index, char* out, std::size_t size) override {
    if (index < 0 || index >= FolderCount() || folders[index].size() >= size) return false;
    std::memcpy(out, folders[index].c_str(), folders[index].size() + 1);
    return true;
  }
  void RemoveFolder(int index) override { folders.erase(folders.begin() + index); }
  bool GetOutputName(char* out, std::size_t size) override {
    if (output.size() >= size) return false;
    std::memcpy(out, output.c_str(), output.size() + 1);
    return true;
  }
  void SetOutputName(const char* name) override { output = name; }
  bool GetBitRateText(char* out, std::size_t size) override {
    std::snprintf(out, size, "%s", bitRate.c_str());
    return true;
  }
  int GetFormatCode() override { return format; }
  bool GetTimeRange(WallTime* first, WallTime* last) override {
    *first = from;
    *last = to;
    return hasRange;
  }
  bool GetTimeStamp() override { return stamp; }

  void SetStatusText(const char* text) override {
    if (std::strcmp(text, kCalculatingFps) == 0) {
      start_ = std::chrono::steady_clock::now();
      std::fprintf(err_, "orvanel-cli: export: %s\n", text);
    } else if (std::strcmp(text, kCompleted) == 0) {
      completed_ = true;
    } else {
      lastFrame = text;
    }
  }
  void SetProgressRange(int, int high) override { total_ = high + 1; }
  void SetProgressStep(int) override {}
  void SetProgressPosition(int position) override {
    position_ = position + (completed_ ? 1 : 0);
    Render(true);
  }
  void StepProgress() override {
    ++position_;
    Render(false);
  }
  void SetButtonText(const char*) override {}
  // Kept for the one closing line that names the frame and the file.
  void ShowMismatch(const char* text) override { mismatch = text; }

  // Ends the progress bar's line (at a message, and when the job is over).
  void EndBar() {
    if (barOpen_) std::fputc('\n', err_);
    barOpen_ = false;
  }

 private:
  void Render(bool force) {
    if (total_ <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const int percent = static_cast<int>(100LL * std::min(position_, total_) / total_);
    if (terminal_) {
      if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
      lastDraw_ = now;
      char bar[31];
      const int filled = percent * 30 / 100;
      for (int i = 0; i < 30; ++i) bar[i] = i < filled ? '#' : '.';
      bar[30] = '\0';
      const int elapsed = static_cast<int>(seconds);
      std::fprintf(err_, "\r[%s] %3d%%  %d/%d frames  %02d:%02d", bar, percent, position_, total_,
                   elapsed / 60, elapsed % 60);
      std::fflush(err_);
      barOpen_ = true;
    } else if (percent / 10 > lastDecile_ || (force && percent == 100 && lastDecile_ < 10)) {
      lastDecile_ = percent / 10;
      std::fprintf(err_, "orvanel-cli: export: %d%% (%d/%d frames, %.1f s)\n", percent, position_,
                   total_, seconds);
    }
  }


  std::FILE* err_;
  bool terminal_;
  bool barOpen_ = false;
  bool completed_ = false;
  int total_ = 0;
  int position_ = 0;
  int lastDecile_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDraw_{};
};

int Usage(std::FILE* err, const char* cause) {
  std::fprintf(err,
               "orvanel-cli: export: %s\n"
               "usage: orvanel-cli export -o OUTPUT [--format mpg|avi|asf|wmv] [--bitrate KBPS]\n"
               "         [--from TIME] [--to TIME] [--stamp] FOLDER...\n"
               "TIME: YYYY-MM-DDTHH:MM:SS[.CC]\n",
               cause);
  return 2;
}

}  // namespace

bool ExpandExportFolder(const std::string& folder, std::vector<std::string>& minutes,
                        std::string* error) {
  const std::string path = cli::StripTrailingSeparators(folder);
  if (!platform::IsDirectory(path.c_str())) {
    if (error) *error = "no such folder";
    return false;
  }
  std::vector<platform::DirEntry> entries;
  if (HoldsFrames(path, entries)) {
    AddMinute(path, minutes);
    return true;
  }
  // A date, hour or minute by its names, a camera by its dates; else a
  // backup root, whose cameras follow one another in the tree's order.
  if (BackupLevelOf(path.c_str()) > 2 || !Children(path, 3, entries).empty()) {
    AddMinutesOf(path, minutes);
  } else {
    for (const std::string& camera : Children(path, 2, entries))
      AddMinutesOf(cli::JoinPath(path, camera), minutes);
  }
  return true;
}

int CmdExport(int argc, char** argv, std::FILE* out, std::FILE* err) {
  std::string output;
  int format = 6;
  std::string bitRate = "400";
  std::vector<std::string> inputs;
  bool optionsEnded = false;
  bool hasFrom = false, hasTo = false, stamp = false;
  WallTime from = INT64_MIN, to = INT64_MAX;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (optionsEnded) {
      inputs.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-o" || arg == "--output") {
      if (!hasValue) return Usage(err, "-o needs a file name");
      output = argv[++i];
    } else if (arg == "--format") {
      if (!hasValue) return Usage(err, "--format needs mpg, avi, asf or wmv");
      std::string value = argv[++i];
      if (!value.empty() && value[0] == '.') value.erase(0, 1);
      format = -1;
      for (const Format& f : kFormats)
        if (platform::CompareNtfsOrder(value.c_str(), f.name) == 0) format = f.code;
      if (format < 0) return Usage(err, ("unknown format '" + value + "'").c_str());
    } else if (arg == "--bitrate") {
      if (!hasValue) return Usage(err, "--bitrate needs a number of kbit/s");
      bitRate = argv[++i];
      const int kbps = LeadingNumber(bitRate.c_str());
      if (bitRate.find_first_not_of("0123456789") != std::string::npos || kbps < 1 ||
          kbps > 100000)
        return Usage(err, ("bit rate '" + bitRate + "' is not 1 to 100000 kbit/s").c_str());
    } else if (arg == "--from" || arg == "--to") {
      if (!hasValue) return Usage(err, (arg + " needs a time").c_str());
      const std::string value = argv[++i];
      const bool isFrom = arg == "--from";
      if (!ParseWallTime(value.c_str(), isFrom ? &from : &to))
        return Usage(err, ("'" + value + "' is not a time YYYY-MM-DDTHH:MM:SS[.CC]").c_str());
      (isFrom ? hasFrom : hasTo) = true;
    } else if (arg == "--stamp") {
      stamp = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(err, ("unknown option '" + arg + "'").c_str());
    } else {
      inputs.push_back(arg);
    }
  }
  if (output.empty()) return Usage(err, "no output file (-o OUTPUT)");
  if (inputs.empty()) return Usage(err, "no input folder");
  if (from > to) return Usage(err, "--from is later than --to");
  const bool ranged = hasFrom || hasTo;

  std::vector<std::string> minutes;
  for (const std::string& input : inputs) {
    if (!cli::CheckFolder(kCommand, cli::StripTrailingSeparators(input), kMaxFolderLength, err))
      return 2;
    std::string error;
    if (!ExpandExportFolder(input, minutes, &error)) {
      std::fprintf(err, "orvanel-cli: export: '%s': %s\n", input.c_str(), error.c_str());
      return 2;
    }
  }
  std::vector<std::string> kept;
  for (const std::string& m : minutes) {
    if (m.size() > kMaxFolderLength + 1) {
      std::fprintf(err, "orvanel-cli: export: '%s': path longer than %u characters\n", m.c_str(),
                   static_cast<unsigned>(kMaxFolderLength));
      return 2;
    }
    // With a range, minutes wholly outside it are left out here; the job
    // picks the frames inside it.
    WallTime start = 0;
    if (ranged && !MinuteFolderStart(m.c_str(), &start)) {
      std::fprintf(err,
                   "orvanel-cli: export: '%s': not a .../YYYY-MM-DD/HH/MM minute folder, so it "
                   "has no time for --from or --to\n",
                   m.c_str());
      return 2;
    }
    if (!ranged || (start <= to && from < start + kHundredthsPerMinute)) kept.push_back(m);
  }
  minutes.swap(kept);
  if (minutes.empty()) {
    std::fprintf(err, "orvanel-cli: export: no minute folders in the given folders%s\n",
                 ranged ? " and time range" : "");
    return 1;
  }

  ConsoleUi ui(err, IsTerminal(err));
  ui.folders = minutes;
  ui.output = output;
  ui.bitRate = bitRate;
  ui.format = format;
  ui.hasRange = ranged;
  ui.from = from;
  ui.to = to;
  ui.stamp = stamp;

  // FFmpeg's own notices (buffer sizes, clipped coefficients) are noise
  // here; its errors still show.
  const int logLevel = av_log_get_level();
  av_log_set_level(AV_LOG_ERROR);
  ExportJob job(&ui);
  {
    InterruptGuard guard(&job.stopRequested);
    job.Start();
    job.Join();
  }
  ui.EndBar();
  av_log_set_level(logLevel);

  const std::string& written = ui.output;
  // A failed export that wrote no picture leaves no file: an empty or
  // header-only file would pass for an export. One with pictures stays (a
  // cancelled export is closed and playable).
  const bool failed = job.outcome() != ExportJob::Outcome::kCompleted || job.picturesWritten() == 0;
  std::FILE* left = failed && job.picturesWritten() == 0 && !written.empty()
                       ? std::fopen(written.c_str(), "rb")
                       : nullptr;
  if (left) std::fclose(left);
  if (left && std::remove(written.c_str()) != 0)
    std::fprintf(err, "orvanel-cli: export: '%s': cannot remove the unfinished file\n",
                 written.c_str());
  switch (job.outcome()) {
    case ExportJob::Outcome::kCompleted:
      if (job.picturesWritten() == 0) {
        std::fprintf(err,
                     "orvanel-cli: export: '%s': no picture written (no frame could be read); "
                     "the file is removed\n",
                     written.c_str());
        return 1;
      }
      if (job.manifestPath().empty()) {
        std::fprintf(err, "orvanel-cli: export: '%s': the checksum manifest cannot be written\n",
                     written.c_str());
        return 1;
      }
      std::fprintf(out, "%s\n", written.c_str());
      return 0;
    case ExportJob::Outcome::kCancelled:
      std::fprintf(err, "orvanel-cli: export: '%s': cancelled; the part written so far is kept\n",
                   written.c_str());
      return 1;
    case ExportJob::Outcome::kMismatch:
      std::fprintf(err,
                   "orvanel-cli: export: '%s': picture size differs from the first frame's "
                   "(%s); stopped, '%s' keeps the part written before it\n",
                   ui.lastFrame.c_str(), ui.mismatch.c_str(), written.c_str());
      return 1;
    case ExportJob::Outcome::kOutputFailed:
      std::fprintf(err, "orvanel-cli: export: '%s': cannot create the output file\n",
                   written.c_str());
      return 2;
    case ExportJob::Outcome::kNoFolder:
      std::fprintf(err, "orvanel-cli: export: no frame files in the given folders\n");
      return 1;
    case ExportJob::Outcome::kProbeFailed:
      std::fprintf(err, "orvanel-cli: export: '%s': its first frame file cannot be read\n",
                   ui.folders.empty() ? "" : ui.folders.front().c_str());
      return 2;
    case ExportJob::Outcome::kEncoderFailed:
      std::fprintf(err, "orvanel-cli: export: '%s': the encoder cannot take %dx%d pictures\n",
                   written.c_str(), job.width, job.height);
      return 1;
    case ExportJob::Outcome::kNone:
      break;
  }
  std::fprintf(err, "orvanel-cli: export: the export did not run\n");
  return 1;
}
