#!/usr/bin/env bash
# Installs what is missing, builds Orvanel (native and Windows), generates the
# sample backup if absent and starts the viewer under Wine with the sample as
# its backup root (written into the prefix's ROOTLIST/ROOTSELECT only when it
# has no root list yet): on the display when DISPLAY is set, else under Xvfb,
# where a tour program opens a minute from the folder tree by messages and a
# screenshot of it playing goes to out/.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
prefix=$("$repo/tools/setup.sh" | tail -n 1)
"$repo/tools/build.sh" native >/tmp/orvanel-build-native.log 2>&1 ||
  { tail -n 40 /tmp/orvanel-build-native.log; exit 1; }
"$repo/tools/build.sh" win "$prefix" >/tmp/orvanel-build-win.log 2>&1 ||
  { tail -n 40 /tmp/orvanel-build-win.log; exit 1; }

sample=${ORVANEL_SAMPLE:-$repo/out/sample-backup}
if [ ! -d "$sample" ]; then
  echo "run: generating the sample backup in $sample"
  "$repo/build/tools/orvanel-sample" "$sample"
fi
viewer=$repo/build-win/shell/orvanel.exe
tour=$repo/build-win/tools/orvanel-tree-tour.exe
wine=$repo/tools/wine-run.sh
export WINEPREFIX=${ORVANEL_WINEPREFIX:-$repo/.wineprefix}
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# The sample becomes the backup root unless the user has roots already. A Wine
# server started on another display (or none) would keep the viewer from
# opening its window, so wait for it to end and seed on the viewer's display.
seed='"$wineserver" -w || true
  "$wine" "$tour" seed "$("$wine" winepath -w "$sample" | tr -d "\r")"'
export seed wine wineserver tour sample

if [ -n "${DISPLAY:-}" ]; then
  # On the user's display, until the user closes it.
  eval "$seed"
  exec "$wine" "$viewer"
fi

# No display: under Xvfb the tour expands the tree to Camera 1's first minute
# and clicks it, and the screen is saved with the minute playing. The window
# runs in a Wine desktop so that it has its frame.
command -v import >/dev/null || { echo "run: ImageMagick missing (tools/setup.sh installs it)" >&2; exit 1; }
mkdir -p "$repo/out"
shot=$repo/out/orvanel-$(date +%Y%m%d-%H%M%S).png
ORVANEL_VIEWER=$viewer ORVANEL_SHOT=$shot ORVANEL_WINE=$repo/tools/wine-run.sh \
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    # A new prefix is made first (on this display), or its set-up dialog
    # would be what the screenshot shows.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$ORVANEL_WINE" wineboot -i >/dev/null 2>&1 || true
      "$wineserver" -w || true
    fi
    eval "$seed"
    "$ORVANEL_WINE" explorer /desktop=orvanel,1280x800 "$ORVANEL_VIEWER" >/dev/null 2>&1 &
    pid=$!
    "$ORVANEL_WINE" "$tour" --desktop orvanel play || echo "run: the tour did not get a minute playing" >&2
    import -window root "$ORVANEL_SHOT"
    # Close it as a user would (the root list and placement are saved), then
    # wait: the process ends a second or two after its window.
    "$ORVANEL_WINE" "$tour" --desktop orvanel close || true
    for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill $pid 2>/dev/null || true
  '
echo "run: no display; the viewer ran under Xvfb, screenshot: $shot"
