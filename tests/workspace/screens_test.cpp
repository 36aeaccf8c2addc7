// Four windows of the sample backup playing in a grid with one selected, and
// a window's context menu dropped: checked as a user sees them (the red
// border on the selected window only, the menu on screen), and saved as
// screen-grid.bmp and screen-menu.bmp into out/screens of the source tree
// for a person to look at.
#include "tests/workspace/workspace_fixture.h"

#include "shell/app.h"
#include "shell/settings.h"

namespace workspace_test {
namespace {

std::string ScreensFolder() {
  // The source tree as Wine's drive Z: shows it.
  std::string folder = std::string("Z:") + ORVANEL_SOURCE_DIR + "/out";
  CreateDirectoryA(folder.c_str(), nullptr);
  folder += "/screens";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "/";
}

// The screen as a bottom-up 24-bit picture.
struct Screen {
  int width = 0, height = 0, stride = 0;
  std::vector<std::uint8_t> bits;
  COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    const std::uint8_t* p = bits.data() + static_cast<std::size_t>(height - 1 - y) * stride + 3 * x;
    return RGB(p[2], p[1], p[0]);
  }
};

Screen Capture() {
  Screen s;
  s.width = GetSystemMetrics(SM_CXSCREEN);
  s.height = GetSystemMetrics(SM_CYSCREEN);
  s.stride = (s.width * 3 + 3) & ~3;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = s.width;
  info.bmiHeader.biHeight = s.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, s.width, s.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint8_t*>(bits);
    s.bits.assign(p, p + static_cast<std::size_t>(s.stride) * s.height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return s;
}

bool Save(const Screen& s, const std::string& path) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = s.width;
  info.biHeight = s.height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + s.bits.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = !s.bits.empty() && std::fwrite(&file, sizeof file, 1, f) == 1 &&
                  std::fwrite(&info, sizeof info, 1, f) == 1 &&
                  std::fwrite(s.bits.data(), s.bits.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}

bool g_menuShown = false;

void CALLBACK ShootMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND menu = FindWindowA("#32768", nullptr);
  g_menuShown = menu != nullptr && IsWindowVisible(menu);
  Save(Capture(), ScreensFolder() + "screen-menu.bmp");
  EndMenu();
}

// Whether the selection border shows along a window's top edge.
bool RedTopEdge(const Screen& s, HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  int red = 0;
  for (int x = r.left + 8; x < r.right - 8; ++x)
    red += s.At(x, r.top) == RGB(255, 0, 0) || s.At(x, r.top + 1) == RGB(255, 0, 0);
  return red > (r.right - r.left) / 2;
}

TEST(Screens, GridWithOneSelectedAndTheContextMenu) {
  testing_support::TempDir dir;
  ASSERT_EQ(sample::GenerateSampleBackup(dir.path()), 0);
  App().settings.SetKeyPath("Software\\VELMORA\\OrvanelWorkspaceTests");
  App().settings.SetOverMinute(true);
  App().settings.highQuality = true;
  // Restored and sized over the whole screen: maximised, a window under
  // Xvfb without a window manager keeps its first size on screen while
  // Windows takes it for the screen's size.
  HWND main = CreateMainWindow(SW_SHOWNORMAL);
  ASSERT_NE(main, nullptr);
  ShowWindow(main, SW_RESTORE);
  SetWindowPos(main, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
               SWP_NOZORDER);
  Pump(300);
  App().settings.SetOverlapped(true);
  int opened = 0;
  int perCamera[sample::kSampleCameraCount] = {};
  for (const sample::SampleMinute& m : sample::SampleMinutes()) {
    // Two minutes of each camera, so both picture sizes show.
    if (m.frames < 60 || opened == 4 || perCamera[m.camera] == 2) continue;
    ++perCamera[m.camera];
    const std::string camera = std::string("Sample - ") + sample::kSampleCameras[m.camera].name;
    App().childManager.OpenMinute(sample::SampleMinutePath(dir.path(), m).c_str(), m.date,
                              camera.c_str());
    ++opened;
  }
  ASSERT_EQ(App().childManager.count(), 4);
  App().childManager.ArrangeGrid();
  std::vector<HWND> windows;
  for (HWND h = GetWindow(App().mdiClient, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (App().childManager.Find(h)) windows.push_back(h);
  ASSERT_EQ(windows.size(), 4u);
  HWND second = windows[1];
  App().childManager.Select(second, true);
  Pump(3000);
  const Screen grid = Capture();
  EXPECT_TRUE(Save(grid, ScreensFolder() + "screen-grid.bmp"));
  for (HWND h : windows) {
    EXPECT_EQ(App().childManager.Find(h)->mode(), PlaybackMode::Forward);
    EXPECT_EQ(RedTopEdge(grid, h), h == second) << "border of " << Text(h);
  }

  RECT r;
  GetWindowRect(second, &r);
  g_menuShown = false;
  SetTimer(nullptr, 0, 1200, ShootMenu);
  App().childManager.ShowContextMenu(second, r.left + 60, r.top + 60);
  EXPECT_TRUE(g_menuShown);
  Pump(300);
  DestroyWindow(main);
  PumpUntil([] { return App().childManager.count() == 0; });
  App().settings.SetOverlapped(false);
}

}  // namespace
}  // namespace workspace_test
