// Decodes a JPEG file with FFmpeg's MJPEG decoder, for checking what the
// sample generator wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "playback/av_util.h"
#include "tests/support/test_support.h"

namespace tools_test {

// The decoded picture, or null when the file does not decode.
inline av::FramePtr DecodeFile(const std::string& path) {
  const std::string bytes = testing_support::ReadFile(path);
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  data.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  av::CodecContextPtr ctx = av::OpenMjpegDecoder();
  av::PacketPtr pkt(av_packet_alloc());
  av::FramePtr frame(av_frame_alloc());
  if (!ctx || !pkt || !frame) return nullptr;
  if (av::DecodeJpeg(ctx.get(), pkt.get(), frame.get(), data.data(),
                     bytes.size()) != 1)
    return nullptr;
  return frame;
}

}  // namespace tools_test
