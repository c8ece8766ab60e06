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
shopt -s inherit_errexit   # so a failure inside $(...) stops us too

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

# Prints deb822 stanzas: each enabled "Types: deb" stanza of this Debian release (its codename as
# suite, Debian's archive key or none named) that has no deb-src yet, turned into deb-src.
# Copying the machine's own entries keeps its mirror, snapshot and keyring choices, and we never
# have to name an archive host ourselves. Backports are left out: we build the release's own
# versions, the ones apt installs by default. Third-party repositories often reuse the codename
# as suite (but sign with their own key) and rarely carry sources: the key test leaves them out.
derive_deb822_src() {
    local codename=$1 f
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -e $f && $f != "$SRC_LIST_BASE.sources" ]] || continue
        awk -v cn="$codename" '
            BEGIN { RS = ""; FS = "\n" }
            function words(line, arr) { sub(/^[^:]*:[ \t]*/, "", line); return split(line, arr, /[ \t]+/) }
            {
                out = ""; deb = 0; src = 0; suites = ""; enabled = 1; foreign = 0
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
                        for (j = 1; j <= n; j++)
                            if (w[j] ~ ("^" cn "(-|$)") && w[j] !~ /backports/) suites = suites " " w[j]
                        line = "Suites:" suites
                    } else if (key == "enabled") {
                        n = words(line, w); if (tolower(w[1]) ~ /^(no|false|off|0)$/) enabled = 0
                    } else if (key == "signed-by") {
                        foreign = (line !~ /debian-archive/)
                    }
                    out = out line "\n"
                }
                if (deb && !src && suites != "" && enabled && !foreign) printf "%s\n", out
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
            if (w[2] ~ ("^" cn "(-|$)") && w[2] !~ /backports/ && (rest !~ /signed-by=/ || rest ~ /signed-by=[^] ]*debian-archive/))
                want[++n] = rest
        }
        END { for (i = 1; i <= n; i++) if (!(want[i] in have)) print "deb-src " want[i] }' "${files[@]}"
}

# Writes (or removes) our deb-src files; sets src_changed=1 if it touched anything, so the caller
# knows to run apt-get update.
src_changed=0
ensure_deb_src() {
    local codename kind body
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $codename ]] || die "cannot tell this machine's Debian release from /etc/os-release"
    for kind in sources list; do
        if [[ $kind == sources ]]; then body=$(derive_deb822_src "$codename")
        else body=$(derive_oneline_src "$codename"); fi
        local dest=$SRC_LIST_BASE.$kind
        if [[ -z $body ]]; then
            [[ -e $dest ]] && { as_root rm -f "$dest"; src_changed=1; }
            continue
        fi
        body="# Source entries for tools/build-ffmpeg.sh, derived from this machine's own entries."$'\n'"$body"
        if [[ ! -e $dest || $(<"$dest") != "$body" ]]; then
            say "writing $dest"
            printf '%s\n' "$body" | as_root tee "$dest" >/dev/null
            src_changed=1
        fi
    done
}

# --- Cache key -----------------------------------------------------------------------------------

# "<package> <version>" a line: the newest version of each source package in the local deb-src
# lists, which is what the release's apt would pick too (we list no backports). apt-cache reads
# local lists only: fast, no root, no network. Fails if a package is unknown.
source_versions() {
    local all p v best
    all=$(apt-cache showsrc --only-source "${SRC_PKGS[@]}" 2>/dev/null |
        awk '/^Package:/ { p = $2 } /^Version:/ { print p, $2 }') || return 1
    for p in "${SRC_PKGS[@]}"; do
        best=
        for v in $(awk -v p="$p" '$1 == p { print $2 }' <<<"$all"); do
            if [[ -z $best ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
        done
        [[ -n $best ]] || return 1
        echo "$p $best"
    done
}

# "<ffmpeg version>-<12 hex>": the version for people, the hash over this script and every source
# version for correctness (any edit to a flag here means a new build).
cache_key() {
    local versions=$1 ffv
    ffv=$(awk '$1 == "ffmpeg" { print $2 }' <<<"$versions")
    printf '%s-%s' "${ffv#*:}" "$( { sha256sum "$SCRIPT" | cut -d' ' -f1; echo "$versions"; } | sha256sum | cut -c1-12)"
}

# --- Fast path: a cached build for the current versions and this script ---------------------------

versions=$(source_versions) || versions=
if [[ -n $versions ]]; then
    out="$CACHE_ROOT/ffmpeg-$(cache_key "$versions")"
    if [[ -f $out/ffmpeg.exe ]]; then
        echo "$out/ffmpeg.exe" >&3
        exit 0
    fi
fi

# --- Slow path: prepare the machine ---------------------------------------------------------------

start=$SECONDS
ensure_deb_src
mapfile -t missing < <(missing_tool_pkgs)
# Update only when it can matter: new deb-src entries, lists without sources, or packages to
# install (a fresh container has no lists at all).
if ((src_changed)) || [[ -z $versions ]] || ((${#missing[@]})); then
    say "apt-get update"
    apt_quiet update
fi
if ((${#missing[@]})); then
    say "installing: ${missing[*]}"
    apt_quiet install --no-install-recommends "${missing[@]}"
fi

versions=$(source_versions) \
    || die "apt knows no source package for one of: ${SRC_PKGS[*]} (no deb-src entries?)"
key=$(cache_key "$versions")
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

# Holding the lock, nobody else is building: whatever a failed or killed run left can go.
rm -rf "$CACHE_ROOT"/work-* "$CACHE_ROOT"/ffmpeg-*.partial
mkdir -p "$work/src" "$work/prefix"
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

# A command line as one could paste it: only words with blanks or quotes get quoted.
cmdline() {
    local w out=()
    for w in "$@"; do
        if [[ $w =~ [[:space:]\'\"\$] ]]; then out+=("'${w//\'/\'\\\'\'}'"); else out+=("$w"); fi
    done
    echo "${out[*]}"
}

# Runs a command with its output going to the log; the log keeps the exact command lines too.
run() {
    printf '+ %s\n' "$(cmdline "$@")" >>"$log"
    "$@" >>"$log" 2>&1
}

# --- Sources ---------------------------------------------------------------------------------------

# Source dir of a package, found through its .dsc: "<name>-<upstream version>".
version_of() { awk -v p="$1" '$1 == p { print $2 }' <<<"$versions"; }
dsc_path() { local v; v=$(version_of "$1"); echo "$work/src/$1_${v#*:}.dsc"; }
src_dir() {
    local dsc; dsc=$(dsc_path "$1")
    local up; up=$(awk '/^Version:/ { v = $2; sub(/^[0-9]+:/, "", v); sub(/-[^-]*$/, "", v); print v }' "$dsc")
    echo "$work/src/$1-$up"
}
dsc_field() { awk -v f="$2:" '$1 == f { print $2; exit }' "$(dsc_path "$1")"; }

say "fetching Debian sources: ${SRC_PKGS[*]} -> $work/src"
cd "$work/src"
# Exactly the versions the key names.
mapfile -t pinned < <(awk '{ print $1 "=" $2 }' <<<"$versions")
if ! run apt-get source "${pinned[@]}"; then
    # Lists older than the archive (a point release replaced a version): refresh, so that the
    # next run keys and fetches the new versions.
    apt_quiet update || true
    die "apt-get source ${pinned[*]} failed; package lists refreshed, run again"
fi
for p in "${SRC_PKGS[@]}"; do
    [[ -f $(dsc_path "$p") && -d $(src_dir "$p") ]] || die "apt-get source left no $p source tree"
done

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
configure_lines+=("lame: $(cmdline "${lame_cfg[@]}")")
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
        -Denable_tools=false -Denable_tests=false -Denable_examples=false
        # 8-bit only: browser and screen recordings are 8-bit, and the 16-bit assembly would
        # nearly double dav1d's build time (NASM is slow on its large AVX-512 files).
        -Dbitdepths=8)
    configure_lines+=("dav1d: $(cmdline "${dav1d_cfg[@]}")  (cross file: c=$CC_X, host windows/x86_64)")
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
configure_lines+=("ffmpeg: $(cmdline "${ff_cfg[@]}")")
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

WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true
wineserver_up=0

# --- Publish --------------------------------------------------------------------------------------

# Assembled beside the final folder and renamed at the end: a half-written folder is never taken
# for a cached build.
mkdir -p "$out.partial/licenses"
cp "$exe" "$out.partial/ffmpeg.exe"
cp "$ffmpeg_src/COPYING.LGPLv2.1" "$out.partial/licenses/ffmpeg-COPYING.LGPLv2.1"
cp "$ffmpeg_src/LICENSE.md" "$out.partial/licenses/ffmpeg-LICENSE.md"
cp "$lame_src/COPYING" "$out.partial/licenses/lame-COPYING"
((WITH_DAV1D)) && cp "$dav1d_src/COPYING" "$out.partial/licenses/dav1d-COPYING"
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
mv -T "$out.partial" "$out"
cd /
rm -rf "$work"
say "built in $((SECONDS - start)) s: $out"
echo "$out/ffmpeg.exe" >&3
