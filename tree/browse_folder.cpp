#include "tree/browse_folder.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "platform/log.h"

bool BrowseForFolder(HWND owner, const char* title, char* path, std::size_t size) {
  if (path == nullptr || size == 0) return false;
  path[0] = '\0';
  // The browser asks the shell's folders for their items: COM must be up on
  // this thread. Each successful initialisation is balanced.
  const HRESULT com = CoInitialize(nullptr);
  char display[MAX_PATH] = "";
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = display;
  info.lpszTitle = title;
  info.ulFlags = 0;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  bool ok = false;
  IMalloc* shellMalloc = nullptr;
  if (chosen != nullptr && FAILED(SHGetMalloc(&shellMalloc))) {
    // Without the shell's allocator the item list cannot be freed properly.
    LogWindow::Print("No shell allocator; folder choice dropped.");
    shellMalloc = nullptr;
  } else if (chosen != nullptr) {
    char full[MAX_PATH] = "";
    // Virtual folders (the computer, the network) have no path: nothing chosen.
    if (SHGetPathFromIDListA(chosen, full) && full[0] != '\0') {
      if (std::strlen(full) < size) {
        std::memcpy(path, full, std::strlen(full) + 1);
        ok = true;
      } else {
        LogWindow::Print("Folder path too long for %u bytes: %s",
                         static_cast<unsigned>(size), full);
      }
    } else {
      LogWindow::Print("Chosen folder \"%s\" is not on a disk; nothing chosen.", display);
    }
    shellMalloc->Free(chosen);
    shellMalloc->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}
