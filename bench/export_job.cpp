// bench-export_job [--runs N] OUTPUT.avi MINUTE_FOLDER...
//
// Runs the export job in this process over the given minute folders to
// .avi at 400 kbit/s, decoding on the job's thread and decoding the next
// frame on a second thread, best of three runs each. Prints both times,
// their ratio, and whether the two files are byte-identical (exit 1 if not).
// One more run of each with its stages timed prints where each thread's
// time went, and one with the time stamp, with the stamp's share of the
// job thread's work. --runs sets the timed runs of each kind (default 3).
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "export/export_job.h"

namespace {

class BenchUi : public ExportUi {
 public:
  std::vector<std::string> folders;
  std::string output;
  int FolderCount() override { return static_cast<int>(folders.size()); }
  bool GetFolder(int index, char* out, std::size_t size) override {
    if (index < 0 || index >= FolderCount() || folders[index].size() >= size) return false;
    std::snprintf(out, size, "%s", folders[index].c_str());
    return true;
  }
  void RemoveFolder(int index) override { folders.erase(folders.begin() + index); }
  bool GetOutputName(char* out, std::size_t size) override {
    std::snprintf(out, size, "%s", output.c_str());
    return output.size() < size;
  }
  void SetOutputName(const char* name) override { output = name; }
  bool GetBitRateText(char* out, std::size_t size) override {
    std::snprintf(out, size, "400");
    return true;
  }
  int GetFormatCode() override { return 1; }
  bool stamp = false;
  bool GetTimeStamp() override { return stamp; }
  void SetStatusText(const char*) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressStep(int) override {}
  void SetProgressPosition(int) override {}
  void StepProgress() override {}
  void SetButtonText(const char*) override {}
  void ShowMismatch(const char* text) override { std::fprintf(stderr, "%s\n", text); }
};

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Microseconds per picture of a summed time.
double PerPicture(std::int64_t ns, int pictures) { return pictures > 0 ? ns / 1e3 / pictures : 0; }

// Where each thread's time went, per picture, and the hand-offs.
void PrintProfile(const char* thread, const ExportJob::Profile& p, int pictures) {
  std::printf("profile %s: list %.0f us, read %.0f us, decode %.0f us, convert %.0f us, encode %.0f us, "
              "write %.0f us, wait %.0f us per picture; %.3f waits, %.3f wakes per picture "
              "(%d waits, %d wakes, %d reads)\n",
              thread, PerPicture(p.listNs, pictures), PerPicture(p.readNs, pictures), PerPicture(p.decodeNs, pictures),
              PerPicture(p.packNs, pictures), PerPicture(p.encodeNs, pictures),
              PerPicture(p.writeNs, pictures), PerPicture(p.waitNs, pictures),
              pictures > 0 ? double(p.waits) / pictures : 0,
              pictures > 0 ? double(p.wakes) / pictures : 0, p.waits, p.wakes, p.reads);
}

// Seconds for one export; the picture count of the file it wrote. With
// `profile`, the job's profile is printed.
double Time(const std::vector<std::string>& folders, const std::string& output, bool pipelined,
            int* pictures, bool profile = false, bool stamp = false) {
  BenchUi ui;
  ui.stamp = stamp;
  ui.folders = folders;
  ui.output = output;
  ExportJob job(&ui);
  job.SetPipelining(pipelined);
  job.SetProfiling(profile);
  const auto start = std::chrono::steady_clock::now();
  job.Start();
  job.Join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *pictures = job.picturesWritten();
  if (profile && stamp) {
    // The stamp is drawn on the job thread: its share of that thread's work.
    const ExportJob::Profile& p = job.jobProfile();
    std::printf("stamped export: %.3f s; stamp %.0f us per picture, %.2f %% of the job thread's "
                "encode, stamp and write\n",
                seconds, PerPicture(p.stampNs, *pictures),
                100.0 * p.stampNs / std::max<std::int64_t>(1, p.encodeNs + p.stampNs + p.writeNs));
  } else if (profile) {
    std::printf("profiled export (%s): %.3f s\n", pipelined ? "decode beside encode" : "one thread",
                seconds);
    PrintProfile(pipelined ? "job thread" : "one thread", job.jobProfile(), *pictures);
    if (pipelined) {
      PrintProfile("decode thread", job.decodeProfile(), *pictures);
      PrintProfile("read thread", job.readProfile(), *pictures);
    }
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--runs") {
    runs = std::max(0, std::atoi(argv[2]));
    first = 3;
  }
  if (argc < first + 2) {
    std::fputs("usage: bench-export_job [--runs N] OUTPUT.avi MINUTE_FOLDER...\n", stderr);
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);
  const std::string base = argv[first];
  std::vector<std::string> folders;
  for (int i = first + 1; i < argc; ++i) {
    std::string f = argv[i];
    if (f.back() != platform::kPathSeparator) f += platform::kPathSeparator;
    folders.push_back(f);
  }
  // Best of three each, the two kinds taking turns so that other work on
  // the machine falls on both alike.
  int pictures = 0;
  double single = 1e9, piped = 1e9;
  for (int run = 0; run < runs; ++run) {
    single = std::min(single, Time(folders, base + ".single.avi", false, &pictures));
    piped = std::min(piped, Time(folders, base + ".piped.avi", true, &pictures));
  }
  // One more of each with the stages timed (outside the figures above).
  int profiled = 0;
  Time(folders, base + ".profiled-single.avi", false, &profiled, true);
  Time(folders, base + ".profiled-piped.avi", true, &profiled, true);
  Time(folders, base + ".profiled-stamped.avi", true, &profiled, true, true);
  const bool same =
      Slurp(base + ".profiled-single.avi") == Slurp(base + ".profiled-piped.avi") &&
      (runs == 0 || Slurp(base + ".single.avi") == Slurp(base + ".piped.avi"));
  std::printf("pictures: %d\n", profiled);
  std::printf("export one thread: %.3f s\n", single);
  std::printf("export decode beside encode: %.3f s\n", piped);
  std::printf("identical output: %s\n", same ? "yes" : "NO");
  if (runs > 0) std::printf("ratio decode-beside-encode / one-thread: %.2f\n", piped / single);
  return same ? 0 : 1;
}
