// bench-export_job OUTPUT.avi MINUTE_FOLDER...
//
// Runs the export job in this process over the given minute folders to
// .avi at 400 kbit/s, decoding on the job's thread and decoding the next
// frame on a second thread, best of three runs each. Prints both times,
// their ratio, and whether the two files are byte-identical (exit 1 if not).
#include <algorithm>
#include <chrono>
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

// Seconds for one export; the picture count of the file it wrote.
double Time(const std::vector<std::string>& folders, const std::string& output, bool pipelined,
            int* pictures) {
  BenchUi ui;
  ui.folders = folders;
  ui.output = output;
  ExportJob job(&ui);
  job.SetPipelining(pipelined);
  const auto start = std::chrono::steady_clock::now();
  job.Start();
  job.Join();
  *pictures = job.picturesWritten();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: bench-export_job OUTPUT.avi MINUTE_FOLDER...\n", stderr);
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);
  const std::string base = argv[1];
  std::vector<std::string> folders;
  for (int i = 2; i < argc; ++i) {
    std::string f = argv[i];
    if (f.back() != platform::kPathSeparator) f += platform::kPathSeparator;
    folders.push_back(f);
  }
  // Best of three each, the two kinds taking turns so that other work on
  // the machine falls on both alike.
  int pictures = 0;
  double single = 1e9, piped = 1e9;
  for (int run = 0; run < 3; ++run) {
    single = std::min(single, Time(folders, base + ".single.avi", false, &pictures));
    piped = std::min(piped, Time(folders, base + ".piped.avi", true, &pictures));
  }
  const bool same = Slurp(base + ".single.avi") == Slurp(base + ".piped.avi");
  std::printf("pictures: %d\n", pictures);
  std::printf("export one thread: %.3f s\n", single);
  std::printf("export decode beside encode: %.3f s\n", piped);
  std::printf("identical output: %s\n", same ? "yes" : "NO");
  std::printf("ratio decode-beside-encode / one-thread: %.2f\n", piped / single);
  return same ? 0 : 1;
}
