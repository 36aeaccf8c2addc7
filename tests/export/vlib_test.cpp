#include "vlib/vlib.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "tests/export/export_test_util.h"

using testing_support::ReadFile;
using testing_support::StderrCapture;
using testing_support::TempDir;

namespace {

// The line of a failed argument check.
std::string F(const char* condition) { return std::string("vlib: '") + condition + "' FAILED."; }

// The library's own lines of what `call` wrote (FFmpeg's are left out).
std::vector<std::string> VlibLines(const std::function<void()>& call) {
  StderrCapture capture;
  call();
  std::vector<std::string> lines;
  for (const std::string& line : capture.Lines())
    if (line.compare(0, 6, "vlib: ") == 0) lines.push_back(line);
  return lines;
}

}  // namespace

// Refused arguments fail the call with one line each; a refused rate or
// picture duration stays unset, so the encoder does not open.
TEST(VlibChecks, RefusedArgumentsAreLogged) {
  TempDir dir;
  vlib_codec* codec = vlib_codec_create_timed(VLIB_CODEC_MPEG4 | VLIB_ENCODER, 176, 144, 6, 100, 400, 16);
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->context->time_base.num * 50, codec->context->time_base.den * 3);  // reduced
  const std::string fps = F("1 <= fps && fps <= 30"), xyz = dir.Join("out.xyz");
  const std::string duration = F("1 <= num && 1 <= den && den <= 65535 && num <= 100LL * den");
  const struct {
    std::vector<std::string> lines;
    std::function<bool()> call;  // true when the result is the expected one
  } kCases[] = {
      {{F("size > 0")}, [] { return !vlib_buffer_create(-5); }},
      {{"vlib: unknown codec type '0'.", "vlib: can't find codec id '0'."},
       [] { return !vlib_codec_create(VLIB_ENCODER, 176, 144, 25, 400, 25); }},
      {{fps, "vlib: can't open codec '12'."}, [] { return !vlib_codec_create(1 | VLIB_ENCODER, 176, 144, 31, 400, 1); }},
      {{duration, "vlib: can't open codec '12'."},
       [] { return !vlib_codec_create_timed(1 | VLIB_ENCODER, 176, 144, 6, 65536, 400, 1); }},
      {{duration}, [&] { return vlib_codec_set_frame_duration(codec, 101, 1) == -1; }},
      {{}, [&] { return vlib_codec_set_frame_duration(codec, 100, 1) == 0 && codec->fps == 1; }},
      {{"vlib: unknown output file '" + xyz + "'."}, [&] { return !vlib_file_open(xyz.c_str()); }},
  };
  for (const auto& c : kCases) EXPECT_EQ(VlibLines([&] { EXPECT_TRUE(c.call()); }), c.lines);
  EXPECT_EQ(codec->context->time_base.den, 50);  // an open encoder keeps its base
  vlib_codec_free(codec);
}

TEST(VlibList, AppendLastAndUnlink) {
  int a = 1, b = 2, c = 3;
  vlib_node* head = vlib_list_append(vlib_list_append(vlib_list_append(nullptr, &a), &b), &c);
  vlib_node *second = head->next, *third = vlib_list_last(head);
  EXPECT_EQ(third->prev, second);
  // The middle node: its neighbours join; then the head and the last.
  EXPECT_EQ(vlib_list_unlink(head, second), head);
  EXPECT_EQ(head->next, third);
  EXPECT_EQ(third->prev, head);
  EXPECT_EQ(second->next, nullptr);
  EXPECT_EQ(vlib_list_unlink(head, head), third);
  EXPECT_EQ(third->prev, nullptr);
  EXPECT_EQ(vlib_list_unlink(third, third), nullptr);
  for (vlib_node* node : {head, second, third}) vlib_free(node);
}

// A file closed without a frame stays empty; the header comes with the
// first frame and the trailer (AVI and ASF: the index) at the close. Each
// export encoder gives a packet per picture at once, a key frame every
// gop_size pictures.
TEST(VlibFile, StatesAndContainers) {
  const std::string asf = "\x30\x26\xb2\x75\x8e\x66\xcf\x11";
  const struct {
    const char* name;
    std::uint32_t type;
    std::string signature, trailer;
  } kCases[] = {
      {"out.avi", VLIB_CODEC_MPEG4, "RIFF", "idx1"},
      {"out.mpg", VLIB_CODEC_MPEG1VIDEO, std::string("\x00\x00\x01\xba", 4), ""},
      {"out.wmv", VLIB_CODEC_WMV1, asf, std::string("\x90\x08\x00\x33\xb1\xe5\xcf\x11", 8)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Join(c.name);
    StderrCapture quiet;
    vlib_codec* codec = vlib_codec_create(c.type | VLIB_ENCODER, 176, 144, 10, 400, 2);
    vlib_file* file = vlib_file_open(path.c_str());
    ASSERT_TRUE(codec && file);
    EXPECT_EQ(vlib_file_add_stream(file, codec), 0);
    EXPECT_EQ(vlib_file_close(file), 0);
    EXPECT_EQ(ReadFile(path).size(), 0u);
    file = vlib_file_open(path.c_str());
    ASSERT_EQ(vlib_file_add_stream(file, codec), 0);
    std::vector<std::uint8_t> picture(176 * 144 * 3 / 2), out(picture.size());
    for (int i = 0; i < 5; ++i) {
      for (std::size_t k = 0; k < picture.size(); ++k) picture[k] = (k + 4 * i) / 8 % 2 ? 200 : 40;
      const int bytes = vlib_codec_encode(codec, picture.data(), out.data());
      ASSERT_GT(bytes, 0);
      EXPECT_EQ(codec->last_key, i % 2 == 0) << i;
      EXPECT_EQ(vlib_file_write(file, 0, out.data(), bytes), 0);
      EXPECT_EQ(file->header_written, 1);
    }
    EXPECT_EQ(vlib_file_close(file), 0);
    vlib_codec_free(codec);
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.compare(0, c.signature.size(), c.signature), 0);
    EXPECT_NE(bytes.find(c.trailer), std::string::npos);
  }
}
