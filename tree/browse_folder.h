// The shell's folder browser, for choosing a folder on disk.
#pragma once

#include <windows.h>

#include <cstddef>

// Shows the folder browser with the desktop as its root and `title` above
// the folders. True when the user chose a folder of the file system; its
// path (at most size - 1 characters) is then in `path`.
bool BrowseForFolder(HWND owner, const char* title, char* path, std::size_t size);
