#include "platform/registry.h"

#include <windows.h>

#include "platform/log.h"

namespace registry {
namespace {

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "another type";
  }
}

// Reads at most `*size` bytes of a value of type `expected`; on success
// `*size` is the stored size. Missing values fail silently, unusable ones
// with a trace line.
bool ReadChecked(const char* keyPath, const char* name, DWORD expected, void* data,
                 DWORD* size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD type = REG_NONE;
  const DWORD room = *size;
  const LONG read =
      RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE*>(data), size);
  RegCloseKey(key);
  if (read == ERROR_FILE_NOT_FOUND) return false;
  if (read == ERROR_SUCCESS || read == ERROR_MORE_DATA) {
    if (type != expected) {
      LogWindow::Print("Registry value %s is %s, not %s: its default is used.", name,
                       TypeName(type), TypeName(expected));
      return false;
    }
    if (read == ERROR_MORE_DATA) {
      LogWindow::Print("Registry value %s holds more than %lu bytes: its default is used.", name,
                       static_cast<unsigned long>(room));
      return false;
    }
    return true;
  }
  LogWindow::Print("Registry value %s cannot be read (%ld): its default is used.", name, read);
  return false;
}

}  // namespace

bool ReadNumber(const char* keyPath, const char* name, std::uint32_t* value) {
  DWORD data = 0, size = sizeof data;
  if (!ReadChecked(keyPath, name, REG_DWORD, &data, &size)) return false;
  if (size != sizeof data) {
    LogWindow::Print("Registry value %s has %lu bytes, not 4: its default is used.", name,
                     static_cast<unsigned long>(size));
    return false;
  }
  *value = data;
  return true;
}

bool ReadText(const char* keyPath, const char* name, char* text, std::size_t size) {
  if (size == 0) return false;
  DWORD got = static_cast<DWORD>(size);
  if (!ReadChecked(keyPath, name, REG_SZ, text, &got)) return false;
  // Stored without its terminator: one still fits only below the buffer's end.
  if (got > 0 && text[got - 1] == '\0') return true;
  if (got < size) {
    text[got] = '\0';
    return true;
  }
  LogWindow::Print("Registry value %s holds more than %lu characters: its default is used.",
                   name, static_cast<unsigned long>(size - 1));
  return false;
}

bool ReadTextList(const char* keyPath, const char* name, std::size_t maxBytes,
                  std::vector<char>* list) {
  list->assign(maxBytes, '\0');
  DWORD got = static_cast<DWORD>(maxBytes);
  if (!ReadChecked(keyPath, name, REG_MULTI_SZ, list->data(), &got)) {
    list->clear();
    return false;
  }
  list->resize(got);
  return true;
}

}  // namespace registry
