#include "resources/resource.h"
#include "tests/shell/shell_fixture.h"

using namespace shell_test;

namespace {

// The command bar across the top of a w x h client area, the tree column
// `tree` wide below it, the frame in the rest and the MDI client filling it.
void ExpectTiles(int w, int h, int tree) {
  const int bar = App().commandBar.GetHeight();
  EXPECT_GT(bar, 20);
  const RECT host = ChildRect(App().commandBar.GetHostWindow()), hostWanted = {0, 0, w, bar};
  const RECT frame = ChildRect(App().mdiFrame), frameWanted = {tree, bar, w, h};
  EXPECT_TRUE(EqualRect(&host, &hostWanted)) << host.right << "x" << host.bottom;
  EXPECT_TRUE(EqualRect(&frame, &frameWanted)) << frame.left << "," << frame.top << " "
                                                << frame.right << "," << frame.bottom;
  EXPECT_EQ(App().folderTree.width(), tree);
  EXPECT_EQ(App().folderTree.height(), h - bar);
  RECT frameClient, client;
  GetClientRect(App().mdiFrame, &frameClient);
  GetClientRect(App().mdiClient, &client);
  EXPECT_TRUE(EqualRect(&frameClient, &client));
}

}  // namespace

TEST_F(MainWindowTest, ChildrenTileTheClientAreaAtEverySize) {
  const struct { int w, h; } sizes[] = {{800, 600}, {1100, 700}, {400, 300}, {260, 200}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    SizeClient(s.w, s.h);
    ExpectTiles(s.w, s.h, kFolderTreeWidth);
  }
}

TEST_F(MainWindowTest, SplitterIsTheFrameLeftEdgeOnlyAndItsWidthOutlivesResizes) {
  SizeClient(800, 600);
  RECT f;
  GetWindowRect(App().mdiFrame, &f);
  const int midY = (f.top + f.bottom) / 2;
  const struct { int x, y; bool left; } probes[] = {
      {f.left, midY, true},           {f.left + 1, midY, true},
      {f.left, f.top + 1, false},     {f.left, f.bottom - 2, false},  // ends of the left edge
      {(f.left + f.right) / 2, f.top, false},                          // top border
      {f.right - 1, midY, false},                                      // right border
      {(f.left + f.right) / 2, f.bottom - 1, false},                   // bottom border
  };
  for (const auto& p : probes) {
    const LRESULT hit = SendMessageA(App().mdiFrame, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(hit == HTLEFT, p.left) << "at " << p.x - f.left << "," << p.y - f.top << " hit " << hit;
  }
  // Dragging the left edge to x = 300 is what the system's sizing loop does.
  const int bar = App().commandBar.GetHeight();
  SetWindowPos(App().mdiFrame, nullptr, 300, bar, 500, 600 - bar, SWP_NOZORDER);
  Pump(30);
  EXPECT_EQ(App().folderTree.width(), 300);
  SizeClient(900, 650);
  ExpectTiles(900, 650, 300);
  // Minimised, the zero sizes leave the width alone.
  ShowWindow(main_, SW_MINIMIZE);
  Pump(50);
  ShowWindow(main_, SW_RESTORE);
  Pump(50);
  EXPECT_EQ(App().folderTree.width(), 300);
  RECT client;
  GetClientRect(main_, &client);
  ExpectTiles(client.right, client.bottom, 300);
}

TEST_F(MainWindowTest, ExitSavesThePlacementAndTheSplitterLikeTheCloseBox) {
  const struct { const char* what; void (*close)(HWND); } ways[] = {
      {"File > Exit",
       [](HWND) { PostMessageA(App().commandBar.GetHostWindow(), WM_COMMAND, ID_FILE_EXIT, 0); }},
      {"close box", [](HWND main) { PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.what);
    DeleteKey(kScratchKey);
    if (!IsWindow(main_)) Create();
    SetWindowPos(main_, nullptr, 123, 45, 700, 500, SWP_NOZORDER);
    const int bar = App().commandBar.GetHeight();
    RECT client;
    GetClientRect(main_, &client);
    SetWindowPos(App().mdiFrame, nullptr, 300, bar, client.right - 300, 400, SWP_NOZORDER);
    Pump(30);
    g_quitSeen = false;
    way.close(main_);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(main_) && g_quitSeen; }, 3000));
    EXPECT_EQ(GetDword("MAINWNDXPOS"), 123);
    EXPECT_EQ(GetDword("MAINWNDYPOS"), 45);
    EXPECT_EQ(GetDword("MAINWNDXSIZE"), 700);
    EXPECT_EQ(GetDword("MAINWNDYSIZE"), 500);
    EXPECT_EQ(GetDword("TREEWIDTH"), 300);
    // The next start puts the splitter where it was left.
    Create();
    EXPECT_EQ(App().folderTree.width(), 300);
    EXPECT_EQ(ChildRect(App().mdiFrame).left, 300);
  }
}
