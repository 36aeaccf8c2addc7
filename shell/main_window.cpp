// The main window ("ORVANEL"), the workspace frame ("MDIFrame") with its MDI
// client and hidden log window, their layout, and the message loop. The
// program's objects live here, and here they are handed to each other.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

#include <atomic>

#include "activity/background_indexer.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/export_range.h"
#include "shell/log_window.h"
#include "shell/timeline_dock.h"
#include "workspace/activity_search.h"
#include "workspace/sync_commands.h"
#include "workspace/video_window.h"

namespace {

HWND g_mainWindow = nullptr;
HWND g_mdiFrame = nullptr;
HWND g_mdiClient = nullptr;
bool g_isWindowsNT = false;
// Where the background indexer rings (its worker reads it).
std::atomic<HWND> g_indexedTarget{nullptr};
constexpr UINT kMsgActivityIndexed = WM_APP + 0x71;
// What is on screen goes to the background indexer this often.
constexpr UINT_PTR kIndexFocusTimer = 0x71;
constexpr UINT kIndexFocusMs = 1000;

// The Settings as the workspace's view options.
class SettingsViewOptions final : public ViewOptions {
 public:
  explicit SettingsViewOptions(const Settings& settings) : settings_(settings) {}
  bool OverMinute() const override { return settings_.GetOverMinute(); }
  bool Overlapped() const override { return settings_.GetOverlapped(); }
  bool Halftone() const override { return g_isWindowsNT && settings_.highQuality; }
  bool Stretch() const override { return settings_.stretch; }

 private:
  const Settings& settings_;
};

// The Save As dialog as the folder tree's drop target.
class SaveAsDrop final : public FolderDropTarget {
 public:
  explicit SaveAsDrop(SaveAsDialog& dialog) : dialog_(dialog) {}
  bool TakesFolders() const override {
    return dialog_.window() != nullptr && IsWindowVisible(dialog_.window()) &&
           !dialog_.exporting();
  }
  bool IsDropPoint(POINT screen) const override { return dialog_.IsDropPoint(&screen) != 0; }
  void AddDroppedFolder(const char* folder) override { dialog_.AddDroppedFolder(folder); }

 private:
  SaveAsDialog& dialog_;
};

// Built in this order and destroyed in the reverse order (the adapters,
// which only hold references, outlast what they adapt); each object is
// handed what it needs of the others before any window exists.
struct Program {
  // The activity index outlives everything that reads it.
  activity::ActivityIndex activityIndex{activity::DefaultIndexFolder()};
  activity::BackgroundIndexer indexer{activityIndex};
  ActivitySearch activitySearch{childManager, activityIndex};
  SettingsViewOptions viewOptions{settings};
  SaveAsDrop saveAsDrop{saveAsDialog};
  TimelineDock timeline{childManager, folderTree, settings};
  FolderTree folderTree;
  ChildManager childManager;
  CommandBar commandBar;
  SaveAsDialog saveAsDialog;
  Settings settings;

  Program() {
    childManager.SetViewOptions(&viewOptions);
    childManager.SetSynchronizer([this] { SynchronizeSelected(childManager); });
    folderTree.SetMinuteOpener(
        [this](const char* folder, const char* dateText, const char* cameraName) {
          childManager.OpenMinute(folder, dateText, cameraName);
        });
    folderTree.SetDropTarget(&saveAsDrop);
    childManager.SetExportRangeAction(
        [this] { ExportRange(childManager.markedRange(), saveAsDialog); });
    CommandTargets targets;
    targets.windows = &childManager;
    targets.folderTree = &folderTree;
    targets.saveAs = &saveAsDialog;
    targets.settings = &settings;
    targets.windowsNT = &g_isWindowsNT;
    targets.timeline = &timeline;
    commandBar.SetTargets(targets);
    childManager.SetSelectionListener([this] { commandBar.toolButtons.ShowModeOfSelected(); });
    childManager.SetActivityStepper(
        [this](activity::Direction direction) { activitySearch.Start(direction); });
    if (!activityIndex.folder().empty()) timeline.panel().SetActivityIndex(&activityIndex);
    indexer.SetDoorbell([] {
      HWND target = g_indexedTarget.load();
      return target != nullptr && PostMessageA(target, kMsgActivityIndexed, 0, 0) != FALSE;
    });
  }
};

Program g_program;
Settings& g_settings = g_program.settings;
CommandBar& g_commandBar = g_program.commandBar;
FolderTree& g_folderTree = g_program.folderTree;
ChildManager& g_childManager = g_program.childManager;
SaveAsDialog& g_saveAsDialog = g_program.saveAsDialog;
TimelineDock& g_timeline = g_program.timeline;

bool QueryIsWindowsNT() {
  OSVERSIONINFOEXA extended = {};
  extended.dwOSVersionInfoSize = sizeof extended;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)))
    return extended.dwPlatformId == VER_PLATFORM_WIN32_NT;
  OSVERSIONINFOA plain = {};
  plain.dwOSVersionInfoSize = sizeof plain;
  if (GetVersionExA(&plain)) return plain.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return false;
}

// ---- main window ----

// The splitter where the user left it, if that still fits the desktop.
void RestoreTreeWidth() {
  int widest = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  if (widest <= 0) widest = GetSystemMetrics(SM_CXSCREEN);
  g_folderTree.Resize(g_settings.LoadTreeWidth(kFolderTreeWidth, widest), 0);
}

void OnMainCreate(HWND window) {
  g_mainWindow = window;
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS |
                   ICC_USEREX_CLASSES | ICC_COOL_CLASSES;
  InitCommonControlsEx(&controls);

  g_settings.RestorePlacement(window);
  RECT client = {};
  GetClientRect(window, &client);
  g_commandBar.Create(window, kCommandBarCreateWidth);
  g_folderTree.Create(GetAppInstance(), window, client.bottom, g_commandBar.GetHeight());
  RestoreTreeWidth();
  if (g_saveAsDialog.Create(window) && g_saveAsDialog.window())
    ShowWindow(g_saveAsDialog.window(), SW_HIDE);
  g_settings.Load();
  g_childManager.regions().SetKeyPath(g_settings.GetKeyPath());
  g_childManager.regions().Load();
  g_timeline.Create(window);
  if (g_program.activityIndex.folder().empty()) {
    LogWindow::Print("Activity: no cache folder for the index; nothing is indexed ahead");
  } else {
    g_indexedTarget.store(window);
    g_program.indexer.Start();
    SetTimer(window, kIndexFocusTimer, kIndexFocusMs, nullptr);
  }

  const int bar = g_commandBar.GetHeight();
  const int tree = g_folderTree.width();
  g_mdiFrame = CreateWindowExA(WS_EX_CLIENTEDGE, "MDIFrame", nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_BORDER, tree, bar,
                               client.right - tree, client.bottom - bar - g_timeline.height(),
                               window, nullptr, GetAppInstance(), nullptr);
  if (!g_mdiFrame) LogWindow::Print("Main window: MDIFrame not created (%lu)", GetLastError());
  g_timeline.Place(tree, client.right - tree, client.bottom);
}

// The background indexer works nearest to what is on screen: each window's
// moment and, when the timeline shows, the part of the day in view.
void FeedIndexer() {
  std::vector<activity::IndexFocus> focus;
  for (const WindowSight& s : SightsOfWindows(g_childManager))
    if (!s.camera.empty() && s.moment >= 0) focus.push_back({s.camera, s.moment, s.moment});
  if (g_timeline.shown() && g_timeline.panel().day() >= 0) {
    const TimeScale& view = g_timeline.panel().scale();
    for (const TimelineRow& row : g_timeline.Rows())
      focus.push_back({row.camera, view.start, view.start + view.span});
  }
  g_program.indexer.SetOnScreen(std::move(focus));
}

// Command bar across the top, workspace frame right of the tree column with
// the timeline under it; the frame's own resize then gives the tree its size.
void LayoutMainWindow(int width, int height) {
  const int bar = g_commandBar.GetHeight();
  const int tree = g_folderTree.width();
  g_commandBar.Resize(width);
  if (g_mdiFrame) {
    MoveWindow(g_mdiFrame, tree, bar, width - tree, height - bar - g_timeline.height(), TRUE);
  }
  g_timeline.Place(tree, width - tree, height);
}

// Asks whether closing may stop the running export; the question is owned
// by the progress dialog, which stays in front of it.
bool ConfirmStopExport(HWND mainWindow) {
  HWND owner = g_saveAsDialog.progress().window();
  const int answer = MessageBoxA(
      owner ? owner : mainWindow,
      "An export is still running.\n\n"
      "Yes: stop it and close Orvanel; the file keeps the pictures written so far.\n"
      "No: go on exporting.",
      "Orvanel", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  LogWindow::Print("Close during an export: %s", answer == IDYES ? "stop and close" : "go on");
  return answer == IDYES;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnMainCreate(window);
      return 0;
    case WM_CLOSE:
      // A running export is only cut short when the user says so: it may be
      // worth waiting for.
      if (g_saveAsDialog.exporting() && !ConfirmStopExport(window)) return 0;
      // Now, not while the windows go: hiding them may take a while.
      g_saveAsDialog.StopExportForExit();
      break;
    case WM_TIMER:
      if (wParam == kIndexFocusTimer) FeedIndexer();
      break;
    case kMsgActivityIndexed:
      g_timeline.panel().MinutesIndexed(g_program.indexer.TakeIndexed());
      return 0;
    case WM_DESTROY:
      // A minute being indexed is stopped, not waited for.
      KillTimer(window, kIndexFocusTimer);
      g_indexedTarget.store(nullptr);
      g_program.indexer.Stop();
      g_folderTree.SaveRootList();
      g_timeline.Save();
      g_settings.SavePlacement(window);
      g_settings.SaveTreeWidth(g_folderTree.width());
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      g_mainWindow = nullptr;
      g_mdiFrame = nullptr;
      g_mdiClient = nullptr;
      break;
    case WM_SIZE:
      LayoutMainWindow(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) g_commandBar.menuButtons.LeaveKeyboardMode();
      break;
    case WM_DPICHANGED: {
      // Per-monitor aware (see the manifest): take the size Windows suggests
      // for the new monitor's scale.
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SYSCOMMAND:
      // Alt or F10 that did not pass the message loop: the menu buttons take
      // it too; Alt+Space still opens the system menu.
      if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == 0 && g_commandBar.menuButtons.toolbar) {
        g_commandBar.menuButtons.ToggleKeyboardMode();
        return 0;
      }
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// ---- workspace frame ----

// Wine answers HTNOWHERE, not HTBORDER, on the sunken client edge inside the
// thin border; both are the frame's edge.
bool InFrameEdge(HWND window, POINT screen) {
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  return PtInRect(&outer, screen) && !PtInRect(&client, screen);
}

LRESULT CALLBACK MDIFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      CLIENTCREATESTRUCT client = {};
      client.hWindowMenu = nullptr;  // the main window has no menu bar
      client.idFirstChild = ID_FIRST_MDI_CHILD;
      // With scroll bars: windows larger than the workspace stay reachable.
      g_mdiClient = CreateWindowExA(0, "MDICLIENT", nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_HSCROLL |
                                        WS_VSCROLL, 0, 0, 0, 0, window,
                                    nullptr, GetAppInstance(), &client);
      if (g_mdiClient) {
        CreateWindowExA(0, "LOGWND", "", WS_CHILD | WS_HSCROLL, 50, 350, 550, 130, g_mdiClient,
                        nullptr, GetAppInstance(), nullptr);
        g_childManager.SetWorkspace(g_mdiClient);
      } else {
        LogWindow::Print("MDIFrame: MDI client not created (%lu)", GetLastError());
      }
      break;
    }
    case WM_SIZE: {
      // The tree takes what the frame leaves of the main window's width.
      RECT outer = {}, main = {};
      GetWindowRect(window, &outer);
      GetClientRect(GetParent(window), &main);
      g_folderTree.Resize(main.right - (outer.right - outer.left),
                          outer.bottom - outer.top + g_timeline.height());
      break;
    }
    case WM_NCHITTEST: {
      const LRESULT hit = DefFrameProcA(window, g_mdiClient, message, wParam, lParam);
      const POINT cursor = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (hit != HTBORDER && !(hit == HTNOWHERE && InFrameEdge(window, cursor))) return hit;
      // Only the left edge is a splitter; its ends and the other edges stay.
      RECT outer = {};
      GetWindowRect(window, &outer);
      if (cursor.x - outer.left < 2 && cursor.y > outer.top + 2 && cursor.y < outer.bottom - 2)
        return HTLEFT;
      return hit;
    }
  }
  return DefFrameProcA(window, g_mdiClient, message, wParam, lParam);
}

bool RegisterOne(const char* name, WNDPROC procedure, HICON icon, HBRUSH background,
                   int extraBytes) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.cbWndExtra = extraBytes;
  wc.hInstance = GetAppInstance();
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void RegisterWindowClasses() {
  HICON app = LoadIconA(GetAppInstance(), MAKEINTRESOURCEA(IDI_APP));
  HICON logo = LoadIconA(nullptr, IDI_WINLOGO);
  HBRUSH window = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterOne("ORVANEL", MainWindowProc, app, window, 0);
  RegisterOne("MDIFrame", MDIFrameProc, app, window, 0);
  RegisterOne("MDIVideoChild", VideoWindowProc, logo, black, 4);
  RegisterOne("LOGWND", LogWindowProc, logo, black, 4);
}

// Ctrl+A selects the text of the text field with the focus, else every
// video window when the key came to the main window. True when used.
bool CtrlA(HWND target, bool inMain) {
  char name[16] = {};
  if (target) GetClassNameA(target, name, sizeof name);
  if (lstrcmpiA(name, "Edit") == 0) {
    SendMessageA(target, EM_SETSEL, 0, -1);
    return true;
  }
  if (!inMain) return false;
  g_childManager.SelectAll();  // and no letter is typed
  return true;
}

}  // namespace

AppParts App() {
  return {g_settings,     g_commandBar, g_folderTree, g_childManager, g_saveAsDialog,
          g_program.saveAsDrop, g_mainWindow, g_mdiFrame,   g_mdiClient,    g_isWindowsNT,
          g_program.indexer};
}

HWND CreateMainWindow(int show) {
  RegisterWindowClasses();
  HWND window = CreateWindowExA(0, "ORVANEL", "Orvanel", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                GetAppInstance(), nullptr);
  if (!window) return nullptr;
  ShowWindow(window, g_settings.FirstShowCommand(show));
  UpdateWindow(window);
  g_isWindowsNT = QueryIsWindowsNT();
  return window;
}

bool PreTranslateAppMessage(MSG& message) {
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool inMain = g_mainWindow && message.hwnd &&
                      GetAncestor(message.hwnd, GA_ROOT) == g_mainWindow;
  if (message.message == WM_KEYDOWN && message.wParam == 'A' && ctrl && CtrlA(message.hwnd, inMain))
    return true;
  if (inMain && g_commandBar.menuButtons.PreTranslate(message)) return true;
  // Tab and the like inside the modeless Save As dialog.
  HWND saveAs = g_saveAsDialog.window();
  if (saveAs && IsWindowVisible(saveAs) && IsDialogMessageA(saveAs, &message)) return true;
  return g_mdiClient && TranslateMDISysAccel(g_mdiClient, &message);
}

int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!PreTranslateAppMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}
