// The user's options that video windows follow. The shell hands the
// workspace its settings through this; the defaults are the options' own
// defaults, for a workspace that was handed none.
#pragma once

class ViewOptions {
 public:
  virtual ~ViewOptions() = default;
  // A new window plays on into the following minutes.
  virtual bool OverMinute() const { return true; }
  // A camera may have several windows; otherwise a minute opens into the
  // camera's window.
  virtual bool Overlapped() const { return false; }
  // Pictures are stretched with halftone (only where the system has it).
  virtual bool Halftone() const { return false; }
  // Pictures fill their windows; otherwise they keep their proportions
  // (black bars), as in a grid or a tiled workspace.
  virtual bool Stretch() const { return false; }
};
