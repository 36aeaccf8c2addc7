// What a VideoChild does to the user interface: the slider, the time text and
// the picture. The Win32 window implements it by sending messages to the
// user-interface thread and waiting for them to be handled; tests and
// benchmarks fake it.
#pragma once

#include <cstdint>

#include "playback/frame_decoder.h"
#include "store/minute_frame_list.h"

class VideoView : public FrameListView {
 public:
  ~VideoView() override;

  // Slider range and thumb (from FrameListView): called by the playback
  // thread and by the user-interface thread, never with a child lock held.

  // Sets the time text (" HH : MM : SS CC"). Any thread, no child lock held.
  virtual void SetTimeText(const char* text) = 0;

  // A new picture has been published: have VideoChild::Paint run now on the
  // thread that owns the window (the Win32 view sends a message and waits)
  // and answer its result. Any thread, no child lock held.
  virtual int Repaint() = 0;

  // Draws the picture (rows top-down, each rounded up to 4 bytes). Called by
  // VideoChild::Paint with the child's picture lock held, on the thread that
  // paints: it must not wait for another thread. Answers 0 or -1.
  virtual int DrawPicture(const BitmapHeader& header,
                          const std::uint8_t* pixels) = 0;

  // The playback thread's last call to the child: its loop has ended and it
  // touches the child no more after this returns, so the child may be
  // destroyed from here (the Win32 view calls ChildManager::Unload).
  virtual void ThreadEnded() = 0;
};
