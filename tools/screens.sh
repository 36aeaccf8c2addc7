#!/usr/bin/env bash
# Screenshots of the viewer's main states into out/screens/: the main window,
# each menu dropped, the Options and About dialogs, the Save As dialog filled
# in and the progress dialog while it exports. Runs the built program
# (build-win/shell/orvanel.exe) under its own Xvfb display and drives it with
# X key events, as a user at the keyboard would.
#   tools/screens.sh            (after tools/build.sh win ...)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
exe=$repo/build-win/shell/orvanel.exe
out=$repo/out/screens
[ -f "$exe" ] || { echo "screens: build the Windows program first ($exe)" >&2; exit 1; }
for tool in xdotool import; do
  command -v $tool >/dev/null || { echo "screens: $tool missing (tools/setup.sh installs it)" >&2; exit 1; }
done
mkdir -p "$out"

if [ -z "${ORVANEL_SCREENS_INNER:-}" ]; then
  # Own display, fixed size, so the pictures are comparable between runs.
  ORVANEL_SCREENS_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

# In a Wine virtual desktop, so that the window has its frame and caption
# although Xvfb runs no window manager.
"$repo/tools/wine-run.sh" explorer /desktop=orvanel,1280x800 "$exe" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
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

# The Save As dialog filled in by keyboard, then the progress dialog while it
# exports: two minute folders of 704 x 576 frames every 0.04 s, made here.
frames=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$frames"' EXIT
hour=$frames/Cam/2004-03-15/12
mkdir -p "$hour/00" "$hour/01"
ffmpeg -hide_banner -nostdin -loglevel error -f lavfi -i "testsrc2=size=704x576:rate=25" \
  -frames:v 1490 -q:v 4 -start_number 1 "$frames/%04d.jpg"
for f in "$frames"/*.jpg; do
  n=$(basename "$f" .jpg)
  name=$(printf '%04d.jpg' $(( 10#$n * 4 )))
  ln "$f" "$hour/00/$name"
  ln "$f" "$hour/01/$name"
done
winpath() { printf 'Z:%s' "${1//\//\\}"; }
typed() { xdotool type --delay 15 "$1"; sleep 0.2; }
keys F10 Return s                       # File > Save As...
keys Tab Tab Tab Tab                    # the list, up, down, Remove, then Path
typed "$(winpath "$hour/00")";  keys Tab Tab space
keys shift+Tab shift+Tab Home shift+End
typed "$(winpath "$hour/01")";  keys Tab Tab space
keys Tab; typed "2004-03-15T12:00:30.00"   # From, To: a range over both minutes
keys Tab; typed "2004-03-15T12:01:15.50"
keys Tab; typed "$(winpath "$frames/export.avi")"
keys Tab Tab Tab Tab space              # Browse, bit rate, format, then Time stamp
shot save-as
keys Return                             # Save
sleep 1.5; shot progress
keys Escape; sleep 1; keys Escape       # Cancel, then Close
