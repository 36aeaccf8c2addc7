// Drives a running viewer from outside, by window messages, as a user would:
// for the run command on a machine without a display, where nobody can click.
//
//   orvanel-tree-tour seed ROOT   writes ROOTLIST/ROOTSELECT = ROOT\ unless a
//                                 root list exists already
//   orvanel-tree-tour play [CAMERA DATE HOUR MINUTE]
//                                 waits for the viewer, expands its folder tree
//                                 to the minute, clicks it and waits until the
//                                 video window's time text moves on
//   orvanel-tree-tour close       closes the viewer's main window
//
// With --desktop NAME first, it works on that desktop (a viewer started by
// "explorer /desktop=NAME,..." is found only there).
//
// Tree items are read through a block of the viewer's memory: the tree's
// messages carry pointers that are not carried across processes.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kKey[] = "Software\\VELMORA\\Orvanel";
constexpr int kTimeLabelId = 30001;  // the video window's time text

int Seed(const char* root) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    std::fprintf(stderr, "tour: registry key cannot be opened\n");
    return 1;
  }
  if (RegQueryValueExA(key, "ROOTLIST", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    std::printf("tour: root list kept as the user left it\n");
    RegCloseKey(key);
    return 0;
  }
  std::string path(root);
  if (path.empty() || path.back() != '\\') path += '\\';
  const std::string list = path + '\0' + '\0';
  const bool ok =
      RegSetValueExA(key, "ROOTLIST", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
                     static_cast<DWORD>(list.size())) == ERROR_SUCCESS &&
      RegSetValueExA(key, "ROOTSELECT", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>(path.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  std::printf("tour: root list seeded with %s\n", path.c_str());
  return ok ? 0 : 1;
}

template <class F>
auto WaitFor(F f, DWORD ms) -> decltype(f()) {
  const DWORD t0 = GetTickCount();
  for (;;) {
    auto v = f();
    if (v || GetTickCount() - t0 > ms) return v;
    Sleep(50);
  }
}

// A block of the viewer's memory for one item question at a time.
class Remote {
 public:
  explicit Remote(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      block_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  }
  ~Remote() {
    if (block_) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool ok() const { return block_ != nullptr; }

  std::string Text(HWND tree, HTREEITEM item) {
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = block_ + sizeof tv;
    tv.cchTextMax = 1024;
    char text[1024] = "";
    if (!WriteProcessMemory(process_, block_, &tv, sizeof tv, nullptr) ||
        !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block_)) ||
        !ReadProcessMemory(process_, block_ + sizeof tv, text, sizeof text, nullptr))
      return {};
    text[sizeof text - 1] = '\0';
    return text;
  }

  bool LabelRect(HWND tree, HTREEITEM item, RECT* rect) {
    std::memcpy(rect, &item, sizeof item);
    return WriteProcessMemory(process_, block_, rect, sizeof *rect, nullptr) &&
           SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(block_)) &&
           ReadProcessMemory(process_, block_, rect, sizeof *rect, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  char* block_ = nullptr;
};

HTREEITEM Next(HWND tree, UINT how, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

HWND VideoWindow(HWND main) {
  HWND frame = FindWindowExA(main, nullptr, "MDIFrame", nullptr);
  HWND client = frame ? FindWindowExA(frame, nullptr, "MDIClient", nullptr) : nullptr;
  return client ? FindWindowExA(client, nullptr, "MDIVideoChild", nullptr) : nullptr;
}

std::string WindowText(HWND w) {
  char text[512] = "";
  if (w) SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

int Play(const char* const* path) {
  // A new prefix is made by the first program: that takes a while.
  HWND main = WaitFor([] { return FindWindowA("ORVANEL", nullptr); }, 120000);
  if (!main) {
    std::fprintf(stderr, "tour: the viewer's window did not appear\n");
    return 1;
  }
  // Found while it is still being made: wait for its tree to be shown.
  HWND tree = WaitFor([&]() -> HWND {
    HWND panel = FindWindowExA(main, nullptr, "ORVTREEVIEW", nullptr);
    HWND t = panel ? FindWindowExA(panel, nullptr, WC_TREEVIEWA, nullptr) : nullptr;
    return t && IsWindowVisible(main) ? t : nullptr;
  }, 30000);
  HTREEITEM item = tree ? WaitFor([&] { return Next(tree, TVGN_ROOT, nullptr); }, 10000) : nullptr;
  Remote remote(main);
  if (!item || !remote.ok()) {
    std::fprintf(stderr, "tour: the folder tree shows no root\n");
    return 1;
  }
  std::printf("tour: root %s\n", remote.Text(tree, item).c_str());
  for (int level = 0; level < 4; ++level) {
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    HTREEITEM child = Next(tree, TVGN_CHILD, item);
    while (child && remote.Text(tree, child) != path[level]) child = Next(tree, TVGN_NEXT, child);
    if (!child) {
      std::fprintf(stderr, "tour: no item \"%s\" in the tree\n", path[level]);
      return 1;
    }
    item = child;
  }
  SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  RECT r;
  if (!remote.LabelRect(tree, item, &r)) {
    std::fprintf(stderr, "tour: the minute item has no place on screen\n");
    return 1;
  }
  // The click: the cursor onto the label, then the button, as a mouse does.
  POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  POINT screen = at;
  ClientToScreen(tree, &screen);
  SetCursorPos(screen.x, screen.y);
  PostMessageA(tree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  PostMessageA(tree, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));

  HWND video = WaitFor([&] { return VideoWindow(main); }, 10000);
  if (!video) {
    std::fprintf(stderr, "tour: no video window opened\n");
    return 1;
  }
  // Found while it is being made: its strip comes a moment later.
  HWND time = WaitFor([&] { return GetDlgItem(video, kTimeLabelId); }, 5000);
  const std::string first = WaitFor([&] { return !WindowText(time).empty(); }, 5000)
                                ? WindowText(time) : std::string();
  Sleep(2000);
  const std::string later = WindowText(time);
  std::printf("tour: playing \"%s\": %s, two seconds later %s\n", WindowText(video).c_str(),
              first.c_str(), later.c_str());
  return !first.empty() && later != first ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--desktop") == 0) {
    // The desktop appears with the viewer's first window.
    const char* name = argv[2];
    HDESK desk = WaitFor([&] { return OpenDesktopA(name, 0, FALSE, GENERIC_ALL); }, 120000);
    if (!desk || !SetThreadDesktop(desk)) {
      std::fprintf(stderr, "tour: desktop %s cannot be used\n", argv[2]);
      return 1;
    }
    argc -= 2;
    argv += 2;
  }
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "seed" && argc == 3) return Seed(argv[2]);
  if (command == "play" && (argc == 2 || argc == 6)) {
    static const char* const kSampleMinute[] = {"Camera 1", "2004-03-15", "12", "00"};
    return Play(argc == 6 ? argv + 2 : kSampleMinute);
  }
  if (command == "close") {
    HWND main = FindWindowA("ORVANEL", nullptr);
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    return main ? 0 : 1;
  }
  std::fprintf(stderr, "usage: orvanel-tree-tour [--desktop NAME] seed ROOT | play [CAMERA DATE HOUR MINUTE] | close\n");
  return 2;
}
