#include "tree/folder_tree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/log.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "resources/resource.h"
#include "store/layout.h"
#include "tree/browse_folder.h"

namespace {

constexpr char kClassName[] = "ORVTREEVIEW";
constexpr char kRegistryKey[] = "Software\\VELMORA\\Orvanel";
constexpr char kRootListValue[] = "ROOTLIST";
constexpr char kRootSelectValue[] = "ROOTSELECT";
constexpr DWORD kRootListBytes = 4096;
constexpr char kBrowseTitle[] = "Select folder to be root of backup folder";
constexpr int kDateTextSize = 12;  // the date text is cut to 11 characters
constexpr UINT kThawMessage = WM_APP + 1;

int g_liveRecords = 0;

bool EndsWithBackslash(const char* text) {
  const std::size_t n = std::strlen(text);
  return n > 0 && text[n - 1] == '\\';
}

// A path on a CD-ROM drive ("X:..." whose drive is one). UNC paths are not.
bool OnCdromDrive(const char* path) {
  if (path[0] == '\0' || path[1] != ':') return false;
  const char drive[4] = {path[0], ':', '\\', '\0'};
  return GetDriveTypeA(drive) == DRIVE_CDROM;
}

LRESULT CALLBACK FolderTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<FolderTree*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<FolderTree*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  try {
    const LRESULT result = self->WndProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return result;
  } catch (...) {
    LogWindow::Print("Folder tree: message %u failed.", message);
    return DefWindowProcA(window, message, wParam, lParam);
  }
}

HIMAGELIST IconDragImage(HIMAGELIST icons, int image) {
  HICON icon = icons != nullptr ? ImageList_GetIcon(icons, image, ILD_NORMAL) : nullptr;
  if (icon == nullptr) return nullptr;
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 0);
  if (list != nullptr && ImageList_ReplaceIcon(list, -1, icon) < 0) {
    ImageList_Destroy(list);
    list = nullptr;
  }
  DestroyIcon(icon);
  return list;
}

}  // namespace

FolderTree::FolderTree() = default;

FolderTree::~FolderTree() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

void FolderTree::SetMinuteOpener(MinuteOpener opener) { opener_ = std::move(opener); }

void FolderTree::SetDropTarget(FolderDropTarget* target) { dropTarget_ = target; }

int FolderTree::LiveRecords() { return g_liveRecords; }

int FolderTree::Create(HINSTANCE instance, HWND parent, int height, int top) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_USEREX_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = FolderTreeProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    LogWindow::Print("Folder tree: class not registered (error %lu).", GetLastError());
    return 0;
  }

  if (height > 0) height_ = height;
  window_ = CreateWindowExA(0, kClassName, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                            0, top, width_, height_, parent, nullptr,
                            instance, this);
  if (window_ == nullptr) {
    LogWindow::Print("Folder tree: panel not created (error %lu).", GetLastError());
    return 0;
  }

  selector_ = CreateWindowExA(0, WC_COMBOBOXEXA, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | WS_CLIPCHILDREN,
                              0, 0, 10, 100, window_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ROOT_SELECTOR)),
                              instance, nullptr);
  RECT r{};
  if (selector_ != nullptr && GetWindowRect(selector_, &r)) selectorHeight_ = r.bottom - r.top;

  button_ = CreateWindowExA(0, "button", "?", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                            selectorHeight_, selectorHeight_, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BROWSE_ROOT)),
                            instance, nullptr);

  tree_ = CreateWindowExA(0, WC_TREEVIEWA, nullptr,
                          WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                              TVS_LINESATROOT,
                          0, selectorHeight_, 200, 500, window_, nullptr, instance, nullptr);

  images_ = ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, 7, 1);
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_TREE_IMAGES), IMAGE_BITMAP, 0, 0, 0));
  if (images_ != nullptr && bitmap != nullptr) {
    // The mask colour is the bitmap's top-left pixel.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF mask = GetPixel(dc, 0, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    ImageList_AddMasked(images_, bitmap, mask);
  } else {
    LogWindow::Print("Folder tree: bitmap %d missing; items show no icons.", IDB_TREE_IMAGES);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (tree_ != nullptr) SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_));
  if (selector_ != nullptr) SendMessageA(selector_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));

  Resize(width_, height_);
  LoadRootList();
  return 1;
}

int FolderTree::Resize(int width, int height) {
  if (width > 0) width_ = width;
  if (height > 0) height_ = height;
  if (window_ == nullptr) return 1;
  const int h = selectorHeight_;
  SetWindowPos(window_, nullptr, 0, 0, width_, height_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  HDWP moves = BeginDeferWindowPos(3);
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (moves && selector_)
    moves = DeferWindowPos(moves, selector_, nullptr, 0, 0, std::max(0, width_ - h), h, flags | SWP_NOMOVE);
  if (moves && button_)
    moves = DeferWindowPos(moves, button_, nullptr, width_ - h, 0, 0, 0, flags | SWP_NOSIZE);
  if (moves && tree_)
    moves = DeferWindowPos(moves, tree_, nullptr, 0, h, width_, std::max(0, height_ - h), flags);
  if (moves) EndDeferWindowPos(moves);
  return 1;
}

HTREEITEM FolderTree::InsertChild(HTREEITEM parent, const char* text, const FolderItem& record,
                                  int image, int selectedImage, bool hasChildren) {
  auto* owned = new FolderItem(record);
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = parent == TVI_ROOT ? TVI_SORT : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.cChildren = hasChildren ? 1 : 0;
  insert.item.lParam = reinterpret_cast<LPARAM>(owned);
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (item == nullptr) {
    delete owned;
    return nullptr;
  }
  ++g_liveRecords;  // from now on TVN_DELETEITEM frees it
  return item;
}

bool FolderTree::ItemText(HTREEITEM item, char* text, int size) const {
  text[0] = '\0';
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = size;
  const bool ok = SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
  text[size - 1] = '\0';
  return ok;
}

namespace {
FolderItem* RecordOf(HWND tree, HTREEITEM item) {
  if (item == nullptr) return nullptr;
  TVITEMA tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
  return reinterpret_cast<FolderItem*>(tv.lParam);
}

HTREEITEM Parent(HWND tree, HTREEITEM item) {
  return item ? reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT,
                                                         reinterpret_cast<LPARAM>(item)))
              : nullptr;
}

HTREEITEM FirstChild(HWND tree, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

// Whether a minute folder (no trailing backslash) holds a frame file.
bool HasFrameFile(const std::string& folder) {
  const std::string pattern = folder + "\\*";
  if (pattern.size() >= MAX_PATH) return false;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    found = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            platform::MatchWildcard("*.jpg", data.cFileName);
  } while (!found && FindNextFileA(h, &data));
  FindClose(h);
  return found;
}
}  // namespace

int FolderTree::SetRoot(const char* root) {
  if (root == nullptr) return 0;
  const std::size_t length = std::strlen(root);
  const bool slash = EndsWithBackslash(root);
  if (length == 0 || length + (slash ? 0 : 1) >= MAX_PATH) {
    LogWindow::Print("Backup root refused (empty or longer than %d characters): %.259s",
                     MAX_PATH - 2, root);
    return 0;
  }
  if (tree_ == nullptr) return 0;
  FreezeTree();
  SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  cdrom_ = OnCdromDrive(root);

  FolderItem record{};
  std::memcpy(record.path, root, length + 1);
  if (!slash) std::memcpy(record.path + length, "\\", 2);
  record.level = 1;
  record.reserved = 0;
  const int image = cdrom_ ? kCdromImage : kClosedFolderImage;
  const int selected = cdrom_ ? kCdromImage : kOpenFolderImage;
  // A root that cannot be listed (a disk taken out) shows without children.
  InsertChild(TVI_ROOT, root, record, image, selected, HasEntries(record.path, false));
  ThawTree();

  const int count = static_cast<int>(SendMessageA(selector_, CB_GETCOUNT, 0, 0));
  char text[MAX_PATH];
  for (int i = count - 1; i >= 0; --i) {
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = i;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (SendMessageA(selector_, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
        std::strcmp(text, record.path) == 0) {
      SendMessageA(selector_, CB_SETCURSEL, i, 0);
      return 1;
    }
  }
  const int added = AddRootChoice(record.path, image);
  if (added >= 0) SendMessageA(selector_, CB_SETCURSEL, added, 0);
  return 1;
}

// The default WM_SETREDRAW only clears the visible bit, without the
// tree's own handler, which recomputes and repaints its scroll bars at
// once. The posted message thaws a tree whose change ended unseen.
void FolderTree::FreezeTree() {
  if (tree_ == nullptr || frozen_) return;
  if ((GetWindowLongPtrA(tree_, GWL_STYLE) & WS_VISIBLE) == 0) return;
  frozen_ = true;
  DefWindowProcA(tree_, WM_SETREDRAW, FALSE, 0);
  PostMessageA(window_, kThawMessage, 0, 0);
}

void FolderTree::ThawTree() {
  if (!frozen_) return;
  frozen_ = false;
  if (tree_ == nullptr) return;
  DefWindowProcA(tree_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(tree_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

int FolderTree::AddRootChoice(const char* text, int image) {
  COMBOBOXEXITEMA item{};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = -1;  // at the end
  item.pszText = const_cast<char*>(text);
  item.iImage = image;
  item.iSelectedImage = image == kCdromImage ? kCdromImage : kOpenFolderImage;
  return static_cast<int>(SendMessageA(selector_, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

int FolderTree::Populate(HTREEITEM item) {
  if (FirstChild(tree_, item) != nullptr) return 0;
  FolderItem* record = RecordOf(tree_, item);
  if (record == nullptr) return 0;
  if (record->level < 1 || record->level > 4) return 1;
  const int level = record->level + 1;
  std::vector<std::string> names;
  if (ListChildren(record->path, names, level) == 0) {
    // Emptied, vanished or unreadable since it was listed: no expand button.
    TVITEMA tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = 0;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return 1;
  }
  FolderItem child{};
  child.level = level;
  const std::size_t base = std::strlen(record->path);
  for (const std::string& name : names) {
    // ListChildren only gives names whose path fits.
    std::memcpy(child.path, record->path, base);
    std::memcpy(child.path + base, name.c_str(), name.size());
    std::memcpy(child.path + base + name.size(), "\\", 2);
    InsertChild(item, name.c_str(), child, kClosedFolderImage, kOpenFolderImage, level < 5);
  }
  return 1;
}

int FolderTree::ListChildren(const char* folder, std::vector<std::string>& names, int level) {
  names.clear();
  std::string dir(folder);
  if (!dir.empty() && dir.back() == '\\') dir.pop_back();
  std::vector<platform::DirEntry> entries;
  int error = 0;
  if (platform::ListDirectory(dir.c_str(), "*", entries, &error) != 0) {
    if (error != platform::kErrorFileNotFound)
      LogWindow::Print("Cannot list %s (error %d).", folder, error);
    return 0;
  }
  const std::size_t base = std::strlen(folder);
  for (const platform::DirEntry& entry : entries) {
    const std::string& name = entry.name;
    if (name.empty() || name[0] == '.' || !IsValidLevelName(name.c_str(), level)) continue;
    // Characters outside the code page come back as '?': such a name cannot
    // be opened again through the ANSI calls.
    if (name.find_first_of("?*") != std::string::npos) {
      LogWindow::Print("Skipped %s%s: name outside the code page.", folder, name.c_str());
      continue;
    }
    if (base + name.size() + 1 > kLongestPath) {
      LogWindow::Print("Skipped %s%s: path longer than %d characters.", folder, name.c_str(),
                       static_cast<int>(kLongestPath));
      continue;
    }
    if (level == 5 && base + name.size() > kMaxMinuteFolderLength) {
      // The reason first: a line this long is cut.
      LogWindow::Print("Minute skipped: longer than %d characters, it cannot be opened (its "
                       "frames' paths would pass %d): %s%s", static_cast<int>(kMaxMinuteFolderLength),
                       static_cast<int>(kLongestPath), folder, name.c_str());
      continue;
    }
    names.push_back(name);
  }
  return static_cast<int>(names.size());
}

bool FolderTree::HasEntries(const char* folder, bool wantFiles) {
  const std::string pattern = std::string(folder) + "*.*";
  if (pattern.size() >= MAX_PATH) return false;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  do {
    if (data.cFileName[0] == '.') continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    found = isFolder != wantFiles;
  } while (!found && FindNextFileA(h, &data));
  FindClose(h);
  return found;
}

void FolderTree::OpenItemAtCursor() {
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(tree_, &hit.pt);
  SendMessageA(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (hit.hItem == nullptr || (hit.flags & TVHT_ONITEM) == 0) return;
  const FolderItem* record = RecordOf(tree_, hit.hItem);
  if (record == nullptr || record->level != 5) return;

  HTREEITEM hour = Parent(tree_, hit.hItem);
  HTREEITEM date = Parent(tree_, hour);
  HTREEITEM camera = Parent(tree_, date);
  HTREEITEM top = Parent(tree_, camera);
  char dateText[kDateTextSize];
  char cameraText[MAX_PATH];
  char rootText[MAX_PATH];
  if (top == nullptr || !ItemText(date, dateText, sizeof dateText) ||
      !ItemText(camera, cameraText, sizeof cameraText) ||
      !ItemText(top, rootText, sizeof rootText))
    return;
  char cameraName[MAX_PATH];
  if (!CameraName(rootText, cameraText, cameraName, sizeof cameraName))
    LogWindow::Print("Camera name cut to %d characters: %s", MAX_PATH - 1, cameraName);

  std::string folder(record->path);
  folder.pop_back();
  if (!HasFrameFile(folder)) {
    // An empty (or vanished) minute would open a black window that never
    // plays; open nothing instead.
    LogWindow::Print("Minute folder %s holds no frames; nothing opened.", folder.c_str());
    return;
  }
  if (opener_) opener_(folder.c_str(), dateText, cameraName);
}

int FolderTree::BeginDrag(const NMTREEVIEWA* notify) {
  if (notify == nullptr || tree_ == nullptr || dragging()) return 1;
  HTREEITEM item = notify->itemNew.hItem;
  auto images = reinterpret_cast<HIMAGELIST>(
      SendMessageA(tree_, TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(item)));
  if (images != nullptr && ImageList_GetImageCount(images) == 0) {
    // Wine's tree makes the list but leaves it empty (its picture comes out
    // narrower than the list's images): the item's icon is dragged instead.
    ImageList_Destroy(images);
    TVITEMA tv{};
    tv.mask = TVIF_IMAGE;
    tv.hItem = item;
    images = SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv))
                 ? IconDragImage(images_, tv.iImage)
                 : nullptr;
  }
  if (images == nullptr) return 1;  // no image, no drag
  if (!ImageList_BeginDrag(images, 0, 0, 10)) {
    ImageList_Destroy(images);
    return 1;
  }
  dragImages_ = images;
  dragged_ = item;
  POINT at = notify->ptDrag;
  ClientToScreen(tree_, &at);
  ImageList_DragEnter(nullptr, at.x, at.y);
  SetCapture(window_);
  return 1;
}

int FolderTree::DragMove(int x, int y) {
  if (!dragging()) return 1;
  POINT at{x, y};
  ClientToScreen(window_, &at);
  ImageList_DragMove(at.x, at.y);
  return 1;
}

int FolderTree::EndDrag(int x, int y) {
  if (!dragging()) return 1;
  HTREEITEM item = dragged_;
  StopDrag();
  POINT at{x, y};
  ClientToScreen(window_, &at);
  if (dropTarget_ != nullptr && dropTarget_->IsDropPoint(at) && RecordOf(tree_, item) != nullptr)
    AddToExport(item);
  return 1;
}

void FolderTree::StopDrag() {
  if (!dragging()) return;
  // Idle before the capture goes: its loss then cancels nothing.
  HIMAGELIST images = dragImages_;
  dragImages_ = nullptr;
  dragged_ = nullptr;
  ImageList_DragLeave(nullptr);
  ImageList_EndDrag();
  ImageList_Destroy(images);
  if (GetCapture() == window_) ReleaseCapture();
  // Shown, without raising the count of a cursor shown already.
  if (ShowCursor(TRUE) > 0) ShowCursor(FALSE);
}

bool FolderTree::AddToExport(HTREEITEM item) {
  const FolderItem* record = RecordOf(tree_, item);
  if (record == nullptr || record->level <= 1) return false;  // not the root
  // A minute listed already is passed over, as users expect when they drop
  // an hour after one of its minutes; only a dialog that takes nothing more
  // (hidden, or an export started) ends the walk.
  if (dropTarget_ == nullptr || !dropTarget_->TakesFolders()) return false;
  if (record->level == 5) {
    dropTarget_->AddDroppedFolder(record->path);
    return true;
  }
  const UINT state = static_cast<UINT>(
      SendMessageA(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDEDONCE));
  if ((state & TVIS_EXPANDEDONCE) == 0) {
    // Lists it; one the user expanded before keeps its state.
    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    SendMessageA(tree_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
  }
  HTREEITEM child = FirstChild(tree_, item);
  // An empty, vanished or unreadable folder holds nothing to add; the
  // folders after it still count.
  if (child == nullptr) LogWindow::Print("Nothing to export below %s.", record->path);
  for (; child != nullptr; child = reinterpret_cast<HTREEITEM>(SendMessageA(
                               tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
    if (!AddToExport(child)) return false;
  }
  return true;
}

int FolderTree::Refresh() {
  if (tree_ == nullptr) return 0;
  auto top = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  if (top == nullptr) return 0;
  char text[MAX_PATH];
  if (!ItemText(top, text, sizeof text)) return 0;
  return SetRoot(text);
}

int FolderTree::BrowseForRoot() {
  char path[MAX_PATH];
  if (!BrowseForFolder(nullptr, kBrowseTitle, path, sizeof path)) return 0;
  SetRoot(path);
  SaveRootList();
  return 1;
}

int FolderTree::LoadRootList() {
  // A value of the wrong type or size counts as missing (the reader says so).
  std::vector<char> list;
  if (!registry::ReadTextList(kRegistryKey, kRootListValue, kRootListBytes, &list)) return 0;
  char selected[MAX_PATH];
  bool haveSelected = registry::ReadText(kRegistryKey, kRootSelectValue, selected, sizeof selected);
  const DWORD size = static_cast<DWORD>(list.size());

  if (selector_ != nullptr) SendMessageA(selector_, CB_RESETCONTENT, 0, 0);
  const char* p = list.data();
  const char* end = p + size;
  bool first = true;
  while (p < end && *p != '\0') {
    const std::size_t n = strnlen(p, static_cast<std::size_t>(end - p));
    const std::string root(p, n);
    p += n + 1;
    if (!haveSelected && first) {
      std::memcpy(selected, root.c_str(), std::min(root.size(), sizeof selected - 1));
      selected[std::min(root.size(), sizeof selected - 1)] = '\0';
      haveSelected = true;
    }
    first = false;
    if (root.size() >= MAX_PATH) {
      LogWindow::Print("ROOTLIST entry longer than %d characters skipped.", MAX_PATH - 1);
      continue;
    }
    if (root == selected)
      SetRoot(root.c_str());
    else
      AddRootChoice(root.c_str(), OnCdromDrive(root.c_str()) ? kCdromImage : kClosedFolderImage);
  }
  return 1;
}

int FolderTree::SaveRootList() {
  if (selector_ == nullptr) return 0;
  const int count = static_cast<int>(SendMessageA(selector_, CB_GETCOUNT, 0, 0));
  if (count <= 0) return 0;
  std::vector<std::string> roots;
  char text[MAX_PATH];
  for (int i = 0; i < count; ++i) {
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = i;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (!SendMessageA(selector_, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    text[sizeof text - 1] = '\0';
    roots.emplace_back(text);
  }
  // With nothing selected, the first root counts as selected, as on loading.
  int selected = static_cast<int>(SendMessageA(selector_, CB_GETCURSEL, 0, 0));
  if (selected < 0 || selected >= count) selected = 0;
  const std::string selectedText = roots[static_cast<std::size_t>(selected)];

  // An empty text would end the list early; past 4096 bytes the value would
  // be refused on loading: drop those, oldest (first) roots first, but never
  // the selected one.
  std::vector<bool> keep(roots.size(), true);
  std::size_t bytes = 1;
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (roots[i].empty()) keep[i] = false;
    else bytes += roots[i].size() + 1;
  }
  int dropped = 0;
  for (std::size_t i = 0; i < roots.size() && bytes > kRootListBytes; ++i) {
    if (!keep[i] || static_cast<int>(i) == selected) continue;
    keep[i] = false;
    bytes -= roots[i].size() + 1;
    ++dropped;
  }
  if (dropped > 0)
    LogWindow::Print("ROOTLIST: %d oldest roots dropped to stay within %lu bytes.", dropped,
                     kRootListBytes);
  std::string list;
  for (std::size_t i = 0; i < roots.size(); ++i)
    if (keep[i]) list.append(roots[i]).push_back('\0');
  list.push_back('\0');

  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 0;
  int result = 0;
  if (RegSetValueExA(key, kRootListValue, 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(list.data()),
                     static_cast<DWORD>(list.size())) == ERROR_SUCCESS &&
      RegSetValueExA(key, kRootSelectValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(selectedText.c_str()),
                     static_cast<DWORD>(selectedText.size() + 1)) == ERROR_SUCCESS)
    result = 1;
  RegCloseKey(key);
  return result;
}

void FolderTree::OnNotify(const NMHDR* header) {
  switch (header->code) {
    case TVN_ITEMEXPANDINGA: {
      // Every scroll-bar change repaints the bars at once, and under a
      // visual theme each repaint is slow: keep the tree off screen until
      // the expansion is done, then paint it once.
      HTREEITEM item = reinterpret_cast<const NMTREEVIEWA*>(header)->itemNew.hItem;
      FreezeTree();
      Populate(item);
      // Nothing to expand: no TVN_ITEMEXPANDED follows.
      if (FirstChild(tree_, item) == nullptr) ThawTree();
      break;
    }
    case TVN_ITEMEXPANDEDA:
      ThawTree();
      break;
    case TVN_SELCHANGEDA: {
      const auto* nm = reinterpret_cast<const NMTREEVIEWA*>(header);
      if (nm->action == TVC_BYMOUSE)
        SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(nm->itemNew.hItem));
      break;
    }
    case NM_CLICK:
      if (header->hwndFrom == tree_) OpenItemAtCursor();
      break;
    case NM_RCLICK:
      if (header->hwndFrom == tree_) {
        TVHITTESTINFO hit{};
        GetCursorPos(&hit.pt);
        ScreenToClient(tree_, &hit.pt);
        SendMessageA(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.hItem != nullptr) {
          const LPARAM at = MAKELPARAM(hit.pt.x, hit.pt.y);
          PostMessageA(tree_, WM_LBUTTONDOWN, MK_LBUTTON, at);
          PostMessageA(tree_, WM_LBUTTONUP, MK_LBUTTON, at);
        }
      }
      break;
    case TVN_KEYDOWN:
      if (header->hwndFrom != tree_) break;
      if (reinterpret_cast<const NMTVKEYDOWN*>(header)->wVKey == VK_F5) Refresh();
      if (reinterpret_cast<const NMTVKEYDOWN*>(header)->wVKey == VK_ESCAPE) StopDrag();
      break;
    case TVN_BEGINDRAGA:
      BeginDrag(reinterpret_cast<const NMTREEVIEWA*>(header));
      break;
    case TVN_DELETEITEMA: {
      // F5 or another root while dragging: the handle would outlive its item.
      if (reinterpret_cast<const NMTREEVIEWA*>(header)->itemOld.hItem == dragged_) StopDrag();
      auto* record = reinterpret_cast<FolderItem*>(
          reinterpret_cast<const NMTREEVIEWA*>(header)->itemOld.lParam);
      if (record != nullptr) {
        delete record;
        --g_liveRecords;
      }
      break;
    }
    default:
      break;
  }
}

LRESULT FolderTree::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      window_ = window;
      break;
    case kThawMessage:
      ThawTree();
      return 0;
    case WM_MOUSEMOVE:
      DragMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      break;
    case WM_LBUTTONUP:
      EndDrag(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) StopDrag();
      break;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a dialog, a task switch): no drop.
      if (reinterpret_cast<HWND>(lParam) != window) StopDrag();
      break;
    case WM_NOTIFY:
      OnNotify(reinterpret_cast<const NMHDR*>(lParam));
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_ROOT_SELECTOR && HIWORD(wParam) == CBN_SELENDOK) {
        const int selected = static_cast<int>(SendMessageA(selector_, CB_GETCURSEL, 0, 0));
        char text[MAX_PATH] = "";
        COMBOBOXEXITEMA item{};
        item.mask = CBEIF_TEXT;
        item.iItem = selected;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        if (selected >= 0 &&
            SendMessageA(selector_, CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
            text[0] != '\0') {
          text[sizeof text - 1] = '\0';
          SetRoot(text);
        }
      } else if (LOWORD(wParam) == IDC_BROWSE_ROOT && HIWORD(wParam) == BN_CLICKED) {
        BrowseForRoot();
      }
      break;
    case WM_DESTROY:
      StopDrag();
      // Free the records while the tree can still report its items, and
      // take the image list away from the controls before it goes.
      if (tree_ != nullptr) {
        SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
      }
      if (selector_ != nullptr) SendMessageA(selector_, CBEM_SETIMAGELIST, 0, 0);
      if (images_ != nullptr) ImageList_Destroy(images_);
      images_ = nullptr;
      break;
    case WM_NCDESTROY: {
      const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
      window_ = tree_ = selector_ = button_ = nullptr;
      return result;
    }
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

