// What a VideoChild tells the window that shows it. The child never waits for
// the window: it says that something changed, and the window pulls the state
// (VideoChild::GetViewState) and the picture (VideoChild::Paint) on its own
// thread when it gets round to it.
#pragma once

class VideoView {
 public:
  virtual ~VideoView();

  // Something the view shows changed: a new picture, the time text, the
  // slider's range or thumb, the mode. Called on any thread, never with a
  // child lock held; must not wait for the user-interface thread (Win32: one
  // PostMessage, coalesced with an atomic "pending" flag so that a busy
  // user-interface thread gets one message, not a queue of them).
  virtual void Changed() = 0;

  // The playback thread's last call: it touches the child no more after this
  // returns. Must not destroy the child; the Win32 view posts to the
  // user-interface thread, which removes the child from its table, destroys
  // it and joins the finished thread.
  virtual void ThreadEnded() = 0;
};
