#!/usr/bin/env bash
# Installs what is missing, builds Orvanel (native and Windows), generates the
# sample backup if absent and starts the viewer under Wine with the sample as
# its backup root (only when the prefix has no root list yet). Without a
# display it runs the viewer on a virtual one, opens a minute from the folder
# tree and saves a screenshot in out/run-screenshot.png.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
if [ -z "${ORVANEL_RUN_INNER:-}" ]; then
  prefix=$("$repo/tools/setup.sh" | tail -n 1)
  "$repo/tools/build.sh" native >/tmp/orvanel-build-native.log 2>&1 ||
    { tail -n 40 /tmp/orvanel-build-native.log; exit 1; }
  "$repo/tools/build.sh" win "$prefix" >/tmp/orvanel-build-win.log 2>&1 ||
    { tail -n 40 /tmp/orvanel-build-win.log; exit 1; }
fi

sample=${ORVANEL_SAMPLE:-$repo/out/sample-backup}
if [ ! -d "$sample" ]; then
  echo "run: generating the sample backup in $sample"
  "$repo/build/tools/orvanel-sample" "$sample"
fi
viewer=$repo/build-win/shell/orvanel.exe
tour=$repo/build-win/tools/orvanel-tree-tour.exe
wine=$repo/tools/wine-run.sh
export WINEPREFIX=${ORVANEL_WINEPREFIX:-$repo/.wineprefix}

if [ -z "${DISPLAY:-}" ] && [ -z "${ORVANEL_RUN_INNER:-}" ]; then
  # No display: run on a virtual one, let the tour click a minute, and save
  # what the screen shows.
  ORVANEL_RUN_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

# A Wine server started on another display (or none) would keep the viewer
# from opening its window: wait for it to end, then seed on this display.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
"$wineserver" -w || true
"$wine" "$tour" seed "$("$wine" winepath -w "$sample" | tr -d '\r')"

if [ -z "${ORVANEL_RUN_INNER:-}" ]; then
  exec "$wine" "$viewer"
fi
"$wine" "$viewer" >/dev/null 2>&1 &
viewer_pid=$!
trap 'kill $viewer_pid 2>/dev/null || true' EXIT
status=0
"$wine" "$tour" play || status=$?
mkdir -p "$repo/out"
shot=$repo/out/run-screenshot.png
import -window root "$shot"
echo "run: screenshot of the viewer in $shot"
"$wine" "$tour" close || true
# The process saves the root list as its window closes and ends a little later.
wait $viewer_pid || true
exit $status
