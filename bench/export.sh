#!/usr/bin/env bash
# Export to .avi (MPEG-4 part 2, 400 kbit/s): `orvanel-cli export` against
# Debian's ffmpeg reading the same JPEG files at the same fixed frame rate.
#   bench/export.sh BUILD_DIR [MINUTES]
# Makes MINUTES (default 2) minute folders of 704 x 576 frames every 0.04 s,
# so the job picks 25 frames per second and writes each frame once (the
# minutes follow each other, so each minute's last frame lasts one frame
# too); both files are checked to hold that count. Best of three runs each.
# Prints "name: value" lines; the last is "ratio: <orvanel s / ffmpeg s>"
# (below 1: Orvanel is faster).
set -eu

build=${1:?usage: export.sh BUILD_DIR [MINUTES]}
minutes=${2:-2}
cli=$build/cli/orvanel-cli
frames_tool=$build/bench/bench-export_frames
job_bench=$build/bench/bench-export_job
for tool in "$cli" "$frames_tool" "$job_bench"; do
  [ -x "$tool" ] || { echo "export.sh: $tool is not built" >&2; exit 2; }
done
for tool in ffmpeg ffprobe; do
  command -v $tool > /dev/null || { echo "export.sh: $tool is not installed" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
per_minute=$("$frames_tool" "$work/frames" "$minutes" 4)
hour=$work/frames/Bench/2004-03-15/12
pictures=$(( per_minute * minutes ))
echo "frames: $((per_minute * minutes)) in $minutes minute folders (704x576, every 0.04 s)"
echo "pictures: $pictures"

now() { date +%s.%N; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
count() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$1"
}

# Warm the file cache once for both.
cat "$hour"/*/*.jpg > /dev/null

orvanel=1e9
ffmpeg_s=1e9
for run in 1 2 3; do
  start=$(now)
  "$cli" export -o "$work/orvanel.avi" --format avi --bitrate 400 "$hour" \
    > /dev/null 2> "$work/orvanel.log" || { cat "$work/orvanel.log" >&2; exit 1; }
  orvanel=$(min "$orvanel" "$(best "$start" "$(now)")")

  start=$(now)
  ffmpeg -hide_banner -nostdin -loglevel error -y -framerate 25 \
    -pattern_type glob -i "$hour/*/*.jpg" -frames:v "$pictures" \
    -c:v mpeg4 -b:v 400k "$work/ffmpeg.avi"
  ffmpeg_s=$(min "$ffmpeg_s" "$(best "$start" "$(now)")")
done

for file in orvanel ffmpeg; do
  got=$(count "$work/$file.avi")
  if [ "$got" != "$pictures" ]; then
    echo "export.sh: $file.avi holds $got pictures, not $pictures" >&2
    exit 1
  fi
done

# The job's decode-beside-encode pipelining against decoding on its own
# thread, in one process (the files must be identical).
"$job_bench" "$work/job" "$hour"/*/ 2> /dev/null | sed 's/^ratio /pipelining_ratio /; s/^/job /'

echo "orvanel_seconds: $orvanel"
echo "ffmpeg_seconds: $ffmpeg_s"
echo "ratio: $(awk -v a="$orvanel" -v b="$ffmpeg_s" 'BEGIN { printf "%.2f", a / b }')"
