// vlib: the small encoding library over FFmpeg's codec and container
// libraries. Four records (list node, picture buffer, codec, output file) and
// plain functions that check every argument and report every failure as one
// "vlib: " line on standard error; nothing here shows a message or stops the
// program. Results: a record or NULL, 0 or -1, or nothing.
//
// The export job uses it to encode pictures and write them into one video
// file; the child window manager keeps its table of video windows in a
// vlib_node list.
//
// FFmpeg 5.1 needs no global registration of codecs and formats (every
// codec and container is available once the libraries are linked), so the
// library has no initialisation call and the program makes none.
//
// Threads: the library has no global state besides its log sink (standard
// error) and takes no locks; a codec or file is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

struct AVBufferRef;
struct AVCodec;
struct AVCodecContext;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

// Added to a library codec type: ask for an encoder (without it: a decoder).
constexpr std::uint32_t VLIB_ENCODER = 0x80000000u;

// Library codec types (the number handed to vlib_codec_create). The export
// uses 6 (.mpg), 1 (.avi), 2 (.asf) and 4 (.wmv). Types 7 and 8 are PCM
// signed 16-bit little-endian and IMA ADPCM (WAV flavour): both are in the
// Windows FFmpeg build. Audio encoders need sample parameters that
// vlib_codec_create does not set, so only their decoders open as made here.
enum {
  VLIB_CODEC_MPEG4 = 1,        // MPEG-4 part 2
  VLIB_CODEC_MSMPEG4V3 = 2,    // MS-MPEG4 version 3
  VLIB_CODEC_MJPEG = 3,
  VLIB_CODEC_WMV1 = 4,         // Windows Media Video 7
  VLIB_CODEC_H263P = 5,        // H.263 version 2
  VLIB_CODEC_MPEG1VIDEO = 6,
  VLIB_CODEC_PCM_S16LE = 7,
  VLIB_CODEC_ADPCM_IMA_WAV = 8,
  VLIB_CODEC_MP2 = 9,
  VLIB_CODEC_MP3 = 10,
  VLIB_CODEC_VORBIS = 11,
  VLIB_CODEC_AC3 = 12,
};

// Media types reported by vlib_codec_type_to_id.
enum { VLIB_MEDIA_VIDEO = 0, VLIB_MEDIA_AUDIO = 1 };

// Most streams one output file takes.
constexpr int VLIB_MAX_STREAMS = 4;

// ---------------------------------------------------------------- records

// Doubly linked list node. A list is its head node; an empty list is NULL.
struct vlib_node {
  vlib_node* next;
  vlib_node* prev;
  void* data;  // the caller's object, not owned by the list
};

// Picture buffer: an owned data block and three plane pointers into it.
struct vlib_buffer {
  std::uint8_t* data;
  std::uint8_t* plane[3];  // Y, U, V
  std::int32_t size;       // bytes in data
  std::int32_t plane_size[3];
};

// Plane pointers and line lengths of the picture being encoded.
struct vlib_picture {
  std::uint8_t* data[3];
  int linesize[3];
};

struct vlib_codec {
  const AVCodec* codec;
  AVCodecContext* context;  // owned
  vlib_picture picture;     // filled anew for each picture encoded
  vlib_buffer* buf;         // width x height x 2 bytes, YUV 4:2:0 layout

  // Below: the library's own bookkeeping.
  std::uint32_t type;  // library codec type, VLIB_ENCODER included
  int width;       // picture size as given; the encoder may take one less
  int height;      //   column or row (see vlib_codec_create)
  int bit_rate;    // kbit/s
  int fps;
  int gop_size;
  std::int64_t next_pts;  // pictures sent to the encoder
  int last_key;           // the last packet produced was a key frame
  AVFrame* frame;         // owned; describes `picture` to the encoder
  AVPacket* packet;       // owned; receives the encoder's packets
  AVBufferRef* frame_ref; // wraps the caller's picture (never owns it)
  const std::uint8_t* frame_ref_data;
};

struct vlib_file {
  int header_written;       // 0 after opening, 1 once the header is out
  AVFormatContext* format;  // owned; its url holds the file name
  AVDictionary* params;     // format parameters, empty (owned)

  // Below: per stream, the encoder's time base, the frames written and the
  // codec whose packets the stream carries (read for the key-frame flag).
  int stream_count;
  int time_base_num[VLIB_MAX_STREAMS];
  int time_base_den[VLIB_MAX_STREAMS];
  std::int64_t frames[VLIB_MAX_STREAMS];
  const vlib_codec* stream_codec[VLIB_MAX_STREAMS];
  AVPacket* packet;  // owned; reused for every write
};

// ---------------------------------------------------------------- memory

// size 0: "'size > 0' FAILED."; out of memory: "failed to allocate %lud bytes."
void* vlib_malloc(std::size_t size);
void* vlib_calloc(std::size_t size);  // zero-filled
void vlib_free(void* ptr);            // NULL: "'ptr != NULL' FAILED."

// ---------------------------------------------------------------- lists

// Appends a node holding `data` after the last node; returns the head (the
// new node when the list was empty). When the node cannot be allocated the
// failure is logged and the list is returned unchanged (check the last
// node's data if it matters).
vlib_node* vlib_list_append(vlib_node* head, void* data);
// The node without a next one; NULL for an empty list.
vlib_node* vlib_list_last(vlib_node* head);
// Takes `node` out of the list and returns the new head. The node's links
// are cleared; the caller releases it with vlib_free.
vlib_node* vlib_list_unlink(vlib_node* head, vlib_node* node);

// ---------------------------------------------------------------- buffers

// A zeroed record with a data block of `size` bytes (plane pointers unset).
vlib_buffer* vlib_buffer_create(int size);
// Releases the record only: release buf->data first with vlib_free.
void vlib_buffer_free(vlib_buffer* buf);
// Lays out packed planar YUV 4:2:0 in buf->data: with n = width x height,
// Y at 0 (n bytes), U at n (n/4 bytes), V at n + n/4 (n/4 bytes). A layout
// that does not fit buf->size is refused with a logged check.
void vlib_buffer_set_yuv420(vlib_buffer* buf, int width, int height);

// ---------------------------------------------------------------- codecs

// Maps a library codec type (VLIB_ENCODER ignored) to FFmpeg's codec id and
// the media type. Unknown: "unknown codec type '%d'.", *id 0, *type -1.
void vlib_codec_type_to_id(std::uint32_t codec_type, int* id, int* type);

// Finds the encoder (VLIB_ENCODER set) or decoder, makes its context, sets
// size, bit rate (kbit/s), frame rate and GOP size (encoders), opens it and
// makes `buf`. NULL on failure, with the failing step's line logged.
//
// Where FFmpeg 5.1 refuses what a caller may ask, the encoder is adjusted
// here, keeping the requested timing:
// - YUV 4:2:0 has one chroma sample per two columns and rows, and the
//   buffer layout gives chroma (width/2) x (height/2) samples; an odd width
//   or height therefore encodes one column or row less (WMV1 also refuses
//   odd widths outright). `width` and `height` keep the sizes given, which
//   are also the layout of the pictures vlib_codec_encode takes.
// - MPEG-1 video only codes the frame rates 23.976, 24, 25, 29.97, 30, 50,
//   59.94 and 60 (and 5, 10, 12, 15 as unofficial extensions). Other rates
//   are opened in FFmpeg's experimental mode: the sequence header carries
//   the nearest codable rate, while every packet is time-stamped at the
//   requested rate, so players that follow the time stamps (all current
//   ones) play at the recording's speed.
// Encoders open with no B-frames (FFmpeg's default), so one picture in
// gives its packet at once: no delayed packets to drain at the end.
vlib_codec* vlib_codec_create(std::uint32_t codec_type, int width, int height,
                              int fps, int bit_rate, int gop_size);
// The same with each picture lasting exactly frame_num / frame_den seconds
// (e.g. 6/100), for recordings whose frame step is no whole fraction of a
// second: the encoder's and the stream's time base are that duration, so
// the file plays exactly as long as its pictures say (AVI's scale and rate,
// ASF's millisecond stamps and MPEG-4's time increments all hold such
// bases). See vlib_codec_set_frame_duration for the limits.
vlib_codec* vlib_codec_create_timed(std::uint32_t codec_type, int width, int height,
                                    int frame_num, int frame_den, int bit_rate,
                                    int gop_size);
int vlib_codec_free(vlib_codec* codec);

// Before vlib_codec_open (that is, inside vlib_codec_create) these set the
// encoder's parameters; on an open codec they only change the record, the
// running encoder keeps what it was opened with.
int vlib_codec_set_bit_rate(vlib_codec* codec, int bit_rate);  // kbit/s
int vlib_codec_set_fps(vlib_codec* codec, int fps);            // 1 to 30
int vlib_codec_set_gop_size(vlib_codec* codec, int gop_size);  // 0 or more
// A picture's duration in seconds, num / den (kept reduced): den at most
// 65535, MPEG-4 part 2's largest time increment resolution; at least one
// picture per 100 s. `fps` becomes the nearest whole rate (at least 1).
int vlib_codec_set_frame_duration(vlib_codec* codec, int num, int den);

// Opens the codec's context. "can't open codec '%d'." on failure.
int vlib_codec_open(vlib_codec* codec);

// Encodes one picture: `src` is packed YUV 4:2:0 of the codec's width and
// height (the vlib_buffer_set_yuv420 layout); the packet goes to `dest`,
// which takes up to width x height x 3 / 2 bytes. Returns the bytes
// produced (0 when the encoder held the picture back) or a negative FFmpeg
// error. Each call is one frame: the picture is time-stamped one frame
// after the previous one.
int vlib_codec_encode(vlib_codec* codec, const std::uint8_t* src,
                      std::uint8_t* dest);

// ---------------------------------------------------------------- files

// Creates (or truncates) `filename`; the container comes from the
// extension (.avi AVI, .mpg MPEG-1 system stream, .asf/.wmv ASF). Nothing
// is written until the first vlib_file_write. NULL on failure.
vlib_file* vlib_file_open(const char* filename);
// Adds a stream carrying the codec's packets (stream 0 first). Write a
// stream only while its codec lives: writes read its key-frame flag.
int vlib_file_add_stream(vlib_file* file, vlib_codec* codec);
// Writes the header on the first call, then `size` bytes as the stream's
// next frame (time stamps one frame apart at the stream's frame rate;
// 0 bytes advance the clock without a packet). 0, or -1 when the header
// cannot be written.
int vlib_file_write(vlib_file* file, int stream, const std::uint8_t* src,
                    int size);
// Writes the trailer when the header was written (a file that received no
// frame stays empty), closes the file and releases the record.
int vlib_file_close(vlib_file* file);

// ---------------------------------------------------------------- log

// Writes "vlib: <message>\n" to standard error in one call; the message is
// cut to fit a line of at most 247 characters.
void vlib_log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
