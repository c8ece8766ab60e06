#!/usr/bin/env bash
# Builds the ffmpeg.exe that Kestrova runs as its converter: a static x86_64 Windows build, LGPL
# only, cut down to what WebM -> AVI needs, cross-compiled from Debian's own source packages.
#
#   exe=$(tools/build-ffmpeg.sh | tail -n1)
#
# The last (and only) stdout line is the path of ffmpeg.exe; progress goes to stderr, compiler
# output to a build.log. Results are cached in ${KESTROVA_CACHE:-~/.cache/kestrova}/ffmpeg-<key>/,
# keyed by the Debian source versions and this script's own hash, so a second run is instant.
# Needs root (or password-less sudo) only when something is missing: packages, deb-src entries.
set -euo pipefail
set -o errtrace

# stdout is reserved for the result; anything else that leaks out lands on stderr.
exec 3>&1 1>&2

readonly SCRIPT=$(readlink -f "${BASH_SOURCE[0]}")
readonly CACHE_ROOT=${KESTROVA_CACHE:-$HOME/.cache/kestrova}
readonly HOST=x86_64-w64-mingw32
# The -posix compilers: the win32-thread flavour lacks std::thread and friends, and we want one
# toolchain for the whole project. -static below keeps libwinpthread out of the exe anyway.
readonly CC_X=$HOST-gcc-posix CXX_X=$HOST-g++-posix
# AV1 in WebM (browser and screen recordings) decodes through dav1d (BSD-2, LGPL-compatible).
readonly WITH_DAV1D=1
readonly SRC_PKGS=(ffmpeg lame $( ((WITH_DAV1D)) && echo dav1d))
readonly TOOL_PKGS=(gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-tools nasm pkg-config dpkg-dev xz-utils make gcc libc6-dev meson ninja-build
    wine wine64 ffmpeg)
readonly SRC_LIST_BASE=/etc/apt/sources.list.d/kestrova-src

say() { printf '[build-ffmpeg] %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

as_root() {
    if ((EUID == 0)); then "$@"
    elif command -v sudo >/dev/null; then sudo -n "$@"
    else die "need root for: $*"; fi
}

apt_quiet() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o Dpkg::Use-Pty=0 "$@" >&2; }

# --- Toolchain -----------------------------------------------------------------------------------

missing_tool_pkgs() {
    local p
    for p in "${TOOL_PKGS[@]}"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q ' installed$' || echo "$p"
    done
}

# --- deb-src entries -----------------------------------------------------------------------------

# Prints deb822 stanzas: each enabled "Types: deb" stanza of this Debian release that has no
# deb-src yet, turned into deb-src. Copying the machine's own entries keeps its mirror, snapshot
# and keyring choices, and we never have to name an archive host ourselves.
derive_deb822_src() {
    local codename=$1 f
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -e $f && $f != "$SRC_LIST_BASE.sources" ]] || continue
        awk -v cn="$codename" '
            BEGIN { RS = ""; FS = "\n" }
            function words(line, arr) { sub(/^[^:]*:[ \t]*/, "", line); return split(line, arr, /[ \t]+/) }
            {
                out = ""; deb = 0; src = 0; suites = ""; enabled = 1
                for (i = 1; i <= NF; i++) {
                    line = $i
                    if (line ~ /^#/ || line ~ /^[ \t]/) { out = out line "\n"; continue }
                    key = tolower(line); sub(/:.*/, "", key)
                    if (key == "types") {
                        n = words(line, w)
                        for (j = 1; j <= n; j++) { if (w[j] == "deb") deb = 1; if (w[j] == "deb-src") src = 1 }
                        line = "Types: deb-src"
                    } else if (key == "suites") {
                        n = words(line, w)
                        for (j = 1; j <= n; j++) if (w[j] ~ ("^" cn "(-|$)")) suites = suites " " w[j]
                        line = "Suites:" suites
                    } else if (key == "enabled") {
                        n = words(line, w); if (tolower(w[1]) ~ /^(no|false|off|0)$/) enabled = 0
                    }
                    out = out line "\n"
                }
                if (deb && !src && suites != "" && enabled) printf "%s\n", out
            }' "$f"
    done
}

# Same for the one-line format: "deb [opts] uri suite comps" -> "deb-src [opts] uri suite comps".
derive_oneline_src() {
    local codename=$1 files=() f
    [[ -e /etc/apt/sources.list ]] && files+=(/etc/apt/sources.list)
    for f in /etc/apt/sources.list.d/*.list; do
        [[ -e $f && $f != "$SRC_LIST_BASE.list" ]] && files+=("$f")
    done
    ((${#files[@]})) || return 0
    awk -v cn="$codename" '
        { sub(/#.*/, ""); $1 = $1 }                      # drop comments, squeeze blanks
        $1 == "deb-src" { have[substr($0, 9)] = 1; next }
        $1 == "deb" {
            rest = substr($0, 5); s = rest
            if (s ~ /^\[/) sub(/^\[[^]]*\] */, "", s)  # options, then uri suite components
            split(s, w, " ")
            if (w[2] ~ ("^" cn "(-|$)")) want[++n] = rest
        }
        END { for (i = 1; i <= n; i++) if (!(want[i] in have)) print "deb-src " want[i] }' "${files[@]}"
}

# Writes (or removes) our deb-src files; returns 0 if anything changed, so the caller knows to
# run apt-get update.
ensure_deb_src() {
    local codename changed=1 kind body
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $codename ]] || die "cannot tell this machine's Debian release from /etc/os-release"
    for kind in sources list; do
        if [[ $kind == sources ]]; then body=$(derive_deb822_src "$codename")
        else body=$(derive_oneline_src "$codename"); fi
        local dest=$SRC_LIST_BASE.$kind
        if [[ -z $body ]]; then
            [[ -e $dest ]] && { as_root rm -f "$dest"; changed=0; }
            continue
        fi
        body="# Source entries for tools/build-ffmpeg.sh, derived from this machine's own entries."$'\n'"$body"
        if [[ ! -e $dest || $(<"$dest") != "$body" ]]; then
            say "writing $dest"
            printf '%s\n' "$body" | as_root tee "$dest" >/dev/null
            changed=0
        fi
    done
    return $changed
}

# --- Cache key -----------------------------------------------------------------------------------

# The .dsc file names apt would fetch right now, e.g. "ffmpeg_5.1.9-0+deb12u1.dsc" (one a line).
# --print-uris asks the local lists only: fast, no root, no network.
source_dscs() {
    apt-get source --print-uris "${SRC_PKGS[@]}" 2>/dev/null |
        awk '$1 ~ /\.dsc.$/ { print $2 }' | sort
}

cache_key() {
    local dscs=$1 first
    first=$(head -n1 <<<"$dscs")            # sorted: dav1d_, ffmpeg_, lame_
    local ffv; ffv=$(grep '^ffmpeg_' <<<"$dscs"); ffv=${ffv#ffmpeg_}; ffv=${ffv%.dsc}
    : "$first"
    printf '%s-%s' "$ffv" "$( { sha256sum "$SCRIPT" | cut -d' ' -f1; echo "$dscs"; } | sha256sum | cut -c1-12)"
}

have_all_dscs() { [[ $(wc -l <<<"$1") -eq ${#SRC_PKGS[@]} && -n $1 ]]; }

# --- Fast path: a cached build for the current versions and this script ---------------------------

dscs=$(source_dscs || true)
if have_all_dscs "$dscs"; then
    out="$CACHE_ROOT/ffmpeg-$(cache_key "$dscs")"
    if [[ -f $out/ffmpeg.exe ]]; then
        echo "$out/ffmpeg.exe" >&3
        exit 0
    fi
fi

# --- Slow path: prepare the machine ---------------------------------------------------------------

start=$SECONDS
need_update=1
if ensure_deb_src; then need_update=0; fi
have_all_dscs "$dscs" || need_update=0
mapfile -t missing < <(missing_tool_pkgs)
((${#missing[@]})) && need_update=0
if ((need_update == 0)); then
    say "apt-get update"
    apt_quiet update
fi
if ((${#missing[@]})); then
    say "installing: ${missing[*]}"
    apt_quiet install --no-install-recommends "${missing[@]}"
fi

dscs=$(source_dscs || true)
have_all_dscs "$dscs" || die "apt knows no source package for one of: ${SRC_PKGS[*]} (deb-src missing?)"
key=$(cache_key "$dscs")
out="$CACHE_ROOT/ffmpeg-$key"
work="$CACHE_ROOT/work-$key"
mkdir -p "$CACHE_ROOT"

# One build per cache at a time (CMake and a test script may both ask); the winner's result is
# then picked up by the others.
exec 9>"$CACHE_ROOT/.ffmpeg-build.lock"
flock 9
if [[ -f $out/ffmpeg.exe ]]; then
    echo "$out/ffmpeg.exe" >&3
    exit 0
fi

rm -rf "$work" "$out.partial"
mkdir -p "$work/src" "$work/prefix" "$out.partial/licenses"
log="$work/build.log"
: >"$log"
wineserver_up=0

on_exit() {
    local rc=$?
    if ((wineserver_up)); then WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true; fi
    if ((rc != 0)); then
        say "FAILED (exit $rc). Last lines of $log:"
        tail -n 40 "$log" >&2 || true
        say "work folder kept for inspection: $work"
    fi
}
trap on_exit EXIT

# Runs a command with its output going to the log; the log keeps the exact command lines too.
run() {
    printf '+ %s\n' "$(printf '%q ' "$@")" >>"$log"
    "$@" >>"$log" 2>&1
}

# --- Sources ---------------------------------------------------------------------------------------

say "fetching Debian sources: ${SRC_PKGS[*]} -> $work/src"
cd "$work/src"
if ! run apt-get source "${SRC_PKGS[@]}"; then
    # Lists older than the archive (a point release replaced a version): refresh once and retry.
    say "apt-get source failed; refreshing lists and retrying"
    apt_quiet update
    [[ $(source_dscs) == "$dscs" ]] || die "source versions changed during the run; run again"
    run apt-get source "${SRC_PKGS[@]}"
fi
for d in $dscs; do [[ -f $d ]] || die "expected $d after apt-get source"; done

# Source dir of a package, found through its .dsc: "<name>-<upstream version>".
src_dir() {
    local dsc; dsc=$(grep "^$1_" <<<"$dscs")
    local up; up=$(awk '/^Version:/ { v = $2; sub(/^[0-9]+:/, "", v); sub(/-[^-]*$/, "", v); print v }' "$dsc")
    echo "$work/src/$1-$up"
}
dsc_field() { awk -v f="$2:" '$1 == f { print $2; exit }' "$(grep "^$1_" <<<"$dscs")"; }

prefix="$work/prefix"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"   # never pick up the build machine's own .pc files
unset PKG_CONFIG_PATH
jobs=$(nproc)
configure_lines=()

# --- LAME (MP3 encoder) ---------------------------------------------------------------------------

t=$SECONDS
lame_src=$(src_dir lame)
say "building LAME in $lame_src"
cd "$lame_src"
lame_cfg=(./configure --host=$HOST --prefix="$prefix" --enable-static --disable-shared --disable-frontend
    CC=$CC_X)
configure_lines+=("lame: ${lame_cfg[*]}")
run "${lame_cfg[@]}"
run make -j"$jobs"
run make install
say "  LAME done in $((SECONDS - t)) s"

# --- dav1d (AV1 decoder) --------------------------------------------------------------------------

if ((WITH_DAV1D)); then
    t=$SECONDS
    dav1d_src=$(src_dir dav1d)
    say "building dav1d in $dav1d_src"
    cat >"$work/mingw-cross.ini" <<EOF
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
EOF
    dav1d_cfg=(meson setup "$work/dav1d-build" "$dav1d_src" --cross-file "$work/mingw-cross.ini"
        --prefix="$prefix" --libdir=lib --buildtype=release -Ddefault_library=static
        -Denable_tools=false -Denable_tests=false -Denable_examples=false)
    configure_lines+=("dav1d: ${dav1d_cfg[*]} (cross file: c=$CC_X, host windows/x86_64)")
    run "${dav1d_cfg[@]}"
    run ninja -C "$work/dav1d-build" -j "$jobs" install
    say "  dav1d done in $((SECONDS - t)) s"
fi

# --- FFmpeg ---------------------------------------------------------------------------------------

t=$SECONDS
ffmpeg_src=$(src_dir ffmpeg)
say "building FFmpeg in $ffmpeg_src"
cd "$ffmpeg_src"
ff_cfg=(./configure
    --target-os=mingw32 --arch=x86_64 --cross-prefix=$HOST- --cc=$CC_X --cxx=$CXX_X
    --pkg-config=pkg-config --pkg-config-flags=--static
    --extra-cflags="-I$prefix/include"
    # -static: libgcc and libwinpthread go into the exe, so it needs no DLLs beside it.
    --extra-ldflags="-L$prefix/lib -static"
    --enable-static --disable-shared --disable-autodetect --disable-everything
    --enable-ffmpeg --disable-ffplay --disable-ffprobe --disable-doc --disable-debug
    --disable-network --disable-avdevice --disable-postproc
    --enable-swscale --enable-swresample
    --enable-protocol=file,pipe
    --enable-demuxer=matroska
    --enable-decoder=vp8,vp9,vorbis,opus
    --enable-parser=vp8,vp9,vorbis,opus
    --enable-libmp3lame --enable-encoder=mpeg4,ac3,libmp3lame
    --enable-muxer=avi,null
    # scale/aresample/format/aformat are what ffmpeg inserts for pixel-format and sample-format
    # conversion; trim/atrim serve -ss/-t.
    --enable-filter=scale,format,aresample,aformat,null,anull,trim,atrim
)
((WITH_DAV1D)) && ff_cfg+=(--enable-libdav1d --enable-decoder=libdav1d --enable-parser=av1)
configure_lines+=("ffmpeg: $(printf '%q ' "${ff_cfg[@]}")")
run "${ff_cfg[@]}"
# The licence is the point of all the disabling: refuse anything but LGPL.
grep -qx 'License: LGPL version 2.1 or later' "$log" \
    || die "FFmpeg configure did not report 'License: LGPL version 2.1 or later'"
grep -qx '#define CONFIG_GPL 0' config.h && grep -qx '#define CONFIG_NONFREE 0' config.h \
    || die "config.h enables GPL or nonfree code"
run make -j"$jobs" ffmpeg.exe
say "  FFmpeg done in $((SECONDS - t)) s"
exe="$ffmpeg_src/ffmpeg.exe"

# --- Checks ---------------------------------------------------------------------------------------

# Only DLLs that ship with every Windows: anything else (libwinpthread-1, libgcc_s_seh-1, ...)
# would have to travel with the program.
say "checking DLL imports"
mapfile -t dlls < <($HOST-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
for dll in "${dlls[@]}"; do
    case $dll in
        kernel32.dll | user32.dll | advapi32.dll | shell32.dll | ole32.dll | oleaut32.dll | \
        msvcrt.dll | bcrypt.dll | psapi.dll | gdi32.dll | shlwapi.dll | ws2_32.dll | secur32.dll) ;;
        *) die "ffmpeg.exe imports $dll, which is not part of Windows" ;;
    esac
done
say "  imports: ${dlls[*]}"

say "converting test videos under Wine"
t=$SECONDS
test_dir="$work/test"
mkdir -p "$test_dir"
cd "$test_dir"
cp "$exe" "$test_dir/ffmpeg.exe"
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
mkdir -p "$WINEPREFIX"
# A persistent wineserver saves the ~3 s start-up per run; detached so it never holds our pipes.
setsid wineserver -p </dev/null >/dev/null 2>&1 &
wineserver_up=1

# name, native ffmpeg encoder options
samples=(
    "vp8-vorbis|-c:v libvpx -b:v 500k -c:a libvorbis"
    "vp9-opus|-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 500k -c:a libopus"
)
((WITH_DAV1D)) && samples+=("av1-opus|-c:v libaom-av1 -cpu-used 8 -row-mt 1 -b:v 300k -c:a libopus")

for sample in "${samples[@]}"; do
    name=${sample%%|*}
    read -r -a enc <<<"${sample#*|}"
    run ffmpeg -nostdin -hide_banner -y -f lavfi -i testsrc=size=320x240:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 "${enc[@]}" "$name.webm"
    # Relative names: a Windows program sees Unix absolute paths as paths on the current drive.
    if ! wine ffmpeg.exe -nostdin -y -i "$name.webm" -q:v 2 -vtag XVID -threads 2 "$name.avi" \
        >"$name.out" 2>"$name.err" </dev/null; then
        cat "$name.err" >>"$log"
        die "$name: ffmpeg.exe failed under Wine"
    fi
    cat "$name.err" >>"$log"
    # Kestrova reads the converter's stderr; make sure it really comes through.
    grep -q 'Stream #0:0' "$name.err" || die "$name: no stream report on ffmpeg.exe's stderr"
    v=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,codec_tag_string,nb_frames \
        -of csv=p=0 "$name.avi")
    a=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 "$name.avi")
    frames=${v##*,}
    [[ ${v%,*} == mpeg4,XVID ]] || die "$name: video stream is '$v', want mpeg4/XVID"
    [[ $a == mp3 ]] || die "$name: audio stream is '$a', want mp3"
    [[ $frames =~ ^[0-9]+$ ]] && ((frames >= 48)) || die "$name: only '$frames' frames of 50"
    say "  $name.webm -> AVI: mpeg4/XVID ($frames frames) + mp3"
done

# Failure has to show in the exit code, or Kestrova would report success for a broken input.
if wine ffmpeg.exe -nostdin -i missing.webm missing.avi >/dev/null 2>&1 </dev/null; then
    die "ffmpeg.exe exited 0 for a missing input"
fi
say "  checks done in $((SECONDS - t)) s"

# --- Publish --------------------------------------------------------------------------------------

cp "$exe" "$out.partial/ffmpeg.exe"
cp "$ffmpeg_src/COPYING.LGPLv2.1" "$out.partial/licenses/ffmpeg-COPYING.LGPLv2.1"
cp "$ffmpeg_src/LICENSE.md" "$out.partial/licenses/ffmpeg-LICENSE.md"
cp "$lame_src/COPYING" "$out.partial/licenses/lame-COPYING"
((WITH_DAV1D)) && cp "$dav1d_src/COPYING" "$out.partial/licenses/dav1d-COPYING"
{
    echo "ffmpeg.exe for Kestrova, built by tools/build-ffmpeg.sh"
    echo "script sha256: $(sha256sum "$SCRIPT" | cut -d' ' -f1)"
    echo "built: $(date -u +%Y-%m-%dT%H:%M:%SZ)"
    echo "compiler: $($CC_X --version | head -n1)"
    echo
    echo "Debian source packages:"
    for p in "${SRC_PKGS[@]}"; do echo "  $(dsc_field "$p" Source) $(dsc_field "$p" Version)"; done
    echo
    echo "Configure lines:"
    printf '  %s\n' "${configure_lines[@]}"
    echo
    echo "FFmpeg licence as reported by configure: LGPL version 2.1 or later"
} >"$out.partial/SOURCES.txt"
cp "$log" "$out.partial/build.log"
mv -T "$out.partial" "$out"
cd /
rm -rf "$work"
say "built in $((SECONDS - start)) s: $out"
echo "$out/ffmpeg.exe" >&3
