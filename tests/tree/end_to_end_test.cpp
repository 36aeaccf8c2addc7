// The viewer as a user meets it: a root list naming the sample backup, the
// main window, a minute clicked in the tree, a window that plays and pauses.
#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "shell/app.h"
#include "shell/command_bar.h"
#include "tests/tree/tree_fixture.h"
#include "tools/sample_backup.h"
#include "workspace/child_manager.h"

namespace tree_test {
namespace {

constexpr int kTimeLabelId = 30001;  // the video window's time text

// " 12 : 00 : 01 95" -> hundredths of a second within the minute; -1 if none.
int Centiseconds(HWND label) {
  char text[64] = "";
  GetWindowTextA(label, text, sizeof text);
  int hour, minute, second, centi;
  if (std::sscanf(text, "%d : %d : %d %d", &hour, &minute, &second, &centi) != 4) return -1;
  return second * 100 + centi;
}

TEST(ViewerEndToEnd, MinuteClickedInTheTreePlaysInRealTimeAndPauses) {
  RootListGuard registry;
  testing_support::TempDir dir;
  ASSERT_EQ(sample::GenerateSampleBackup(dir.path()), 0);
  const std::string root = dir.path() + "\\";
  RootListGuard::Write(MultiString({root}), root.c_str());

  HWND main = CreateMainWindow(SW_SHOWNORMAL);
  ASSERT_NE(main, nullptr);
  Pump(200);
  HWND tree = App().folderTree.tree();
  EXPECT_EQ(ItemText(tree, TreeView_GetRoot(tree)), root);
  HTREEITEM minute = FindItem(tree, {"Camera 1", "2004-03-15", "12", "00"});
  ASSERT_NE(minute, nullptr);
  ClickItem(tree, minute);
  ASSERT_TRUE(PumpUntil([] { return App().childManager.count() == 1; }));

  HWND video = FindWindowExA(App().mdiClient, nullptr, "MDIVideoChild", nullptr);
  ASSERT_NE(video, nullptr);
  char title[512] = "";
  GetWindowTextA(video, title, sizeof title);
  // The camera name starts with the root's last folder name, not its path.
  const std::size_t last = root.rfind('\\', root.size() - 2) + 1;
  EXPECT_EQ(std::string(title), root.substr(last, root.size() - 1 - last) + " - Camera 1   [ 2004-03-15 ]");

  // Real time: the picture's clock moves on, never faster than the wall's
  // (frames are 0.5 s apart, hence the margin).
  HWND label = GetDlgItem(video, kTimeLabelId);
  ASSERT_TRUE(PumpUntil([&] { return Centiseconds(label) >= 0; }));
  const int shown = Centiseconds(label);
  const DWORD t0 = GetTickCount();
  ASSERT_TRUE(PumpUntil([&] { return Centiseconds(label) >= shown + 100; }, 10000))
      << "the time text stood still";
  const int wall = static_cast<int>(GetTickCount() - t0) / 10;
  EXPECT_LE(Centiseconds(label) - shown, wall + 60) << "played faster than real time";

  // Pause from the command bar stops it.
  PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_CONTROL_PAUSE, 0);
  Pump(300);
  const int paused = Centiseconds(label);
  Pump(1200);
  EXPECT_EQ(Centiseconds(label), paused);

  DestroyWindow(main);
  EXPECT_TRUE(PumpUntil([] { return App().childManager.count() == 0; }));
  std::string bytes;
  ASSERT_TRUE(RootListGuard::Read("ROOTLIST", &bytes));
  EXPECT_EQ(bytes, MultiString({root})) << "closing did not save the root list";
}

}  // namespace
}  // namespace tree_test
