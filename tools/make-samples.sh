#!/usr/bin/env bash
# Writes small WebM files for conversion tests into the given folder, with the machine's converter.
set -euo pipefail
out=${1:?usage: make-samples.sh <folder>}
mkdir -p "$out"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
video="testsrc=size=320x240:rate=25"
audio="sine=frequency=440:sample_rate=48000"

ff -f lavfi -i "$video" -f lavfi -i "$audio" -t 3 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 \
    -b:v 500k -c:a libopus -f webm "$out/vp9-opus.webm"
# Written as a live recording is, through a pipe: the file carries no duration.
ff -f lavfi -i "$video" -f lavfi -i "$audio" -t 3 -c:v libvpx -b:v 500k -c:a libopus -live 1 \
    -f webm - | cat >"$out/live.webm"
# A longer file, for cancelling mid-way.
ff -f lavfi -i "testsrc=size=640x480:rate=25" -f lavfi -i "$audio" -t 60 -c:v libvpx \
    -deadline realtime -cpu-used 8 -b:v 300k -c:a libvorbis -f webm "$out/long.webm"
# Not a media file at all.
head -c 20000 /dev/urandom >"$out/corrupt.webm"
# Last, because the build takes this file as the sign that all samples are there.
ff -f lavfi -i "$video" -f lavfi -i "$audio" -t 3 -c:v libvpx -b:v 500k -c:a libvorbis \
    -f webm "$out/vp8-vorbis.webm.part"
mv "$out/vp8-vorbis.webm.part" "$out/vp8-vorbis.webm"
