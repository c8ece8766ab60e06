#!/usr/bin/env bash
# Makes the inputs of batch_bench with the system's ffmpeg: clips/ holds eight 20-second 720p
# WebM files in the common form (VP9 and Opus, as video sites and browsers make them),
# clips-vp8/ the same in the older form (VP8 and Vorbis), stickers/ forty 1-second 512x512 ones
# (VP9, no sound). Each set is one encoded file copied, which is all a batch measurement needs.
#   bench/make-batch-inputs.sh FOLDER
set -euo pipefail
out=${1:?folder}
mkdir -p "$out/clips" "$out/clips-vp8" "$out/stickers"
clips() { # FOLDER VIDEO AUDIO: eight 20-second 720p clips
    [ -f "$1/clip-8.webm" ] && [ -f "$1/.$2" ] && return
    ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=30:duration=20 \
        -f lavfi -i sine=frequency=440:duration=20 \
        -c:v "$2" -b:v 2M -deadline realtime -cpu-used 8 -c:a "$3" "$1/clip-1.webm"
    for i in $(seq 2 8); do cp "$1/clip-1.webm" "$1/clip-$i.webm"; done
    touch "$1/.$2"
}
clips "$out/clips" libvpx-vp9 libopus
clips "$out/clips-vp8" libvpx libvorbis
if [ ! -f "$out/stickers/sticker-40.webm" ]; then
    ffmpeg -v error -y -f lavfi -i testsrc2=size=512x512:rate=30:duration=1 \
        -c:v libvpx-vp9 -b:v 500k -deadline realtime -cpu-used 8 "$out/stickers/sticker-1.webm"
    for i in $(seq 2 40); do cp "$out/stickers/sticker-1.webm" "$out/stickers/sticker-$i.webm"; done
fi
