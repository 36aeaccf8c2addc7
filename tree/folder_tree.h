// The folder tree panel ("ORVTREEVIEW"): root selector, browse button and
// the tree of cameras, dates, hours and minutes. The shell makes it and hands
// it what a click on a minute opens and where items may be dropped; used on
// the user-interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

// Images of the tree's bitmap (IDB_TREE_IMAGES) that items use.
constexpr int kClosedFolderImage = 2;
constexpr int kOpenFolderImage = 3;
constexpr int kCdromImage = 6;

// The record behind every tree item (its parameter), owned by the item.
struct FolderItem {
  char path[MAX_PATH];  // full path, always ending with a backslash
  int level;            // 1 root, 2 camera, 3 date, 4 hour, 5 minute
  unsigned reserved;    // always 0
};

// Where tree items may be dropped (the Save As dialog's list). The
// defaults are those of no target: nothing is taken.
class FolderDropTarget {
 public:
  virtual ~FolderDropTarget() = default;
  // Whether it takes folders now (shown, and no export running).
  virtual bool TakesFolders() const { return false; }
  // Whether the screen point lies on it.
  virtual bool IsDropPoint(POINT) const { return false; }
  // A minute folder (backslash-terminated) dropped onto it.
  virtual void AddDroppedFolder(const char*) {}
};

class FolderTree {
 public:
  // What a click on a minute item calls (the shell hands it
  // ChildManager::OpenMinute); nothing is opened while there is none.
  using MinuteOpener = std::function<void(const char* folder, const char* dateText,
                                          const char* cameraName)>;

  FolderTree();
  virtual ~FolderTree();
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;

  // Creates the panel at the left of `parent`, `top` pixels down (below the
  // command bar), and loads the root list. 1, or 0 when the panel cannot be
  // made.
  int Create(HINSTANCE instance, HWND parent, int height, int top = 0);
  // A value of 0 or less keeps the current width or height.
  int Resize(int width, int height);
  // Rebuilds the tree from the disk, collapsed to its top item.
  int Refresh();
  // The shell's folder browser; 1 if a root was chosen.
  int BrowseForRoot();
  // Shows `root` as the tree's only top item and selects it in the root
  // selector. 0 for a null path or one too long to hold.
  int SetRoot(const char* root);
  // Lists an item's children at its first expansion.
  int Populate(HTREEITEM item);
  int LoadRootList();
  int SaveRootList();
  // Opens the minute item under the cursor, if that is where the click was.
  void OpenItemAtCursor();

  // Dragging items onto the Save As dialog: BeginDrag on TVN_BEGINDRAG,
  // then the panel's mouse moves and button release, at points in the
  // panel's client coordinates. Escape, a lost capture or the
  // dragged item's deletion (F5, another root) cancels.
  int BeginDrag(const NMTREEVIEWA* notify);
  int DragMove(int x, int y);
  int EndDrag(int x, int y);
  bool dragging() const { return dragImages_ != nullptr; }
  // Hands every minute folder below `item` to the drop target, depth
  // first in tree order, listing unexpanded items from the disk; empty,
  // vanished or unreadable folders are passed over with a trace text. False
  // once the target takes nothing more (hidden, or exporting).
  bool AddToExport(HTREEITEM item);

  // Names in `folder` (ending with a backslash) accepted at `level`, in NTFS
  // order; names beginning with "." and names that the ANSI calls cannot
  // open again are left out.
  static int ListChildren(const char* folder, std::vector<std::string>& names,
                          int level);
  // Whether `folder` (ending with a backslash) holds a sub-folder (or, with
  // `wantFiles`, a file) whose name does not begin with ".".
  static bool HasEntries(const char* folder, bool wantFiles);

  LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window() const { return window_; }
  HWND tree() const { return tree_; }
  HWND rootSelector() const { return selector_; }
  HWND browseButton() const { return button_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int selectorHeight() const { return selectorHeight_; }
  bool onCdrom() const { return cdrom_; }
  void SetMinuteOpener(MinuteOpener opener);
  // Null: no drop target. The target outlives the panel.
  void SetDropTarget(FolderDropTarget* target);
  // FolderItem records alive in all trees; a leak shows here.
  static int LiveRecords();

 private:
  HTREEITEM InsertChild(HTREEITEM parent, const char* text, const FolderItem& record,
                        int image, int selectedImage, bool hasChildren);
  bool ItemText(HTREEITEM item, char* text, int size) const;
  int AddRootChoice(const char* text, int image);
  void OnNotify(const NMHDR* header);
  void FreezeTree();
  void ThawTree();
  // Ends the drag image and the capture; the dragged item is forgotten.
  void StopDrag();

  HWND window_ = nullptr;
  HWND tree_ = nullptr;
  HWND selector_ = nullptr;
  HWND button_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HIMAGELIST dragImages_ = nullptr;  // while a drag is under way
  HTREEITEM dragged_ = nullptr;
  int width_ = 210;
  int height_ = 600;
  int selectorHeight_ = 0;
  bool cdrom_ = false;
  bool frozen_ = false;
  MinuteOpener opener_;
  FolderDropTarget* dropTarget_ = nullptr;
};
