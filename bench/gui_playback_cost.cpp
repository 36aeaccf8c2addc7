// Where one frame's time goes in a video window (run under Wine): reading and
// decoding the JPEG, converting it to BGR, the user-interface thread's share
// (the posted notification, time text, trackbar and picture repaint) and
// StretchDIBits alone, for a 704 x 576 recording shown at Half size with
// high quality and at Original size without. Each is measured with the
// picture decoded whole (the reference) and decoded at the window's size.
//
//   bench-gui_playback_cost [frames]
//
// Prints milliseconds per frame (wall and this thread's CPU) and the ratios
// "decoded at the window's size / decoded whole" for the frame as a whole.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/playback_bench.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "workspace/child_manager.h"
#include "workspace/video_window.h"

namespace {

using playback_bench::Clock;

double Seconds(const FILETIME& t) {
  return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
}
double ThreadCpu() {
  FILETIME c, e, k, u;
  return GetThreadTimes(GetCurrentThread(), &c, &e, &k, &u) ? Seconds(k) + Seconds(u) : 0;
}

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

struct Cost {
  double wallMs;
  double cpuMs;
};

// Runs `step(i)` for i in 0..n-1 and answers the mean cost of one.
Cost Measure(int n, const std::function<void(int)>& step) {
  const double cpu0 = ThreadCpu();
  const auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) step(i);
  const double wall = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  return {wall / n, (ThreadCpu() - cpu0) * 1000.0 / n};
}

void Print(const char* config, const char* part, const Cost& c) {
  std::printf("%s %-28s wall_ms: %6.3f cpu_ms: %6.3f\n", config, part, c.wallMs, c.cpuMs);
}

// Copies what the window would draw, so StretchDIBits can be timed alone.
struct Copy : PictureSink {
  BitmapHeader header{};
  std::vector<std::uint8_t> pixels;
  int DrawPicture(const BitmapHeader& h, const std::uint8_t* p) override {
    header = h;
    pixels.assign(p, p + static_cast<std::size_t>((3 * h.biWidth + 3) & ~3) * -h.biHeight);
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(20, std::atoi(argv[1])) : 200;
  av_log_set_level(AV_LOG_QUIET);

  playback_bench::ScratchDir dir("cost");
  const std::string folder = playback_bench::MinuteFolder(dir.path(), 12, 0);
  const std::vector<int> codes = playback_bench::RegularCodes(60);
  playback_bench::WriteMinute(folder, codes, playback_bench::MakePictures(25));
  std::vector<std::string> paths;
  for (int c : codes) {
    char name[16];
    std::snprintf(name, sizeof name, "\\%02d%02d.jpg", c / 100 % 100, c % 100);
    paths.push_back(folder + name);
  }

  App().settings.SetKeyPath("Software\\VELMORA\\OrvanelBench");
  App().settings.SetOverMinute(false);
  HWND main = CreateMainWindow(SW_SHOWMAXIMIZED);
  if (main == nullptr) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  Pump();

  struct Config {
    const char* label;
    SizeMode size;
    bool halftone;
  } const configs[] = {{"half_hq", SizeMode::Half, true},
                       {"original_plain", SizeMode::Original, false}};
  for (const Config& c : configs) {
    App().settings.highQuality = c.halftone;
    App().childManager.OpenMinute(folder.c_str(), "2004-03-15", "Bench - Camera 1");
    HWND h = GetWindow(App().mdiClient, GW_CHILD);
    while (h != nullptr && App().childManager.Find(h) == nullptr) h = GetWindow(h, GW_HWNDNEXT);
    VideoChild* child = App().childManager.Find(h);
    VideoWindow* view = App().childManager.FindView(h);
    child->SetMode(PlaybackMode::Pause);
    App().childManager.SelectAll();
    App().childManager.SetSize(c.size);
    for (int k = 0; k < 50; ++k) Pump(), Sleep(10);
    RECT client{};
    GetClientRect(h, &client);
    const int shownW = client.right, shownH = client.bottom - kStripHeight;

    double whole = 0;
    for (const bool reduced : {false, true}) {
      char label[64];
      std::snprintf(label, sizeof label, "%s %s", c.label, reduced ? "at_window_size" : "whole");
      // The whole picture as the reference: the view asks for no reduction.
      child->SetShownSize(reduced ? shownW : 0, reduced ? shownH : 0);
      FrameDecoder decoder;
      decoder.SetShownSize(reduced ? shownW : 0, reduced ? shownH : 0);
      decoder.Decode(paths[0].c_str());  // learns the picture's size...
      decoder.Decode(paths[0].c_str());  // ...and decodes at the scale it needs
      // Reading and decoding alone, without the conversion.
      av::CodecContextPtr av = av::OpenMjpegDecoder(decoder.scale());
      av::PacketPtr packet(av_packet_alloc());
      av::FramePtr frame(av_frame_alloc());
      std::vector<std::uint8_t> file;
      const Cost read = Measure(frames, [&](int i) {
        std::size_t size = 0;
        int error = 0;
        platform::ReadWholeFile(paths[i % paths.size()].c_str(), file, AV_INPUT_BUFFER_PADDING_SIZE,
                                64u << 20, &size, &error);
      });
      const Cost decode = Measure(frames, [&](int i) {
        std::size_t size = 0;
        int error = 0;
        platform::ReadWholeFile(paths[i % paths.size()].c_str(), file, AV_INPUT_BUFFER_PADDING_SIZE,
                                64u << 20, &size, &error);
        av::DecodeJpeg(av.get(), packet.get(), frame.get(), file.data(), size);
        av_frame_unref(frame.get());
      });
      const Cost decodeConvert =
          Measure(frames, [&](int i) { decoder.Decode(paths[i % paths.size()].c_str()); });
      // The playback thread's share as the engine does it (decode, convert,
      // publish, one post), then the user-interface thread's: the message,
      // the strip and the repaint.
      long painted = view->paints();
      Cost ui{0, 0};
      const Cost show = Measure(frames, [&](int i) {
        child->ShowFrame(i % static_cast<int>(paths.size()));
        const double cpu0 = ThreadCpu();
        const auto t0 = Clock::now();
        for (int spin = 0; spin < 1000 && view->paints() == painted; ++spin) {
          Pump();
          UpdateWindow(h);
        }
        painted = view->paints();
        ui.wallMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        ui.cpuMs += (ThreadCpu() - cpu0) * 1000.0;
      });
      ui.wallMs /= frames;
      ui.cpuMs /= frames;
      // StretchDIBits alone, as the view calls it.
      Copy picture;
      child->Paint(picture);
      HDC dc = GetDC(h);
      if (c.halftone) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
      }
      const Cost stretch = Measure(frames, [&](int) {
        StretchDIBits(dc, 0, 0, shownW, shownH, 0, 0, picture.header.biWidth,
                      -picture.header.biHeight, picture.pixels.data(),
                      reinterpret_cast<const BITMAPINFO*>(&picture.header), DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
      });
      ReleaseDC(h, dc);
      // The user-interface thread's parts one by one: the time text, the
      // thumb moved by one frame, the picture's repaint.
      const Cost text = Measure(frames, [&](int i) {
        char t[32];
        std::snprintf(t, sizeof t, " 12 : 00 : %02d %02d", i / 25 % 60, i % 25 * 4);
        SetWindowTextA(view->timeLabel(), t);
        UpdateWindow(view->timeLabel());
      });
      const int maximum = static_cast<int>(SendMessageA(view->trackbar(), TBM_GETRANGEMAX, 0, 0));
      const Cost thumb = Measure(frames, [&](int i) {
        SendMessageA(view->trackbar(), TBM_SETPOS, TRUE, i % (maximum + 1));
        UpdateWindow(view->trackbar());
      });
      const RECT area{0, 0, shownW, shownH};
      const Cost repaint = Measure(frames, [&](int) {
        InvalidateRect(h, &area, FALSE);
        UpdateWindow(h);
      });

      std::printf("%s decoded_at: %d x %d shown_at: %d x %d\n", label, picture.header.biWidth,
                  -picture.header.biHeight, shownW, shownH);
      Print(label, "read_file", read);
      Print(label, "decode_jpeg", {decode.wallMs - read.wallMs, decode.cpuMs - read.cpuMs});
      Print(label, "convert_bgr", {decodeConvert.wallMs - decode.wallMs, decodeConvert.cpuMs - decode.cpuMs});
      Print(label, "ui_thread_message_strip_paint", ui);
      Print(label, "  time_text", text);
      Print(label, "  trackbar_repaint_each_move", thumb);
      Print(label, "  picture_repaint", repaint);
      Print(label, "  stretchdibits_alone", stretch);
      const Cost frameCost{show.wallMs, show.cpuMs};
      Print(label, "frame_total", frameCost);
      if (!reduced) {
        whole = frameCost.cpuMs;
      } else if (whole > 0) {
        std::printf("ratio %s frame_cpu_at_window_size_over_whole: %.2f\n", c.label,
                    frameCost.cpuMs / whole);
      }
      std::fflush(stdout);
    }
    SendMessageA(App().mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
    for (int i = 0; i < 500 && App().childManager.count() > 0; ++i) Pump(), Sleep(10);
  }
  DestroyWindow(main);
  Pump();
  return 0;
}
