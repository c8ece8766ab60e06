#!/usr/bin/env bash
# Converts WebM files of the kinds people bring (1080p 60 fps VP9, 4K VP9, AV1, odd-sized VP8,
# portrait phone video, 5.1 Opus, a live recording without duration) with the player-safe options
# from src/core/FFmpeg.h, checks each AVI with check-avi.sh and measures its picture against the
# source scaled to the same size (SSIM, goal >= 0.95). Prints a table; exits 1 when any file fails.
#
# As controls, the checker must reject the ordinary (not player-safe) options on the 1080p 60 fps file and a file
# made to break most limits, each for exactly the limits broken, or it could not tell a
# player-safe file from any other.
#
#   run.sh [--converter "COMMAND"] [--work DIR]
#
# COMMAND is run as the program runs the converter: COMMAND -y -i SOURCE OPTIONS DESTINATION.
# It defaults to the machine's ffmpeg; e.g. --converter "wine /path/to/ffmpeg.exe". Sources are
# made with the machine's ffmpeg and kept in DIR/sources for the next run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

converter=ffmpeg
work=${TMPDIR:-/tmp}/kestrova-playersafe
while [ $# -gt 0 ]; do
    case $1 in
    --converter) converter=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: run.sh [--converter COMMAND] [--work DIR]" >&2; exit 2 ;;
    esac
done
read -ra convert_cmd <<<"$converter"
for tool in ffmpeg ffprobe awk od; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

# The options exactly as the program passes them: the string literals of the named constant,
# joined, then split at blanks as the converter's command line is.
options_of() {
    awk -v name="$1" '
        index($0, "inline constexpr wchar_t " name "[]") { on = 1 }
        on { line = $0
             while (match(line, /L"[^"]*"/)) { printf "%s", substr(line, RSTART + 2, RLENGTH - 3)
                                                line = substr(line, RSTART + RLENGTH) }
             if ($0 ~ /;[[:space:]]*$/) exit }' "$root/src/core/FFmpeg.h"
}
safe_options=$(options_of FFmpegPlayerSafeOptions)
default_options=$(options_of FFmpegOptions)
if [ -z "$safe_options" ] || [ -z "$default_options" ]; then
    echo "options not found in src/core/FFmpeg.h" >&2
    exit 2
fi
read -ra safe_opts <<<"$safe_options"
read -ra default_opts <<<"$default_options"
# The reference goes through the same frame-rate rule, so both sides hold the same frames.
fps_filter=$(grep -o "fps='[^']*'" <<<"$safe_options" | head -n 1)
[ -n "$fps_filter" ] || { echo "no fps filter in the options" >&2; exit 2; }

src=$work/sources
out=$work/out
mkdir -p "$src" "$out"
rm -f "$out"/*

ff() { SVT_LOG=1 ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null)
have_encoder() { grep -q " $1 " <<<"$encoders"; }

# Each source is written once; a half-written file never counts as made.
make_source() {
    local name=$1
    shift
    [ -s "$src/$name" ] && return 0
    "$@" "$src/$name.part"
    mv "$src/$name.part" "$src/$name"
}
vp9=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1)
stereo="sine=frequency=440:sample_rate=48000,aformat=channel_layouts=stereo"

gen_1080p60() {
    ff -f lavfi -i "testsrc2=size=1920x1080:rate=60,noise=alls=8:allf=t" -f lavfi -i "$stereo" \
        -t 2 "${vp9[@]}" -b:v 8M -c:a libopus -b:a 128k -f webm "$1"
}
gen_4k30() {
    ff -f lavfi -i "testsrc2=size=3840x2160:rate=30" -f lavfi -i "$stereo" -t 1 "${vp9[@]}" \
        -b:v 20M -c:a libvorbis -f webm "$1"
}
gen_av1_720p() {
    local enc
    if have_encoder libsvtav1; then enc=(-c:v libsvtav1 -preset 12)
    else enc=(-c:v libaom-av1 -usage realtime -cpu-used 8); fi
    ff -f lavfi -i "testsrc2=size=1280x720:rate=30" -f lavfi -i "$stereo" -t 3 "${enc[@]}" \
        -b:v 2M -c:a libopus -f webm "$1"
}
gen_vp8_odd() {
    # Odd sizes both ways, 24 fps, mono Vorbis at 44.1 kHz.
    ff -f lavfi -i "testsrc2=size=854x480:rate=24,scale=853:479" -f lavfi \
        -i "sine=frequency=330:sample_rate=44100" -t 3 -c:v libvpx -deadline realtime \
        -cpu-used 8 -b:v 2M -c:a libvorbis -f webm "$1"
}
gen_portrait() {
    ff -f lavfi -i "testsrc2=size=1080x1920:rate=30" -f lavfi -i "$stereo" -t 2 "${vp9[@]}" \
        -b:v 6M -c:a libopus -f webm "$1"
}
gen_opus51() {
    ff -f lavfi -i "testsrc2=size=640x360:rate=30" -f lavfi \
        -i "aevalsrc=sin(440*2*PI*t)|sin(550*2*PI*t)|sin(660*2*PI*t)|0.5*sin(55*2*PI*t)|sin(770*2*PI*t)|sin(880*2*PI*t):c=5.1:s=48000" \
        -t 3 "${vp9[@]}" -b:v 1M -c:a libopus -b:a 256k -f webm "$1"
}
gen_live() {
    # As a browser records: frames at uneven times, written through a pipe, so no duration.
    ff -f lavfi -i "testsrc2=size=640x480:rate=30,select='not(eq(mod(n,7),3))'" -f lavfi \
        -i "$stereo" -t 3 -fps_mode vfr -c:v libvpx -deadline realtime -cpu-used 8 -b:v 1M \
        -c:a libopus -live 1 -f webm - >"$1"
}

sources=(vp9-1080p60 vp9-4k30 av1-720p vp8-odd portrait opus-5.1 live)
gens=(gen_1080p60 gen_4k30 gen_av1_720p gen_vp8_odd gen_portrait gen_opus51 gen_live)
started=$(date +%s)
for i in "${!sources[@]}"; do
    make_source "${sources[$i]}.webm" "${gens[$i]}"
done
echo "sources ready in $(($(date +%s) - started)) s ($src)"

# "codec WxH fps ch" of a file's first streams.
describe() {
    local v a d
    v=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height,r_frame_rate \
        -of csv=p=0 "$1" | awk -F, '{ split($4, r, "/"); printf "%s %sx%s %.4g", $1, $2, $3, r[1] / r[2] }')
    a=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,channels,sample_rate \
        -of csv=p=0 "$1" | awk -F, '{ printf "%s %sch %.3gk", $1, $3, $2 / 1000 }')
    d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" |
        awk '{ if ($1 == "N/A") print "no duration"; else printf "%.1f s", $1 }')
    echo "$v, $a, $d"
}
duration_of() {
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"
}

# Mean SSIM of the AVI against its source put through the same frame-rate rule and scaled to the
# AVI's size. Frames are paired by their order, as the AVI may shift its first timestamp by one
# frame to keep the MP3's start-up delay in sync.
ssim_of() {
    local avi=$1 source=$2 w h
    IFS=, read -r w h < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height \
        -of csv=p=0 "$avi")
    ffmpeg -hide_banner -nostdin -nostats -threads 2 -i "$avi" -i "$source" -filter_complex \
        "[1:v]$fps_filter,scale=$w:$h:flags=lanczos,setsar=1,format=yuv420p,setpts=N/FRAME_RATE/TB[ref];[0:v]format=yuv420p,setpts=N/FRAME_RATE/TB[out];[out][ref]ssim" \
        -f null - 2>&1 | grep -o 'All:[0-9.]*' | tail -n 1 | awk -F: '{ printf "%.4f", $2 }'
}

convert() { # source, destination, options...
    local source=$1 dest=$2
    shift 2
    "${convert_cmd[@]}" -y -i "$source" "$@" "$dest" </dev/null >"$dest.log" 2>&1
}

failures=0
row() { printf '%-12s | %-46s | %-30s | %8s | %7s | %6s | %6s | %s\n' "$@"; }
echo
row file source output "avg kb/s" "1s peak" SSIM "conv s" checker
row ------------ ---------------------------------------------- ------------------------------ \
    -------- ------- ------ ------ -------
for name in "${sources[@]}"; do
    source=$src/$name.webm
    avi=$out/$name.avi
    t0=$(date +%s.%N)
    if ! convert "$source" "$avi" "${safe_opts[@]}"; then
        row "$name" "$(describe "$source")" "conversion failed" - - - - "FAIL (see $avi.log)"
        failures=$((failures + 1))
        continue
    fi
    took=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
    verdict=PASS
    "$here/check-avi.sh" "$avi" >"$avi.check" 2>&1 || verdict="FAIL"
    peak=$(awk '$1 == "peak-bitrate" { print $3 }' "$avi.check")
    avg=$(ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 "$avi" |
        awk -v d="$(duration_of "$avi")" '{ s += $1 } END { printf "%d", s * 8 / d / 1000 }')
    ssim=$(ssim_of "$avi" "$source")
    if [ -z "$ssim" ] || awk -v s="$ssim" 'BEGIN { exit !(s < 0.95) }'; then
        verdict="$verdict, SSIM below 0.95"
    fi
    [ "$verdict" = PASS ] || failures=$((failures + 1))
    row "$name" "$(describe "$source")" "$(describe "$avi" | sed 's/mpeg4 //; s/mp3 //')" \
        "$avg" "$peak" "${ssim:-?}" "$took" "$verdict"
    [ "$verdict" = PASS ] || sed 's/^/    /' "$avi.check"
done

# Controls: files the checker must reject, each for exactly the limits it breaks.
expect_rejected() { # label, file, names of the limits it must fail
    local label=$1 avi=$2 expected=$3 got
    "$here/check-avi.sh" "$avi" >"$avi.check" 2>&1 || true
    got=$(awk '$2 == "FAIL" { printf "%s%s", sep, $1; sep = " " }' "$avi.check")
    if [ "$got" = "$expected" ]; then
        echo "control rejected as expected ($label): $got"
    else
        echo "control ($label) failed [$got], expected [$expected]:"
        sed 's/^/    /' "$avi.check"
        failures=$((failures + 1))
    fi
}
echo
control=$out/control-default-options.avi
if convert "$src/vp9-1080p60.webm" "$control" "${default_opts[@]}"; then
    expect_rejected "the default options on 1080p 60 fps" "$control" "frame-rate size peak-bitrate"
else
    echo "control conversion failed (see $control.log)"
    failures=$((failures + 1))
fi
control=$out/control-broken.avi
ff -f lavfi -i "testsrc2=size=720x576:rate=30" -f lavfi -i "sine=sample_rate=32000" -t 9 \
    -c:v mpeg4 -vtag XVID -bf 2 -g 300 -flags +qpel -c:a libmp3lame -q:a 4 "$control"
expect_rejected "576 lines at 30 fps, B-frames, qpel, long GOP, VBR MP3 at 32 kHz" "$control" \
    "size keyframes b-frames qpel-gmc sample-rate mp3-cbr"
echo
echo "total $(($(date +%s) - started)) s, $failures failure(s)"
[ "$failures" = 0 ]
