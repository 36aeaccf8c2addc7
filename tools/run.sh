#!/usr/bin/env bash
# Installs what is missing, builds Orvanel (native and Windows), generates the
# sample backup if absent and starts the viewer under Wine: on the display
# when DISPLAY is set, else briefly under Xvfb with a screenshot in out/.
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
# Choosing the sample as the viewer's backup root goes here (the folder tree
# keeps its roots in the registry, "ROOTLIST" under Software\VELMORA\Orvanel).

viewer=$repo/build-win/shell/orvanel.exe
if [ -n "${DISPLAY:-}" ]; then
  # On the user's display, until the user closes it.
  exec "$repo/tools/wine-run.sh" "$viewer"
fi

# No display: a few seconds under Xvfb, and a screenshot of what a person
# would have seen. The window runs in a Wine desktop so that it has its frame.
command -v import >/dev/null || { echo "run: ImageMagick missing (tools/setup.sh installs it)" >&2; exit 1; }
mkdir -p "$repo/out"
shot=$repo/out/orvanel-$(date +%Y%m%d-%H%M%S).png
ORVANEL_VIEWER=$viewer ORVANEL_SHOT=$shot ORVANEL_WINE=$repo/tools/wine-run.sh \
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$ORVANEL_WINE" explorer /desktop=orvanel,1280x800 "$ORVANEL_VIEWER" >/dev/null 2>&1 &
    pid=$!
    sleep "${ORVANEL_RUN_SECONDS:-5}"
    import -window root "$ORVANEL_SHOT"
    # Close it as a user would (Alt+F4 saves the placement), then wait.
    command -v xdotool >/dev/null && xdotool key alt+F4
    for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill $pid 2>/dev/null || true
  '
echo "run: no display; the viewer ran under Xvfb, screenshot: $shot"
