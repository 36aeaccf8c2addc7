// Frame-name helpers on arbitrary names: whatever a backup holds, they must
// neither read past a name nor disagree with themselves.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "store/layout.h"
#include "store/minute_frame_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A name as a listing would hand it over: bounded and zero-terminated, in
  // a buffer of its exact length so any overread is caught.
  const std::size_t n = size < 300 ? size : 300;
  std::vector<char> name(data, data + n);
  name.push_back(0);
  const char* s = name.data();
  (void)TimeCode(s, false);
  (void)TimeCode(s, true);
  (void)LeadingNumber(s);
  (void)IsMillisecondName(s);
  for (int level = -1; level <= 6; ++level) (void)IsValidLevelName(s, level);
  char key[kFrameNameSize + 1];
  SortKey(s, key, sizeof key);
  if (std::memchr(key, 0, sizeof key) == nullptr || CompareFrameNames(s, s) != 0) __builtin_trap();

  // A table of names cut from the input (up to 11 characters each, as
  // entries hold them), sorted, then checked to be in order both ways round.
  std::vector<FrameName> table;
  for (std::size_t i = 0; i < n && table.size() < 64;) {
    FrameName entry{};
    const std::size_t len = data[i++] % kFrameNameSize;
    for (std::size_t k = 0; k < len && i < n; ++k) entry[k] = static_cast<char>(data[i++]);
    table.push_back(entry);
  }
  if (table.empty()) return 0;
  SortFrameNames(table.data(), 0, static_cast<int>(table.size()) - 1);
  for (std::size_t i = 1; i < table.size(); ++i) {
    const int forwards = CompareFrameNames(table[i - 1].data(), table[i].data());
    const int backwards = CompareFrameNames(table[i].data(), table[i - 1].data());
    if (forwards > 0 || (forwards < 0) != (backwards > 0) || (forwards == 0) != (backwards == 0)) __builtin_trap();
  }
  return 0;
}
