#include "vlib/vlib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "platform/platform.h"
#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::StderrCapture;
using testing_support::TempDir;

namespace {

// FFmpeg's own notices (clipped coefficients, buffer sizes) would bury the
// test output; its errors still show.
const int kQuietFfmpeg = (av_log_set_level(AV_LOG_ERROR), 0);

bool FileExists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

// A moving test picture, packed YUV 4:2:0.
std::vector<std::uint8_t> Picture(int width, int height, int index) {
  const int n = width * height;
  std::vector<std::uint8_t> p(static_cast<std::size_t>(n + 2 * (n / 4)), 128);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p[static_cast<std::size_t>(y * width + x)] =
          static_cast<std::uint8_t>(((x + index * 4) / 8 + y / 8) % 2 ? 200 : 40);
  return p;
}

}  // namespace

TEST(VlibLog, PrefixesAndCutsLines) {
  StderrCapture capture;
  vlib_log("hello %d", 42);
  vlib_log("%s", std::string(400, 'x').c_str());
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "vlib: hello 42");
  // 247 characters at most, line feed included.
  EXPECT_EQ(lines[1].size(), 246u);
  EXPECT_EQ(lines[1].compare(0, 6, "vlib: "), 0);
}

TEST(VlibMemory, ChecksSizesAndPointers) {
  StderrCapture capture;
  EXPECT_EQ(vlib_malloc(0), nullptr);
  EXPECT_EQ(vlib_calloc(0), nullptr);
  vlib_free(nullptr);
  auto* zeroed = static_cast<unsigned char*>(vlib_calloc(64));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0);
  vlib_free(zeroed);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "vlib: 'size > 0' FAILED.");
  EXPECT_EQ(lines[1], "vlib: 'size > 0' FAILED.");
  EXPECT_EQ(lines[2], "vlib: 'ptr != NULL' FAILED.");
}

TEST(VlibList, AppendLastAndUnlink) {
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(vlib_list_last(nullptr), nullptr);
  vlib_node* head = vlib_list_append(nullptr, &a);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->prev, nullptr);
  EXPECT_EQ(vlib_list_append(head, &b), head);
  EXPECT_EQ(vlib_list_append(head, &c), head);
  vlib_node* second = head->next;
  vlib_node* third = vlib_list_last(head);
  EXPECT_EQ(second->data, &b);
  EXPECT_EQ(third->data, &c);
  EXPECT_EQ(third->prev, second);
  EXPECT_EQ(second->prev, head);

  EXPECT_EQ(vlib_list_unlink(head, nullptr), head);

  // Unlinking the head gives the second node as head, without a prev.
  vlib_node* oldHead = head;
  head = vlib_list_unlink(head, oldHead);
  EXPECT_EQ(head, second);
  EXPECT_EQ(head->prev, nullptr);
  EXPECT_EQ(oldHead->next, nullptr);
  vlib_free(oldHead);

  // Unlinking the last leaves the previous one without a next.
  EXPECT_EQ(vlib_list_unlink(head, third), second);
  EXPECT_EQ(second->next, nullptr);
  EXPECT_EQ(third->prev, nullptr);
  vlib_free(third);

  // A middle node: its neighbours join.
  head = vlib_list_append(head, &a);
  head = vlib_list_append(head, &c);
  vlib_node* middle = head->next;
  EXPECT_EQ(vlib_list_unlink(head, middle), head);
  EXPECT_EQ(head->next->data, &c);
  EXPECT_EQ(head->next->prev, head);
  vlib_free(middle);

  // The last node of a one-node list: the list becomes empty.
  vlib_node* last = head->next;
  head = vlib_list_unlink(head, head->next);
  vlib_free(last);
  vlib_node* only = head;
  EXPECT_EQ(vlib_list_unlink(head, only), nullptr);
  vlib_free(only);
}

TEST(VlibBuffer, CreateLayoutAndChecks) {
  vlib_buffer* buf = vlib_buffer_create(352 * 240 * 2);
  ASSERT_NE(buf, nullptr);
  EXPECT_EQ(buf->size, 352 * 240 * 2);
  EXPECT_EQ(buf->plane[0], nullptr);  // zeroed until laid out
  vlib_buffer_set_yuv420(buf, 352, 240);
  EXPECT_EQ(buf->plane[0], buf->data);
  EXPECT_EQ(buf->plane[1] - buf->data, 84480);
  EXPECT_EQ(buf->plane[2] - buf->data, 105600);
  EXPECT_EQ(buf->plane_size[0], 84480);
  EXPECT_EQ(buf->plane_size[1], 21120);
  EXPECT_EQ(buf->plane_size[2], 21120);

  StderrCapture capture;
  vlib_buffer_set_yuv420(buf, 704, 576);  // does not fit: planes unchanged
  EXPECT_EQ(buf->plane[1] - buf->data, 84480);
  EXPECT_EQ(vlib_buffer_create(0), nullptr);
  EXPECT_EQ(vlib_buffer_create(-5), nullptr);
  vlib_buffer_set_yuv420(nullptr, 2, 2);
  std::uint8_t* data = buf->data;
  buf->data = nullptr;
  vlib_buffer_set_yuv420(buf, 2, 2);
  vlib_buffer_free(nullptr);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_NE(lines[0].find("FAILED."), std::string::npos);
  EXPECT_EQ(lines[1], "vlib: 'size > 0' FAILED.");
  EXPECT_EQ(lines[2], "vlib: 'size > 0' FAILED.");
  EXPECT_EQ(lines[3], "vlib: 'buf != NULL' FAILED.");
  EXPECT_EQ(lines[4], "vlib: 'buf->data != NULL' FAILED.");
  EXPECT_EQ(lines[5], "vlib: 'buf != NULL' FAILED.");
  vlib_free(data);
  vlib_buffer_free(buf);
}

// The export's codecs are checked by the files they write; here the
// unknown types and the output checks.
TEST(VlibCodec, TypeChecks) {
  StderrCapture capture;
  int id = -5, media = -5;
  vlib_codec_type_to_id(13, &id, &media);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(media, -1);
  vlib_codec_type_to_id(7 | VLIB_ENCODER, &id, &media);
  EXPECT_EQ(id, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(media, VLIB_MEDIA_AUDIO);
  vlib_codec_type_to_id(1, nullptr, &media);
  vlib_codec_type_to_id(1, &id, nullptr);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "vlib: unknown codec type '13'.");
  EXPECT_EQ(lines[1], "vlib: 'id != NULL' FAILED.");
  EXPECT_EQ(lines[2], "vlib: 'type != NULL' FAILED.");
}

TEST(VlibCodec, UnknownTypesFailAtTheLookup) {
  for (std::uint32_t type : {13u, 0u}) {
    StderrCapture capture;
    EXPECT_EQ(vlib_codec_create(type | VLIB_ENCODER, 176, 144, 25, 400, 25), nullptr);
    std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "vlib: unknown codec type '" + std::to_string(type) + "'.");
    EXPECT_EQ(lines[1], "vlib: can't find codec id '0'.");
  }
}

TEST(VlibCodec, SetterChecks) {
  vlib_codec* codec = vlib_codec_create(VLIB_CODEC_MPEG4 | VLIB_ENCODER, 176, 144, 10, 400, 10);
  ASSERT_NE(codec, nullptr);
  StderrCapture capture;
  EXPECT_EQ(vlib_codec_set_fps(codec, 0), -1);
  EXPECT_EQ(vlib_codec_set_fps(codec, 31), -1);
  EXPECT_EQ(vlib_codec_set_fps(codec, 1), 0);
  EXPECT_EQ(vlib_codec_set_fps(codec, 30), 0);
  EXPECT_EQ(vlib_codec_set_gop_size(codec, 0), 0);
  EXPECT_EQ(vlib_codec_set_gop_size(codec, -1), -1);
  EXPECT_EQ(vlib_codec_set_bit_rate(codec, 800), 0);
  EXPECT_EQ(vlib_codec_set_fps(nullptr, 5), -1);
  EXPECT_EQ(vlib_codec_set_gop_size(nullptr, 5), -1);
  EXPECT_EQ(vlib_codec_set_bit_rate(nullptr, 5), -1);
  EXPECT_EQ(vlib_codec_open(nullptr), -1);
  EXPECT_EQ(vlib_codec_free(nullptr), -1);
  std::vector<std::string> lines = capture.Lines();
  const std::vector<std::string> expected = {
      "vlib: '1 <= fps && fps <= 30' FAILED.", "vlib: '1 <= fps && fps <= 30' FAILED.",
      "vlib: '0 <= gop_size' FAILED.",         "vlib: 'codec != NULL' FAILED.",
      "vlib: 'codec != NULL' FAILED.",         "vlib: 'codec != NULL' FAILED.",
      "vlib: 'codec != NULL' FAILED.",         "vlib: 'codec != NULL' FAILED.",
  };
  EXPECT_EQ(lines, expected);
  // The open encoder keeps what it was opened with; the record follows.
  EXPECT_EQ(codec->context->time_base.den, 10);
  EXPECT_EQ(codec->context->bit_rate, 400000);
  EXPECT_EQ(codec->fps, 30);
  EXPECT_EQ(codec->bit_rate, 800);
  EXPECT_EQ(codec->gop_size, 0);
  EXPECT_EQ(vlib_codec_free(codec), 0);
}

TEST(VlibCodec, CreationSetsTheEncoderAndItsBuffer) {
  vlib_codec* codec = vlib_codec_create(VLIB_CODEC_MPEG1VIDEO | VLIB_ENCODER, 352, 240, 25, 400, 25);
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->context->width, 352);
  EXPECT_EQ(codec->context->height, 240);
  EXPECT_EQ(codec->context->bit_rate, 400000);
  EXPECT_EQ(codec->context->gop_size, 25);
  EXPECT_EQ(codec->context->time_base.num, 1);
  EXPECT_EQ(codec->context->time_base.den, 25);
  ASSERT_NE(codec->buf, nullptr);
  EXPECT_EQ(codec->buf->size, 352 * 240 * 2);
  EXPECT_EQ(codec->buf->plane[1] - codec->buf->data, 84480);
  vlib_codec_free(codec);

  // An fps the setter refuses is left unset, and the encoder cannot open.
  StderrCapture capture;
  EXPECT_EQ(vlib_codec_create(VLIB_CODEC_MPEG4 | VLIB_ENCODER, 176, 144, 0, 400, 1), nullptr);
  EXPECT_TRUE(capture.Contains("vlib: '1 <= fps && fps <= 30' FAILED."));
  EXPECT_TRUE(capture.Contains("vlib: can't open codec '12'."));  // AV_CODEC_ID_MPEG4
}

TEST(VlibCodec, DecoderWithoutTheEncoderBit) {
  vlib_codec* codec = vlib_codec_create(VLIB_CODEC_MJPEG, 64, 48, 25, 400, 25);
  ASSERT_NE(codec, nullptr);
  EXPECT_TRUE(av_codec_is_decoder(codec->codec));
  std::vector<std::uint8_t> picture(64 * 48 * 2), out(64 * 48 * 2);
  StderrCapture capture;
  EXPECT_LT(vlib_codec_encode(codec, picture.data(), out.data()), 0);
  EXPECT_EQ(vlib_codec_encode(nullptr, picture.data(), out.data()), -1);
  EXPECT_EQ(vlib_codec_encode(codec, nullptr, out.data()), -1);
  EXPECT_EQ(vlib_codec_encode(codec, picture.data(), nullptr), -1);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "vlib: 'codec != NULL' FAILED.");
  EXPECT_EQ(lines[2], "vlib: 'src != NULL' FAILED.");
  EXPECT_EQ(lines[3], "vlib: 'dest != NULL' FAILED.");
  vlib_codec_free(codec);
}

// Each export encoder gives one packet for each picture, at once, with a
// key frame every gop_size pictures: nothing waits in the encoder.
TEST(VlibCodec, OnePacketPerPictureWithoutDelay) {
  for (std::uint32_t type : {6u, 1u, 2u, 4u}) {
    SCOPED_TRACE(type);
    for (int width : {176, 177}) {
      const int height = width == 176 ? 144 : 145;
      vlib_codec* codec = vlib_codec_create(type | VLIB_ENCODER, width, height, 5, 400, 5);
      ASSERT_NE(codec, nullptr);
      EXPECT_EQ(codec->context->width, 176);  // an odd size drops its last column
      EXPECT_EQ(codec->context->height, 144);
      std::vector<std::uint8_t> out(static_cast<std::size_t>(width * height * 3 / 2));
      for (int i = 0; i < 11; ++i) {
        std::vector<std::uint8_t> picture = Picture(width, height, i);
        const int bytes = vlib_codec_encode(codec, picture.data(), out.data());
        EXPECT_GT(bytes, 0) << i;
        EXPECT_EQ(codec->last_key, i % 5 == 0) << i;
      }
      vlib_codec_free(codec);
    }
  }
}

TEST(VlibFile, UnknownExtensionCreatesNothing) {
  TempDir dir;
  const std::string name = dir.Join("out.xyz");
  StderrCapture capture;
  EXPECT_EQ(vlib_file_open(name.c_str()), nullptr);
  EXPECT_EQ(vlib_file_open(nullptr), nullptr);
  EXPECT_TRUE(capture.Contains("vlib: unknown output file '" + name + "'."));
  EXPECT_TRUE(capture.Contains("vlib: 'filename != NULL' FAILED."));
  EXPECT_FALSE(FileExists(name));
}

TEST(VlibFile, MissingFolderCannotBeOpened) {
  TempDir dir;
  const std::string name = dir.Join("missing/out.avi");
  StderrCapture capture;
  EXPECT_EQ(vlib_file_open(name.c_str()), nullptr);
  EXPECT_TRUE(capture.Contains("vlib: can't open '" + name + "'"));
}

TEST(VlibFile, ArgumentChecks) {
  std::uint8_t byte = 0;
  StderrCapture capture;
  EXPECT_EQ(vlib_file_add_stream(nullptr, nullptr), -1);
  EXPECT_EQ(vlib_file_write(nullptr, 0, &byte, 1), -1);
  EXPECT_EQ(vlib_file_close(nullptr), -1);
  TempDir dir;
  vlib_file* file = vlib_file_open(dir.Join("a.avi").c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(vlib_file_add_stream(file, nullptr), -1);
  EXPECT_EQ(vlib_file_write(file, 0, nullptr, 1), -1);
  EXPECT_EQ(vlib_file_write(file, 0, &byte, 1), -1);  // no stream 0 yet
  EXPECT_EQ(vlib_file_close(file), 0);
  std::vector<std::string> lines = capture.Lines();
  const std::vector<std::string> expected = {
      "vlib: 'file != NULL' FAILED.",
      "vlib: 'file != NULL' FAILED.",
      "vlib: 'file != NULL' FAILED.",
      "vlib: created mpeg file '" + dir.Join("a.avi") + "'",
      "vlib: 'codec != NULL' FAILED.",
      "vlib: 'src != NULL' FAILED.",
      "vlib: '0 <= stream && stream < file->stream_count' FAILED.",
  };
  EXPECT_EQ(lines, expected);
}

// Opened, writing, closed: the header comes with the first frame, the
// trailer only after one; each container starts with its own signature.
TEST(VlibFile, StatesAndContainers) {
  const struct {
    const char* name;
    std::uint32_t type;
    std::string signature;
  } kCases[] = {
      {"out.avi", VLIB_CODEC_MPEG4, "RIFF"},
      {"out.mpg", VLIB_CODEC_MPEG1VIDEO, std::string("\x00\x00\x01\xba", 4)},
      {"out.asf", VLIB_CODEC_MSMPEG4V3, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"},
      {"out.wmv", VLIB_CODEC_WMV1, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Join(c.name);
    vlib_codec* codec = vlib_codec_create(c.type | VLIB_ENCODER, 176, 144, 10, 400, 10);
    ASSERT_NE(codec, nullptr);

    // Opened and closed without a frame: an empty file.
    vlib_file* file = vlib_file_open(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(vlib_file_add_stream(file, codec), 0);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(vlib_file_close(file), 0);
    EXPECT_EQ(ReadFile(path).size(), 0u);

    StderrCapture capture;
    file = vlib_file_open(path.c_str());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(vlib_file_add_stream(file, codec), 0);
    EXPECT_EQ(file->header_written, 0);
    std::vector<std::uint8_t> out(176 * 144 * 3 / 2);
    for (int i = 0; i < 3; ++i) {
      std::vector<std::uint8_t> picture = Picture(176, 144, i);
      const int bytes = vlib_codec_encode(codec, picture.data(), out.data());
      ASSERT_GT(bytes, 0);
      EXPECT_EQ(vlib_file_write(file, 0, out.data(), bytes), 0);
      EXPECT_EQ(file->header_written, 1);
    }
    EXPECT_EQ(vlib_file_close(file), 0);
    vlib_codec_free(codec);
    std::vector<std::string> lines = capture.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "vlib: created mpeg file '" + path + "'");
    EXPECT_EQ(lines[1].compare(0, 20, "vlib: added stream '"), 0) << lines[1];
    EXPECT_NE(lines[1].find("' on '" + path + "'."), std::string::npos) << lines[1];

    const std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), c.signature.size());
    EXPECT_EQ(bytes.compare(0, c.signature.size(), c.signature), 0);
  }
}
