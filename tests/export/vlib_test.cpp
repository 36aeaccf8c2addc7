#include "vlib/vlib.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::StderrCapture;
using testing_support::TempDir;

namespace {

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

// Each refused argument fails the call and is reported as one line; the
// limits themselves are accepted silently.
TEST(VlibChecks, RefusedArgumentsAreLogged) {
  TempDir dir;
  vlib_codec* codec = vlib_codec_create(VLIB_CODEC_MPEG4 | VLIB_ENCODER, 176, 144, 10, 400, 10);
  vlib_codec* decoder = vlib_codec_create(VLIB_CODEC_MJPEG, 64, 48, 25, 400, 25);
  vlib_buffer* buf = vlib_buffer_create(352 * 240 * 2);
  ASSERT_TRUE(codec && decoder && buf);
  EXPECT_TRUE(av_codec_is_decoder(decoder->codec));
  EXPECT_EQ(buf->plane[0], nullptr);  // zeroed until laid out
  vlib_buffer_set_yuv420(buf, 352, 240);
  EXPECT_EQ(buf->plane[0], buf->data);
  EXPECT_EQ(buf->plane[1] - buf->data, 84480);
  EXPECT_EQ(buf->plane[2] - buf->data, 105600);
  EXPECT_EQ(std::vector<int>(buf->plane_size, buf->plane_size + 3),
            (std::vector<int>{84480, 21120, 21120}));

  std::vector<std::uint8_t> in(176 * 144 * 2), out(176 * 144 * 2);
  std::uint8_t* src = in.data();
  std::uint8_t* dest = out.data();
  int id = -5, media = -5;
  const std::string xyz = dir.Join("out.xyz"), missing = dir.Join("missing/out.avi"),
                    avi = dir.Join("a.avi");
  const std::string fps = F("1 <= fps && fps <= 30"), size = F("size > 0");
  const std::string nullCodec = F("codec != NULL"), nullFile = F("file != NULL");
  const struct {
    std::vector<std::string> lines;
    std::function<bool()> call;  // true when the result is the expected one
  } kCases[] = {
      {{"vlib: hello 42"}, [] { vlib_log("hello %d", 42); return true; }},
      {{size}, [] { return !vlib_malloc(0); }},
      {{size}, [] { return !vlib_calloc(0); }},
      {{size}, [] { return !vlib_buffer_create(-5); }},
      {{F("ptr != NULL")}, [] { vlib_free(nullptr); return true; }},
      {{F("buf != NULL")}, [] { vlib_buffer_free(nullptr); return true; }},
      {{F("buf != NULL")}, [] { vlib_buffer_set_yuv420(nullptr, 2, 2); return true; }},
      {{F("0 < packed && packed <= buf->size")},
       [&] { vlib_buffer_set_yuv420(buf, 704, 576); return buf->plane[1] - buf->data == 84480; }},
      {{F("buf->data != NULL")},
       [&] {
         std::uint8_t* data = buf->data;
         buf->data = nullptr;
         vlib_buffer_set_yuv420(buf, 2, 2);
         buf->data = data;
         return buf->plane[1] - buf->data == 84480;
       }},
      {{"vlib: unknown codec type '13'."},
       [&] { vlib_codec_type_to_id(13, &id, &media); return id == 0 && media == -1; }},
      {{F("id != NULL")}, [&] { vlib_codec_type_to_id(1, nullptr, &media); return true; }},
      {{F("type != NULL")}, [&] { vlib_codec_type_to_id(1, &id, nullptr); return true; }},
      {{"vlib: unknown codec type '0'.", "vlib: can't find codec id '0'."},
       [] { return !vlib_codec_create(VLIB_ENCODER, 176, 144, 25, 400, 25); }},
      // A refused rate stays unset, so the encoder cannot open.
      {{fps, "vlib: can't open codec '12'."},
       [] { return !vlib_codec_create(1 | VLIB_ENCODER, 176, 144, 0, 400, 1); }},
      {{}, [&] { return vlib_codec_set_fps(codec, 1) == 0; }},
      {{}, [&] { return vlib_codec_set_fps(codec, 30) == 0; }},
      {{}, [&] { return vlib_codec_set_gop_size(codec, 0) == 0; }},
      {{fps}, [&] { return vlib_codec_set_fps(codec, 0) == -1; }},
      {{fps}, [&] { return vlib_codec_set_fps(codec, 31) == -1; }},
      {{F("0 <= gop_size")}, [&] { return vlib_codec_set_gop_size(codec, -1) == -1; }},
      {{nullCodec}, [] { return vlib_codec_set_fps(nullptr, 5) == -1; }},
      {{nullCodec}, [] { return vlib_codec_set_gop_size(nullptr, 5) == -1; }},
      {{nullCodec}, [] { return vlib_codec_set_bit_rate(nullptr, 5) == -1; }},
      {{nullCodec}, [] { return vlib_codec_open(nullptr) == -1; }},
      {{nullCodec}, [] { return vlib_codec_free(nullptr) == -1; }},
      {{nullCodec}, [&] { return vlib_codec_encode(nullptr, src, dest) == -1; }},
      {{F("src != NULL")}, [&] { return vlib_codec_encode(codec, nullptr, dest) == -1; }},
      {{F("dest != NULL")}, [&] { return vlib_codec_encode(codec, src, nullptr) == -1; }},
      {{F("ctx != NULL && avcodec_is_open(ctx) && av_codec_is_encoder(ctx->codec)")},
       [&] { return vlib_codec_encode(decoder, src, dest) == -1; }},
      {{F("filename != NULL")}, [] { return !vlib_file_open(nullptr); }},
      {{"vlib: unknown output file '" + xyz + "'."},
       [&] { return !vlib_file_open(xyz.c_str()) && !FileExists(xyz); }},
      {{"vlib: can't open '" + missing + "'"}, [&] { return !vlib_file_open(missing.c_str()); }},
      {{nullFile}, [] { return vlib_file_add_stream(nullptr, nullptr) == -1; }},
      {{nullFile}, [&] { return vlib_file_write(nullptr, 0, src, 1) == -1; }},
      {{nullFile}, [] { return vlib_file_close(nullptr) == -1; }},
      {{"vlib: created mpeg file '" + avi + "'", nullCodec, F("src != NULL"),
        F("0 <= stream && stream < file->stream_count")},
       [&] {
         vlib_file* file = vlib_file_open(avi.c_str());
         return file && vlib_file_add_stream(file, nullptr) == -1 &&
                vlib_file_write(file, 0, nullptr, 1) == -1 &&
                vlib_file_write(file, 0, src, 1) == -1 &&  // no stream 0 yet
                vlib_file_close(file) == 0;
       }},
  };
  for (std::size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    SCOPED_TRACE(i);
    bool expected = false;
    EXPECT_EQ(VlibLines([&] { expected = kCases[i].call(); }), kCases[i].lines);
    EXPECT_TRUE(expected);
  }
  // On an open encoder the setters change the record only.
  EXPECT_EQ(codec->context->time_base.den, 10);
  EXPECT_EQ(codec->fps, 30);
  // A line is cut to 247 characters, line feed included.
  const auto cut = VlibLines([] { vlib_log("%s", std::string(400, 'x').c_str()); });
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].size(), 246u);
  vlib_free(buf->data);
  vlib_buffer_free(buf);
  vlib_codec_free(decoder);
  vlib_codec_free(codec);
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
  EXPECT_EQ(vlib_list_unlink(head, nullptr), head);

  // The head: the second node becomes head, without a prev.
  vlib_node* oldHead = head;
  head = vlib_list_unlink(head, oldHead);
  EXPECT_EQ(head, second);
  EXPECT_EQ(head->prev, nullptr);
  EXPECT_EQ(oldHead->next, nullptr);
  vlib_free(oldHead);
  // The last: the previous one loses its next.
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
  // The only node: the list becomes empty.
  vlib_node* last = head->next;
  head = vlib_list_unlink(head, last);
  vlib_free(last);
  EXPECT_EQ(vlib_list_unlink(head, head), nullptr);
  vlib_free(head);
}

// A file closed without a frame stays empty; the header comes with the
// first frame and the trailer (AVI and ASF: the index) at the close. Each
// export encoder gives a packet per picture at once, a key frame every
// gop_size pictures.
TEST(VlibFile, StatesAndContainers) {
  const std::string asf = "\x30\x26\xb2\x75\x8e\x66\xcf\x11";
  const std::string asfIndex("\x90\x08\x00\x33\xb1\xe5\xcf\x11", 8);
  const struct {
    const char* name;
    std::uint32_t type;
    std::string signature, trailer;
  } kCases[] = {
      {"out.avi", VLIB_CODEC_MPEG4, "RIFF", "idx1"},
      {"out.mpg", VLIB_CODEC_MPEG1VIDEO, std::string("\x00\x00\x01\xba", 4), ""},  // no index
      {"out.asf", VLIB_CODEC_MSMPEG4V3, asf, asfIndex},
      {"out.wmv", VLIB_CODEC_WMV1, asf, asfIndex},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Join(c.name);
    vlib_codec* codec = vlib_codec_create(c.type | VLIB_ENCODER, 176, 144, 10, 400, 2);
    ASSERT_NE(codec, nullptr);
    StderrCapture quiet;
    vlib_file* file = vlib_file_open(path.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(vlib_file_add_stream(file, codec), 0);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(vlib_file_close(file), 0);
    EXPECT_EQ(ReadFile(path).size(), 0u);

    file = vlib_file_open(path.c_str());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(vlib_file_add_stream(file, codec), 0);
    EXPECT_EQ(file->header_written, 0);
    std::vector<std::uint8_t> out(176 * 144 * 3 / 2);
    for (int i = 0; i < 5; ++i) {
      std::vector<std::uint8_t> picture = Picture(176, 144, i);
      const int bytes = vlib_codec_encode(codec, picture.data(), out.data());
      ASSERT_GT(bytes, 0);
      EXPECT_EQ(codec->last_key, i % 2 == 0) << i;
      EXPECT_EQ(vlib_file_write(file, 0, out.data(), bytes), 0);
      EXPECT_EQ(file->header_written, 1);
    }
    EXPECT_EQ(vlib_file_close(file), 0);
    vlib_codec_free(codec);
    const std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), c.signature.size());
    EXPECT_EQ(bytes.compare(0, c.signature.size(), c.signature), 0);
    EXPECT_NE(bytes.find(c.trailer), std::string::npos);
  }
}
