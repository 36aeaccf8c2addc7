#!/usr/bin/env bash
# Configures and builds one configuration. Usage:
#   tools/build.sh native|asan|tsan|win|fuzz [FFMPEG_WIN_PREFIX] [TARGET...]
# Build folders: build (native), build-asan, build-tsan, build-win, build-fuzz.
# With TARGETs only those are built, and a build folder made for them leaves
# out the tests and benchmarks (a later full build adds them).
# ORVANEL_JOBS: parallel jobs (default: the cores); ORVANEL_KEEP_GOING=1: go on
# past failed compiles.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
targets=("${@:3}")
jobs=${ORVANEL_JOBS:-$(nproc)}
tests=ON bench=ON
case "$kind" in
  native) dir=build; args=() ;;
  asan)   dir=build-asan; args=(-DORVANEL_SANITIZE=address,undefined); bench=OFF ;;
  tsan)   dir=build-tsan; args=(-DORVANEL_SANITIZE=thread); bench=OFF ;;
  win)    dir=build-win
          args=(-DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake"
                -DORVANEL_FFMPEG_PREFIX="${2:?FFmpeg prefix for Windows}") ;;
  fuzz)   dir=build-fuzz
          export CC=clang CXX=clang++
          args=(-DORVANEL_FUZZ=ON -DORVANEL_SANITIZE=address,undefined)
          tests=OFF bench=OFF ;;
  *) echo "build.sh: unknown configuration '$kind'" >&2; exit 2 ;;
esac
# A compiler cache, where the machine has one, makes rebuilds of other
# checkouts and configurations cheap.
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$repo}
fi
if [ ${#targets[@]} -eq 0 ]; then
  args+=(-DORVANEL_TESTS=$tests -DORVANEL_BENCH=$bench)
else
  # A targeted build keeps what the folder has; a new one gets neither.
  [ -f "$repo/$dir/CMakeCache.txt" ] || args+=(-DORVANEL_TESTS=OFF -DORVANEL_BENCH=OFF)
  targets=(--target "${targets[@]}")
fi
cmake -S "$repo" -B "$repo/$dir" -G Ninja "${args[@]}" >/dev/null
keep=()
[ -z "${ORVANEL_KEEP_GOING:-}" ] || keep=(-- -k 0)
cmake --build "$repo/$dir" -j "$jobs" "${targets[@]}" "${keep[@]}"
