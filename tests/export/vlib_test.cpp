#include "vlib/vlib.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "tests/export/stderr_capture.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::StderrCapture;
using testing_support::TempDir;

namespace {

// FFmpeg's own notices would bury the test output; its errors still show.
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
  const std::string kFps = "vlib: '1 <= fps && fps <= 30' FAILED.";
  const std::string kDest = "vlib: 'dest != NULL' FAILED.", kId = "vlib: 'id != NULL' FAILED.";
  const std::string kType = "vlib: 'type != NULL' FAILED.";
  const std::string kCodec = "vlib: 'codec != NULL' FAILED.", kSize = "vlib: 'size > 0' FAILED.";
  const std::string kBuf = "vlib: 'buf != NULL' FAILED.", kFile = "vlib: 'file != NULL' FAILED.";
  const std::string kSrc = "vlib: 'src != NULL' FAILED.", kGop = "vlib: '0 <= gop_size' FAILED.";
  const struct {
    const char* what;
    std::function<bool()> call;  // true when the result is the expected one
    std::vector<std::string> lines;
  } kCases[] = {
      {"log", [] { vlib_log("hello %d", 42); return true; }, {"vlib: hello 42"}},
      {"malloc 0", [] { return !vlib_malloc(0); }, {kSize}},
      {"calloc 0", [] { return !vlib_calloc(0); }, {kSize}},
      {"buffer -5", [] { return !vlib_buffer_create(-5); }, {kSize}},
      {"free null", [] { vlib_free(nullptr); return true; }, {"vlib: 'ptr != NULL' FAILED."}},
      {"buffer free null", [] { vlib_buffer_free(nullptr); return true; }, {kBuf}},
      {"layout null", [] { vlib_buffer_set_yuv420(nullptr, 2, 2); return true; }, {kBuf}},
      {"layout too large",
       [&] { vlib_buffer_set_yuv420(buf, 704, 576); return buf->plane[1] - buf->data == 84480; },
       {"vlib: '0 < packed && packed <= buf->size' FAILED."}},
      {"layout without data",
       [&] {
         std::uint8_t* data = buf->data;
         buf->data = nullptr;
         vlib_buffer_set_yuv420(buf, 2, 2);
         buf->data = data;
         return buf->plane[1] - buf->data == 84480;
       },
       {"vlib: 'buf->data != NULL' FAILED."}},
      {"type 13", [&] { vlib_codec_type_to_id(13, &id, &media); return id == 0 && media == -1; },
       {"vlib: unknown codec type '13'."}},
      {"type no id", [&] { vlib_codec_type_to_id(1, nullptr, &media); return true; }, {kId}},
      {"type no media", [&] { vlib_codec_type_to_id(1, &id, nullptr); return true; }, {kType}},
      {"create 0", [] { return !vlib_codec_create(VLIB_ENCODER, 176, 144, 25, 400, 25); },
       {"vlib: unknown codec type '0'.", "vlib: can't find codec id '0'."}},
      // A refused rate stays unset, so the encoder cannot open.
      {"create fps 0", [] { return !vlib_codec_create(1 | VLIB_ENCODER, 176, 144, 0, 400, 1); },
       {kFps, "vlib: can't open codec '12'."}},
      {"fps 1", [&] { return vlib_codec_set_fps(codec, 1) == 0; }, {}},
      {"fps 30", [&] { return vlib_codec_set_fps(codec, 30) == 0; }, {}},
      {"gop 0", [&] { return vlib_codec_set_gop_size(codec, 0) == 0; }, {}},
      {"fps 0", [&] { return vlib_codec_set_fps(codec, 0) == -1; }, {kFps}},
      {"fps 31", [&] { return vlib_codec_set_fps(codec, 31) == -1; }, {kFps}},
      {"gop -1", [&] { return vlib_codec_set_gop_size(codec, -1) == -1; }, {kGop}},
      {"fps null", [] { return vlib_codec_set_fps(nullptr, 5) == -1; }, {kCodec}},
      {"gop null", [] { return vlib_codec_set_gop_size(nullptr, 5) == -1; }, {kCodec}},
      {"bit rate null", [] { return vlib_codec_set_bit_rate(nullptr, 5) == -1; }, {kCodec}},
      {"open null", [] { return vlib_codec_open(nullptr) == -1; }, {kCodec}},
      {"codec free null", [] { return vlib_codec_free(nullptr) == -1; }, {kCodec}},
      {"encode null", [&] { return vlib_codec_encode(nullptr, src, dest) == -1; }, {kCodec}},
      {"encode no src", [&] { return vlib_codec_encode(codec, nullptr, dest) == -1; }, {kSrc}},
      {"encode no dest", [&] { return vlib_codec_encode(codec, src, nullptr) == -1; }, {kDest}},
      {"encode on a decoder", [&] { return vlib_codec_encode(decoder, src, dest) == -1; },
       {"vlib: 'ctx != NULL && avcodec_is_open(ctx) && av_codec_is_encoder(ctx->codec)' "
        "FAILED."}},
      {"open null", [] { return !vlib_file_open(nullptr); }, {"vlib: 'filename != NULL' FAILED."}},
      {"unknown extension", [&] { return !vlib_file_open(xyz.c_str()) && !FileExists(xyz); },
       {"vlib: unknown output file '" + xyz + "'."}},
      {"missing folder", [&] { return !vlib_file_open(missing.c_str()); },
       {"vlib: can't open '" + missing + "'"}},
      {"stream null", [] { return vlib_file_add_stream(nullptr, nullptr) == -1; }, {kFile}},
      {"write null", [&] { return vlib_file_write(nullptr, 0, src, 1) == -1; }, {kFile}},
      {"close null", [] { return vlib_file_close(nullptr) == -1; }, {kFile}},
      {"open file",
       [&] {
         vlib_file* file = vlib_file_open(avi.c_str());
         return file && vlib_file_add_stream(file, nullptr) == -1 &&
                vlib_file_write(file, 0, nullptr, 1) == -1 &&
                vlib_file_write(file, 0, src, 1) == -1 &&  // no stream 0 yet
                vlib_file_close(file) == 0;
       },
       {"vlib: created mpeg file '" + avi + "'", kCodec, kSrc,
        "vlib: '0 <= stream && stream < file->stream_count' FAILED."}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    bool expected = false;
    EXPECT_EQ(VlibLines([&] { expected = c.call(); }), c.lines);
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
  EXPECT_EQ(second->prev, head);
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

// Each export encoder gives one packet per picture at once, a key frame
// every gop_size pictures; an odd size drops its last column and row.
TEST(VlibCodec, OnePacketPerPictureWithoutDelay) {
  for (std::uint32_t type : {6u, 1u, 2u, 4u}) {
    for (int width : {176, 177}) {
      SCOPED_TRACE(std::to_string(type) + " " + std::to_string(width));
      const int height = width == 176 ? 144 : 145;
      vlib_codec* codec = vlib_codec_create(type | VLIB_ENCODER, width, height, 5, 400, 5);
      ASSERT_NE(codec, nullptr);
      EXPECT_EQ(codec->context->width, 176);
      EXPECT_EQ(codec->context->height, 144);
      std::vector<std::uint8_t> out(static_cast<std::size_t>(width * height * 3 / 2));
      for (int i = 0; i < 11; ++i) {
        std::vector<std::uint8_t> picture = Picture(width, height, i);
        EXPECT_GT(vlib_codec_encode(codec, picture.data(), out.data()), 0) << i;
        EXPECT_EQ(codec->last_key, i % 5 == 0) << i;
      }
      vlib_codec_free(codec);
    }
  }
}

// A file closed without a frame stays empty; the header comes with the
// first frame and the trailer (AVI and ASF: the index) at the close.
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
    vlib_codec* codec = vlib_codec_create(c.type | VLIB_ENCODER, 176, 144, 10, 400, 10);
    ASSERT_NE(codec, nullptr);
    StderrCapture capture;
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
    for (int i = 0; i < 3; ++i) {
      std::vector<std::uint8_t> picture = Picture(176, 144, i);
      const int bytes = vlib_codec_encode(codec, picture.data(), out.data());
      ASSERT_GT(bytes, 0);
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
