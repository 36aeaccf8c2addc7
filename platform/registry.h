// Values under HKEY_CURRENT_USER, read with their stored type and size
// checked: a value of another type, or one that does not fit, counts as
// missing, so each caller falls back to its default; the trace says why.
// Windows only (the registry has no counterpart elsewhere).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace registry {

// A REG_DWORD (exactly 4 bytes).
bool ReadNumber(const char* keyPath, const char* name, std::uint32_t* value);
// A REG_SZ of at most `size` bytes with its terminator; `text` is always
// terminated on success.
bool ReadText(const char* keyPath, const char* name, char* text, std::size_t size);
// A REG_MULTI_SZ of at most `maxBytes` bytes, as stored.
bool ReadTextList(const char* keyPath, const char* name, std::size_t maxBytes,
                  std::vector<char>* list);

}  // namespace registry
