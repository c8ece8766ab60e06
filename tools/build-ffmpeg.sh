#!/usr/bin/env bash
# Builds the ffmpeg.exe that Kestrova runs as its converter: a static x86_64 Windows build, LGPL
# only, cut down to what WebM -> AVI needs, cross-compiled from Debian's own source packages.
#
#   exe=$(tools/build-ffmpeg.sh | tail -n1)
#
# The last (and only) stdout line is the path of ffmpeg.exe; progress goes to stderr, compiler
# output to a build.log. tools/setup.sh installs the toolchain and fetches the source packages
# first; this script only builds. Results are cached in
# ${KESTROVA_CACHE:-~/.cache/kestrova}/ffmpeg-<key>/, keyed by the Debian source versions and this
# script's own hash, so a second run is instant.
#
# A build is published only after tools/check-ffmpeg.sh passed: test conversions under Wine with
# the options Kestrova itself passes. That script and those options are not part of the key: when
# either changes, the cached build is checked again instead of being rebuilt.
set -euo pipefail
set -o errtrace
shopt -s inherit_errexit   # so a failure inside $(...) stops us too

# stdout is reserved for the result; anything else that leaks out lands on stderr.
exec 3>&1 1>&2

readonly SCRIPT=$(readlink -f "${BASH_SOURCE[0]}")
readonly ROOT=$(dirname "$(dirname "$SCRIPT")")
readonly CHECK=$ROOT/tools/check-ffmpeg.sh
# Linked into ffmpeg.exe in place of shell32's CommandLineToArgvW (see drop_shell32).
readonly ARGV_SRC=$ROOT/tools/converter-argv.c
readonly CACHE_ROOT=${KESTROVA_CACHE:-$HOME/.cache/kestrova}
# Prepared by tools/fetch-converter-sources.sh (through tools/setup.sh).
readonly SOURCES=$CACHE_ROOT/sources
readonly SRC_PKGS=(ffmpeg lame dav1d)
readonly HOST=x86_64-w64-mingw32
# The -posix compilers: the win32-thread flavour lacks std::thread and friends, and we want one
# toolchain for the whole project. -static below keeps libwinpthread out of the exe anyway.
readonly CC_X=$HOST-gcc-posix CXX_X=$HOST-g++-posix
readonly BUILD_TOOLS=("$CC_X" "$CXX_X" "$HOST-ar" "$HOST-objdump" nasm meson ninja pkg-config make gcc)

# What the converter reads, decodes and writes. configure only warns about a name it does not
# know, so the build looks for every one of them in its configuration, and the check in the
# program's own lists.
readonly DEMUXERS=(matroska mov)
# AV1 decodes through dav1d (BSD-2, LGPL-compatible). H.264, AAC and PCM come from browser
# recordings and from MP4 files named .webm; PCM as Matroska carries it (A_PCM/INT/LIT,
# A_PCM/INT/BIG, A_PCM/FLOAT/IEEE).
readonly DECODERS=(vp8 vp9 libdav1d h264 vorbis opus aac
    pcm_u8 pcm_s16le pcm_s24le pcm_s32le pcm_s16be pcm_s24be pcm_s32be pcm_f32le pcm_f64le)
readonly PARSERS=(vp8 vp9 av1 h264 vorbis opus aac)
readonly ENCODERS=(mpeg4 ac3 libmp3lame)
readonly MUXERS=(avi null)
# scale/aresample/format/aformat are what ffmpeg inserts for pixel-format, sample-format, channel
# and rate conversion (-s, -ac, -ar); trim/atrim serve -ss/-t; fps and setsar are for output that
# has to meet a player's frame-rate and pixel-aspect limits.
readonly FILTERS=(scale format aresample aformat null anull trim atrim fps setsar)

say() { printf '[build-ffmpeg] %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }
join() { local IFS=,; echo "$*"; }
configure_lines=()

for tool in "${BUILD_TOOLS[@]}"; do
    command -v "$tool" >/dev/null || die "$tool is missing: run tools/setup.sh first"
done

# --- Inputs: the prepared sources ----------------------------------------------------------------

[[ -f $SOURCES/versions ]] \
    || die "the Debian source packages are not prepared in $SOURCES: run tools/setup.sh first"
versions=$(<"$SOURCES/versions")
version_of() { awk -v p="$1" '$1 == p { print $2 }' <<<"$versions"; }
# Folder of one package version as tools/fetch-converter-sources.sh lays it out.
package_dir() { local v; v=$(version_of "$1"); echo "$SOURCES/$1_${v#*:}"; }
dsc_path() { local v; v=$(version_of "$1"); echo "$(package_dir "$1")/$1_${v#*:}.dsc"; }
dsc_field() { awk -v f="$2:" '$1 == f { print $2; exit }' "$(dsc_path "$1")"; }
# The unpacked tree: "<name>-<upstream version>".
tree_name() {
    awk -v p="$1" '/^Version:/ { v = $2; sub(/^[0-9]+:/, "", v); sub(/-[^-]*$/, "", v); print p "-" v }' \
        "$(dsc_path "$1")"
}
for p in "${SRC_PKGS[@]}"; do
    [[ -n $(version_of "$p") && -f $(dsc_path "$p") && -d $(package_dir "$p")/$(tree_name "$p") ]] \
        || die "the $p source package is not prepared in $SOURCES: run tools/setup.sh first"
done

# "<ffmpeg version>-<12 hex>": the version for people, the hash over this script, the code it
# links in and every source version for correctness (any edit to a flag here means a new build).
cache_key() {
    local ffv
    ffv=$(version_of ffmpeg)
    printf '%s-%s' "${ffv#*:}" "$( { sha256sum "$SCRIPT" "$ARGV_SRC" | cut -d' ' -f1; echo "$versions"; } | sha256sum | cut -c1-12)"
}
key=$(cache_key)
out="$CACHE_ROOT/ffmpeg-$key"
# What the published build was last checked with.
stamp_text=$("$CHECK" --stamp)
checked() { [[ -f $out/ffmpeg.exe && -f $out/checked && $(<"$out/checked") == "$stamp_text" ]]; }

# --- Fast path: a cached build for the current versions and this script, checked ---------------

if checked; then
    echo "$out/ffmpeg.exe" >&3
    exit 0
fi

start=$SECONDS
mkdir -p "$CACHE_ROOT"
# One build per cache at a time (CMake and a test script may both ask); the winner's result is
# then picked up by the others.
exec 9>"$CACHE_ROOT/.ffmpeg-build.lock"
flock 9
if checked; then
    echo "$out/ffmpeg.exe" >&3
    exit 0
fi

# Holding the lock, nobody else is building: whatever a failed or killed run left can go.
rm -rf "$CACHE_ROOT"/work-* "$CACHE_ROOT"/ffmpeg-*.partial
work="$CACHE_ROOT/work-$key"
mkdir -p "$work"
log="$work/build.log"
: >"$log"

on_exit() {
    local rc=$?
    if ((rc != 0)); then
        say "FAILED (exit $rc). Last lines of $log:"
        tail -n 40 "$log" >&2 || true
        say "work folder kept for inspection: $work"
    fi
}
trap on_exit EXIT

# A command line as one could paste it: only words with blanks or quotes get quoted.
cmdline() {
    local w words=()
    for w in "$@"; do
        if [[ $w =~ [[:space:]\'\"\$] ]]; then words+=("'${w//\'/\'\\\'\'}'"); else words+=("$w"); fi
    done
    echo "${words[*]}"
}

# Runs a command with its output going to the log; the log keeps the exact command lines too.
run() {
    printf '+ %s\n' "$(cmdline "$@")" >>"$log"
    "$@" >>"$log" 2>&1
}

# --- Build ---------------------------------------------------------------------------------------

build() {
    local p t
    say "copying the prepared sources -> $work/src"
    mkdir -p "$work/src" "$work/prefix"
    # Shared: tools/setup.sh may not swap a version out while we copy it.
    (
        flock -s 8
        for p in "${SRC_PKGS[@]}"; do cp -a "$(package_dir "$p")/$(tree_name "$p")" "$work/src/"; done
    ) 8>"$SOURCES/.lock"
    lame_src=$work/src/$(tree_name lame)
    dav1d_src=$work/src/$(tree_name dav1d)
    ffmpeg_src=$work/src/$(tree_name ffmpeg)

    local prefix="$work/prefix" jobs
    export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"   # never pick up the build machine's own .pc files
    unset PKG_CONFIG_PATH
    jobs=$(nproc)

    # LAME (MP3 encoder)
    t=$SECONDS
    say "building LAME in $lame_src"
    cd "$lame_src"
    local lame_cfg=(./configure --host=$HOST --prefix="$prefix" --enable-static --disable-shared
        --disable-frontend CC=$CC_X)
    configure_lines+=("lame: $(cmdline "${lame_cfg[@]}")")
    run "${lame_cfg[@]}"
    run make -j"$jobs"
    run make install
    say "  LAME done in $((SECONDS - t)) s"

    # dav1d (AV1 decoder)
    t=$SECONDS
    say "building dav1d in $dav1d_src"
    cat >"$work/mingw-cross.ini" <<INI
[binaries]
c = '$CC_X'
ar = '$HOST-ar'
strip = '$HOST-strip'
windres = '$HOST-windres'
pkgconfig = 'pkg-config'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
INI
    local dav1d_cfg=(meson setup "$work/dav1d-build" "$dav1d_src" --cross-file "$work/mingw-cross.ini"
        --prefix="$prefix" --libdir=lib --buildtype=release -Ddefault_library=static
        -Denable_tools=false -Denable_tests=false -Denable_examples=false
        # 8 and 16 bits per component: AV1 encoders default to 10-bit and video sites use it for
        # HDR; an 8-bit-only dav1d decodes none of their frames.
        -Dbitdepths=8,16)
    configure_lines+=("dav1d: $(cmdline "${dav1d_cfg[@]}")  (cross file: c=$CC_X, host windows/x86_64)")
    run "${dav1d_cfg[@]}"
    run ninja -C "$work/dav1d-build" -j "$jobs" install
    say "  dav1d done in $((SECONDS - t)) s"

    # FFmpeg
    t=$SECONDS
    say "building FFmpeg in $ffmpeg_src"
    cd "$ffmpeg_src"
    local ff_cfg=(./configure
        --target-os=mingw32 --arch=x86_64 --cross-prefix=$HOST- --cc=$CC_X --cxx=$CXX_X
        --pkg-config=pkg-config --pkg-config-flags=--static
        # Relative to the source folder, where configure and make run: these flags end up in
        # "ffmpeg -version", which then shows no build machine's paths.
        --extra-cflags="-I../../prefix/include"
        # -static: libgcc and libwinpthread go into the exe, so it needs no DLLs beside it.
        --extra-ldflags="-L../../prefix/lib -static"
        --enable-static --disable-shared --disable-autodetect --disable-everything
        --enable-ffmpeg --disable-ffplay --disable-ffprobe --disable-doc --disable-debug
        --disable-network --disable-avdevice --disable-postproc
        --enable-swscale --enable-swresample
        --enable-protocol=file,pipe
        --enable-libdav1d --enable-libmp3lame
        --enable-demuxer="$(join "${DEMUXERS[@]}")"
        --enable-decoder="$(join "${DECODERS[@]}")"
        --enable-parser="$(join "${PARSERS[@]}")"
        --enable-encoder="$(join "${ENCODERS[@]}")"
        --enable-muxer="$(join "${MUXERS[@]}")"
        --enable-filter="$(join "${FILTERS[@]}")"
    )
    configure_lines+=("ffmpeg: $(cmdline "${ff_cfg[@]}")")
    run "${ff_cfg[@]}"
    # The licence is the point of all the disabling: refuse anything but LGPL.
    grep -qx 'License: LGPL version 2.1 or later' "$log" \
        || die "FFmpeg configure did not report 'License: LGPL version 2.1 or later'"
    grep -qx '#define CONFIG_GPL 0' config.h && grep -qx '#define CONFIG_NONFREE 0' config.h \
        || die "config.h enables GPL or nonfree code"
    check_config
    drop_bcrypt
    drop_shell32
    run make -j"$jobs" ffmpeg.exe
    if "$HOST-objdump" -p ffmpeg.exe | grep -qi 'DLL Name: *shell32'; then
        die "ffmpeg.exe still imports shell32.dll"
    fi
    say "  FFmpeg done in $((SECONDS - t)) s"
}

# bcrypt.dll is not among the DLLs Windows always takes from its own folder: imported at load time,
# a bcrypt.dll left beside the converter (an unpacked zip in Downloads) would be loaded instead.
# configure has no switch for a system library it finds, so it is turned off in what configure
# wrote. libavutil's random seed then falls back to its clock-based one; none of the components
# built here asks for a seed anyway (no encryption, no network, no random filters).
drop_bcrypt() {
    grep -qx '#define HAVE_BCRYPT 1' config.h || die "config.h does not say HAVE_BCRYPT 1 any more"
    run sed -i 's/^#define HAVE_BCRYPT 1$/#define HAVE_BCRYPT 0/' config.h
    run sed -i 's/^%define HAVE_BCRYPT 1$/%define HAVE_BCRYPT 0/' config.asm
    run sed -i '/^EXTRALIBS/s/ -lbcrypt//g' ffbuild/config.mak
    if grep -q -- '-lbcrypt' ffbuild/config.mak; then die "ffbuild/config.mak still links -lbcrypt"; fi
}

# FFmpeg reads its Unicode arguments with CommandLineToArgvW, its only use of shell32.dll; loading
# shell32 at every start brings about twenty DLLs with it (user32, gdi32, ole32, ...), a large
# share of a short file's time (under Wine about 60 ms a start). tools/converter-argv.c splits the
# line by the same rules and stands in for the import, so the converter loads only kernel32 and
# msvcrt.
drop_shell32() {
    local obj="$work/converter-argv.o"
    run "$CC_X" -O2 -Wall -Wextra -Werror -DKESTROVA_REPLACE_SHELL32 -c "$ARGV_SRC" -o "$obj"
    grep -q '^EXTRALIBS-ffmpeg=.*-lshell32' ffbuild/config.mak \
        || die "ffbuild/config.mak does not link -lshell32 into ffmpeg any more"
    run sed -i "/^EXTRALIBS/s#\(=\| \)-lshell32\b#\1$obj#g" ffbuild/config.mak
    if grep -q -- '-lshell32' ffbuild/config.mak; then die "ffbuild/config.mak still links -lshell32"; fi
}

# --- Checks --------------------------------------------------------------------------------------

# Every name configure was given must have made it in: configure only warns when none of a list
# matches, and quietly drops what lacks a dependency. Also writes the list for check-ffmpeg.sh.
check_config() {
    local kind name missing=()
    : >"$work/components"
    for kind in demuxer decoder parser encoder muxer filter; do
        local -n names=${kind^^}S
        for name in "${names[@]}"; do
            grep -qx "#define CONFIG_${name^^}_${kind^^} 1" config_components.h || missing+=("$kind $name")
            echo "$kind $name" >>"$work/components"
        done
        unset -n names
    done
    ((${#missing[@]} == 0)) || die "configure left out: ${missing[*]}"
}

check() {
    local rc=0
    "$CHECK" "$1" "$2" "$work/test" || rc=$?
    { echo "+ $CHECK $1 $2 $work/test"; cat "$work/test/check.log"; } >>"$log" 2>/dev/null || true
    ((rc == 0)) || die "tools/check-ffmpeg.sh failed"
}

# --- A cached build only needs checking again -----------------------------------------------------

if [[ -f $out/ffmpeg.exe ]]; then
    check "$out/ffmpeg.exe" "$out/components"
    printf '%s\n' "$stamp_text" >"$out/checked"
    rm -rf "$work"
    trap - EXIT
    echo "$out/ffmpeg.exe" >&3
    exit 0
fi

build
exe="$ffmpeg_src/ffmpeg.exe"
check "$exe" "$work/components"

# --- Publish --------------------------------------------------------------------------------------

# Assembled beside the final folder and renamed at the end: a half-written folder is never taken
# for a cached build.
mkdir -p "$out.partial/licenses"
cp "$exe" "$out.partial/ffmpeg.exe"
cp "$work/components" "$out.partial/components"
cp "$ffmpeg_src/COPYING.LGPLv2.1" "$out.partial/licenses/ffmpeg-COPYING.LGPLv2.1"
cp "$ffmpeg_src/LICENSE.md" "$out.partial/licenses/ffmpeg-LICENSE.md"
cp "$lame_src/COPYING" "$out.partial/licenses/lame-COPYING"
cp "$dav1d_src/COPYING" "$out.partial/licenses/dav1d-COPYING"
# -static also links the MinGW-w64 C runtime start-up code and winpthreads into the exe; their
# permissive licences ask for the notices to travel with it.
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$out.partial/licenses/mingw-w64-runtime-copyright"
{
    echo "ffmpeg.exe for Kestrova, built by tools/build-ffmpeg.sh"
    echo "script sha256: $(sha256sum "$SCRIPT" | cut -d' ' -f1)"
    echo "built: $(date -u +%Y-%m-%dT%H:%M:%SZ)"
    tc=$(dpkg-query -W -f='${Package} ${Version}, ' \
        gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 nasm meson)
    echo "toolchain (Debian packages): ${tc%, }"
    echo "linked in statically: libgcc, MinGW-w64 runtime and winpthreads (mingw-w64-x86-64-dev)"
    echo "linked in from Kestrova's sources: tools/converter-argv.c, which splits the command line"
    echo "  as shell32's CommandLineToArgvW does and stands in for that import (sha256 $(sha256sum "$ARGV_SRC" | cut -d' ' -f1))"
    echo
    echo "Debian source packages:"
    for p in "${SRC_PKGS[@]}"; do echo "  $(dsc_field "$p" Source) $(dsc_field "$p" Version)  ($(basename "$(dsc_path "$p")"))"; done
    echo
    echo "Configure lines (<work> is a throw-away build folder; FFmpeg configures in <work>/src/ffmpeg-*):"
    for line in "${configure_lines[@]}"; do echo "  ${line//"$work"/<work>}"; done
    echo
    echo "FFmpeg licence as reported by configure: LGPL version 2.1 or later"
} >"$out.partial/SOURCES.txt"
sed "s|$work|<work>|g" "$log" >"$out.partial/build.log"
printf '%s\n' "$stamp_text" >"$out.partial/checked"
mv -T "$out.partial" "$out"
cd /
rm -rf "$work"
say "built in $((SECONDS - start)) s: $out"
echo "$out/ffmpeg.exe" >&3
