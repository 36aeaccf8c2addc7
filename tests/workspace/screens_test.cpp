// Screenshots for a person to look at, not assertions: four windows of the
// sample backup playing in a grid with one selected, and a window's Control
// menu dropped. Run on demand:
//   workspace_tests.exe --gtest_also_run_disabled_tests --gtest_filter=*Screens*
// writes screen-grid.bmp and screen-menu.bmp into the current folder.
#include "tests/workspace/workspace_fixture.h"

#include "shell/app.h"
#include "shell/settings.h"

namespace workspace_test {
namespace {

bool SaveScreen(const char* path) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD image = ((w * 3 + 3) & ~3) * h;
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + image), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  FILE* f = std::fopen(path, "wb");
  bool ok = f != nullptr;
  if (f) {
    ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, image, 1, f) == 1;
    std::fclose(f);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

HWND g_menuOwner = nullptr;

void CALLBACK ShootMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  SaveScreen("screen-menu.bmp");
  EndMenu();
}

TEST(Screens, DISABLED_GridWithOneSelectedAndTheControlMenu) {
  testing_support::TempDir dir;
  ASSERT_EQ(sample::GenerateSampleBackup(dir.path()), 0);
  g_settings.SetKeyPath("Software\\VELMORA\\OrvanelWorkspaceTests");
  g_settings.SetOverMinute(true);
  g_settings.highQuality = true;
  HWND main = CreateMainWindow(SW_SHOWMAXIMIZED);
  ASSERT_NE(main, nullptr);
  g_settings.SetOverlapped(true);
  int opened = 0;
  for (const sample::SampleMinute& m : sample::SampleMinutes()) {
    if (m.frames < 60 || opened == 4) continue;
    const std::string camera = std::string("Sample - ") + sample::kSampleCameras[m.camera].name;
    g_childManager.OpenMinute(sample::SampleMinutePath(dir.path(), m).c_str(), m.date,
                              camera.c_str());
    ++opened;
  }
  ASSERT_EQ(g_childManager.count(), 4);
  g_childManager.ArrangeGrid();
  HWND second = nullptr;
  for (HWND h = GetWindow(g_mdiClient, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (g_childManager.Find(h)) second = h;
  g_childManager.Select(second, true);
  Pump(3000);
  EXPECT_TRUE(SaveScreen("screen-grid.bmp"));

  RECT r;
  GetWindowRect(second, &r);
  g_menuOwner = second;
  SetTimer(nullptr, 0, 1200, ShootMenu);
  g_childManager.ShowContextMenu(second, r.left + 60, r.top + 60);
  Pump(300);
  DestroyWindow(main);
  PumpUntil([] { return g_childManager.count() == 0; });
  g_settings.SetOverlapped(false);
}

}  // namespace
}  // namespace workspace_test
