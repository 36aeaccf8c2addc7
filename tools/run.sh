#!/usr/bin/env bash
# Installs what is missing, builds what the run needs (the Windows viewer, its
# tour program and the sample generator), generates the sample backup if
# absent and starts the viewer under Wine with the sample as its backup root
# (written into the prefix's ROOTLIST/ROOTSELECT only when it has no root list
# yet): on the display when DISPLAY is set, else under Xvfb, where a tour
# program opens a minute from the folder tree by messages and a screenshot of
# it playing goes to out/. Each step's time is printed.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
started=$SECONDS
since=$SECONDS
step() { echo "run: step $1 $((SECONDS - since)) s"; since=$SECONDS; }

"$repo/tools/setup.sh" run --packages-only
step "packages"
wine=$repo/tools/wine-run.sh
export WINEPREFIX=${ORVANEL_WINEPREFIX:-$repo/.wineprefix}
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
targets=(orvanel orvanel-tree-tour orvanel-sample)
mkdir -p "$repo/out"
# FFmpeg's configure keeps one core for a minute or two: meanwhile a new Wine
# prefix is made (outside the viewer's display, so its set-up window is never
# on a shot) and, on one core, what needs no FFmpeg is compiled (the rest
# fails for want of its headers, and is built after it).
beside=()
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  ( "$wine" wineboot -i >/dev/null 2>&1 || true; "$wineserver" -w || true
    echo "run: step Wine prefix (beside FFmpeg) $((SECONDS - since)) s" ) &
  beside+=($!)
fi
if ! prefix=$("$repo/tools/ffmpeg-win.sh" --prefix) && [ -n "$prefix" ]; then
  # The programs' libraries, not the programs: a link input that does not
  # exist yet stops ninja before it starts.
  ( ORVANEL_JOBS=1 ORVANEL_KEEP_GOING=1 "$repo/tools/build.sh" win "$prefix" \
      orvanel_gui orvanel_resources orvanel_sample orvanel-tree-tour \
      >"$repo/out/build-run-early.log" 2>&1 || true
    echo "run: step compiling what needs no FFmpeg (beside FFmpeg) $((SECONDS - since)) s" ) &
  beside+=($!)
fi
prefix=$("$repo/tools/ffmpeg-win.sh")
step "FFmpeg for Windows"
[ ${#beside[@]} -eq 0 ] || { wait "${beside[@]}"; step "waiting for the steps beside FFmpeg"; }
log=$repo/out/build-run.log
"$repo/tools/build.sh" win "$prefix" "${targets[@]}" >"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
step "build"

sample=${ORVANEL_SAMPLE:-$repo/out/sample-backup}
if [ ! -d "$sample" ]; then
  echo "run: generating the sample backup in $sample"
  "$wine" "$repo/build-win/tools/orvanel-sample.exe" "$("$wine" winepath -w "$sample" | tr -d "\r")"
  step "sample backup"
fi
viewer=$repo/build-win/shell/orvanel.exe
tour=$repo/build-win/tools/orvanel-tree-tour.exe
# The sample becomes the backup root unless the user has roots already. A Wine
# server started on another display (or none) would keep the viewer from
# opening its window, so wait for it to end and seed on the viewer's display.
seed='"$wineserver" -w || true
  "$wine" "$tour" seed "$("$wine" winepath -w "$sample" | tr -d "\r")"'
export seed wine wineserver tour sample

if [ -n "${DISPLAY:-}" ]; then
  # On the user's display, until the user closes it.
  eval "$seed"
  echo "run: ready after $((SECONDS - started)) s"
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
step "viewer under Xvfb"
echo "run: no display; the viewer ran under Xvfb, screenshot: $shot"
echo "run: done in $((SECONDS - started)) s"
