// The activity index reader on arbitrary bytes: whatever lies in the cache
// folder, it must refuse it or read it whole, never read outside it, and
// what it reads must write back to the same bytes and answer queries.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "activity/index_file.h"

namespace {

void Check(const std::vector<std::uint8_t>& bytes) {
  activity::MinuteIndex index;
  if (!activity::DecodeIndex(bytes.data(), bytes.size(), &index)) return;
  std::vector<std::uint8_t> again;
  activity::EncodeIndex(index, again);
  if (again != bytes) __builtin_trap();
  // A region from the picture's own numbers, and the whole picture.
  const activity::Region region{index.width / 3, index.height / 4, index.width / 2 + 1,
                                index.height / 3 + 1};
  std::vector<activity::Span> spans;
  for (const activity::Region& r : {activity::Region{}, region}) {
    activity::MinuteSpans(index, 0, r, spans);
    for (const activity::Span& s : spans)
      if (s.end < s.start || s.peak < 0 || s.peak > 100.01f) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // As it stands (the checksum turns away almost everything) ...
  std::vector<std::uint8_t> bytes(data, data + size);
  Check(bytes);
  // ... and with the checksum made right, so the checks behind it are reached.
  if (size >= 16) {
    const std::uint64_t sum = activity::IndexChecksum(bytes.data(), size - 8);
    for (int i = 0; i < 8; ++i) bytes[size - 8 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
    Check(bytes);
  }
  return 0;
}
