#!/usr/bin/env bash
# Checks an ffmpeg.exe built by tools/build-ffmpeg.sh: it imports only DLLs that every Windows
# has, holds every component it was built with, and under Wine converts test videos into MPEG-4
# (FourCC XVID) + MP3 AVI files with the options Kestrova passes, which it reads from the one
# place that defines them (FFmpegOptions in src/core/FFmpeg.h).
#
#   tools/check-ffmpeg.sh <ffmpeg.exe> <components> <scratch-folder>
#   tools/check-ffmpeg.sh --stamp
#
# <components> holds "<kind> <name>" a line (decoder h264, filter fps, ...), as the build wrote
# it. Progress goes to stderr, details to <scratch-folder>/check.log; exit code 0 when all passed.
# --stamp prints what a result depends on besides the program: this script and the options.
set -euo pipefail
shopt -s inherit_errexit

readonly SCRIPT=$(readlink -f "${BASH_SOURCE[0]}")
readonly ROOT=$(dirname "$(dirname "$SCRIPT")")
readonly OPTIONS_HEADER=$ROOT/src/core/FFmpeg.h
readonly HOST=x86_64-w64-mingw32

say() { printf '[check-ffmpeg] %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

# The options Kestrova passes after "-i <source>".
converter_options() {
    local line
    line=$(sed -n 's/^.*FFmpegOptions\[\] *= *L"\([^"\\]*\)";.*$/\1/p' "$OPTIONS_HEADER")
    [[ -n $line && $line != *$'\n'* ]] || die "cannot read FFmpegOptions from $OPTIONS_HEADER"
    echo "$line"
}
options=$(converter_options)

if [[ ${1:-} == --stamp ]]; then
    echo "check script sha256: $(sha256sum "$SCRIPT" | cut -d' ' -f1)"
    echo "converter options: $options"
    exit 0
fi
[[ $# -eq 3 ]] || die "usage: check-ffmpeg.sh <ffmpeg.exe> <components> <scratch-folder>"
exe=$(readlink -f "$1") components=$(readlink -f "$2") dir=$3
for tool in wine wineserver ffmpeg ffprobe "$HOST-objdump"; do
    command -v "$tool" >/dev/null || die "$tool is missing: run tools/setup.sh first"
done
# Split as the converter's own command line is (quotes group words), without evaluating anything.
mapfile -d '' -t option_words < <(xargs printf '%s\0' <<<"$options")

rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"
log=$dir/check.log
: >"$log"
run() {
    printf '+ %s\n' "$*" >>"$log"
    "$@" >>"$log" 2>&1
}

export WINEPREFIX="$dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' SVT_LOG=1
# UTF-8, so that Wine hands names in other scripts to the converter as they are on disk.
export LC_ALL=C.UTF-8
wineserver_up=0
stop_wineserver() { if ((wineserver_up)); then wineserver -k 2>/dev/null || true; fi; }
trap stop_wineserver EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 141' PIPE
trap 'exit 143' TERM
# Wine's server and services inherit whatever we hold open and may outlive us if we are killed:
# none of the caller's descriptors (build-ffmpeg.sh's result pipe, its build lock) may go with them.
for fd in 3 4 5 6 7 8 9; do eval "exec $fd>&-"; done

say "checking $exe with options: $options"
t=$SECONDS

# Only DLLs that ship with every Windows (nothing like libwinpthread-1 that would have to travel
# with the program), and of those only the ones Windows always takes from its system folder.
imports=$("$ROOT/tools/check-imports.sh" --objdump "$HOST-objdump" "$exe") ||
    die "ffmpeg.exe imports a DLL Windows may take from beside it: ${imports#*: }"
say "  imports: ${imports#*: }"

cp "$exe" ffmpeg.exe
mkdir -p "$WINEPREFIX"
# A persistent wineserver saves the ~3 s start-up per run; detached so it never holds our pipes,
# and ending by itself 30 s after the last program should we be killed before stopping it.
setsid wineserver -p30 </dev/null >/dev/null 2>&1 &
wineserver_up=1

# Every component the build asked for, in the program's own lists (ffmpeg lists no parsers).
counted=0
for kind in demuxer decoder encoder muxer filter; do
    listing=$(wine ffmpeg.exe -hide_banner -"${kind}s" </dev/null 2>/dev/null | tr -d '\r' |
        awk '{ n = split($2, names, ","); for (i = 1; i <= n; i++) print names[i] }')
    while read -r name; do
        grep -qx -- "$name" <<<"$listing" || die "ffmpeg.exe lists no $name among its ${kind}s"
        counted=$((counted + 1))
    done < <(awk -v k="$kind" '$1 == k { print $2 }' "$components")
done
((counted > 0)) || die "$components names no components"
say "  lists: all $counted demuxers, decoders, encoders, muxers and filters asked for are there"

# Converts name.ext with Kestrova's options (and any extra ones) into name.avi.
convert() {
    local name=$1 ext=$2
    shift 2
    # Relative names: a Windows program sees Unix absolute paths as paths on the current drive.
    if ! wine ffmpeg.exe -nostdin -y -i "$name.$ext" "${option_words[@]}" "$@" "$name.avi" \
        >"$name.out" 2>"$name.err" </dev/null; then
        cat "$name.err" >>"$log"
        die "$name: ffmpeg.exe failed under Wine"
    fi
    cat "$name.err" >>"$log"
    # Kestrova reads the converter's stderr; make sure it really comes through.
    grep -q 'Stream #0:0' "$name.err" || die "$name: no stream report on ffmpeg.exe's stderr"
}

# Fields of the first stream of a kind, comma-separated, in ffprobe's own order.
probe() { ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of csv=p=0 "$1"; }

# name.ext, native ffmpeg encoder options; 2 s at 25 fps, stereo
samples=(
    "vp8-vorbis.webm|-c:v libvpx -b:v 500k -c:a libvorbis"
    "vp9-opus.webm|-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 500k -c:a libopus"
    "av1-opus.webm|-c:v libsvtav1 -preset 12 -c:a libopus"
    "av1-10bit-opus.webm|-c:v libsvtav1 -preset 12 -pix_fmt yuv420p10le -c:a libopus"
    "h264-aac.mp4|-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac"
    "h264-pcm.mkv|-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a pcm_s16le"
)
for sample in "${samples[@]}"; do
    name=${sample%%|*}
    ext=${name##*.}
    name=${name%.*}
    read -r -a enc <<<"${sample#*|}"
    run ffmpeg -nostdin -hide_banner -y -f lavfi -i testsrc=size=320x240:rate=25 \
        -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 -ac 2 "${enc[@]}" "$name.$ext"
    convert "$name" "$ext"
    v=$(probe "$name.avi" v:0 codec_name,codec_tag_string,nb_frames)
    a=$(probe "$name.avi" a:0 codec_name)
    frames=${v##*,}
    [[ ${v%,*} == mpeg4,XVID ]] || die "$name: video stream is '$v', want mpeg4/XVID"
    [[ $a == mp3 ]] || die "$name: audio stream is '$a', want mp3"
    if ! [[ $frames =~ ^[0-9]+$ ]] || ((frames < 48)); then die "$name: only '$frames' frames of 50"; fi
    say "  $name.$ext -> AVI: mpeg4/XVID ($frames frames) + mp3"
done

# The converter takes its arguments from the Unicode command line: names with blanks and any
# script must reach it whole (Kestrova quotes paths as they are).
cp vp8-vorbis.webm "Zoë клип 映像.webm"
convert "Zoë клип 映像" webm
[[ -s "Zoë клип 映像.avi" ]] || die "no AVI under a name with blanks and other scripts"
say "  names: 'Zoë клип 映像.webm' -> 'Zoë клип 映像.avi'"

# What a player-safe conversion asks of the converter: scaled, frame rate and pixel aspect
# forced, peak rate held, audio resampled and downmixed.
convert vp9-opus webm -vf scale=w=176:h=144:force_original_aspect_ratio=decrease,fps=15,setsar=1 \
    -maxrate 400k -bufsize 200k -ac 1 -ar 22050
v=$(probe vp9-opus.avi v:0 width,height,sample_aspect_ratio,r_frame_rate)
a=$(probe vp9-opus.avi a:0 sample_rate,channels)
[[ $v == 176,132,1:1,15/1 && $a == 22050,1 ]] \
    || die "filtered conversion gave video '$v' and audio '$a', want 176,132,1:1,15/1 and 22050,1"
say "  filters: 320x240 25 fps stereo 48 kHz -> 176x132 15 fps 1:1, mono 22.05 kHz"

# Failure has to show in the exit code, or Kestrova would report success for a broken input.
if wine ffmpeg.exe -nostdin -i missing.webm missing.avi >/dev/null 2>&1 </dev/null; then
    die "ffmpeg.exe exited 0 for a missing input"
fi
say "  checks done in $((SECONDS - t)) s"
