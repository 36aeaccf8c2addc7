#!/usr/bin/env bash
# Picture levels and quality of exports: one noisy 704 x 576 minute (frames
# every 0.04 s from 00.00, made by ffmpeg's test source with noise) exported
# by `orvanel-cli export` and by Debian's ffmpeg at the same bit rate in the
# four formats, each read back and compared with the source frames.
#   bench/export_quality.sh BUILD_DIR [KBPS]
# Prints per format "FORMAT orvanel|ffmpeg: pictures psnr_db mean_error
# seconds", then "ratio: <orvanel PSNR / ffmpeg PSNR>" (worst format).
set -eu

build=${1:?usage: export_quality.sh BUILD_DIR [KBPS]}
kbps=${2:-400}
cli=$build/cli/orvanel-cli
levels=$build/bench/bench-export_levels
for tool in "$cli" "$levels"; do
  [ -x "$tool" ] || { echo "export_quality.sh: $tool is not built" >&2; exit 2; }
done
command -v ffmpeg > /dev/null || { echo "export_quality.sh: ffmpeg is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
minute=$work/Noisy/2004-03-15/12/00
mkdir -p "$minute" "$work/seq"
ffmpeg -hide_banner -nostdin -loglevel error -f lavfi \
  -i "testsrc2=size=704x576:rate=25,noise=alls=24:allf=t+u" -frames:v 1500 \
  -q:v 3 -pix_fmt yuvj420p "$work/seq/%04d.jpg"
for f in "$work"/seq/*.jpg; do
  n=$(basename "$f" .jpg)
  mv "$f" "$minute/$(printf '%04d' $(( (10#$n - 1) * 4 )))".jpg
done

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
worst=99
for pair in mpg:mpeg1video avi:mpeg4 asf:msmpeg4v3 wmv:wmv1; do
  ext=${pair%%:*} codec=${pair#*:}
  start=$(now)
  "$cli" export -o "$work/orvanel.$ext" --format "$ext" --bitrate "$kbps" "$minute" \
    > /dev/null 2> "$work/cli.log" || { cat "$work/cli.log" >&2; exit 1; }
  o_s=$(since "$start")
  start=$(now)
  ffmpeg -hide_banner -nostdin -loglevel error -y -framerate 25 \
    -pattern_type glob -i "$minute/*.jpg" \
    -c:v "$codec" -b:v "${kbps}k" "$work/ffmpeg.$ext"
  f_s=$(since "$start")
  o=$("$levels" "$work/orvanel.$ext" "$minute" | awk '{ printf "%s ", $2 }')
  f=$("$levels" "$work/ffmpeg.$ext" "$minute" | awk '{ printf "%s ", $2 }')
  echo "$ext orvanel: ${o}${o_s}"
  echo "$ext ffmpeg: ${f}${f_s}"
  worst=$(awk -v w="$worst" -v o="${o#* }" -v f="${f#* }" \
    'BEGIN { split(o, a, " "); split(f, b, " "); r = a[1] / b[1]; print (r < w ? r : w) }')
done
echo "ratio: $worst"
