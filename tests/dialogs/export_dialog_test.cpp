// Exports run from the Save As dialog through the progress dialog: the files
// against the command-line export of the same folders (read back by the
// native ffprobe), Cancel, the picture-size mismatch, and closing the
// program while an export runs.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "cli/cli.h"
#include "export/time_stamp.h"
#include "tests/cli/run_cli.h"
#include "tests/dialogs/dialog_fixture.h"
#include "tools/sample_backup.h"
#include "workspace/child_manager.h"

namespace dialog_test {
namespace {

// Writes `count` frames `stepCs` hundredths apart from 0.20 s into
// root\Cam\2004-03-15\12\MM; returns the folder.
std::string WriteMinute(const std::string& root, int minute, int count, int stepCs, int width,
                        int height) {
  char relative[64];
  std::snprintf(relative, sizeof relative, "\\Cam\\2004-03-15\\12\\%02d", minute);
  const std::string folder = root + relative;
  testing_support::MakeDirs(folder);
  for (int i = 0; i < count; ++i) {
    sample::FrameRecipe picture;
    picture.width = width;
    picture.height = height;
    picture.hour = 12;
    picture.minute = minute;
    picture.centis = 20 + i * stepCs;
    char name[16];
    std::snprintf(name, sizeof name, "\\%04d.jpg", picture.centis);
    EXPECT_TRUE(sample::WriteFrame(folder + name, picture));
  }
  return folder;
}

// A copy of `from` as root\Cam\2004-03-15\12\MM.
std::string CopyMinute(const std::string& root, const std::string& from, int minute) {
  char relative[64];
  std::snprintf(relative, sizeof relative, "\\Cam\\2004-03-15\\12\\%02d", minute);
  const std::string folder = root + relative;
  testing_support::MakeDirs(folder);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((from + "\\*.jpg").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return folder;
  do {
    CopyFileA((from + "\\" + found.cFileName).c_str(), (folder + "\\" + found.cFileName).c_str(),
              FALSE);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return folder;
}

// Folders made once for the whole suite.
struct Footage {
  testing_support::TempDir dir;
  std::string small[2];    // 352 x 288, 0.2 s steps
  std::string large[3];    // 704 x 576, 0.04 s steps: long enough to stop
  std::string odd;         // 176 x 144
};
Footage& Shared() {
  static Footage* footage = [] {
    av_log_set_level(AV_LOG_ERROR);  // the encoders' warnings are not ours
    auto* f = new Footage;
    for (int m = 0; m < 2; ++m) f->small[m] = WriteMinute(f->dir.path(), m, 30, 20, 352, 288);
    f->large[0] = WriteMinute(f->dir.path(), 10, 200, 4, 704, 576);
    for (int m = 1; m < 3; ++m) f->large[m] = CopyMinute(f->dir.path(), f->large[0], 10 + m);
    f->odd = WriteMinute(f->dir.path(), 20, 10, 20, 176, 144);
    return f;
  }();
  return *footage;
}

// The Unix name of a file of this Wine prefix, for a native program.
std::string UnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  auto toUnix = reinterpret_cast<ToUnix>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
  if (!toUnix) return "";
  std::wstring wide(path.size() + 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  char* unix = toUnix(wide.c_str());
  if (!unix) return "";
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

struct Probe {
  int width = 0, height = 0, frames = -1;
  std::string rate;
  bool operator==(const Probe& o) const {
    return width == o.width && height == o.height && frames == o.frames && rate == o.rate;
  }
};
std::ostream& operator<<(std::ostream& s, const Probe& p) {
  return s << p.width << "x" << p.height << " " << p.rate << " fps, " << p.frames << " frames";
}

// Runs a native program through the shell and returns what it printed.
// Wine gives a Unix process neither a handle to wait for nor the pipes
// of STARTUPINFO: its output goes to a file that appears when it is done.
std::string RunNative(const std::string& command) {
  static int serial = 0;
  char name[64];
  std::snprintf(name, sizeof name, "native-%lu-%d", GetCurrentProcessId(), ++serial);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string done = std::string(temp) + name + ".txt";
  const std::string unixDone = UnixPath(done);
  if (unixDone.empty()) return "";
  std::string line = "Z:\\bin\\sh -c \"" + command + " > '" + unixDone + ".tmp' 2>&1; mv '" +
                     unixDone + ".tmp' '" + unixDone + "'\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return "";
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  for (int waited = 0; GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 20) {
    if (waited > 30000) return "";
    Sleep(20);
  }
  const std::string out = testing_support::ReadFile(done);
  DeleteFileA(done.c_str());
  return out;
}

// What the native ffprobe reads from the file's video stream.
Probe FfProbe(const std::string& file) {
  Probe p;
  const std::string out = RunNative(
      "/usr/bin/ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 '" +
      UnixPath(file) + "'");
  char rate[32] = "";
  if (std::sscanf(out.c_str(), "%d,%d,%31[^,],%d", &p.width, &p.height, rate, &p.frames) == 4)
    p.rate = rate;
  return p;
}

bool HaveFfprobe() {
  static const bool have = RunNative("/usr/bin/ffprobe -version").rfind("ffprobe version", 0) == 0;
  return have;
}

std::string ChildText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

class ExportDialogTest : public SaveAsTest {
 protected:
  void SetUp() override {
    SaveAsTest::SetUp();
    footage_ = &Shared();
  }

  // Presses Save (or Enter) and runs `tick` every 20 ms while the progress
  // dialog is open; returns once it has closed. By default the dialog is
  // closed as soon as its button reads "Close".
  void Export(std::function<void(HWND)> tick = nullptr, bool enter = false) {
    opened_ = false;
    finalStatus_.clear();
    Every every(20, [&] {
      HWND progress = App().saveAsDialog.progress().window();
      if (!progress) return;
      opened_ = true;
      if (tick) tick(progress);
      if (ChildText(progress, IDC_PROGRESS_CANCEL) == "Close" && finalStatus_.empty()) {
        finalStatus_ = ChildText(progress, IDC_PROGRESS_STATUS);
        HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);
        barPosition_ = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
        barHigh_ = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
        PostMessageA(GetDlgItem(progress, IDC_PROGRESS_CANCEL), BM_CLICK, 0, 0);
      }
    });
    if (enter) {
      SetActiveWindow(dialog());
      SetFocus(item(IDC_OUTPUT_NAME));
      PostMessageA(item(IDC_OUTPUT_NAME), WM_KEYDOWN, VK_RETURN, 0);
    } else {
      PostMessageA(item(IDC_SAVE), BM_CLICK, 0, 0);
    }
    EXPECT_TRUE(PumpUntil(
        [&] { return opened_ && !App().saveAsDialog.progress().window(); }, 60000));
    EXPECT_FALSE(App().saveAsDialog.exporting());
  }

  // Some pictures are in the file: the bar has moved on.
  static bool EncodeStarted(HWND progress) {
    return SendMessageA(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0) >= 25;
  }

  Footage* footage_ = nullptr;
  bool opened_ = false;
  std::string finalStatus_;
  int barPosition_ = -1, barHigh_ = -1;
};

TEST_F(ExportDialogTest, EachFormatGivesWhatTheCommandLineGives) {
  if (!HaveFfprobe()) GTEST_SKIP() << "no native ffprobe reachable from Wine";
  struct Case {
    int entry;  // in the format list
    const char* extension;
    bool enter;  // Enter in the output name field instead of a click
  };
  const Case cases[] = {{0, "mpg", false}, {1, "avi", false}, {2, "asf", false}, {3, "wmv", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    Fill({footage_->small[0], footage_->small[1]});
    SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, c.entry, 0);
    const std::string base = dir_.Join(std::string("gui_") + c.extension);
    Type(IDC_OUTPUT_NAME, base + ".avi");  // the format's extension replaces it
    ASSERT_TRUE(SaveEnabled());
    Export(nullptr, c.enter);
    const std::string written = base + "." + c.extension;
    EXPECT_EQ(WindowText(item(IDC_OUTPUT_NAME)), written);
    EXPECT_EQ(finalStatus_, "Completed.\r\nChecksum: " + written + ".sha256");
    EXPECT_EQ(barHigh_, App().saveAsDialog.job().framesMeasured() - 1);
    EXPECT_EQ(barPosition_, barHigh_);

    const std::string cli = dir_.Join(std::string("cli.") + c.extension);
    const cli_test::Result r = cli_test::RunCommand(
        CmdExport, {"-o", cli, "--format", c.extension, "--bitrate", "400", footage_->small[0],
                    footage_->small[1]});
    ASSERT_EQ(r.code, 0) << r.err;
    const Probe expected = FfProbe(cli), got = FfProbe(written);
    EXPECT_EQ(expected.width, 352);
    EXPECT_GT(expected.frames, 50);
    EXPECT_EQ(got, expected);
  }
}

// From/To and "Time stamp" reach the job: the file is the command line's
// with --from, --to and --stamp. A time that does not parse, or From after
// To, keeps Save off and says why.
TEST_F(ExportDialogTest, RangeAndStampGiveWhatTheCommandLineGives) {
  Fill({footage_->small[0], footage_->small[1]});
  const std::string written = dir_.Join("range.mpg"), cli = dir_.Join("range_cli.mpg");
  Type(IDC_OUTPUT_NAME, written);
  const char *from = "2004-03-15T12:00:03.00", *to = "2004-03-15 12:01:02";
  const struct { const char *from, *to, *hint; } bad[] = {{"2004-03-15 12:00", to, "From is not"},
                                                         {from, "12:01:02", "To is not"},
                                                         {to, from, "From is after To"}};
  for (const auto& b : bad) {
    Type(IDC_RANGE_FROM, b.from);
    Type(IDC_RANGE_TO, b.to);
    EXPECT_FALSE(SaveEnabled()) << b.hint;
    EXPECT_EQ(WindowText(item(IDC_RANGE_HINT)).rfind(b.hint, 0), 0u) << b.hint;
  }
  Type(IDC_RANGE_FROM, from);
  Type(IDC_RANGE_TO, to);
  SendMessageA(item(IDC_TIME_STAMP), BM_SETCHECK, BST_CHECKED, 0);
  ASSERT_TRUE(SaveEnabled());
  Export();
  EXPECT_EQ(App().saveAsDialog.job().framesExported(), 16 + 10);
  const cli_test::Result r = cli_test::RunCommand(
      CmdExport, {"-o", cli, "--bitrate", "400", "--from", from, "--to", to, "--stamp",
                  footage_->small[0], footage_->small[1]});
  ASSERT_EQ(r.code, 0) << r.err;
  // The same pictures, stamped alike: the same checksum.
  EXPECT_EQ(testing_support::ReadFile(written + ".sha256").substr(0, 64),
            testing_support::ReadFile(cli + ".sha256").substr(0, 64));
}

// A video window of the program's workspace on `folder`, paused on frame
// `frame`.
HWND OpenAt(const std::string& folder, int frame) {
  ChildManager& windows = App().childManager;
  if (windows.Load(App().mdiClient, folder.c_str(), "2004-03-15", "Cam") != 0) return nullptr;
  HWND h = GetWindow(App().mdiClient, GW_CHILD);
  windows.Select(h, true);
  SendMessageA(h, WM_COMMAND, ID_VIDEO_PAUSE, 0);
  SendMessageA(h, WM_KEYDOWN, VK_HOME, 1);
  for (int i = 0; i < frame; ++i) SendMessageA(h, WM_KEYDOWN, VK_RIGHT, 1);
  ViewState state{};
  const bool shown = PumpUntil([&] {
    windows.Find(h)->GetViewState(&state);
    return state.sliderPosition == frame && state.moment >= 0;
  }, 10000);
  return shown ? h : nullptr;
}

TEST_F(ExportDialogTest, MarkInOutShowOnTheStripAndExportRangeFillsSaveAs) {
  HWND h = OpenAt(footage_->small[0], 1);
  ASSERT_NE(h, nullptr);
  SendMessageA(h, WM_KEYDOWN, 'I', 1);  // the key, on the selected window
  SendMessageA(h, WM_KEYDOWN, VK_RIGHT, 1);
  SendMessageA(h, WM_KEYDOWN, VK_RIGHT, 1);
  ViewState state{};
  ASSERT_TRUE(PumpUntil([&] {
    App().childManager.Find(h)->GetViewState(&state);
    return state.sliderPosition == 3 && state.moment >= 0;
  }, 5000));
  SendMessageA(h, WM_COMMAND, ID_VIDEO_MARK_OUT, 0);  // the context menu's item
  const MarkedRange& range = App().childManager.markedRange();
  ASSERT_TRUE(range.complete());
  HWND bar = App().childManager.FindView(h)->trackbar();
  EXPECT_EQ(SendMessageA(bar, TBM_GETSELSTART, 0, 0), 1);
  EXPECT_EQ(SendMessageA(bar, TBM_GETSELEND, 0, 0), 3);
  SendMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_VIDEO_EXPORT_RANGE, 0);
  // Minute 01 of the camera lies outside the range.
  EXPECT_EQ(Entries(), std::vector<std::string>{footage_->small[0] + "\\"});
  EXPECT_EQ(WindowText(item(IDC_RANGE_FROM)), "2004-03-15T12:00:00.40");
  EXPECT_EQ(WindowText(item(IDC_RANGE_TO)), "2004-03-15T12:00:00.80");
  SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
  PumpUntil([] { return App().childManager.count() == 0; }, 5000);
}

// A stamped PNG from Save Picture, decoded by the native ffmpeg: the BMP's
// pixels with the stamp drawn as the export draws it.
TEST_F(ExportDialogTest, SavePictureWritesAStampedPng) {
  if (!HaveFfprobe()) GTEST_SKIP() << "no native ffmpeg reachable from Wine";
  HWND h = OpenAt(footage_->small[0], 2);
  ASSERT_NE(h, nullptr);
  const std::string png = dir_.Join("stamped.png"), bmp = dir_.Join("plain.bmp");
  VideoWindow* view = App().childManager.FindView(h);
  ASSERT_EQ(view->SavePicture(png.c_str(), true), 0);
  ASSERT_EQ(view->SavePicture(bmp.c_str(), false), 0);
  RunNative("/usr/bin/ffmpeg -v error -y -i '" + UnixPath(png) +
            "' -f rawvideo -pix_fmt bgr24 '" + UnixPath(png) + ".raw'");
  const std::string decoded = testing_support::ReadFile(png + ".raw");
  const std::string plain = testing_support::ReadFile(bmp);
  const int w = 352, h2 = 288, stride = w * 3;
  ASSERT_EQ(decoded.size(), static_cast<std::size_t>(stride * h2));
  std::vector<std::uint8_t> want(decoded.size());
  for (int y = 0; y < h2; ++y)  // the BMP is bottom-up
    std::memcpy(&want[y * stride], plain.data() + 54 + (h2 - 1 - y) * stride, stride);
  const std::vector<std::uint8_t> unstamped = want;
  StampMask mask;
  RenderStamp(w, h2, StampCameraName(footage_->small[0].c_str()),
              StampTimeText(MakeWallTime({2004, 3, 15, 12, 0, 0, 60})), &mask);
  StampBgr(want.data(), stride, mask);
  EXPECT_TRUE(want != unstamped);
  EXPECT_TRUE(std::memcmp(want.data(), decoded.data(), want.size()) == 0);
  SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
  PumpUntil([] { return App().childManager.count() == 0; }, 5000);
}

TEST_F(ExportDialogTest, CancelStopsTheJobAndLeavesAPlayableFile) {
  Fill({footage_->large[0], footage_->large[1], footage_->large[2]});
  const std::string output = dir_.Join("stopped.avi");
  SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, 1, 0);
  Type(IDC_OUTPUT_NAME, output);
  bool cancelled = false, openAfterCancel = false;
  Export([&](HWND progress) {
    if (!cancelled && EncodeStarted(progress)) {
      cancelled = true;
      SendMessageA(GetDlgItem(progress, IDC_PROGRESS_CANCEL), BM_CLICK, 0, 0);
    } else if (cancelled) {
      openAfterCancel = true;
    }
  });
  ASSERT_TRUE(cancelled) << "the export ended before it could be cancelled";
  EXPECT_TRUE(openAfterCancel) << "Cancel must leave the dialog open until the button reads Close";
  EXPECT_NE(finalStatus_, "Completed.");
  EXPECT_EQ(App().saveAsDialog.job().outcome(), ExportJob::Outcome::kCancelled);
  if (HaveFfprobe()) {
    const Probe p = FfProbe(output);
    EXPECT_EQ(p.width, 704);
    EXPECT_GT(p.frames, 0);
    EXPECT_LT(p.frames, 600);
  }
}

TEST_F(ExportDialogTest, APictureOfAnotherSizeShowsTheMessageBox) {
  Fill({footage_->small[0], footage_->odd});
  const std::string output = dir_.Join("mismatch.mpg");
  Type(IDC_OUTPUT_NAME, output);
  std::string boxText;
  HWND boxOwner = nullptr;
  Export([&](HWND progress) {
    // The message box: a dialog of this thread that is not the progress one.
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) -> BOOL {
          char cls[16] = "";
          GetClassNameA(w, cls, sizeof cls);
          if (std::string(cls) == "#32770" && IsWindowVisible(w) &&
              w != App().saveAsDialog.progress().window() && w != App().saveAsDialog.window()) {
            *reinterpret_cast<HWND*>(found) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxOwner));
    if (!boxOwner) return;
    HWND box = boxOwner;
    boxOwner = GetWindow(box, GW_OWNER);
    EnumChildWindows(
        box,
        [](HWND w, LPARAM text) -> BOOL {
          const std::string t = WindowText(w);
          if (t.find("Image mismatch") != std::string::npos) *reinterpret_cast<std::string*>(text) = t;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxText));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    (void)progress;
  });
  EXPECT_EQ(boxText, "Image mismatch : 352x288 != 176x144");
  EXPECT_EQ(boxOwner, dialog());
  EXPECT_EQ(App().saveAsDialog.job().outcome(), ExportJob::Outcome::kMismatch);
  EXPECT_NE(finalStatus_, "Completed.");
  if (HaveFfprobe()) EXPECT_EQ(FfProbe(output).width, 352) << "the part before is kept";
}

// Last: it closes the shared main window (the next test makes a new one).
TEST_F(ExportDialogTest, ClosingTheProgramStopsTheExportAndKeepsTheFile) {
  testing_support::TraceCapture trace;
  Fill({footage_->large[0], footage_->large[1], footage_->large[2]});
  const std::string output = dir_.Join("closed.mpg");
  Type(IDC_OUTPUT_NAME, output);
  HWND main = main_;
  bool closed = false;
  Every every(20, [&] {
    HWND progress = App().saveAsDialog.progress().window();
    if (!closed && progress && EncodeStarted(progress)) {
      closed = true;
      PostMessageA(main, WM_CLOSE, 0, 0);
    } else if (!closed && progress && ChildText(progress, IDC_PROGRESS_CANCEL) == "Close") {
      PostMessageA(GetDlgItem(progress, IDC_PROGRESS_CANCEL), BM_CLICK, 0, 0);  // too late
    }
  });
  PostMessageA(item(IDC_SAVE), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(main) || (!closed && !App().saveAsDialog.exporting() &&
                                                         !App().saveAsDialog.progress().window()); },
                        60000));
  ASSERT_TRUE(closed) << "the export ended before the program could be closed";
  EXPECT_FALSE(App().saveAsDialog.exporting());
  EXPECT_EQ(App().saveAsDialog.window(), nullptr);
  EXPECT_TRUE(trace.Contains("Export cancelled: the program was closed; " + output + " holds the"))
      << ::testing::PrintToString(trace.Lines());
  if (HaveFfprobe()) {
    const Probe p = FfProbe(output);
    EXPECT_GT(p.frames, 0);
    EXPECT_LT(p.frames, 500);
  }
}

}  // namespace
}  // namespace dialog_test
