#!/usr/bin/env bash
# Builds FFmpeg for Windows (MinGW-w64, static) from Debian's own source
# package, with only the components Orvanel uses. The result is cached outside
# the work tree, keyed by the source version and the configure flags, so a
# second run (or a second clone) reuses it. Beside the libraries it keeps what
# a release says about them (share/orvanel: the source version, the configure
# flags, the LGPL text). Prints the install prefix last.
#   tools/ffmpeg-win.sh --prefix: only prints the prefix (nothing when the
#   version is not known yet); exit 0 when it is built, 1 when not.
set -euo pipefail

CACHE=${ORVANEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvanel}
FLAGS=(--arch=x86_64 --target-os=mingw32 --cross-prefix=x86_64-w64-mingw32-
       --enable-static --disable-shared --disable-programs --disable-doc
       --disable-everything --disable-network --disable-autodetect
       --enable-w32threads
       --enable-decoder=mjpeg
       --enable-encoder=mpeg1video,mpeg4,msmpeg4v3,wmv1,mjpeg,h263p,pcm_s16le,adpcm_ima_wav
       --enable-muxer=avi,mpeg1system,asf
       # FFmpeg 5.1's ASF muxer uses the GUID table of asf_tags.o, which its
       # Makefile builds only for the ASF demuxer: without it nothing that
       # can write .asf/.wmv links.
       --enable-demuxer=asf
       --enable-protocol=file --enable-swscale
       # Only libavcodec, libavformat, libswscale and libavutil are linked;
       # the release strips the executables, so no debug information either.
       --disable-avdevice --disable-avfilter --disable-swresample --disable-postproc
       --disable-debug)

mkdir -p "$CACHE"
apt_dir="$CACHE/apt"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
# deb-src twins of the machine's own Debian entries, so the source comes from
# wherever this machine already gets its packages.
src_list="$apt_dir/sources.list.d/debian-src.sources"
: > "$src_list.new"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  grep -qi 'debian-archive-keyring' "$f" || continue
  sed -e 's/^Types:.*/Types: deb-src/' "$f" >> "$src_list.new"
  echo >> "$src_list.new"
done
if [ -f /etc/apt/sources.list ]; then
  grep -E '^deb ' /etc/apt/sources.list | grep -v -E 'nodesource|google' |
    sed 's/^deb /deb-src /' > "$apt_dir/sources.list.d/debian-src.list" || true
fi
mv "$src_list.new" "$src_list"
APT=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
     -o Dir::State::Lists="$apt_dir/lists" -o Debug::NoLocking=1)

# The version of the source follows the installed ffmpeg (same Debian release),
# or the one apt would install where none is (the run needs no native one):
# either way the run and the tests agree on it, so they share one build.
version=$(dpkg-query -W -f='${Version}' libavcodec59 2>/dev/null || true)
[ -n "$version" ] ||
  version=$(apt-cache policy libavcodec59 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -v none || true)
key_flags=$(printf '%s\n' "${FLAGS[@]}" | sha256sum | cut -c1-12)

find_prefix() { # version -> prefix dir if built
  local v=${1//[:~]/_}
  echo "$CACHE/ffmpeg-win-$v-$key_flags"
}

if [ -n "$version" ] && [ -f "$(find_prefix "$version")/.complete" ]; then
  find_prefix "$version"; exit 0
fi
if [ "${1:-}" = --prefix ]; then
  [ -z "$version" ] || find_prefix "$version"
  exit 1
fi

# Each sub-step's time goes to standard error, so that a slow one shows.
since=$SECONDS
timed() { echo "ffmpeg-win: $1 $((SECONDS - since)) s" >&2; since=$SECONDS; }

echo "ffmpeg-win: fetching the source package" >&2
apt-get "${APT[@]}" update -qq >&2
work="$CACHE/src-$key_flags"
rm -rf "$work"; mkdir -p "$work"
if [ -n "$version" ]; then
  (cd "$work" && apt-get "${APT[@]}" source --download-only "ffmpeg=$version" >&2) ||
    (cd "$work" && apt-get "${APT[@]}" source --download-only ffmpeg >&2)
else
  (cd "$work" && apt-get "${APT[@]}" source --download-only ffmpeg >&2)
fi
dsc=$(ls "$work"/ffmpeg_*.dsc | head -n 1)
version=$(sed -n 's/^Version: //p' "$dsc" | head -n 1)
prefix=$(find_prefix "$version")
if [ -f "$prefix/.complete" ]; then rm -rf "$work"; echo "$prefix"; exit 0; fi

(cd "$work" && dpkg-source --no-check -x "$dsc" ffmpeg-src >&2)
timed "fetched and unpacked in"
echo "ffmpeg-win: configuring and building $version (a few minutes, once)" >&2
rm -rf "$prefix"
(cd "$work/ffmpeg-src" && ./configure --prefix="$prefix" "${FLAGS[@]}" >&2)
timed "configured in"
(cd "$work/ffmpeg-src" && make -j"$(nproc)" >&2 && make install >&2)
timed "built in"
notes="$prefix/share/orvanel"
mkdir -p "$notes"
echo "$version" > "$notes/source-version"
printf '%s\n' "${FLAGS[@]}" > "$notes/configure-flags"
cp "$work/ffmpeg-src/COPYING.LGPLv2.1" "$notes/"
touch "$prefix/.complete"
# Deleting the built source tree can take half a minute where the disc
# discards freed blocks: nothing needs to wait for it.
# Renamed first, so that a later build never shares the folder being deleted.
mv "$work" "$work.done.$$" && { rm -rf "$work.done.$$" </dev/null >/dev/null 2>&1 & }
echo "$prefix"
