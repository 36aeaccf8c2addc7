// The program's version, one string for every part that names it (the
// checksum manifest of exports; later the About box and the installer).
#pragma once

constexpr char kOrvanelVersion[] = "1.2";
