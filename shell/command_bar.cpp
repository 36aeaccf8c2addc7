#include "shell/command_bar.h"

#include <commctrl.h>

#include "dialogs/save_as_dialog.h"
#include "platform/log.h"
#include "resources/resource.h"
#include "shell/dialogs.h"
#include "shell/export_range.h"
#include "shell/instance.h"
#include "tree/folder_tree.h"
#include "workspace/child_manager.h"
#include "workspace/sync_commands.h"

namespace {

const int kMenuResources[4] = {IDM_FILE, IDM_CONTROL, IDM_VIEW, IDM_HELP};
const char* const kMenuTexts[4] = {"File", "Control", "View", "Help"};

struct PictureButton {
  int image;  // -1: separator
  int command;
  BYTE style;
  const char* tooltip;
};

const PictureButton kPictureButtons[] = {
    {12, ID_FILE_REFRESH_TREE, BTNS_BUTTON, "Refresh Folder Tree"},
    {13, ID_CONTROL_SELECT_ALL, BTNS_BUTTON, "Select All Windows"},
    {14, ID_FILE_OPTIONS, BTNS_BUTTON, "Options..."},
    {16, ID_FILE_SAVE_AS, BTNS_BUTTON, "Save As..."},
    {-1, 0, BTNS_SEP, nullptr},
    {0, ID_CONTROL_FAST_REWIND, BTNS_CHECK, "Fast Rewind"},
    {1, ID_CONTROL_REWIND, BTNS_CHECK, "Rewind"},
    {2, ID_CONTROL_PAUSE, BTNS_CHECK, "Pause"},
    {3, ID_CONTROL_FORWARD, BTNS_CHECK, "Forward"},
    {4, ID_CONTROL_FAST_FORWARD, BTNS_CHECK, "Fast Forward"},
    {-1, 0, BTNS_SEP, nullptr},
    {5, ID_VIEW_CASCADE, BTNS_BUTTON, "Cascade"},
    {6, ID_VIEW_TILE_VERTICAL, BTNS_BUTTON, "Tile Vertical"},
    {7, ID_VIEW_TILE_HORIZONTAL, BTNS_BUTTON, "Tile Horizontal"},
    {8, ID_VIEW_GRID, BTNS_BUTTON, "Grid"},
    {-1, 0, BTNS_SEP, nullptr},
    {9, ID_VIEW_HALF_SIZE, BTNS_BUTTON, "Half Size"},
    {10, ID_VIEW_ORIGINAL_SIZE, BTNS_BUTTON, "Original Size"},
    {11, ID_VIEW_DOUBLE_SIZE, BTNS_BUTTON, "Double Size"},
    {15, ID_VIEW_FIT_SIZE, BTNS_BUTTON, "Fit Size"},
    {-1, 0, BTNS_SEP, nullptr},
    {17, ID_CONTROL_SYNCHRONIZE, BTNS_BUTTON, "Synchronize"},
};
constexpr int kPictureButtonCount = sizeof kPictureButtons / sizeof kPictureButtons[0];

// The mode buttons by PlaybackMode's value.
const int kModeButtons[5] = {ID_CONTROL_FAST_REWIND, ID_CONTROL_REWIND, ID_CONTROL_FORWARD,
                             ID_CONTROL_FAST_FORWARD, ID_CONTROL_PAUSE};

const char* TooltipOf(int command) {
  for (const PictureButton& b : kPictureButtons)
    if (b.image >= 0 && b.command == command) return b.tooltip;
  return nullptr;
}

constexpr UINT_PTR kMenuSubclassId = 1;
// The menu buttons whose menu is being tracked: the message hook has no
// other way to find them. User-interface thread only.
MenuButtonBar* g_tracking = nullptr;

HWND WorkspaceOf(const CommandTargets& targets) {
  return targets.windows != nullptr ? targets.windows->workspace() : nullptr;
}


}  // namespace

// ---- MenuButtonBar ----

MenuButtonBar::MenuButtonBar(const CommandTargets& targets) : targets_(targets) {}
MenuButtonBar::~MenuButtonBar() = default;

int MenuButtonBar::Create(HWND host) {
  host_ = host;
  TBBUTTON buttons[4] = {};
  for (int i = 0; i < 4; ++i) {
    buttons[i].iBitmap = I_IMAGENONE;
    buttons[i].idCommand = ID_MENUBUTTON_FILE + i;
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = BTNS_DROPDOWN | BTNS_AUTOSIZE;
    buttons[i].iString = i;
  }
  toolbar = CreateToolbarEx(host, WS_CHILD | WS_VISIBLE | TBSTYLE_WRAPABLE | TBSTYLE_FLAT | TBSTYLE_LIST,
                            IDC_MENU_TOOLBAR, 0, nullptr, 0, buttons, 4, 1, 8, 1, 8, sizeof(TBBUTTON));
  if (!toolbar) {
    LogWindow::Print("CommandBar: menu buttons not created (%lu)", GetLastError());
    return 0;
  }
  SetWindowSubclass(toolbar, &MenuButtonBar::SubclassProc, kMenuSubclassId,
                    reinterpret_cast<DWORD_PTR>(this));
  SendMessageA(toolbar, WM_SIZE, 0, 0);
  for (const char* text : kMenuTexts) {
    char entry[16] = {};  // the text and a second terminator
    lstrcpynA(entry, text, sizeof entry - 1);
    SendMessageA(toolbar, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(entry));
  }
  SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
  for (int i = 0; i < 4; ++i) {
    if (menus[i]) DestroyMenu(menus[i]);
    menus[i] = LoadMenuA(GetAppInstance(), MAKEINTRESOURCEA(kMenuResources[i]));
  }
  return 1;
}

int MenuButtonBar::HotIndex() const {
  return toolbar ? static_cast<int>(SendMessageA(toolbar, TB_GETHOTITEM, 0, 0)) : -1;
}

void MenuButtonBar::SetHotIndex(int index) {
  if (toolbar) SendMessageA(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(index), 0);
}

HMENU MenuButtonBar::PopupOf(int index) const {
  return index >= 0 && index < 4 && menus[index] ? GetSubMenu(menus[index], 0) : nullptr;
}

int MenuButtonBar::OpenMenu() {
  const int hot = HotIndex();
  HMENU popup = PopupOf(hot);
  if (!popup) return 1;
  RECT button = {};
  SendMessageA(toolbar, TB_GETRECT, ID_MENUBUTTON_FILE + hot, reinterpret_cast<LPARAM>(&button));
  POINT corner = {button.left, button.bottom};
  ClientToScreen(toolbar, &corner);
  if (targets_.timeline)
    CheckMenuItem(popup, ID_VIEW_TIMELINE,
                  MF_BYCOMMAND | (targets_.timeline->shown() ? MF_CHECKED : MF_UNCHECKED));
  openIndex_ = hot;
  g_tracking = this;
  SendMessageA(toolbar, TB_PRESSBUTTON, ID_MENUBUTTON_FILE + hot, TRUE);
  keyboardMode_ = false;
  TrackPopupMenuEx(popup, 0, corner.x, corner.y, toolbar, nullptr);
  SendMessageA(toolbar, TB_PRESSBUTTON, ID_MENUBUTTON_FILE + hot, FALSE);
  g_tracking = nullptr;
  openIndex_ = -1;
  // A closed menu ends the keyboard mode, unless it closed to open another.
  if (!switching_) SetHotIndex(-1);
  switching_ = false;
  if (hook) {  // in case the popup ended without its uninit message
    UnhookWindowsHookEx(hook);
    hook = nullptr;
  }
  return 1;
}

int MenuButtonBar::OnKeyDown(WPARAM key) {
  const int hot = HotIndex();
  switch (key) {
    case VK_RETURN:
    case VK_DOWN:
    case VK_UP: {
      // The Enter already translated into a character would reach the menu
      // loop first and close the menu at once.
      MSG pending;
      if (key == VK_RETURN && PeekMessageA(&pending, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
          pending.wParam == '\r')
        PeekMessageA(&pending, pending.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE);
      keyboardMode_ = false;
      OpenMenu();
      return 1;
    }
    case VK_ESCAPE:
      LeaveKeyboardMode();
      return 1;
    case VK_LEFT:
      SetHotIndex(-1);
      SetHotIndex(hot <= 0 ? 3 : hot - 1);
      return 1;
    case VK_RIGHT:
      SetHotIndex(-1);
      SetHotIndex(hot < 0 ? 0 : (hot + 1) % 4);
      return 1;
  }
  return 0;
}

int MenuButtonBar::MenuOfLetter(WPARAM key) {
  for (int i = 0; i < 4; ++i)
    if (static_cast<WPARAM>(kMenuTexts[i][0]) == key) return i;
  return -1;
}

void MenuButtonBar::ToggleKeyboardMode() {
  if (keyboardMode_) {
    LeaveKeyboardMode();
  } else {
    keyboardMode_ = true;
    SetHotIndex(-1);
    SetHotIndex(0);
  }
}

void MenuButtonBar::LeaveKeyboardMode() {
  keyboardMode_ = false;
  SetHotIndex(-1);
}

// As a menu bar takes the keyboard, whichever window has the focus: F10 or a
// lone Alt enters (and leaves) the keyboard mode, Alt+letter drops that menu;
// in the mode the arrows, Enter, Escape and the letters are the menus'.
bool MenuButtonBar::PreTranslate(const MSG& message) {
  if (!toolbar) return false;
  const WPARAM key = message.wParam;
  switch (message.message) {
    case WM_SYSKEYDOWN:
      if (key == VK_MENU) {
        if ((message.lParam & (1 << 30)) == 0) altAlone_ = true;  // not a repeat
        return true;
      }
      altAlone_ = false;
      if (key == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000) == 0) {
        ToggleKeyboardMode();
        return true;
      }
      if (MenuOfLetter(key) >= 0) {
        OpenByKeyboard(MenuOfLetter(key));
        return true;
      }
      return false;
    case WM_SYSKEYUP:
      if (key == VK_MENU) {
        if (altAlone_) ToggleKeyboardMode();
        altAlone_ = false;
        return true;
      }
      return key == VK_F10;
    case WM_KEYDOWN:
      altAlone_ = false;
      if (!keyboardMode_) return false;
      if (key == VK_SHIFT || key == VK_CONTROL) return true;
      if (MenuOfLetter(key) >= 0) {
        OpenByKeyboard(MenuOfLetter(key));
        return true;
      }
      if (OnKeyDown(key)) return true;
      LeaveKeyboardMode();  // any other key goes where it was going
      return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      if (keyboardMode_) LeaveKeyboardMode();
      return false;
  }
  return false;
}

void MenuButtonBar::OpenByKeyboard(int index) {
  keyboardMode_ = false;
  SetHotIndex(-1);
  SetHotIndex(index);
  OpenMenu();
}

void MenuButtonBar::SwitchTo(int index) {
  SendMessageA(toolbar, WM_CANCELMODE, 0, 0);  // closes the open menu
  SetHotIndex(-1);
  SetHotIndex(index);
  switching_ = true;
  // Opened once the current tracking has returned.
  PostMessageA(host_, WM_KEYDOWN, VK_DOWN, 0);
}

LRESULT CALLBACK MenuButtonBar::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  MenuButtonBar& self = *reinterpret_cast<MenuButtonBar*>(data);
  switch (message) {
    case WM_INITMENUPOPUP:
      if (!self.hook)
        self.hook = SetWindowsHookExA(WH_MSGFILTER, &MenuButtonBar::MenuTrackHook, nullptr,
                                      GetCurrentThreadId());
      break;
    case WM_UNINITMENUPOPUP:
      if (self.hook) {
        UnhookWindowsHookEx(self.hook);
        self.hook = nullptr;
      }
      break;
    case WM_COMMAND:
      // A chosen menu item: the host carries it out.
      if (self.host_) return SendMessageA(self.host_, message, wParam, lParam);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, &MenuButtonBar::SubclassProc, id);
      self.toolbar = nullptr;
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK MenuButtonBar::MenuTrackHook(int code, WPARAM wParam, LPARAM lParam) {
  if (g_tracking == nullptr) return CallNextHookEx(nullptr, code, wParam, lParam);
  MenuButtonBar& self = *g_tracking;
  const int hot = self.HotIndex();
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == MSGF_MENU && message && self.toolbar) {
    if (message->message == WM_KEYDOWN && message->wParam == VK_LEFT) {
      self.SwitchTo(hot <= 0 ? 3 : hot - 1);
    } else if (message->message == WM_KEYDOWN && message->wParam == VK_RIGHT) {
      self.SwitchTo(hot < 0 ? 0 : (hot + 1) % 4);
    } else if (message->message == WM_MOUSEMOVE) {
      POINT point = message->pt;  // screen coordinates, whatever window it was for
      ScreenToClient(self.toolbar, &point);
      for (int i = 0; i < 4; ++i) {
        RECT button = {};
        SendMessageA(self.toolbar, TB_GETRECT, ID_MENUBUTTON_FILE + i,
                     reinterpret_cast<LPARAM>(&button));
        if (!PtInRect(&button, point)) continue;
        if (i != self.openIndex_) self.SwitchTo(i);
        break;
      }
    }
  }
  return CallNextHookEx(self.hook, code, wParam, lParam);
}

int MenuButtonBar::OnCommand(int id) {
  switch (id) {
    case ID_HELP_ABOUT:
      LogWindow::Print("Command %d: About", id);
      AboutDialog::Run(toolbar ? GetAncestor(toolbar, GA_ROOT) : nullptr);
      break;
    case ID_FILE_EXIT:
      // As the close box does: the export is asked about, the placement and
      // the splitter are saved, and the window's end posts the quit.
      LogWindow::Print("Command %d: close the main window", id);
      if (toolbar) PostMessageA(GetAncestor(toolbar, GA_ROOT), WM_CLOSE, 0, 0);
      break;
    case ID_FILE_SELECT_ROOT:
      LogWindow::Print("Command %d: FolderTree::BrowseForRoot", id);
      if (targets_.folderTree) targets_.folderTree->BrowseForRoot();
      break;
    case ID_VIEW_TILE_HORIZONTAL:
      LogWindow::Print("Command %d: tile horizontally", id);
      if (HWND workspace = WorkspaceOf(targets_))
        SendMessageA(workspace, WM_MDITILE, MDITILE_HORIZONTAL, 0);
      break;
    case ID_VIEW_TILE_VERTICAL:
      LogWindow::Print("Command %d: tile vertically", id);
      if (HWND workspace = WorkspaceOf(targets_))
        SendMessageA(workspace, WM_MDITILE, MDITILE_VERTICAL, 0);
      break;
    case ID_VIEW_CASCADE:
      LogWindow::Print("Command %d: cascade", id);
      if (HWND workspace = WorkspaceOf(targets_)) SendMessageA(workspace, WM_MDICASCADE, 0, 0);
      break;
    case ID_VIEW_GRID:
      LogWindow::Print("Command %d: ChildManager::ArrangeGrid", id);
      if (targets_.windows) targets_.windows->ArrangeGrid();
      break;
    case ID_FILE_REFRESH_TREE:
      LogWindow::Print("Command %d: FolderTree::Refresh", id);
      if (targets_.folderTree) targets_.folderTree->Refresh();
      break;
    case ID_FILE_SAVE_AS:
      LogWindow::Print("Command %d: SaveAsDialog::ShowBeside", id);
      if (targets_.saveAs) targets_.saveAs->ShowBeside(targets_.folderTree ? targets_.folderTree->window() : nullptr);
      break;
    case ID_CONTROL_SYNCHRONIZE:
      LogWindow::Print("Command %d: SynchronizeSelected", id);
      if (targets_.windows) SynchronizeSelected(*targets_.windows);
      break;
    case ID_CONTROL_NEXT_ACTIVITY:
    case ID_CONTROL_PREVIOUS_ACTIVITY:
      LogWindow::Print("Command %d: ChildManager::StepActivity", id);
      if (targets_.windows)
        targets_.windows->StepActivity(id == ID_CONTROL_NEXT_ACTIVITY
                                           ? activity::Direction::kNext
                                           : activity::Direction::kPrevious);
      break;
    case ID_VIEW_TIMELINE:
      LogWindow::Print("Command %d: timeline shown or hidden", id);
      if (targets_.timeline) targets_.timeline->Toggle();
      break;
    case ID_VIDEO_EXPORT_RANGE:
      LogWindow::Print("Command %d: Export Range", id);
      if (targets_.saveAs && targets_.windows)
        ExportRange(targets_.windows->markedRange(), *targets_.saveAs);
      break;
  }
  return 1;
}

// ---- ToolButtonBar ----

ToolButtonBar::ToolButtonBar(const CommandTargets& targets) : targets_(targets) {}
ToolButtonBar::~ToolButtonBar() = default;

int ToolButtonBar::Create(HWND host) {
  if (images_) ImageList_Destroy(images_);
  images_ = ImageList_Create(32, 30, ILC_MASK | ILC_COLOR8, 17, 1);
  if (HBITMAP strip = LoadBitmapA(GetAppInstance(), MAKEINTRESOURCEA(IDB_TOOLBAR))) {
    ImageList_AddMasked(images_, strip, CLR_DEFAULT);
    DeleteObject(strip);
  }
  TBBUTTON buttons[kPictureButtonCount] = {};
  for (int i = 0; i < kPictureButtonCount; ++i) {
    const PictureButton& b = kPictureButtons[i];
    buttons[i].iBitmap = b.image < 0 ? 0 : b.image;
    buttons[i].idCommand = b.command;
    buttons[i].fsState = b.image < 0 ? 0 : TBSTATE_ENABLED;
    buttons[i].fsStyle = b.style;
    buttons[i].iString = -1;
  }
  toolbar = CreateToolbarEx(host, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE | TBSTYLE_FLAT,
                            IDC_PICTURE_TOOLBAR, 0, nullptr, 0, buttons, kPictureButtonCount, 32, 30, 32, 30,
                            sizeof(TBBUTTON));
  if (!toolbar) {
    LogWindow::Print("CommandBar: picture buttons not created (%lu)", GetLastError());
    return 0;
  }
  SendMessageA(toolbar, WM_SIZE, 0, 0);
  SendMessageA(toolbar, CCM_SETVERSION, 5, 0);
  SendMessageA(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
  SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
  return 1;
}

int ToolButtonBar::GetToolTipText(NMTTDISPINFOA* request) {
  if (const char* text = TooltipOf(static_cast<int>(request->hdr.idFrom)))
    request->lpszText = const_cast<char*>(text);
  return 1;
}

void ToolButtonBar::ShowModeOfSelected() {
  if (!toolbar) return;
  PlaybackMode mode = PlaybackMode::Pause;
  const bool one = targets_.windows != nullptr && targets_.windows->ModeOfSelected(&mode);
  const int checked = one ? kModeButtons[static_cast<int>(mode)] : -1;
  // Against the buttons' own state, which a click has just flipped; asked
  // at every picture, so only a change is drawn.
  for (int id : kModeButtons) {
    const bool want = id == checked;
    if ((SendMessageA(toolbar, TB_ISBUTTONCHECKED, id, 0) != 0) != want)
      SendMessageA(toolbar, TB_CHECKBUTTON, id, want ? TRUE : FALSE);
  }
}

int ToolButtonBar::OnCommand(int id) {
  ChildManager* windows = targets_.windows;
  switch (id) {
    case ID_CONTROL_FAST_REWIND:
      LogWindow::Print("Command %d: ChildManager::SetModeOfSelected(FastRewind)", id);
      if (windows) windows->SetModeOfSelected(PlaybackMode::FastRewind);
      break;
    case ID_CONTROL_REWIND:
      LogWindow::Print("Command %d: ChildManager::SetModeOfSelected(Rewind)", id);
      if (windows) windows->SetModeOfSelected(PlaybackMode::Rewind);
      break;
    case ID_CONTROL_PAUSE:
      LogWindow::Print("Command %d: ChildManager::SetModeOfSelected(Pause)", id);
      if (windows) windows->SetModeOfSelected(PlaybackMode::Pause);
      break;
    case ID_CONTROL_FORWARD:
      LogWindow::Print("Command %d: ChildManager::SetModeOfSelected(Forward)", id);
      if (windows) windows->SetModeOfSelected(PlaybackMode::Forward);
      break;
    case ID_CONTROL_FAST_FORWARD:
      LogWindow::Print("Command %d: ChildManager::SetModeOfSelected(FastForward)", id);
      if (windows) windows->SetModeOfSelected(PlaybackMode::FastForward);
      break;
    case ID_FILE_OPTIONS:
      LogWindow::Print("Command %d: Options", id);
      if (targets_.settings)
        OptionsDialog::Run(WorkspaceOf(targets_), *targets_.settings,
                           targets_.windowsNT != nullptr && *targets_.windowsNT);
      break;
    case ID_CONTROL_SELECT_ALL:
      LogWindow::Print("Command %d: ChildManager::SelectAll", id);
      if (windows) windows->SelectAll();
      break;
    case ID_VIEW_HALF_SIZE:
      LogWindow::Print("Command %d: ChildManager::SetSize(Half)", id);
      if (windows) windows->SetSize(SizeMode::Half);
      break;
    case ID_VIEW_ORIGINAL_SIZE:
      LogWindow::Print("Command %d: ChildManager::SetSize(Original)", id);
      if (windows) windows->SetSize(SizeMode::Original);
      break;
    case ID_VIEW_DOUBLE_SIZE:
      LogWindow::Print("Command %d: ChildManager::SetSize(Double)", id);
      if (windows) windows->SetSize(SizeMode::Double);
      break;
    case ID_VIEW_FIT_SIZE:
      LogWindow::Print("Command %d: ChildManager::SetSize(Fit)", id);
      if (windows) windows->SetSize(SizeMode::Fit);
      break;
  }
  ShowModeOfSelected();
  return 1;
}

// ---- CommandBar ----

CommandBar::CommandBar() {
  // Registered before the entry point has the instance handle: no icon.
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &CommandBar::HostWindowProc;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_APP));
  wc.lpszClassName = "ORVREBAR";
  RegisterClassA(&wc);
}

CommandBar::~CommandBar() = default;

int CommandBar::Create(HWND parent, int width) {
  host = CreateWindowExA(0, "ORVREBAR", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                         width, 50, parent, nullptr, GetAppInstance(), this);
  if (!host) {
    LogWindow::Print("CommandBar: host not created (%lu)", GetLastError());
    return 0;
  }
  rebar = CreateWindowExA(WS_EX_TOOLWINDOW, REBARCLASSNAMEA, nullptr,
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER |
                              RBS_VARHEIGHT | RBS_BANDBORDERS | RBS_AUTOSIZE,
                          0, 0, 0, 0, host, reinterpret_cast<HMENU>(IDC_REBAR), GetAppInstance(),
                          nullptr);
  if (!rebar) {
    LogWindow::Print("CommandBar: rebar not created (%lu)", GetLastError());
    return 0;
  }
  REBARINFO info = {};
  info.cbSize = sizeof info;
  SendMessageA(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
  menuButtons.Create(host);
  toolButtons.Create(host);
  if (menuButtons.toolbar) AddBand(menuButtons.toolbar);
  if (toolButtons.toolbar) AddBand(toolButtons.toolbar);
  return 1;
}

int CommandBar::AddBand(HWND toolbar) {
  RECT size = {};
  GetWindowRect(toolbar, &size);
  REBARBANDINFOA band = {};
  band.cbSize = sizeof band;
  band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
  band.hwndChild = toolbar;
  band.cxMinChild = size.right - size.left;
  band.cyMinChild = size.bottom - size.top;
  SendMessageA(rebar, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
  RECT bar = {};
  GetWindowRect(rebar, &bar);
  height = bar.bottom - bar.top;
  return 1;
}

int CommandBar::Resize(int width) {
  if (!host) return 1;
  if (rebar) {
    RECT bar = {};
    GetWindowRect(rebar, &bar);
    height = bar.bottom - bar.top;
  }
  SetWindowPos(host, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 1;
}

LRESULT CALLBACK CommandBar::HostWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  auto* self = reinterpret_cast<CommandBar*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<CommandBar*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT CommandBar::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == TBN_DROPDOWN) {
        menuButtons.OpenMenu();
      } else if (header->code == TTN_NEEDTEXTA) {
        toolButtons.GetToolTipText(reinterpret_cast<NMTTDISPINFOA*>(lParam));
      } else if (header->code == TTN_NEEDTEXTW) {
        // Some toolbars ask in Unicode whatever their parent is.
        auto* request = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (const char* text = TooltipOf(static_cast<int>(header->idFrom))) {
          MultiByteToWideChar(CP_ACP, 0, text, -1, request->szText,
                              sizeof request->szText / sizeof request->szText[0]);
          request->lpszText = request->szText;
        }
      }
      break;
    }
    case WM_KEYDOWN:
      menuButtons.OnKeyDown(wParam);
      break;
    case WM_COMMAND:
      menuButtons.OnCommand(LOWORD(wParam));
      toolButtons.OnCommand(LOWORD(wParam));
      break;
    case WM_DESTROY:
      for (HMENU& menu : menuButtons.menus) {
        if (menu) DestroyMenu(menu);
        menu = nullptr;
      }
      break;
    case WM_NCDESTROY:
      host = nullptr;
      rebar = nullptr;
      toolButtons.toolbar = nullptr;
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
