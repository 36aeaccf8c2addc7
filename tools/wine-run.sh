#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# Used as CMake's cross-compiling emulator, so ctest runs tests through it.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${ORVANEL_WINEPREFIX:-$here/.wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
