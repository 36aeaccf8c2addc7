// Turns a grey picture encoded as three-component JPEG into a one-component
// (greyscale) JPEG, as monochrome cameras write them. FFmpeg's MJPEG encoder
// takes no one-component picture, so the sample generator encodes grey
// pictures as 4:4:4 with neutral chroma and keeps only the luma here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sample {

// Rewrites a baseline JPEG whose three components are sampled 1 x 1 and
// whose second and third components are flat (every block: DC difference 0,
// then end of block) into a JPEG with the first component only. The luma
// bits are copied, not re-encoded, so the decoded luma is the same. Returns
// false, with `out` left undefined, for any other input (other sampling, other
// process, restart markers, colour in the chroma blocks, damaged bytes,
// sides over 4096).
bool KeepLumaOnly(const std::uint8_t* data, std::size_t size,
                  std::vector<std::uint8_t>& out);

}  // namespace sample
