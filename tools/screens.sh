#!/usr/bin/env bash
# Screenshots of the viewer's main states into out/screens/: the main window,
# each menu dropped, the Options and About dialogs, the timeline panel, video
# windows of the sample backup (one larger than the workspace with its scroll
# bars, four at Half size with their titles, a grid with pictures in
# proportion), the timeline shaded where a camera moved and a window with a
# search region, the Save As dialog filled in and the progress dialog while
# it exports. Runs the built program (build-win/shell/orvanel.exe) under its own
# Xvfb display and drives it with X key events, as a user at the keyboard would.
#   tools/screens.sh            (after tools/build.sh win ...)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
exe=$repo/build-win/shell/orvanel.exe
tour=$repo/build-win/tools/orvanel-tree-tour.exe
sampler=$repo/build-win/tools/orvanel-sample.exe
out=$repo/out/screens
for f in "$exe" "$tour" "$sampler"; do
  [ -f "$f" ] || { echo "screens: build the Windows programs first ($f)" >&2; exit 1; }
done
for tool in xdotool import; do
  command -v $tool >/dev/null || { echo "screens: $tool missing (tools/setup.sh installs it)" >&2; exit 1; }
done
mkdir -p "$out"

if [ -z "${ORVANEL_SCREENS_INNER:-}" ]; then
  # Own display, fixed size, so the pictures are comparable between runs.
  ORVANEL_SCREENS_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

# The sample backup as the only root (the tree shows it from the start).
wine=$repo/tools/wine-run.sh
sample=$(mktemp -d)
trap 'rm -rf "$sample"' EXIT
"$wine" "$sampler" "$(printf 'Z:%s' "${sample//\//\\}")" >/dev/null
"$wine" reg delete 'HKCU\Software\VELMORA\Orvanel' /v ROOTLIST /f >/dev/null 2>&1 || true
# The timeline starts hidden, whatever the last run left (its keys toggle it).
"$wine" reg delete 'HKCU\Software\VELMORA\Orvanel' /v TIMELINESHOWN /f >/dev/null 2>&1 || true
# Footage for the Save As and progress shots, a camera of the sample root:
# two minute folders of 704 x 576 frames every 0.04 s, made here.
hour=$sample/Cam/2004-03-15/12
mkdir -p "$hour/00" "$hour/01" "$sample/.made"  # .made: hidden from the tree
ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i "testsrc2=size=704x576:rate=25" \
  -frames:v 1490 -q:v 4 -start_number 1 "$sample/.made/%04d.jpg"
for f in "$sample"/.made/*.jpg; do
  n=$(basename "$f" .jpg)
  name=$(printf '%04d.jpg' $(( 10#$n * 4 )))
  ln "$f" "$hour/00/$name"
  ln "$f" "$hour/01/$name"
done
"$wine" "$tour" seed "$(printf 'Z:%s' "${sample//\//\\}")" >/dev/null

# In a Wine virtual desktop, so that the window has its frame and caption
# although Xvfb runs no window manager.
"$repo/tools/wine-run.sh" explorer /desktop=orvanel,1280x800 "$exe" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$sample"' EXIT
for _ in $(seq 1 100); do
  win=$(xdotool search --name '^Orvanel$' 2>/dev/null | head -n 1 || true)
  [ -n "$win" ] && break
  sleep 0.2
done
[ -n "${win:-}" ] || { echo "screens: the main window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win" || true
sleep 1.5

shot() { sleep 0.8; import -window root "$out/$1.png"; echo "$out/$1.png"; }
keys() { for k in "$@"; do xdotool key --clearmodifiers "$k"; sleep 0.2; done; }

shot main
# F10 enters the menu buttons' keyboard mode; Enter drops the hot one.
keys F10 Return;                shot menu-file;    keys Escape Escape
keys F10 Right Return;          shot menu-control; keys Escape Escape
keys F10 Right Right Return;    shot menu-view;    keys Escape Escape
keys F10 Left Return;           shot menu-help
keys a;                         shot about;        keys Return
keys F10 Return o;              shot options;      keys Escape
# View > Timeline shown under the workspace, then hidden again (the choice is kept).
keys F10 Right Right Return l;  shot timeline;     keys F10 Right Right Return l

# Video windows, opened from the tree as a click does (the keys then go to
# the main window again). A 704 x 576 minute at Double size is larger than
# the workspace: its scroll bars reach the rest.
tour() {
  "$wine" "$tour" --desktop orvanel play "$@" >/dev/null 2>&1 || true
  xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus "$win" || true
}
tour "Camera 1" 2004-03-15 12 00
keys F10 Right Right Return d;         shot workspace-scroll
keys F10 Right Right Return o
# Activity: the window alone in a grid and the timeline shown; once the
# background indexer has been through the minutes around 12:00, the panel
# zoomed to them (a click on the names column gives it the wheel, moving no
# window) shades where Camera 1 moved (the sample's marker moves in every
# frame: its recorded runs). Then a search region dragged on the picture
# (the window's menu, "Set Search Region"): the shading follows it. Both are
# undone for the shots after.
keys F10 Right Right Return g
keys F10 Right Right Return l
sleep 20
xdotool mousemove 380 522 click 1; sleep 0.3
xdotool mousemove 630 522; for _ in 1 2 3 4 5 6; do xdotool click 4; sleep 0.2; done
shot timeline-activity
xdotool mousemove 450 350 click 3; sleep 0.5; keys r
xdotool mousemove 440 300 mousedown 1; sleep 0.2; xdotool mousemove 540 380; sleep 0.2
xdotool mousemove 640 440; sleep 0.3; xdotool mouseup 1
sleep 2; shot search-region
xdotool mousemove 450 350 click 3; sleep 0.5; keys c
keys F10 Right Right Return l
# A window each (Options: "Use the same window for a camera" off), four
# minutes, all selected, at Half size, then in a grid.
keys F10 Return o Tab space Return
tour "Camera 1" 2004-03-16 09 30
tour "Camera 2" 2004-03-15 08 16
tour "Camera 2" 2004-03-15 10 00
keys ctrl+a F10 Right Right Return h;  shot titles-half
keys F10 Right Right Return g;         shot grid
keys F10 Return o Tab space Return     # the option as it was

winpath() { printf 'Z:%s' "${1//\//\\}"; }
typed() { xdotool type --delay 15 "$1"; sleep 0.2; }
# The Save As dialog filled in by keyboard beside the tree, opened to the
# minute (playing), then the progress dialog while it exports.
"$repo/tools/wine-run.sh" "$tour" --desktop orvanel play Cam 2004-03-15 12 00 >/dev/null 2>&1 || true
# File > Save As... by mouse: after the click into the tree F10 stays there.
xdotool mousemove 31 36 click 1; sleep 0.5; xdotool mousemove 61 91 click 1; sleep 0.5
keys Tab Tab Tab Tab                    # the list, up, down, Remove, then Path
typed "$(winpath "$hour/00")";  keys Tab Tab space
keys shift+Tab shift+Tab Home shift+End
typed "$(winpath "$hour/01")";  keys Tab Tab space
keys Tab; typed "2004-03-15T12:00:30.00"   # From, To: a range over both minutes
keys Tab; typed "2004-03-15T12:01:15.50"
keys Tab; typed "$(winpath "$sample/export.avi")"
keys Tab Tab Tab Tab space              # Browse, bit rate, format, then Time stamp
sleep 1; shot save-as                   # the field repaints late under load
keys Return                             # Save
sleep 1.5; shot progress
keys Escape; sleep 1; keys Escape       # Cancel, then Close
