#!/usr/bin/env bash
# Installs what the project needs on a Debian 12 machine (only what is
# missing) and builds FFmpeg for Windows once. Safe to run again.
# Prints the Windows FFmpeg prefix on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  cmake ninja-build make pkg-config g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth
  nasm dpkg-dev xz-utils
  ffmpeg libavcodec-dev libavformat-dev libswscale-dev libavutil-dev
  googletest libgtest-dev libjpeg-turbo-progs
  imagemagick x11-apps xdotool fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >&2
  apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi

"$here/ffmpeg-win.sh"
