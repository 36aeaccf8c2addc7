#!/usr/bin/env bash
# Playback's frame decoding (read, decode, convert to BGR; one thread) against
# Debian's ffmpeg decoding the same files to nothing (one thread, no
# conversion) and libjpeg-turbo's tjbench on one of them (the practical
# limit of a JPEG decoder on this machine).
#   bench/decode.sh BUILD_DIR [FOLDER]
# FOLDER holds 704 x 576 4:2:0 frame files, e.g. a minute of the sample
# backup; without it 300 frames are made with the sample generator.
# Prints "name: value" lines; the last is "ratio: <orvanel fps / ffmpeg fps>".
set -eu

build=${1:?usage: decode.sh BUILD_DIR [FOLDER]}
bench=$build/bench/bench-decode
rounds=3
[ -x "$bench" ] || { echo "decode.sh: $bench is not built" >&2; exit 2; }
command -v ffmpeg > /dev/null || { echo "decode.sh: ffmpeg is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ $# -ge 2 ]; then
  folder=$2
else
  folder=$work/frames
  mkdir -p "$folder"
  "$bench" --make "$folder" 300 > /dev/null
fi
count=$(find "$folder" -maxdepth 1 -name '*.jpg' | wc -l)
frames=$((count * rounds))

# Orvanel: every frame $rounds times (it warms the file cache first).
"$bench" "$folder" "$rounds" | sed 's/^ratio:/conversion_ratio:/' > "$work/orvanel.txt"
cat "$work/orvanel.txt"
orvanel_fps=$(sed -n 's/^orvanel_fps: //p' "$work/orvanel.txt")

# ffmpeg: the same files the same number of times, wall time of the command.
start=$(date +%s.%N)
ffmpeg -hide_banner -nostdin -loglevel error -threads 1 \
  -stream_loop $((rounds - 1)) -f image2 -pattern_type glob -i "$folder/*.jpg" \
  -progress "$work/progress.txt" -f null -
end=$(date +%s.%N)
ffmpeg_frames=$(sed -n 's/^frame=//p' "$work/progress.txt" | tail -n 1)
if [ "$ffmpeg_frames" != "$frames" ]; then
  echo "decode.sh: ffmpeg decoded $ffmpeg_frames frames, not $frames" >&2
  exit 1
fi
ffmpeg_fps=$(awk -v f="$frames" -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", f / (b - a) }')
echo "ffmpeg_seconds: $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
echo "ffmpeg_fps: $ffmpeg_fps"

# libjpeg-turbo: decompression of one frame to BGR, in frames per second.
if command -v tjbench > /dev/null; then
  first=$(find "$folder" -maxdepth 1 -name '*.jpg' | sort | head -n 1)
  tjbench "$first" -bgr -benchtime 3 -warmup 1 -quiet > "$work/tj.txt" 2>&1 || true
  tj_fps=$(awk '$1 == "BGR" && $9 + 0 > 0 { printf "%.1f", $9 * 1e6 / ($5 * $6) }' "$work/tj.txt")
  if [ -n "$tj_fps" ]; then
    echo "tjbench_fps: $tj_fps"
    echo "share_of_tjbench: $(awk -v o="$orvanel_fps" -v t="$tj_fps" 'BEGIN { printf "%.3f", o / t }')"
  else
    echo "tjbench_fps: n/a"
  fi
else
  echo "tjbench_fps: n/a (libjpeg-turbo-progs not installed)"
fi

echo "ratio: $(awk -v o="$orvanel_fps" -v f="$ffmpeg_fps" 'BEGIN { printf "%.3f", o / f }')"
