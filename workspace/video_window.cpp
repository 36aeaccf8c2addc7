#include "workspace/video_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/time_stamp.h"
#include "platform/log.h"
#include "resources/resource.h"
#include "store/layout.h"
#include "workspace/arrangement.h"
#include "workspace/png_file.h"
#include "workspace/search_regions.h"

namespace {

constexpr int kTrackbarId = 30000;
constexpr int kSpacerId = 30000;
constexpr int kTimeLabelId = 30001;
constexpr UINT_PTR kTrackbarSubclassId = 1;
constexpr COLORREF kGroupedColour = RGB(150, 220, 160);
constexpr COLORREF kRegionColour = RGB(255, 210, 0);
// A drag must span this many screen pixels each way to set a region: a
// click alone is no rectangle.
constexpr int kSmallestDrag = 3;

// Small helpers over the trackbar's messages.
void setRange(HWND bar, int maximum) {
  SendMessageA(bar, TBM_SETRANGEMIN, FALSE, 0);
  SendMessageA(bar, TBM_SETRANGEMAX, TRUE, maximum);
}
void setPos(HWND bar, int position) { SendMessageA(bar, TBM_SETPOS, TRUE, position); }
// Moves the thumb, repainting only when it moves on screen: playing, it
// stays on one pixel for several frames, and each repaint of the trackbar
// costs more than decoding a small picture.
void followPos(HWND bar, int position) {
  RECT before{}, after{};
  const bool dirty = GetUpdateRect(bar, nullptr, FALSE) != FALSE;
  SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&before));
  setPos(bar, position);
  SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&after));
  if (!dirty && EqualRect(&before, &after)) ValidateRect(bar, nullptr);
}
int getPos(HWND bar) { return static_cast<int>(SendMessageA(bar, TBM_GETPOS, 0, 0)); }
int channelWidth(HWND bar) {
  RECT channel{};
  SendMessageA(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  return channel.right - channel.left;
}

void move(HWND control, const Rect& r) {
  if (control != nullptr) MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
}

LRESULT CALLBACK TrackbarSubclass(HWND bar, UINT message, WPARAM wParam,
                                  LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<VideoWindow*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(bar, TrackbarSubclass, id);
    return DefSubclassProc(bar, message, wParam, lParam);
  }
  try {
    return self->TrackbarMessage(bar, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

// The picture as it is on screen, copied out under the child's picture lock.
struct PictureCopy final : PictureSink {
  BitmapHeader header{};
  std::vector<std::uint8_t> pixels;
  int DrawPicture(const BitmapHeader& h, const std::uint8_t* p) override {
    header = h;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const std::size_t stride = (3 * static_cast<std::size_t>(h.biWidth) + 3) & ~std::size_t{3};
    pixels.assign(p, p + stride * static_cast<std::size_t>(height));
    return 0;
  }
};

void put16(std::uint8_t* p, unsigned v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bottom-up 24-bit BMP of a top-down picture, as the command-line tool's
// still command writes it. False when the file cannot be written whole.
bool writeBmp(std::FILE* f, const PictureCopy& picture) {
  const int w = picture.header.biWidth;
  const int h = picture.header.biHeight < 0 ? -picture.header.biHeight
                                            : picture.header.biHeight;
  const std::uint32_t rowBytes = static_cast<std::uint32_t>((3 * w + 3) & ~3);
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(h);
  std::uint8_t head[54] = {};
  head[0] = 'B';
  head[1] = 'M';
  put32(head + 2, 54 + imageBytes);
  put32(head + 10, 54);
  put32(head + 14, 40);
  put32(head + 18, static_cast<std::uint32_t>(w));
  put32(head + 22, static_cast<std::uint32_t>(h));
  put16(head + 26, 1);
  put16(head + 28, 24);
  put32(head + 30, 0);
  put32(head + 34, imageBytes);
  if (std::fwrite(head, 1, sizeof head, f) != sizeof head) return false;
  std::vector<std::uint8_t> row(rowBytes, 0);
  for (int y = h - 1; y >= 0; --y) {
    std::memcpy(row.data(), picture.pixels.data() + static_cast<std::size_t>(y) * rowBytes,
                static_cast<std::size_t>(3) * w);
    if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) return false;
  }
  return std::fflush(f) == 0;
}

bool writePng(std::FILE* f, const PictureCopy& picture) {
  const int w = picture.header.biWidth;
  const int h = picture.header.biHeight < 0 ? -picture.header.biHeight : picture.header.biHeight;
  std::vector<std::uint8_t> file;
  EncodePng(picture.pixels.data(), (3 * w + 3) & ~3, w, h, &file);
  return std::fwrite(file.data(), 1, file.size(), f) == file.size() && std::fflush(f) == 0;
}

struct SavePictureOptions {
  bool stamp;
};

// The Save Picture dialog's hook: sets the check box from the last choice
// and reads it back when the user saves.
UINT_PTR CALLBACK SavePictureHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* open = reinterpret_cast<OPENFILENAMEA*>(lParam);
    SetWindowLongPtrA(dialog, GWLP_USERDATA, open->lCustData);
    auto* options = reinterpret_cast<SavePictureOptions*>(open->lCustData);
    CheckDlgButton(dialog, IDC_PICTURE_STAMP, options->stamp ? BST_CHECKED : BST_UNCHECKED);
  } else if (message == WM_NOTIFY &&
             reinterpret_cast<NMHDR*>(lParam)->code == CDN_FILEOK) {
    auto* options = reinterpret_cast<SavePictureOptions*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (options) options->stamp = IsDlgButtonChecked(dialog, IDC_PICTURE_STAMP) == BST_CHECKED;
  }
  return 0;
}

bool IsPngName(const char* path) {
  const std::size_t n = std::strlen(path);
  return n >= 4 && _stricmp(path + n - 4, ".png") == 0;
}

// Burns the camera and the frame's time into the picture, as exports do;
// false when the frame's moment is not known (nothing is drawn).
bool StampPicture(PictureCopy* picture, const std::string& folder, WallTime moment) {
  if (moment < 0) return false;
  const int w = picture->header.biWidth;
  const int h = picture->header.biHeight < 0 ? -picture->header.biHeight : picture->header.biHeight;
  StampMask mask;
  RenderStamp(w, h, StampCameraName(folder.c_str()), StampTimeText(moment), &mask);
  StampBgr(picture->pixels.data(), (3 * w + 3) & ~3, mask);
  return true;
}

// The frame on show at its recorded size with its time text, as the
// command-line tool's still command decodes it, whatever size it is shown at.
bool copyShownPicture(VideoChild& child, PictureCopy* picture, ViewState* state) {
  child.GetViewState(state);
  if (child.PaintRecorded(*picture, state->timeText, sizeof state->timeText) != 0) return false;
  return picture->header.biWidth > 0 && !picture->pixels.empty();
}

// Writes through a ".part" file so that a failure leaves no half picture and
// an existing file is replaced whole. 0, or -1 (logged).
int writePictureFile(const PictureCopy& picture, const char* path) {
  if (std::strlen(path) > kMaxWrittenPathLength) {
    LogWindow::Print("Save Picture: name longer than %d characters: '%s'",
                     static_cast<int>(kMaxWrittenPathLength), path);
    return -1;
  }
  char temporary[platform::kMaxPath];
  std::snprintf(temporary, sizeof temporary, "%s%s", path, kPartSuffix);
  std::FILE* f = std::fopen(temporary, "wb");
  if (f == nullptr) {
    LogWindow::Print("Save Picture: cannot create '%s'", temporary);
    return -1;
  }
  const bool written = IsPngName(path) ? writePng(f, picture) : writeBmp(f, picture);
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary);
    LogWindow::Print("Save Picture: cannot write '%s'", path);
    return -1;
  }
  return 0;
}

}  // namespace

LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  auto* self = reinterpret_cast<VideoWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* mdi = create != nullptr
                    ? reinterpret_cast<MDICREATESTRUCTA*>(create->lpCreateParams)
                    : nullptr;
    self = mdi != nullptr ? reinterpret_cast<VideoWindow*>(mdi->lParam) : nullptr;
    if (self != nullptr) self->OnNcCreate(window);
  }
  if (message == WM_GETMINMAXINFO) {
    // The maximised child fills the workspace's client area, frame and all.
    RECT parent{};
    GetClientRect(GetParent(window), &parent);
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMaxSize.x = parent.right - parent.left;
    info->ptMaxSize.y = parent.bottom - parent.top;
    return 0;
  }
  if (self == nullptr) return DefMDIChildProcA(window, message, wParam, lParam);
  LRESULT result = 0;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    LogWindow::Print("video window: message %u failed", message);
    result = DefMDIChildProcA(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) self->OnNcDestroy();
  return result;
}

VideoWindow::VideoWindow(VideoWindowHost& host, HWND mailbox) : host_(host), mailbox_(mailbox) {}

VideoWindow::~VideoWindow() {
  // Ends and joins the playback thread first: it may still tell this view.
  child_.reset();
  if (window_ != nullptr && IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    SendMessageA(GetParent(window_), WM_MDIDESTROY, reinterpret_cast<WPARAM>(window_), 0);
  }
  if (font_ != nullptr) DeleteObject(font_);
}

void VideoWindow::Changed() {
  if (!pending_.exchange(true)) {
    if (!PostMessageA(mailbox_, kMsgViewChanged, 0, reinterpret_cast<LPARAM>(this)))
      pending_.store(false);
  }
}

void VideoWindow::ThreadEnded() {
  ended_.store(true);
  if (!PostMessageA(mailbox_, kMsgViewEnded, 0, reinterpret_cast<LPARAM>(this))) {
    // The manager's sweep of going windows finds it by the flag.
    LogWindow::Print("video window: end of playback not delivered (%lu)", GetLastError());
  }
}

void VideoWindow::Attach(std::unique_ptr<VideoChild> child) {
  child_ = std::move(child);
  if (child_) child_->SetView(this);
}

void VideoWindow::OnNcCreate(HWND window) {
  window_ = window;
  windowId_ = reinterpret_cast<std::intptr_t>(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void VideoWindow::OnNcDestroy() {
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  window_ = nullptr;
  trackbar_ = spacer_ = timeLabel_ = nullptr;
}

void VideoWindow::ForgetWindow() {
  if (window_ != nullptr && IsWindow(window_)) {
    if (trackbar_ != nullptr) RemoveWindowSubclass(trackbar_, TrackbarSubclass, kTrackbarSubclassId);
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  }
  window_ = nullptr;
  trackbar_ = spacer_ = timeLabel_ = nullptr;
}

void VideoWindow::SetTitleParts(const char* camera, const char* date, const char* folder) {
  camera_ = camera != nullptr ? camera : "";
  char folderDate[platform::kMaxPath];
  DateOfMinuteFolder(folder, folderDate, sizeof folderDate);
  folderDate_ = folderDate;
  UpdateTitle(date);
}

void VideoWindow::OpenMinute(const char* folder) {
  if (!child_ || folder == nullptr) return;
  child_->LoadFrameList(folder);
  child_->SetPosition(0);
  // A playing window's thread shows the frame; a paused one's is parked.
  ShowIfPaused(0);
  char date[platform::kMaxPath];
  DateOfMinuteFolder(folder, date, sizeof date);
  folderDate_ = date;
  UpdateTitle(date);
  Refresh();
}

void VideoWindow::UpdateTitle(const char* date) {
  char title[platform::kMaxPath];
  std::snprintf(title, sizeof title, "%s   [ %s ]", camera_.c_str(), date ? date : "");
  if (window_ != nullptr) SetWindowTextA(window_, title);
}

void VideoWindow::SetProbedSize(int width, int height) {
  probedWidth_ = width;
  probedHeight_ = height;
}

int VideoWindow::pictureWidth() const {
  const int w = child_ ? child_->pictureWidth() : 0;
  return w > 0 ? w : probedWidth_;
}

int VideoWindow::pictureHeight() const {
  const int h = child_ ? child_->pictureHeight() : 0;
  return h > 0 ? h : probedHeight_;
}

void VideoWindow::CreateStrip() {
  if (window_ == nullptr) return;
  if (trackbar_ != nullptr) {
    DestroyWindow(trackbar_);
    trackbar_ = nullptr;
  }
  if (font_ == nullptr) {
    font_ = CreateFontA(13, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 3, 2, 1, 0x12, "tahoma");
  }
  // Tahoma's " 12 : 58 : 43 07" fits 75 pixels; a substitute face may not,
  // and a static control wraps what does not fit, hiding the hundredths.
  if (HDC dc = GetDC(window_)) {
    HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SIZE text{};
    if (GetTextExtentPoint32A(dc, " 88 : 88 : 88 88", 16, &text))
      labelWidth_ = std::max(kTimeLabelWidth, static_cast<int>(text.cx) + 4);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
  }
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
  const StripLayout l = LayoutStrip(clientWidth_, clientHeight_, labelWidth_);
  trackbar_ = CreateWindowExA(0, TRACKBAR_CLASSA, "Trackbar Control",
                              WS_CHILD | WS_VISIBLE | TBS_ENABLESELRANGE | TBS_AUTOTICKS,
                              l.trackbar.x, l.trackbar.y, l.trackbar.width, l.trackbar.height,
                              window_, reinterpret_cast<HMENU>(kTrackbarId), instance, nullptr);
  if (trackbar_ != nullptr) {
    SetWindowSubclass(trackbar_, TrackbarSubclass, kTrackbarSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
    SendMessageA(trackbar_, TBM_SETPAGESIZE, 0, 1);
  }
  if (spacer_ == nullptr) {
    spacer_ = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE, l.spacer.x, l.spacer.y,
                              l.spacer.width, l.spacer.height, window_,
                              reinterpret_cast<HMENU>(kSpacerId), instance, nullptr);
  }
  if (timeLabel_ == nullptr) {
    timeLabel_ = CreateWindowExA(0, "static", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, l.timeLabel.x,
                                 l.timeLabel.y, l.timeLabel.width, l.timeLabel.height,
                                 window_, reinterpret_cast<HMENU>(kTimeLabelId), instance,
                                 nullptr);
    if (timeLabel_ != nullptr && font_ != nullptr)
      SendMessageA(timeLabel_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  shownMaximum_ = shownPosition_ = -1;
  shownText_[0] = '\0';
}

void VideoWindow::Layout(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  const StripLayout l = LayoutStrip(width, height, labelWidth_);
  if (child_) child_->SetShownSize(l.picture.width, l.picture.height);
  move(trackbar_, l.trackbar);
  if (trackbar_ != nullptr && shownMaximum_ > 0) {
    SendMessageA(trackbar_, TBM_SETTICFREQ, TickFrequency(shownMaximum_, channelWidth(trackbar_)), 0);
  }
  if (timeLabel_ != nullptr) {
    move(spacer_, l.spacer);
    move(timeLabel_, l.timeLabel);
  }
}

void VideoWindow::Refresh() {
  // Cleared before pulling: a change made during the pull rings again.
  pending_.store(false);
  if (!child_ || window_ == nullptr) return;
  ViewState state{};
  child_->GetViewState(&state);
  if (trackbar_ != nullptr) {
    if (state.sliderMaximum != shownMaximum_) {
      setRange(trackbar_, state.sliderMaximum);
      SendMessageA(trackbar_, TBM_SETTICFREQ,
                   TickFrequency(state.sliderMaximum, channelWidth(trackbar_)), 0);
      shownMaximum_ = state.sliderMaximum;
      shownPosition_ = -1;
    }
    // The user's hand holds the thumb while it presses the trackbar.
    if (pressedPosition_ < 0 && state.sliderPosition != shownPosition_) {
      followPos(trackbar_, state.sliderPosition);
      shownPosition_ = state.sliderPosition;
    }
  }
  if (state.grouped != grouped_) {
    grouped_ = state.grouped;
    if (timeLabel_ != nullptr) InvalidateRect(timeLabel_, nullptr, TRUE);
    if (spacer_ != nullptr) InvalidateRect(spacer_, nullptr, TRUE);
  }
  if (trackbar_ != nullptr) ShowMarks(child_->folder(), state.sliderMaximum);
  state.timeText[sizeof state.timeText - 1] = '\0';
  if (timeLabel_ != nullptr && std::strcmp(state.timeText, shownText_) != 0) {
    SetWindowTextA(timeLabel_, state.timeText);
    std::memcpy(shownText_, state.timeText, sizeof shownText_);
  }
  if (state.pictureSerial != shownSerial_) {
    shownSerial_ = state.pictureSerial;
    const StripLayout l = LayoutStrip(clientWidth_, clientHeight_, labelWidth_);
    RECT picture{0, 0, l.picture.width, l.picture.height};
    InvalidateRect(window_, &picture, FALSE);
    // Playing on through midnight: the title names the date being played.
    char date[platform::kMaxPath];
    DateOfMinuteFolder(child_->folder().c_str(), date, sizeof date);
    if (date[0] != '\0' && folderDate_ != date) {
      folderDate_ = date;
      UpdateTitle(date);
    }
  }
  // Drawn now, strip and all. Left to WM_PAINT, which comes only when no
  // posted message waits, the pictures of many playing windows queue behind
  // each other's notifications and most of them never reach the screen.
  RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void VideoWindow::SetSelected(bool on) {
  selected_ = on;
  if (window_ != nullptr) SendMessageA(window_, WM_NCPAINT, 1, 0);
}

void VideoWindow::HoldThumb(int index) {
  pressedPosition_ = index;
  shownPosition_ = index;
  if (child_) child_->Hold(index);
  ShowIfPaused(index);
}

void VideoWindow::EndPress() {
  const int pressed = pressedPosition_;
  pressedPosition_ = -1;
  if (pressed < 0) return;  // not pressed here: a bare release moves nothing
  if (child_) child_->SetPosition(pressed);
  shownPosition_ = -1;  // the thumb follows the picture again from the next change
}

void VideoWindow::ShowIfPaused(int index) {
  if (child_ && child_->mode() == PlaybackMode::Pause) child_->ShowFrame(index);
}

int VideoWindow::SavePicture(const char* path, bool stamp) {
  if (!child_ || path == nullptr) return -1;
  PictureCopy picture;
  ViewState state{};
  if (!copyShownPicture(*child_, &picture, &state)) {
    LogWindow::Print("Save Picture: no picture to save for '%s'", path);
    return -1;
  }
  if (stamp && !StampPicture(&picture, child_->folder(), state.moment))
    LogWindow::Print("Save Picture: the frame's time is not known; saved without a stamp");
  return writePictureFile(picture, path);
}

void VideoWindow::SavePictureWithDialog() {
  if (!child_ || window_ == nullptr) return;
  // The frame on screen now, not the one playing on behind the dialog.
  PictureCopy picture;
  ViewState state{};
  if (!copyShownPicture(*child_, &picture, &state)) {
    LogWindow::Print("Save Picture: no picture to save");
    return;
  }
  char date[platform::kMaxPath];
  DateOfMinuteFolder(child_->folder().c_str(), date, sizeof date);
  char file[MAX_PATH];
  PictureFileName(child_->cameraName(), date, state.timeText, file, sizeof file);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = "Bitmap (*.bmp)\0*.bmp\0PNG picture (*.png)\0*.png\0";
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrDefExt = "bmp";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  // The "Time stamp" box under the standard controls (template hook); the
  // choice is kept for the next picture.
  static bool stampChosen = false;
  SavePictureOptions options{stampChosen};
  dialog.Flags |= OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
  dialog.hInstance = GetModuleHandleA(nullptr);
  dialog.lpTemplateName = MAKEINTRESOURCEA(IDD_SAVE_PICTURE_STAMP);
  dialog.lpfnHook = SavePictureHook;
  dialog.lCustData = reinterpret_cast<LPARAM>(&options);
  if (!GetSaveFileNameA(&dialog)) return;
  stampChosen = options.stamp;
  // The type chosen names the file when the name typed has no extension.
  if (dialog.nFilterIndex == 2 && !IsPngName(file) && dialog.nFileExtension > 0 &&
      _stricmp(file + dialog.nFileExtension, "bmp") == 0)
    std::memcpy(file + dialog.nFileExtension, "png", 3);
  if (options.stamp && !StampPicture(&picture, child_->folder(), state.moment))
    LogWindow::Print("Save Picture: the frame's time is not known; saved without a stamp");
  writePictureFile(picture, file);
}

void VideoWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  if (dc != nullptr) {
    const int saved = SaveDC(dc);
    if (host_.Halftone()) {
      SetStretchBltMode(dc, HALFTONE);
      SetBrushOrgEx(dc, 0, 0, nullptr);
    }
    const Rect area = LayoutStrip(clientWidth_, clientHeight_, labelWidth_).picture;
    drawRect_ = PictureRect(area, pictureWidth(), pictureHeight(), host_.Stretch());
    paintDc_ = dc;
    drew_ = false;
    // Drawn only when the sink drew: a published picture may be empty (a
    // 0-byte first frame), and its area is then painted black all the same.
    ViewState state{};
    if (child_) {
      child_->GetViewState(&state);
      if (child_->Paint(*this) == 0 && drew_) ++paints_;
    }
    paintDc_ = nullptr;
    // Black around the picture (the bars), or over the area where none is.
    if (drew_)
      ExcludeClipRect(dc, drawRect_.x, drawRect_.y, drawRect_.x + drawRect_.width,
                      drawRect_.y + drawRect_.height);
    RECT picture{area.x, area.y, area.x + area.width, area.y + area.height};
    FillRect(dc, &picture, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RestoreDC(dc, saved);
    if (drew_ && state.noRecording) DrawNoRecording(dc, state.timeText);
    DrawRegion(dc);
  }
  EndPaint(window_, &ps);
}

Rect VideoWindow::PictureArea() const {
  const Rect area = LayoutStrip(clientWidth_, clientHeight_, labelWidth_).picture;
  return PictureRect(area, pictureWidth(), pictureHeight(), host_.Stretch());
}

std::string VideoWindow::Camera() const {
  return child_ ? CameraOfMinute(child_->folder()) : std::string();
}

void VideoWindow::DrawRegion(HDC dc) {
  Rect r{};
  int thickness = 2;
  if (regionDrag_ == RegionDrag::kDragging) {
    r = {std::min(dragFrom_.x, dragTo_.x), std::min(dragFrom_.y, dragTo_.y),
         std::abs(dragTo_.x - dragFrom_.x), std::abs(dragTo_.y - dragFrom_.y)};
    thickness = 1;
  } else {
    const activity::Region region = host_.SearchRegion(Camera());
    if (region.empty()) return;
    r = ShownRegion(drawRect_, pictureWidth(), pictureHeight(), region);
  }
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, drawRect_.x, drawRect_.y, drawRect_.x + drawRect_.width,
                    drawRect_.y + drawRect_.height);
  // Four bars, not a pen: nothing to select and delete at every picture.
  SetBkColor(dc, kRegionColour);
  const int right = r.x + std::max(r.width, thickness), bottom = r.y + std::max(r.height, thickness);
  const RECT bars[4] = {{r.x, r.y, right, r.y + thickness},
                        {r.x, bottom - thickness, right, bottom},
                        {r.x, r.y, r.x + thickness, bottom},
                        {right - thickness, r.y, right, bottom}};
  for (const RECT& bar : bars) ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
  RestoreDC(dc, saved);
}

void VideoWindow::ArmRegionDrag() {
  if (window_ == nullptr) return;
  regionDrag_ = RegionDrag::kArmed;
  SetFocus(window_);  // for Escape
  LogWindow::Print("Set Search Region: drag a rectangle on the picture (Escape cancels)");
}

void VideoWindow::EndRegionDrag(bool commit) {
  const bool dragged = regionDrag_ == RegionDrag::kDragging;
  regionDrag_ = RegionDrag::kNone;
  if (GetCapture() == window_) ReleaseCapture();  // its message finds the drag over
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
  const bool large = std::abs(dragTo_.x - dragFrom_.x) >= kSmallestDrag &&
                     std::abs(dragTo_.y - dragFrom_.y) >= kSmallestDrag;
  const activity::Region region =
      dragged && commit && large
          ? RegionOfDrag(drawRect_, pictureWidth(), pictureHeight(), dragFrom_.x, dragFrom_.y,
                         dragTo_.x, dragTo_.y)
          : activity::Region{};
  if (region.empty()) {
    LogWindow::Print("Set Search Region: cancelled");
    return;
  }
  const std::string camera = Camera();
  LogWindow::Print("Search region of '%s': %s", camera.c_str(), FormatRegion(region).c_str());
  host_.SetSearchRegion(camera, region);
}

bool VideoWindow::RegionMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (regionDrag_ == RegionDrag::kNone) return false;
  const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_LBUTTONDOWN: {
      drawRect_ = PictureArea();
      const RECT picture{drawRect_.x, drawRect_.y, drawRect_.x + drawRect_.width,
                         drawRect_.y + drawRect_.height};
      if (!PtInRect(&picture, at)) return false;  // a click elsewhere: as ever
      host_.Select(window_, (wParam & MK_CONTROL) == 0);
      SetFocus(window_);
      regionDrag_ = RegionDrag::kDragging;
      dragFrom_ = dragTo_ = at;
      SetCapture(window_);
      return true;
    }
    case WM_MOUSEMOVE:
      if (regionDrag_ != RegionDrag::kDragging) return false;
      dragTo_ = at;
      InvalidateRect(window_, nullptr, FALSE);
      return true;
    case WM_LBUTTONUP:
      if (regionDrag_ != RegionDrag::kDragging) return false;
      dragTo_ = at;
      EndRegionDrag(true);
      return true;
    case WM_KEYDOWN:
      if (wParam != VK_ESCAPE) return false;
      EndRegionDrag(false);
      return true;
    case WM_CAPTURECHANGED:
      // Another window took the mouse: no release will come.
      if (regionDrag_ == RegionDrag::kDragging && reinterpret_cast<HWND>(lParam) != window_)
        EndRegionDrag(false);
      return false;
    case WM_SETCURSOR:
      if (LOWORD(lParam) != HTCLIENT) return false;
      SetCursor(LoadCursorA(nullptr, IDC_CROSS));
      return true;
    default:
      return false;
  }
}

// The black picture of a moment with nothing recorded says so, with the
// moment's time text (the strip's label shows it too).
void VideoWindow::DrawNoRecording(HDC dc, const char* timeText) {
  const StripLayout l = LayoutStrip(clientWidth_, clientHeight_, labelWidth_);
  RECT upper{0, 0, l.picture.width, l.picture.height / 2};
  RECT lower{0, l.picture.height / 2, l.picture.width, l.picture.height};
  HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  DrawTextA(dc, "No recording", -1, &upper, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
  DrawTextA(dc, timeText, -1, &lower, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

int VideoWindow::DrawPicture(const BitmapHeader& header, const std::uint8_t* pixels) {
  if (paintDc_ == nullptr) {
    LogWindow::Print("Not available child");
    return -1;
  }
  const int sourceHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  const int drawn = StretchDIBits(paintDc_, drawRect_.x, drawRect_.y, drawRect_.width,
                                  drawRect_.height, 0, 0, header.biWidth, sourceHeight, pixels,
                                  reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                  SRCCOPY);
  if (drawn == static_cast<int>(GDI_ERROR)) {
    LogWindow::Print("StretchDIBits failed (errno): %lu", GetLastError());
    return -1;
  }
  drew_ = true;
  return 0;
}

void VideoWindow::DrawSelectionBorder() {
  HDC dc = GetWindowDC(window_);
  if (dc == nullptr) return;
  RECT r{};
  GetWindowRect(window_, &r);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  HPEN pen = CreatePen(PS_SOLID, GetSystemMetrics(SM_CXEDGE), RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(dc, pen);
  const POINT line[5] = {{1, 1}, {w - 1, 1}, {w - 1, h - 1}, {1, h - 1}, {1, 1}};
  Polyline(dc, line, 5);
  SelectObject(dc, old);
  DeleteObject(pen);
  ReleaseDC(window_, dc);
}

LRESULT VideoWindow::TrackbarMessage(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      DefSubclassProc(bar, message, wParam, lParam);
      RECT channel{};
      SendMessageA(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
      const int maximum = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0));
      const int p = TrackbarClickPosition(static_cast<short>(LOWORD(lParam)), channel.left,
                                          channel.right, maximum);
      setPos(bar, p);
      HoldThumb(p);
      return 0;
    }
    case WM_LBUTTONUP: {
      // The trackbar's own end of a drag (thumb position, end of track) first.
      const LRESULT r = DefSubclassProc(bar, message, wParam, lParam);
      EndPress();
      return r;
    }
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a dialog, a menu, a task switch): no
      // release will come, so the press ends here, where it was.
      if (reinterpret_cast<HWND>(lParam) != bar) EndPress();
      break;
    case WM_KEYDOWN:
      // The window's keys, not the trackbar's own line and page moves.
      if (host_.HandleKey(static_cast<int>(wParam))) return 0;
      break;
    default:
      break;
  }
  return DefSubclassProc(bar, message, wParam, lParam);
}

LRESULT VideoWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND h = window_;
  if (RegionMessage(message, wParam, lParam)) return message == WM_SETCURSOR ? TRUE : 0;
  switch (message) {
    case WM_DESTROY:
      host_.RequestUnload(h);
      break;
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the picture and the strip cover the client area
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if (IsZoomed(h) && (pos->x < 0 || pos->y < 0)) {
        RECT parent{};
        GetClientRect(GetParent(h), &parent);
        pos->x = 0;
        pos->y = 0;
        pos->cx = parent.right - parent.left;
        pos->cy = parent.bottom - parent.top;
      }
      return 0;
    }
    case WM_CONTEXTMENU: {
      int x = static_cast<short>(LOWORD(lParam));
      int y = static_cast<short>(HIWORD(lParam));
      if (x == -1 && y == -1) {  // from the keyboard: at the window's corner
        POINT corner{0, 0};
        ClientToScreen(h, &corner);
        x = corner.x;
        y = corner.y;
      }
      host_.ShowContextMenu(h, x, y);
      return 0;
    }
    case WM_NCPAINT: {
      const LRESULT r = DefMDIChildProcA(h, message, wParam, lParam);
      if (selected()) DrawSelectionBorder();
      return r;
    }
    case WM_NCACTIVATE:
      return 0;
    case WM_CTLCOLORSTATIC:
      // The strip's mark of a window that plays on a group's clock.
      if (grouped_ && (reinterpret_cast<HWND>(lParam) == timeLabel_ ||
                       reinterpret_cast<HWND>(lParam) == spacer_)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, kGroupedColour);
        SetDCBrushColor(dc, kGroupedColour);
        return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
      }
      break;
    case WM_COMMAND:
      if (!child_) return 0;
      switch (LOWORD(wParam)) {
        case ID_VIDEO_FAST_REWIND: child_->SetMode(PlaybackMode::FastRewind); break;
        case ID_VIDEO_REWIND: child_->SetMode(PlaybackMode::Rewind); break;
        case ID_VIDEO_FORWARD: child_->SetMode(PlaybackMode::Forward); break;
        case ID_VIDEO_FAST_FORWARD: child_->SetMode(PlaybackMode::FastForward); break;
        case ID_VIDEO_PAUSE: child_->SetMode(PlaybackMode::Pause); break;
        case ID_VIDEO_PLAY_CONTINUOUSLY: child_->TogglePlayContinuously(); break;
        case ID_VIDEO_HALF_SIZE: host_.SetSize(SizeMode::Half); break;
        case ID_VIDEO_ORIGINAL_SIZE: host_.SetSize(SizeMode::Original); break;
        case ID_VIDEO_DOUBLE_SIZE: host_.SetSize(SizeMode::Double); break;
        case ID_VIDEO_FIT_SIZE: host_.SetSize(SizeMode::Fit); break;
        case kCmdSavePicture: SavePictureWithDialog(); return 0;
        case ID_CONTROL_SYNCHRONIZE: host_.Synchronize(); return 0;
        case ID_VIDEO_SET_SEARCH_REGION: ArmRegionDrag(); return 0;
        case ID_VIDEO_CLEAR_SEARCH_REGION:
          LogWindow::Print("Search region of '%s' cleared", Camera().c_str());
          host_.SetSearchRegion(Camera(), {});
          return 0;
        default:
          if (host_.Command(h, LOWORD(wParam))) return 0;
          break;
      }
      break;
    case WM_HSCROLL: {
      // Every move of the thumb moves the picture with it. While the thumb
      // is held (pressed or dragged) the picture stands under it; the end
      // of the drag lets playing go on from the frame it ended on.
      if (!child_ || trackbar_ == nullptr || reinterpret_cast<HWND>(lParam) != trackbar_) break;
      const int code = LOWORD(wParam);
      const int p = getPos(trackbar_);
      const bool ends = code == TB_THUMBPOSITION || code == TB_ENDTRACK;
      if (code == TB_THUMBTRACK || (pressedPosition_ >= 0 && !ends)) {
        HoldThumb(p);
      } else if (pressedPosition_ >= 0) {
        pressedPosition_ = p;
        EndPress();
      } else if (code != TB_ENDTRACK) {  // keys: line, page, top, bottom
        child_->SetPosition(p);
        shownPosition_ = p;
        ShowIfPaused(p);
      }
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      host_.Select(h, (wParam & MK_CONTROL) == 0);
      // The keys (Space, arrows, Home, End) follow the click, not the tree.
      SetFocus(h);
      break;
    case WM_KEYDOWN:
      if (host_.HandleKey(static_cast<int>(wParam))) return 0;
      break;
    default:
      break;
  }
  return DefMDIChildProcA(h, message, wParam, lParam);
}

void VideoWindow::ShowMarks(const std::string& folder, int maximum) {
  int span[2] = {-1, -1};
  const MarkedRange* marks = host_.Marks();
  if (marks && !MarkedSpan(*marks, folder, maximum, &span[0], &span[1])) span[0] = span[1] = -1;
  if (span[0] == shownMarks_[0] && span[1] == shownMarks_[1]) return;
  shownMarks_[0] = span[0];
  shownMarks_[1] = span[1];
  if (span[0] < 0)
    SendMessageA(trackbar_, TBM_CLEARSEL, TRUE, 0);
  else
    SendMessageA(trackbar_, TBM_SETSEL, TRUE, MAKELPARAM(span[0], span[1]));
}
