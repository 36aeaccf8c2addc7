#!/usr/bin/env bash
# Activity indexing: `orvanel-cli activity` making the index of noisy 704 x 576
# minutes (25 frames a second) against Debian's ffmpeg decoding the same
# files at 1/8 size on one thread (`-threads 1 -lowres 3 ... -f null -`), and
# the same command answered from the index it made. Optionally the Windows
# build's orvanel-cli.exe under Wine on the same files.
#   bench/activity_index.sh BUILD_DIR [MINUTES] [WINDOWS_BUILD_DIR]
# MINUTES (default 2) minute folders of 1,500 frames (ffmpeg's moving test
# source with noise, linked into each folder). Best of three runs each.
# Prints "name: value" lines ("query_ratio: <from the index s / indexing s>",
# with a Windows build "wine_ratio: <Wine indexing s / ffmpeg s>", Wine's own
# start, timed apart as wine_start_s, taken off), and last
# "ratio: <indexing s / ffmpeg s>" (below 1: the index is made faster than
# ffmpeg decodes the files).
set -eu

build=${1:?usage: activity_index.sh BUILD_DIR [MINUTES] [WINDOWS_BUILD_DIR]}
minutes=${2:-2}
win_build=${3:-}
here=$(cd "$(dirname "$0")/.." && pwd)
cli=$build/cli/orvanel-cli
[ -x "$cli" ] || { echo "activity_index.sh: $cli is not built" >&2; exit 2; }
[ -z "$win_build" ] || [ -f "$win_build/cli/orvanel-cli.exe" ] ||
  { echo "activity_index.sh: $win_build/cli/orvanel-cli.exe is not built" >&2; exit 2; }
command -v ffmpeg > /dev/null || { echo "activity_index.sh: ffmpeg is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
camera=$work/frames/Bench
hour=$camera/2004-03-15/12
mkdir -p "$work/seq"
ffmpeg -hide_banner -nostdin -loglevel error -f lavfi \
  -i "testsrc2=size=704x576:rate=25,noise=alls=12:allf=t+u" -frames:v 1500 \
  -q:v 3 -pix_fmt yuvj420p "$work/seq/%04d.jpg"
for m in $(seq 0 $((minutes - 1))); do
  dir=$hour/$(printf '%02d' "$m")
  mkdir -p "$dir"
  for f in "$work"/seq/*.jpg; do
    n=$(basename "$f" .jpg)
    ln "$f" "$dir/$(printf '%04d' $(( (10#$n - 1) * 4 )))".jpg
  done
done
echo "frames: $(( 1500 * minutes )) in $minutes minute folders (704x576 noisy, every 0.04 s)"

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

ffmpeg_s=1e9 index_s=1e9 query_s=1e9 wine_s=1e9 start_s=1e9
wine() {
  WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$here/.wineprefix} "$here/tools/wine-run.sh" \
    "$win_build/cli/orvanel-cli.exe" "$@"
}
for run in 1 2 3; do
  t=$(now)
  ffmpeg -hide_banner -nostdin -loglevel error -threads 1 -lowres 3 \
    -f image2 -pattern_type glob -i "$hour/*/*.jpg" -f null -
  ffmpeg_s=$(min "$ffmpeg_s" "$(since "$t")")

  rm -rf "$work/index"
  t=$(now)
  "$cli" activity --index "$work/index" "$camera" > "$work/indexing.csv"
  index_s=$(min "$index_s" "$(since "$t")")
  t=$(now)
  "$cli" activity --index "$work/index" "$camera" > "$work/query.csv"
  query_s=$(min "$query_s" "$(since "$t")")
  cmp -s "$work/indexing.csv" "$work/query.csv" ||
    { echo "activity_index.sh: the index answers differently" >&2; exit 1; }

  if [ -n "$win_build" ]; then
    t=$(now)
    wine --help > /dev/null
    start_s=$(min "$start_s" "$(since "$t")")
    rm -rf "$work/index-win"
    t=$(now)
    wine activity --index "$(winpath "$work/index-win")" "$(winpath "$camera")" |
      tr -d '\r' > "$work/wine.csv"
    wine_s=$(min "$wine_s" "$(since "$t")")
    cmp -s "$work/indexing.csv" "$work/wine.csv" ||
      { echo "activity_index.sh: the Windows build answers differently" >&2; exit 1; }
  fi
done
echo "spans: $(( $(wc -l < "$work/indexing.csv") - 1 ))"
echo "ffmpeg_lowres3_s: $ffmpeg_s"
echo "index_s: $index_s"
echo "query_s: $query_s"
echo "query_ratio: $(awk -v a="$query_s" -v b="$index_s" 'BEGIN { printf "%.3f", a / b }')"
if [ -n "$win_build" ]; then
  echo "wine_start_s: $start_s"
  echo "wine_index_s: $wine_s"
  echo "wine_ratio: $(awk -v a="$wine_s" -v s="$start_s" -v b="$ffmpeg_s" 'BEGIN { printf "%.3f", (a - s) / b }')"
fi
echo "ratio: $(awk -v a="$index_s" -v b="$ffmpeg_s" 'BEGIN { printf "%.3f", a / b }')"
