#!/usr/bin/env bash
# Captures what Debian's ffmpeg (5.1, the version ffmpeg.exe is built from) writes to its error
# stream when run as the runner runs it, for the report and verdict tests. Run it in this folder;
# sources are generated in a scratch folder and referred to by short names, so the files stay small.
#   tests/core/data/capture.sh
# With the project's ffmpeg.exe (8-bit-only dav1d, few decoders) under Wine, when its path is given:
#   tests/core/data/capture.sh build/win/bin/ffmpeg.exe   (after: source tools/wine-env.sh)
# it also writes av1-10bit-8bit-decoder.txt and no-decoder.txt (PCM sound, as Chromium records it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
windows_converter=${1:+$(realpath "$1")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
gen() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
video="testsrc=size=160x120:rate=25"
audio="sine=frequency=440:sample_rate=48000"
# As the runner starts it: no -y (the first token stands in the program's name), stdin closed.
convert() {
    local name=$1 source=$2 destination=$3
    local code=0
    ffmpeg -i "$source" -q:v 2 -vtag XVID -threads 2 "$destination" </dev/null 2>"$here/$name.txt" ||
        code=$?
    echo "$name: exit $code"
}

gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 3 -c:v libvpx -b:v 200k -c:a libvorbis clip.webm
gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 10 -c:v libvpx -b:v 200k -c:a libvorbis ten.webm
head -c $(($(stat -c %s ten.webm) / 2)) ten.webm >holiday.webm
gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 3 -c:v libvpx -b:v 200k -c:a libopus -live 1 \
    -f webm - | cat >live.webm
gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 4 -c:v libvpx -b:v 200k -c:a libvorbis \
    -output_ts_offset 5 offset.webm
# Every audio packet damaged: the Vorbis decoder rejects them all, the converter still exits 0.
gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 1 -c:v libvpx -b:v 200k -c:a libvorbis one.webm
gen -i one.webm -c copy -bsf:a noise=amount=1 badsound.webm
head -c 20000 /dev/urandom >random.webm
gen -f lavfi -i "$video" -t 3 -c:v libaom-av1 -cpu-used 8 -pix_fmt yuv420p10le av1-10bit.webm

convert clean clip.webm clip.avi
convert ended-early holiday.webm holiday.avi
convert live live.webm live.avi
convert start-offset offset.webm offset.avi
convert no-sound badsound.webm badsound.avi
convert not-webm random.webm random.avi
convert source-missing gone.webm gone.avi
convert folder-missing clip.webm no/such/folder/clip.avi
convert permission-denied clip.webm /sys/clip.avi
convert av1-10bit av1-10bit.webm av1.avi

# A volume that fills at the trailer (root only, for the mount): the 10 s clip's AVI is 366,560
# bytes, its index starts at 355,832; 352 KiB hold the data but not the index. Exit 0.
if [ "$(id -u)" = 0 ]; then
    mkdir mnt
    mount -t tmpfs -o size=352k tmpfs mnt
    convert trailer-disk-full ten.webm mnt/clip.avi
    umount mnt
fi

if [ -n "$windows_converter" ]; then
    gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 2 -c:v libaom-av1 -cpu-used 8 \
        -pix_fmt yuv420p10le -c:a libopus av1-10bit-sound.webm
    gen -f lavfi -i "$video" -f lavfi -i "$audio" -t 2 -c:v libvpx -b:v 200k -c:a pcm_f32le \
        -f matroska pcm.webm
    wine_convert() {
        local name=$1 source=$2 destination=$3
        local code=0
        wine "$windows_converter" -i "$source" -q:v 2 -vtag XVID -threads 2 "$destination" \
            </dev/null 2>"$here/$name.txt" || code=$?
        echo "$name: exit $code"
    }
    wine_convert av1-10bit-8bit-decoder av1-10bit-sound.webm av1.avi
    wine_convert no-decoder pcm.webm pcm.avi
fi
