// Exports run from the Save As dialog through the progress dialog: the files
// against the command-line export of the same folders, Cancel, exports that
// cannot run, and closing the program while an export runs.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
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
    const sample::FrameRecipe picture{width, height, 12, minute, 20 + i * stepCs};
    char name[16];
    std::snprintf(name, sizeof name, "\\%04d.jpg", picture.centis);
    EXPECT_TRUE(sample::WriteFrame(folder + name, picture));
  }
  return folder;
}

// Folders made once for the whole suite: 352 x 288 at 0.2 s steps, 704 x 576
// at 0.04 s (long enough to stop), 176 x 144.
struct Footage {
  testing_support::TempDir dir;
  std::string small[2], large[3], odd;
};
Footage& Shared() {
  static Footage* footage = [] {
    av_log_set_level(AV_LOG_ERROR);  // the encoders' warnings are not ours
    auto* f = new Footage;
    for (int m = 0; m < 2; ++m) f->small[m] = WriteMinute(f->dir.path(), m, 30, 20, 352, 288);
    for (int m = 0; m < 3; ++m) f->large[m] = WriteMinute(f->dir.path(), 10 + m, 200, 4, 704, 576);
    f->odd = WriteMinute(f->dir.path(), 20, 10, 20, 176, 144);
    return f;
  }();
  return *footage;
}

// What the file's video stream holds, read back through FFmpeg's ASF
// demuxer (the only one this build has): its picture size and packets.
struct Probe {
  int width = 0, frames = -1;
};
Probe ProbeAsf(const std::string& file) {
  Probe p;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0) return p;
  const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0) {
    p.width = format->streams[video]->codecpar->width;
    AVPacket* packet = av_packet_alloc();
    for (p.frames = 0; av_read_frame(format, packet) >= 0; av_packet_unref(packet))
      p.frames += packet->stream_index == video;
    av_packet_free(&packet);
  }
  avformat_close_input(&format);
  return p;
}

std::string ChildText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

class ExportDialogTest : public SaveAsTest {
 protected:
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

  static bool EncodeStarted(HWND progress) {  // the bar has moved on
    return SendMessageA(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0) >= 25;
  }

  bool opened_ = false;
  std::string finalStatus_;
  int barPosition_ = -1, barHigh_ = -1;
};

// The same job with the same settings: the same bytes.
TEST_F(ExportDialogTest, EachFormatGivesWhatTheCommandLineGives) {
  // The entry in the format list; Enter in the output name field instead of a click.
  const struct { int entry; const char* extension; bool enter; } cases[] = {
      {0, "mpg", false}, {1, "avi", false}, {2, "asf", false}, {3, "wmv", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    Fill({Shared().small[0], Shared().small[1]});
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
        CmdExport, {"-o", cli, "--format", c.extension, "--bitrate", "400", Shared().small[0],
                    Shared().small[1]});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string bytes = testing_support::ReadFile(written);
    EXPECT_GT(bytes.size(), 10000u);
    EXPECT_TRUE(bytes == testing_support::ReadFile(cli)) << "differs from the command line's";
  }
  const Probe asf = ProbeAsf(dir_.Join("gui_asf.asf"));
  EXPECT_EQ(asf.width, 352);
  EXPECT_GT(asf.frames, 50);
}

// From/To and "Time stamp" reach the job: the file is the command line's
// with --from, --to and --stamp. A time that does not parse, or From after
// To, keeps Save off and says why.
TEST_F(ExportDialogTest, RangeAndStampGiveWhatTheCommandLineGives) {
  Fill({Shared().small[0], Shared().small[1]});
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
                  Shared().small[0], Shared().small[1]});
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
  HWND h = OpenAt(Shared().small[0], 1);
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
  EXPECT_EQ(Entries(), std::vector<std::string>{Shared().small[0] + "\\"});
  EXPECT_EQ(WindowText(item(IDC_RANGE_FROM)), "2004-03-15T12:00:00.40");
  EXPECT_EQ(WindowText(item(IDC_RANGE_TO)), "2004-03-15T12:00:00.80");
  SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
  PumpUntil([] { return App().childManager.count() == 0; }, 5000);
}

TEST_F(ExportDialogTest, CancelStopsTheJobAndLeavesAPlayableFile) {
  Fill({Shared().large[0], Shared().large[1], Shared().large[2]});
  const std::string output = dir_.Join("stopped.asf");
  SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, 2, 0);
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
  EXPECT_EQ(App().saveAsDialog.job().outcome(), ExportJob::Outcome::kCancelled);
  const int pictures = App().saveAsDialog.job().picturesWritten();
  EXPECT_EQ(finalStatus_.substr(0, finalStatus_.find("\r\n")),
            "Cancelled. The file holds " + std::to_string(pictures) + " pictures.");
  const Probe p = ProbeAsf(output);
  EXPECT_EQ(p.width, 704);
  EXPECT_GT(p.frames, 0);
  EXPECT_EQ(p.frames, pictures);
}

// Folders whose pictures differ in size are found before anything is
// written; an export that fails says so.
TEST_F(ExportDialogTest, ExportsThatCannotRunSaySoInTheDialog) {
  testing_support::MakeDirs(dir_.Join("empty"));
  const struct {
    std::vector<std::string> folders;
    const char* status;
    const char* box;  // in the message box; null: no box
  } cases[] = {
      {{Shared().small[0], Shared().odd},
       "Not started: the listed folders hold pictures of different sizes.",
       "The pictures differ in size: 352x288 in "},
      {{dir_.Join("empty")}, "Failed: no listed folder holds pictures.", nullptr},
  };
  for (const auto& c : cases) {
    SendMessageA(item(IDC_INPUT_LIST), LB_RESETCONTENT, 0, 0);
    Fill(c.folders);
    const std::string output = dir_.Join(std::to_string(&c - cases) + ".mpg");
    Type(IDC_OUTPUT_NAME, output);
    std::string boxText;
    HWND boxOwner = nullptr;
    Export([&](HWND) {
      HWND box = FindWindowA("#32770", "Error");  // the message box
      if (!box) return;
      boxOwner = GetWindow(box, GW_OWNER);
      boxText = WindowText(GetDlgItem(box, 0xFFFF));  // its text
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(finalStatus_, c.status);
    if (c.box) {
      EXPECT_EQ(boxText.rfind(c.box, 0), 0u) << boxText;
      EXPECT_NE(boxText.find("176x144 in " + Shared().odd), std::string::npos) << boxText;
      EXPECT_EQ(boxOwner, dialog());
      EXPECT_EQ(GetFileAttributesA(output.c_str()), INVALID_FILE_ATTRIBUTES) << "written anyway";
    }
  }
}

// Last: it closes the shared main window (the next test makes a new one).
TEST_F(ExportDialogTest, ClosingTheProgramStopsTheExportAndKeepsTheFile) {
  testing_support::TraceCapture trace;
  Fill({Shared().large[0], Shared().large[1], Shared().large[2]});
  const std::string output = dir_.Join("closed.asf");
  SendMessageA(item(IDC_FORMAT), CB_SETCURSEL, 2, 0);
  Type(IDC_OUTPUT_NAME, output);
  HWND main = main_;
  // Closing asks first: the box owned by the progress dialog, answered "Yes".
  bool closed = false;
  int asks = 0;
  Every every(20, [&] {
    HWND progress = App().saveAsDialog.progress().window();
    HWND box = progress ? FindWindowA("#32770", "Orvanel") : nullptr;
    if (!closed && box && GetWindow(box, GW_OWNER) == progress) {
      PostMessageA(box, WM_COMMAND, IDYES, 0);
      closed = true;
    } else if (asks == 0 && progress && EncodeStarted(progress)) {
      ++asks;
      PostMessageA(main, WM_CLOSE, 0, 0);
    } else if (!closed && progress && ChildText(progress, IDC_PROGRESS_CANCEL) == "Close") {
      PostMessageA(GetDlgItem(progress, IDC_PROGRESS_CANCEL), BM_CLICK, 0, 0);  // too late
    }
  });
  PostMessageA(item(IDC_SAVE), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(main) || (!closed && !App().saveAsDialog.exporting() &&
                                                         !App().saveAsDialog.progress().window()); },
                        60000));
  ASSERT_TRUE(closed) << "the export ended before the program could ask (" << asks << " closes)";
  EXPECT_FALSE(App().saveAsDialog.exporting());
  EXPECT_EQ(App().saveAsDialog.window(), nullptr);
  const Probe p = ProbeAsf(output);
  EXPECT_GT(p.frames, 0);
  // Stopped by the answer, the file keeps what was written and the log says
  // so; an export that ended while the question was open is whole.
  if (trace.Contains("Export cancelled: the program was closed; " + output + " holds the"))
    EXPECT_LT(p.frames, 600);
  else
    EXPECT_EQ(p.frames, 600) << ::testing::PrintToString(trace.Lines());
}

}  // namespace
}  // namespace dialog_test
