#!/usr/bin/env bash
# Runs each fuzz target for a while from a freshly made seed corpus.
#   tests/fuzz/run.sh BUILD_DIR SECONDS
# BUILD_DIR is a build configured with -DORVANEL_FUZZ=ON (clang). Prints each
# target's corpus size and exit code; exits non-zero when a target crashed,
# leaving the crashing input in BUILD_DIR/fuzz-artifacts/.
set -u
build=$(cd "${1:?usage: run.sh BUILD_DIR SECONDS}" && pwd)
seconds=${2:?usage: run.sh BUILD_DIR SECONDS}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/fuzz_decode" "$work/fuzz_frame_names" "$work/fuzz_activity_index" "$build/fuzz-artifacts"
export TMPDIR=$work  # where the decode target writes its frame file

# Decoder seeds: small pictures in each chroma layout the cameras write, and
# greyscale and progressive ones when libjpeg's tools are there.
for seed in s420:yuvj420p:64x48 s422:yuvj422p:48x32 s444:yuvj444p:40x24 odd:yuvj420p:35x19; do
  IFS=: read -r name format size <<< "$seed"
  ffmpeg -v error -y -f lavfi -i "testsrc=size=$size:rate=1" -frames:v 1 -c:v mjpeg -pix_fmt "$format" \
    -q:v 6 "$work/fuzz_decode/$name.jpg" || echo "warning: no seed $name" >&2
done
if command -v cjpeg > /dev/null &&
   ffmpeg -v error -y -f lavfi -i "testsrc=size=48x32:rate=1" -frames:v 1 "$work/p.ppm"; then
  cjpeg -grayscale -quality 70 "$work/p.ppm" > "$work/fuzz_decode/grey.jpg"
  cjpeg -progressive -quality 70 "$work/p.ppm" > "$work/fuzz_decode/progressive.jpg"
fi
# Name seeds: the three schemes, folder levels and oddities.
i=0
for name in 4307.jpg 43075.jpg 43-07.jpg 4375.jpg 2004-03-15 8284-12-31 07 23 59 " -1" 0000.JPG 123456789012.jpg; do
  printf '%s' "$name" > "$work/fuzz_frame_names/seed$((i++))"
done

# Index seeds: the index files the command line makes of two short minutes,
# one still, one with the test source moving, one with a damaged frame.
for minute in 00 01; do
  mkdir -p "$work/cam/2004-03-15/12/$minute"
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=96x64:rate=4" -frames:v 12 -c:v mjpeg \
    -pix_fmt yuvj420p -q:v 6 -start_number 0 "$work/cam/2004-03-15/12/$minute/%02d00.jpg" || echo "warning: no frames" >&2
done
cp "$work/cam/2004-03-15/12/00/0000.jpg" "$work/still.jpg"
for f in "$work"/cam/2004-03-15/12/00/*.jpg; do cp "$work/still.jpg" "$f"; done
printf 'cut' > "$work/cam/2004-03-15/12/01/0500.jpg"
"$build/cli/orvanel-cli" activity --index "$work/index" "$work/cam" > /dev/null ||
  echo "warning: no index seeds" >&2
i=0
for f in $(find "$work/index" -name '*.idx' 2> /dev/null); do cp "$f" "$work/fuzz_activity_index/seed$((i++))"; done

status=0
for target in fuzz_decode fuzz_frame_names fuzz_activity_index; do
  exe=$build/tests/fuzz/$target
  corpus=$work/$target
  if [ ! -x "$exe" ]; then
    echo "$target: not built in $build" >&2
    status=1
    continue
  fi
  before=$(ls "$corpus" | wc -l)
  "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-artifacts/$target-" "$corpus" > "$work/$target.log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$target.log" | grep -o '[0-9]*$')
  echo "$target: seeds $before, corpus $(ls "$corpus" | wc -l), runs ${runs:-?}, exit $rc"
  if [ "$rc" -ne 0 ]; then
    status=1
    tail -n 40 "$work/$target.log"
  fi
done
exit "$status"
