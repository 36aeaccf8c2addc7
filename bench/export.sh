#!/usr/bin/env bash
# Export of noisy 704 x 576 minutes to .avi (MPEG-4 part 2, 400 kbit/s):
# `orvanel-cli export` without and with --stamp (the time stamp's cost)
# against Debian's ffmpeg reading the same JPEG files at the same frame
# rate, and optionally the Windows build's
# orvanel-cli.exe under Wine on the same files.
#   bench/export.sh BUILD_DIR [MINUTES] [WINDOWS_BUILD_DIR]
# Makes MINUTES (default 2) consecutive minute folders of frames every
# 0.04 s from 00.00 (ffmpeg's test source with noise), so the job picks 25
# frames per second and writes each frame once; every file is checked to
# hold that count. Best of three runs each. Then the export job's own
# benchmark (each thread's time per stage and its hand-offs) and the file
# reads alone, natively and with a Windows build under Wine.
# Prints "name: value" lines ("stamp_ratio: <stamped s / plain s>"); with a
# Windows build "wine_ratio: <Wine s / native s>", and last
# "ratio: <orvanel s / ffmpeg s>" (below 1: Orvanel is faster).
set -eu

build=${1:?usage: export.sh BUILD_DIR [MINUTES] [WINDOWS_BUILD_DIR]}
minutes=${2:-2}
win_build=${3:-}
here=$(cd "$(dirname "$0")/.." && pwd)
cli=$build/cli/orvanel-cli
job_bench=$build/bench/bench-export_job
for tool in "$cli" "$job_bench" "$build/bench/bench-export_reads" \
  ${win_build:+"$win_build/cli/orvanel-cli.exe" "$win_build/bench/bench-export_job.exe" \
    "$win_build/bench/bench-export_reads.exe"}; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "export.sh: $tool is not built" >&2; exit 2; }
done
for tool in ffmpeg ffprobe; do
  command -v $tool > /dev/null || { echo "export.sh: $tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hour=$work/frames/Bench/2004-03-15/12
mkdir -p "$work/seq"
ffmpeg -hide_banner -nostdin -loglevel error -f lavfi \
  -i "testsrc2=size=704x576:rate=25,noise=alls=24:allf=t+u" -frames:v 1500 \
  -q:v 3 -pix_fmt yuvj420p "$work/seq/%04d.jpg"
for m in $(seq 0 $((minutes - 1))); do
  dir=$hour/$(printf '%02d' "$m")
  mkdir -p "$dir"
  for f in "$work"/seq/*.jpg; do
    n=$(basename "$f" .jpg)
    ln "$f" "$dir/$(printf '%04d' $(( (10#$n - 1) * 4 )))".jpg
  done
done
pictures=$(( 1500 * minutes ))
echo "frames: $pictures in $minutes minute folders (704x576 noisy, every 0.04 s)"

now() { date +%s.%N; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
count() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$1"
}
# A Unix path as the Windows program sees it (Wine's Z: drive).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Warm the file cache once for all.
cat "$hour"/*/*.jpg > /dev/null
[ -z "$win_build" ] || "$here/tools/wine-run.sh" cmd /c exit > /dev/null 2>&1

orvanel=1e9 stamped=1e9 ffmpeg_s=1e9 wine_s=1e9
for run in 1 2 3; do
  start=$(now)
  "$cli" export -o "$work/orvanel.avi" --format avi --bitrate 400 "$hour" \
    > /dev/null 2> "$work/orvanel.log" || { cat "$work/orvanel.log" >&2; exit 1; }
  orvanel=$(min "$orvanel" "$(best "$start" "$(now)")")

  start=$(now)
  "$cli" export -o "$work/stamped.avi" --format avi --bitrate 400 --stamp "$hour" \
    > /dev/null 2> "$work/stamped.log" || { cat "$work/stamped.log" >&2; exit 1; }
  stamped=$(min "$stamped" "$(best "$start" "$(now)")")

  if [ -n "$win_build" ]; then
    start=$(now)
    "$here/tools/wine-run.sh" "$win_build/cli/orvanel-cli.exe" export \
      -o "$(winpath "$work/wine.avi")" --format avi --bitrate 400 "$(winpath "$hour")" \
      > /dev/null 2> "$work/wine.log" || { cat "$work/wine.log" >&2; exit 1; }
    wine_s=$(min "$wine_s" "$(best "$start" "$(now)")")
  fi

  start=$(now)
  ffmpeg -hide_banner -nostdin -loglevel error -y -framerate 25 \
    -pattern_type glob -i "$hour/*/*.jpg" -c:v mpeg4 -b:v 400k "$work/ffmpeg.avi"
  ffmpeg_s=$(min "$ffmpeg_s" "$(best "$start" "$(now)")")
done

for file in orvanel stamped ffmpeg ${win_build:+wine}; do
  got=$(count "$work/$file.avi")
  if [ "$got" != "$pictures" ]; then
    echo "export.sh: $file.avi holds $got pictures, not $pictures" >&2
    exit 1
  fi
done

# The job's decode-ahead against decoding on its own thread, in one
# process (the files must be identical), with where each thread's time
# goes; then the file reads alone: file by file against one call.
"$job_bench" "$work/job" "$hour"/*/ 2> /dev/null | sed 's/^ratio /pipelining_ratio /; s/^/job /'
cat "$hour"/*/*.jpg > "$work/all-frames"
"$build/bench/bench-export_reads" "$work/all-frames" "$hour"/*/ | sed 's/^/reads /'
if [ -n "$win_build" ]; then
  wine_dirs=()
  for d in "$hour"/*/; do wine_dirs+=("$(winpath "$d")"); done
  "$here/tools/wine-run.sh" "$win_build/bench/bench-export_job.exe" "$(winpath "$work/wjob")" \
    "${wine_dirs[@]}" 2> /dev/null | tr -d '\r' | sed 's/^ratio /pipelining_ratio /; s/^/wine job /'
  "$here/tools/wine-run.sh" "$win_build/bench/bench-export_reads.exe" \
    "$(winpath "$work/all-frames")" "${wine_dirs[@]}" | tr -d '\r' | sed 's/^/wine reads /'
fi

echo "orvanel_seconds: $orvanel"
echo "stamped_seconds: $stamped"
echo "ffmpeg_seconds: $ffmpeg_s"
echo "stamp_ratio: $(awk -v a="$stamped" -v b="$orvanel" 'BEGIN { printf "%.3f", a / b }')"
echo "stamped_ratio_to_ffmpeg: $(awk -v a="$stamped" -v b="$ffmpeg_s" 'BEGIN { printf "%.2f", a / b }')"
if [ -n "$win_build" ]; then
  echo "wine_seconds: $wine_s"
  echo "wine_ratio: $(awk -v a="$wine_s" -v b="$orvanel" 'BEGIN { printf "%.2f", a / b }')"
fi
echo "ratio: $(awk -v a="$orvanel" -v b="$ffmpeg_s" 'BEGIN { printf "%.2f", a / b }')"
