#!/usr/bin/env bash
# Installs what one command needs on a Debian 12 machine (only what is
# missing) and builds FFmpeg for Windows once. Safe to run again.
#   tools/setup.sh [run|release|test] [--packages-only]
# run: the viewer on the sample backup (tools/run.sh); release: the zip
# (tools/release.sh); test, the default: everything tools/test.sh builds and
# runs. Prints the Windows FFmpeg prefix on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
set_name=${1:-test}

# FFmpeg for Windows from its Debian source package, and the Windows build.
windows=(
  cmake ninja-build make nasm dpkg-dev xz-utils
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
)
case "$set_name" in
  run)     packages=("${windows[@]}" wine wine64 fonts-wine xvfb xauth imagemagick) ;;
  release) packages=("${windows[@]}" zip git) ;;
  test)    packages=("${windows[@]}" wine wine64 fonts-wine xvfb xauth imagemagick
                     pkg-config g++ clang libclang-rt-14-dev
                     ffmpeg libavcodec-dev libavformat-dev libswscale-dev libavutil-dev
                     googletest libgtest-dev libjpeg-turbo-progs x11-apps xdotool) ;;
  *) echo "setup.sh: unknown set '$set_name' (run, release or test)" >&2; exit 2 ;;
esac

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

[ "${2:-}" = --packages-only ] || "$here/ffmpeg-win.sh"
