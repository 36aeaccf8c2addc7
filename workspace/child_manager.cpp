#include "workspace/child_manager.h"
#include "workspace/mailbox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "playback/frame_decoder.h"
#include "resources/resource.h"
#include "platform/log.h"
#include "playback/sync_clock.h"
#include "vlib/vlib.h"

namespace {

constexpr char kVideoClass[] = "MDIVideoChild";
constexpr char kMailboxClass[] = "OrvanelVideoMailbox";
// While windows are going: the sweep for ended threads whose post was lost.
constexpr UINT_PTR kSweepTimer = 1;
constexpr UINT kSweepMs = 1000;

LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgViewChanged || message == kMsgViewEnded ||
      (message == WM_TIMER && wParam == kSweepTimer)) {
    try {
      auto* manager = reinterpret_cast<ChildManager*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      return manager != nullptr ? manager->MailboxMessage(message, wParam, lParam) : 0;
    } catch (...) {
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

FrameAllowance SystemFrame() {
  return {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME),
          GetSystemMetrics(SM_CYCAPTION)};
}

Size ClientOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

VideoWindow* ViewOf(const vlib_node* node) { return static_cast<VideoWindow*>(node->data); }

const ViewOptions kDefaultOptions;

}  // namespace

ChildManager::ChildManager() : options_(&kDefaultOptions) {}

void ChildManager::SetViewOptions(const ViewOptions* options) {
  options_ = options != nullptr ? options : &kDefaultOptions;
}

bool ChildManager::Halftone() const { return options_->Halftone(); }
bool ChildManager::Stretch() const { return options_->Stretch(); }

ChildManager::~ChildManager() {
  // At exit with windows still standing (a quit that came before the
  // windows went): threads never wait for this one, so each join returns
  // after a frame. The log window and the windows are left to the process.
  while (children_ != nullptr) {
    ViewOf(children_)->ForgetWindow();
    Remove(children_, false);
  }
  if (mailbox_ != nullptr && IsWindow(mailbox_)) DestroyWindow(mailbox_);
}

void ChildManager::SetWorkspace(HWND mdiClient) {
  workspace_ = mdiClient;
  Mailbox();
}

HWND ChildManager::Mailbox() {
  if (mailbox_ != nullptr && IsWindow(mailbox_)) return mailbox_;
  mailbox_ = MakeMailbox(kMailboxClass, MailboxProc, this);
  if (mailbox_ == nullptr)
    LogWindow::Print("video mailbox cannot be made (%lu)", GetLastError());
  return mailbox_;
}

LRESULT ChildManager::MailboxMessage(UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_TIMER) {
    Sweep();
    return 0;
  }
  auto* view = reinterpret_cast<VideoWindow*>(lParam);
  vlib_node* node = NodeOf(view);
  if (node == nullptr) return 0;  // already removed
  if (message == kMsgViewChanged) {
    view->Refresh();
  } else if (message == kMsgViewEnded && view->ended()) {
    Remove(node);
  }
  TellListener();  // a mode changed, or a (selected) window went
  return 0;
}

void ChildManager::Sweep() {
  bool going = false;
  for (vlib_node* node = children_; node != nullptr;) {
    vlib_node* next = node->next;
    if (ViewOf(node)->ended()) {
      LogWindow::Write("(%d) swept up: the end of its playback was not delivered.",
                       static_cast<int>(ViewOf(node)->windowId()));
      Remove(node);
    } else if (ViewOf(node)->window() == nullptr) {
      going = true;
    }
    node = next;
  }
  if (!going && mailbox_ != nullptr) KillTimer(mailbox_, kSweepTimer);
}

vlib_node* ChildManager::NodeOf(const VideoWindow* view) const {
  for (vlib_node* node = children_; node != nullptr; node = node->next) {
    if (node->data == view) return node;
  }
  return nullptr;
}

std::vector<VideoWindow*> ChildManager::Views() const {
  std::vector<VideoWindow*> views;
  for (vlib_node* node = children_; node != nullptr; node = node->next) {
    if (ViewOf(node)->window() != nullptr) views.push_back(ViewOf(node));
  }
  return views;
}

void ChildManager::Remove(vlib_node* node, bool log) {
  VideoWindow* view = ViewOf(node);
  children_ = vlib_list_unlink(children_, node);
  vlib_free(node);
  const std::intptr_t id = view->windowId();
  delete view;  // joins the (ended) thread, then lets the window go
  if (log) LogWindow::Write("(%d) Remove successfully.", static_cast<int>(id));
  if (loadCount_ >= 1) --loadCount_;
}

void ChildManager::OpenMinute(const char* folder, const char* dateText, const char* cameraName) {
  VideoChild* existing = FindByCamera(cameraName);
  if (!options_->Overlapped() && existing != nullptr) {
    for (VideoWindow* view : Views()) {
      if (view->child() == existing) view->OpenMinute(folder);
    }
    return;
  }
  Load(workspace_, folder, dateText, cameraName);
}

int ChildManager::Load(HWND workspace, const char* folder, const char* dateText,
                       const char* cameraName) {
  if (workspace == nullptr || folder == nullptr) return -1;
  auto view = std::make_unique<VideoWindow>(*this, Mailbox());
  try {
    view->Attach(std::make_unique<VideoChild>(options_->OverMinute()));
  } catch (...) {
    LogWindow::Print("video child cannot be made for '%s'", folder);
    return -1;
  }
  // The minute is listed and its first frame shown before the window is
  // made: that picture's size is the window's, with no second listing and
  // decoding of the minute to probe it, and the window opens with the
  // picture rather than a frame's gap later.
  VideoChild* raw = view->child();
  raw->LoadFrameList(folder);
  int width = 352;
  int height = 240;
  if (raw->ShowFrame(0) == 0 && raw->pictureWidth() > 0 && raw->pictureHeight() > 0) {
    width = raw->pictureWidth();
    height = raw->pictureHeight();
  } else {
    LogWindow::Print("No picture in '%s' to size its window by; %d x %d taken.", folder, width,
                     height);
  }

  char title[MAX_PATH];
  std::snprintf(title, sizeof title, "%s   [ %s ]", cameraName ? cameraName : "",
                dateText ? dateText : "");
  const FrameAllowance frame = SystemFrame();
  const Size outer = OuterSizeFor({width, height + kStripHeight}, frame);

  MDICREATESTRUCTA create{};
  create.szClass = kVideoClass;
  create.szTitle = title;
  create.hOwner = GetModuleHandleA(nullptr);
  create.x = CW_USEDEFAULT;
  create.y = CW_USEDEFAULT;
  create.cx = outer.width;
  create.cy = outer.height;
  create.lParam = reinterpret_cast<LPARAM>(view.get());
  HWND window = reinterpret_cast<HWND>(
      SendMessageA(workspace, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  if (window == nullptr) {
    LogWindow::Print("video window cannot be made for '%s' (%lu)", folder, GetLastError());
    return -1;
  }
  if (Find(window) != nullptr) {
    SendMessageA(workspace, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
    return -1;
  }
  view->SetProbedSize(width, height);
  view->SetTitleParts(cameraName, dateText, folder);
  vlib_node* before = vlib_list_last(children_);
  children_ = vlib_list_append(children_, view.get());
  if (vlib_list_last(children_) == before) {  // no node: nothing to keep it by
    view.reset();
    return -1;
  }
  VideoWindow* shown = view.release();
  LogWindow::Write("New media(%d) loaded.", static_cast<int>(reinterpret_cast<std::intptr_t>(window)));

  const Size client = ClientOf(window);
  shown->Layout(client.width, client.height);
  shown->CreateStrip();
  if (frameHook_ != nullptr) raw->SetFrameHook(frameHook_, frameHookContext_);
  shown->Refresh();  // time text and slider of the frame shown
  raw->StartThread();
  raw->SetMode(PlaybackMode::Forward);
  raw->SetCameraName(cameraName);
  Select(window, true);
  // The first picture is decoded already: paint it now, ahead of the
  // repaints the opening click left queued (the tree's selection).
  UpdateWindow(window);
  ++loadCount_;
  return 0;
}

int ChildManager::Unload(HWND child) {
  if (child == nullptr || children_ == nullptr) return -1;
  for (vlib_node* node = children_; node != nullptr; node = node->next) {
    if (ViewOf(node)->window() == child) {
      Remove(node);
      return 0;
    }
  }
  return -1;
}

int ChildManager::RequestUnload(HWND child) {
  VideoChild* found = Find(child);
  if (found == nullptr) return -1;
  found->RequestQuit();
  // Its thread's last post may be lost (a full queue): swept up then.
  SetTimer(Mailbox(), kSweepTimer, kSweepMs, nullptr);
  return 0;
}

VideoWindow* ChildManager::FindView(HWND child) const {
  if (child == nullptr) return nullptr;
  for (vlib_node* node = children_; node != nullptr; node = node->next) {
    if (ViewOf(node)->window() == child) return ViewOf(node);
  }
  return nullptr;
}

VideoChild* ChildManager::Find(HWND child) const {
  VideoWindow* view = FindView(child);
  return view != nullptr ? view->child() : nullptr;
}

VideoChild* ChildManager::FindByTrackbar(HWND trackbar) const {
  if (trackbar == nullptr) return nullptr;
  for (VideoWindow* view : Views()) {
    if (view->trackbar() == trackbar) return view->child();
  }
  return nullptr;
}

VideoChild* ChildManager::FindByCamera(const char* cameraName) const {
  if (cameraName == nullptr) return nullptr;
  for (VideoWindow* view : Views()) {
    if (view->child() != nullptr && std::strcmp(view->child()->cameraName(), cameraName) == 0)
      return view->child();
  }
  return nullptr;
}

void ChildManager::Select(HWND child, bool exclusive) {
  for (VideoWindow* view : Views()) {
    if (exclusive) {
      view->SetSelected(view->window() == child);
    } else if (view->window() == child) {
      view->SetSelected(true);
      break;
    }
  }
  TellListener();
}

void ChildManager::SelectAll() {
  for (VideoWindow* view : Views()) view->SetSelected(true);
  TellListener();
}

bool ChildManager::IsSelected(HWND child) const {
  VideoWindow* view = FindView(child);
  return view != nullptr && view->selected();
}

void ChildManager::SetModeOfSelected(PlaybackMode mode) {
  if (workspace_ == nullptr || GetWindow(workspace_, GW_CHILD) == nullptr) return;
  std::vector<SyncClock*> clocks;  // a group's mode is its clock's, set once
  for (VideoWindow* view : Views()) {
    if (!view->selected()) continue;
    if (std::shared_ptr<SyncClock> clock = view->child()->clock()) {
      if (std::find(clocks.begin(), clocks.end(), clock.get()) == clocks.end()) {
        clock->SetMode(mode);
        clocks.push_back(clock.get());
      }
    } else {
      view->child()->SetMode(mode);
    }
  }
}

bool ChildManager::ModeOfSelected(PlaybackMode* mode) const {
  bool any = false;
  for (VideoWindow* view : Views()) {
    if (!view->selected()) continue;
    const PlaybackMode its = view->child()->mode();
    if (any && its != *mode) return false;
    *mode = its;
    any = true;
  }
  return any;
}

void ChildManager::Synchronize() {
  if (synchronize_) synchronize_();
}

int ChildManager::SetSize(SizeMode mode) {
  const int m = static_cast<int>(mode);
  if (m < 0 || m > 3) return -1;
  const FrameAllowance frame = SystemFrame();
  const Size workspace = workspace_ != nullptr ? ClientOf(workspace_) : Size{0, 0};
  const std::vector<VideoWindow*> views = Views();
  const int loaded = static_cast<int>(views.size());
  for (VideoWindow* view : views) {
    if (!view->selected()) continue;
    const Size client = ClientSizeFor(mode, view->pictureWidth(), view->pictureHeight(),
                                      workspace, loaded, frame);
    const Size outer = OuterSizeFor(client, frame);
    SetWindowPos(view->window(), nullptr, 0, 0, outer.width, outer.height,
                 SWP_NOMOVE | SWP_NOZORDER);
  }
  return 0;
}

void ChildManager::ArrangeGrid() {
  const std::vector<VideoWindow*> views = Views();
  const int n = static_cast<int>(views.size());
  if (n < 1 || workspace_ == nullptr) return;
  const Size workspace = ClientOf(workspace_);
  for (int i = 0; i < n; ++i) {
    const Rect cell = GridCell(i, n, workspace);
    SetWindowPos(views[i]->window(), nullptr, cell.x, cell.y, cell.width, cell.height,
                 SWP_NOZORDER);
  }
}

void ChildManager::Cascade() {
  if (workspace_ != nullptr) SendMessageA(workspace_, WM_MDICASCADE, 0, 0);
}

void ChildManager::Tile() {
  if (workspace_ != nullptr) SendMessageA(workspace_, WM_MDITILE, MDITILE_VERTICAL, 0);
}

void ChildManager::ContextMenu::Release() {
  if (menu != nullptr) DestroyMenu(menu);
  menu = popup = nullptr;
  for (HBITMAP& bitmap : bitmaps) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    bitmap = nullptr;
  }
}

ChildManager::ContextMenu ChildManager::MakeContextMenu(HWND child) {
  ContextMenu m;
  VideoChild* found = Find(child);
  if (found == nullptr) return m;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  for (int i = 0; i < 10; ++i)
    m.bitmaps[i] = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_MODE_CHECKED + i));
  m.menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDM_VIDEO_CONTROL));
  m.popup = m.menu != nullptr ? GetSubMenu(m.menu, 0) : nullptr;
  if (m.popup == nullptr) {
    LogWindow::Print("Control menu %d cannot be loaded", IDM_VIDEO_CONTROL);
    m.Release();
    return m;
  }
  for (int position = 0; position < 5; ++position) {
    SetMenuItemBitmaps(m.popup, position, MF_BYPOSITION,
                       m.bitmaps[IDB_MODE_UNCHECKED - IDB_MODE_CHECKED + position],
                       m.bitmaps[position]);
  }
  const int mode = static_cast<int>(found->mode());
  for (int position = 0; position < 5; ++position) {
    CheckMenuItem(m.popup, position,
                  MF_BYPOSITION | (position == mode ? MF_CHECKED : MF_UNCHECKED));
  }
  CheckMenuItem(m.popup, ID_VIDEO_PLAY_CONTINUOUSLY,
                MF_BYCOMMAND | (found->playContinuously() ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(m.popup, ID_CONTROL_SYNCHRONIZE,
                MF_BYCOMMAND | (found->clock() ? MF_CHECKED : MF_UNCHECKED));
  AppendMenuA(m.popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(m.popup, MF_STRING, kCmdSavePicture, "Save Picture...");
  EnableMenuItem(m.popup, ID_VIDEO_EXPORT_RANGE,
                 MF_BYCOMMAND | (marks_.complete() ? MF_ENABLED : MF_GRAYED));
  const bool hasRegion = !SearchRegion(CameraOfMinute(found->folder())).empty();
  EnableMenuItem(m.popup, ID_VIDEO_CLEAR_SEARCH_REGION,
                 MF_BYCOMMAND | (hasRegion ? MF_ENABLED : MF_GRAYED));
  return m;
}

void ChildManager::ShowContextMenu(HWND child, int x, int y) {
  ContextMenu m = MakeContextMenu(child);
  if (m.popup == nullptr) return;
  TrackPopupMenuEx(m.popup, 0, x, y, child, nullptr);
  m.Release();
}

void ChildManager::StepSelected(int delta, bool toEnd) {
  std::vector<SyncClock*> clocks;  // a group steps on its clock, once
  for (VideoWindow* view : Views()) {
    if (!view->selected()) continue;
    VideoChild* child = view->child();
    std::shared_ptr<SyncClock> clock = child->clock();
    if (clock && !toEnd) {
      if (std::find(clocks.begin(), clocks.end(), clock.get()) == clocks.end()) {
        clock->StepFrame(delta > 0);
        clocks.push_back(clock.get());
      }
      continue;
    }
    ViewState state{};
    child->GetViewState(&state);
    int target;
    if (toEnd) {
      target = delta < 0 ? 0 : state.sliderMaximum;
    } else {
      // Stepping is frame by frame: a playing window stops first.
      child->SetMode(PlaybackMode::Pause);
      target = std::min(std::max(state.sliderPosition + delta, 0), state.sliderMaximum);
    }
    child->SetPosition(target);
    view->ShowIfPaused(target);
  }
}

bool ChildManager::HandleKey(int virtualKey) {
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (control) return false;
  switch (virtualKey) {
    case VK_SPACE: {
      // Selected windows move together: all play if all are paused, else all
      // pause.
      bool allPaused = true;
      for (VideoWindow* view : Views()) {
        if (view->selected() && view->child()->mode() != PlaybackMode::Pause) allPaused = false;
      }
      SetModeOfSelected(allPaused ? PlaybackMode::Forward : PlaybackMode::Pause);
      return true;
    }
    case VK_LEFT:
      if (shift) SetModeOfSelected(PlaybackMode::FastRewind);
      else StepSelected(-1, false);
      return true;
    case VK_RIGHT:
      if (shift) SetModeOfSelected(PlaybackMode::FastForward);
      else StepSelected(+1, false);
      return true;
    case VK_HOME:
      StepSelected(-1, true);
      return true;
    case VK_END:
      StepSelected(+1, true);
      return true;
    case 'S':
      Synchronize();
      return true;
    case 'I':
    case 'O':
      Mark(nullptr, virtualKey == 'O');
      return true;
    case 'N':
    case 'P':
      StepActivity(virtualKey == 'N' ? activity::Direction::kNext
                                     : activity::Direction::kPrevious);
      return true;
    default:
      return false;
  }
}

int ChildManager::Mark(HWND child, bool isOut) {
  for (VideoWindow* view : Views()) {
    if (child ? view->window() != child : !view->selected()) continue;
    ViewState state{};
    view->child()->GetViewState(&state);
    if (state.moment < 0) continue;
    MarkedRange::End end;
    end.moment = state.moment;
    end.folder = view->child()->folder();
    end.position = state.sliderPosition;
    marks_.Set(isOut, end, CameraOfMinute(end.folder));
    char text[32];
    FormatWallTime(state.moment, text, sizeof text);
    LogWindow::Print("Mark %s: %s (%s)", isOut ? "Out" : "In", text, end.folder.c_str());
    for (VideoWindow* other : Views()) other->Refresh();
    return 0;
  }
  MessageBeep(MB_ICONWARNING);
  return -1;
}

bool ChildManager::Command(HWND child, int id) {
  switch (id) {
    case ID_VIDEO_MARK_IN: Mark(child, false); return true;
    case ID_VIDEO_MARK_OUT: Mark(child, true); return true;
    case ID_VIDEO_EXPORT_RANGE:
      if (exportRange_) exportRange_();
      return true;
    case ID_CONTROL_NEXT_ACTIVITY:
      StepActivity(activity::Direction::kNext);
      return true;
    case ID_CONTROL_PREVIOUS_ACTIVITY:
      StepActivity(activity::Direction::kPrevious);
      return true;
  }
  return false;
}

void ChildManager::StepActivity(activity::Direction direction) {
  if (stepActivity_) stepActivity_(direction);
}

activity::Region ChildManager::SearchRegion(const std::string& camera) const {
  return regions_.Get(camera);
}

void ChildManager::SetSearchRegion(const std::string& camera, const activity::Region& region) {
  regions_.Set(camera, region);
  for (VideoWindow* view : Views()) {
    if (view->child() != nullptr && lstrcmpiA(CameraOfMinute(view->child()->folder()).c_str(),
                                              camera.c_str()) == 0)
      InvalidateRect(view->window(), nullptr, FALSE);
  }
  TellListener();
}
