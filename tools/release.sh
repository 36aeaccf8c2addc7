#!/usr/bin/env bash
# Makes the Windows release, out/orvanel-VERSION-win64.zip: orvanel.exe and
# orvanel-cli.exe (Release build, static, stripped), README.txt, LICENSE.txt
# and FFMPEG-LICENSE.txt. Installs what is missing first. The same commit
# gives the same bytes: file times come from the commit, the order and modes
# are fixed, and the executables carry no time stamp or build path.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
started=$SECONDS
since=$SECONDS
step() { echo "release: step $1 $((SECONDS - since)) s"; since=$SECONDS; }

prefix=$("$repo/tools/setup.sh" release | tail -n 1)
step "packages and FFmpeg"
notes=$prefix/share/orvanel  # what tools/ffmpeg-win.sh kept about its build

version=$(head -n 1 VERSION)
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: warning: the work tree has changes that commit $commit does not" >&2
fi

# Its own build folder: Release, no tests, and nothing of the machine inside.
build=$repo/build-release
mkdir -p "$repo/out"
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$repo}
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" "${launcher[@]}" \
  -DORVANEL_FFMPEG_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DORVANEL_TESTS=OFF -DORVANEL_BENCH=OFF \
  -DCMAKE_C_FLAGS="-ffile-prefix-map=$repo=." -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$repo=." \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--no-insert-timestamp" >/dev/null
cmake --build "$build" -j "$(nproc)" --target orvanel orvanel-cli >"$repo/out/build-release.log" 2>&1 ||
  { tail -n 40 "$repo/out/build-release.log"; exit 1; }
step "build"

stage=$repo/out/release-stage
rm -rf "$stage"
mkdir -p "$stage"
for exe in shell/orvanel.exe cli/orvanel-cli.exe; do
  x86_64-w64-mingw32-strip -o "$stage/${exe#*/}" "$build/$exe"
  # Nothing to install: every DLL it imports comes with Windows.
  bad=$(x86_64-w64-mingw32-objdump -p "$stage/${exe#*/}" | sed -n 's/^\tDLL Name: //p' |
        grep -viE '^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|ole32|psapi|version|bcrypt|msvcrt)\.dll$' || true)
  [ -z "$bad" ] || { echo "release: ${exe#*/} imports $bad" >&2; exit 1; }
done

crlf() { sed 's/\r*$/\r/'; }
sed "s/@VERSION@/$version/g" tools/release/README.txt | crlf > "$stage/README.txt"
crlf < LICENSE > "$stage/LICENSE.txt"
{
  sed -e "s/@VERSION@/$version/g" -e "s/@COMMIT@/$commit/g" \
      -e "s/@FFMPEG_VERSION@/$(cat "$notes/source-version")/g" tools/release/FFMPEG-LICENSE.txt
  echo "    ./configure --prefix=\$HOME/ffmpeg-win \\"
  sed -e 's/^/      /' -e '$!s/$/ \\/' "$notes/configure-flags"
  echo
  echo
  cat "$notes/COPYING.LGPLv2.1"
} | crlf > "$stage/FFMPEG-LICENSE.txt"
step "stage"

zip=$repo/out/orvanel-$version-win64.zip
rm -f "$zip"
files=(FFMPEG-LICENSE.txt LICENSE.txt README.txt orvanel-cli.exe orvanel.exe)
chmod 644 "${files[@]/#/$stage/}"
touch -d "@$SOURCE_DATE_EPOCH" "${files[@]/#/$stage/}"
# -X: no owner or extra time fields; zip stores local times, so UTC.
(cd "$stage" && TZ=UTC zip -X -D -9 -q "$zip" "${files[@]}")
step "zip"

size=$(stat -c %s "$zip")
[ "$size" -lt $((40 * 1024 * 1024)) ] || { echo "release: $zip is $size bytes, over 40 MB" >&2; exit 1; }
(cd "$stage" && ls -l --time-style=+ "${files[@]}" | awk '{ printf "release:   %10d  %s\n", $5, $NF }')
echo "release: $zip, $size bytes, sha256 $(sha256sum "$zip" | cut -c1-64)"
echo "release: done in $((SECONDS - started)) s"
