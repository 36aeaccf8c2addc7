#!/usr/bin/env bash
# Installs what is missing, builds Orvanel (native and Windows), generates the
# sample backup if absent and runs the program's main job on it under Wine.
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
# Until the viewer's windows exist, the main job is the command-line tool.
exec "$repo/tools/wine-run.sh" "$repo/build-win/cli/orvanel-cli.exe" info "$sample"
