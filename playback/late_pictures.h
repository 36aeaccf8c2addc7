// When playback last fell behind, process-wide: every playing child notes a
// picture shown more than a frame period after it was due, and work that
// must never make playback late (the background indexer) gives way while it
// has lately. Any thread; no locks.
#pragma once

#include <chrono>

// A 25-pictures-a-second frame period: later than this, a picture is late.
constexpr std::chrono::milliseconds kLatePicture{40};

// Called after a picture is shown, with when it was due and when it was shown.
void NotePictureShown(std::chrono::steady_clock::time_point due,
                      std::chrono::steady_clock::time_point shown);
// When a late picture was last shown (the clock's epoch when none was).
std::chrono::steady_clock::time_point LastLatePicture();
