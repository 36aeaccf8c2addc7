#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# Used as CMake's cross-compiling emulator, so ctest runs tests through it.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${ORVANEL_WINEPREFIX:-$here/.wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
# Wine starts its desktop and services with the first program of a session,
# and they inherit that program's output: ctest (or any pipe reader) would
# then wait for them until its timeout. Start them here, detached.
"$wine" cmd /c exit </dev/null >/dev/null 2>&1
exec "$wine" "$@"
