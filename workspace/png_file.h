// A small PNG writer for saved pictures: 24-bit colour, one IDAT whose zlib
// stream uses stored (uncompressed) deflate blocks, so it needs no
// compression library. No windows.
#pragma once

#include <cstdint>
#include <vector>

// Encodes `height` rows of BGR pixels (`topRow` first, rows `stride` bytes
// apart) as a PNG file image in `out`.
void EncodePng(const std::uint8_t* topRow, int stride, int width, int height,
               std::vector<std::uint8_t>* out);
