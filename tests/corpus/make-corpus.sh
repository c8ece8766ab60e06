#!/usr/bin/env bash
# Writes the corpus of WebM flavours that real sources produce into the given folder, small and
# quick to make, with the machine's own converter. Each file is named for what it stands for.
#
#   tests/corpus/make-corpus.sh <folder> [flavour...]     all flavours when none are named
set -euo pipefail
out=${1:?usage: make-corpus.sh <folder> [flavour...]}
shift
mkdir -p "$out"
cd "$out"
export SVT_LOG=1 # the SVT-AV1 encoder's banner

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
picture="testsrc2=size=320x240:rate=25"
tone="sine=frequency=440:sample_rate=48000"
seconds=3
vp8=(-c:v libvpx -deadline realtime -cpu-used 8 -b:v 600k)
vp9=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 600k)
av1=(-c:v libsvtav1 -preset 12)

# Picture and sound; further arguments are output options.
av() { ff -f lavfi -i "$picture" -f lavfi -i "$tone" -t "$seconds" -ac 2 "$@"; }

# A browser's MediaRecorder writes Matroska whose DocType says "webm" whatever codecs it holds,
# which FFmpeg's own webm muxer refuses. Same length, so the EBML header's sizes stay right: the
# four bytes saved are taken up by a Void element.
webm_doctype() {
    perl -0777 -pi -e 's/\x42\x82\x88matroska/\x42\x82\x84webm\xEC\x82\x00\x00/ or die "no Matroska DocType\n"' "$1"
}

# Recorded live: written through a pipe, so the file carries no duration and no index.
live() { local name=$1; shift; ff "$@" -live 1 - | cat >"$name"; }

make_flavour() {
    case $1 in
    # The classic WebM of the early video sites.
    vp8-vorbis) av "${vp8[@]}" -c:a libvorbis vp8-vorbis.webm ;;
    # Today's video-site download.
    vp9-opus) av "${vp9[@]}" -c:a libopus vp9-opus.webm ;;
    # Newer sites, screen recorders.
    av1-opus) av "${av1[@]}" -c:a libopus av1-opus.webm ;;
    # HDR and high-quality downloads: 10-bit colour.
    vp9-10bit) av "${vp9[@]}" -profile:v 2 -pix_fmt yuv420p10le -c:a libopus vp9-10bit.webm ;;
    # AV1 encoders default to 10-bit.
    av1-10bit) av "${av1[@]}" -pix_fmt yuv420p10le -c:a libopus av1-10bit.webm ;;
    # Messenger stickers: VP8 with a transparent background (alpha travels beside the picture).
    vp8-alpha-sticker)
        ff -f lavfi -i "$picture,format=yuva420p,geq=lum='lum(X,Y)':cb='cb(X,Y)':cr='cr(X,Y)':a='if(lt(hypot(X-160,Y-120),100),255,0)'" \
            -t "$seconds" "${vp8[@]}" -auto-alt-ref 0 vp8-alpha-sticker.webm ;;
    # Cropped phone and screen videos: neither side even.
    odd-size-853x481)
        ff -f lavfi -i "$picture,scale=853:481,setsar=1" -f lavfi -i "$tone" -t "$seconds" -ac 2 \
            "${vp9[@]}" -c:a libopus odd-size-853x481.webm ;;
    # Films: 5.1 surround Opus.
    opus-5.1-surround)
        ff -f lavfi -i "$picture" -f lavfi \
            -i "aevalsrc=0.2*sin(330*2*PI*t)|0.2*sin(440*2*PI*t)|0.2*sin(550*2*PI*t)|0.2*sin(60*2*PI*t)|0.2*sin(660*2*PI*t)|0.2*sin(770*2*PI*t):s=48000:c=5.1" \
            -t "$seconds" "${vp9[@]}" -c:a libopus opus-5.1-surround.webm ;;
    # Studio audio at 96 kHz, more than MP3 can hold.
    vorbis-96khz)
        ff -f lavfi -i "$picture" -f lavfi -i sine=frequency=1000:sample_rate=96000 -t "$seconds" \
            -ac 2 "${vp8[@]}" -c:a libvorbis vorbis-96khz.webm ;;
    # Telephone-quality voice: 8 kHz mono.
    vorbis-8khz-mono)
        ff -f lavfi -i "$picture" -f lavfi -i sine=frequency=300:sample_rate=8000 -t "$seconds" \
            -ac 1 "${vp8[@]}" -c:a libvorbis vorbis-8khz-mono.webm ;;
    # A video site's separate audio track.
    audio-only) ff -f lavfi -i "$tone" -t "$seconds" -ac 2 -c:a libopus audio-only.webm ;;
    # A silent clip, no audio track at all.
    video-only) ff -f lavfi -i "$picture" -t "$seconds" "${vp9[@]}" video-only.webm ;;
    # A download with its WebVTT subtitles.
    webvtt-subtitles)
        printf 'WEBVTT\n\n00:00:00.500 --> 00:00:01.500\nHello\n\n00:00:01.500 --> 00:00:02.900\nWorld\n' \
            >webvtt-subtitles.vtt
        ff -f lavfi -i "$picture" -f lavfi -i "$tone" -i webvtt-subtitles.vtt -t "$seconds" -ac 2 \
            -map 0 -map 1 -map 2 "${vp9[@]}" -c:a libopus -c:s webvtt webvtt-subtitles.webm
        rm webvtt-subtitles.vtt ;;
    # A live recording (webcam, stream capture): no duration, frames at uneven times (a camera's
    # jitter, and a 0.3 s stall), timestamps in milliseconds all the way to the encoder.
    live-recording)
        live live-recording.webm -f lavfi -i "testsrc2=size=320x240:rate=30" -f lavfi -i "$tone" \
            -t "$seconds" -ac 2 \
            -vf "select='not(between(n\,40\,48))',settb=1/1000,setpts='(T+0.012*sin(N*1.7))/TB'" \
            -fps_mode passthrough -enc_time_base:v 1:1000 "${vp8[@]}" -c:a libopus -f webm ;;
    # Chromium's MediaRecorder asked for video/webm;codecs=h264: H.264 and Opus, recorded live.
    browser-h264-opus)
        live browser-h264-opus.webm -f lavfi -i "testsrc2=size=320x240:rate=30" -f lavfi -i "$tone" \
            -t "$seconds" -ac 2 -c:v libx264 -preset ultrafast -profile:v baseline -pix_fmt yuv420p \
            -c:a libopus -f matroska
        webm_doctype browser-h264-opus.webm ;;
    # Chromium's MediaRecorder asked for audio/webm;codecs=pcm: 32-bit float PCM beside VP8.
    browser-vp8-pcm)
        live browser-vp8-pcm.webm -f lavfi -i "testsrc2=size=320x240:rate=30" -f lavfi -i "$tone" \
            -t "$seconds" -ac 2 "${vp8[@]}" -c:a pcm_f32le -f matroska
        webm_doctype browser-vp8-pcm.webm ;;
    # Download tools that name MP4 content .webm: H.264 and AAC.
    mp4-named-webm)
        av -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -f mp4 mp4-named-webm.webm ;;
    *) echo "make-corpus.sh: no flavour '$1'" >&2; return 2 ;;
    esac
}

all=(vp8-vorbis vp9-opus av1-opus vp9-10bit av1-10bit vp8-alpha-sticker odd-size-853x481
    opus-5.1-surround vorbis-96khz vorbis-8khz-mono audio-only video-only webvtt-subtitles
    live-recording browser-h264-opus browser-vp8-pcm mp4-named-webm)
(($#)) || set -- "${all[@]}"
for flavour; do make_flavour "$flavour"; done
