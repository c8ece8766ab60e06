#!/usr/bin/env bash
# Checks an AVI file against the limits DVD, DivX and TV players follow (the DivX Home Theater
# profile): picture size and frame rate, MPEG-4 with FourCC XVID, no B-frames, no quarter-pixel
# motion or global motion compensation, a keyframe at least every 250 frames, at most
# 4,854 kbit/s of video in any one second, MP3 audio at one constant bitrate, at most two
# channels at 44.1 or 48 kHz.
#
# Prints one line per limit: name, PASS or FAIL, what was measured, the limit. Exits 0 when all
# pass, 1 when any fails, 2 when the file cannot be read.
# Needs ffprobe and ffmpeg (for decoding), od and awk.
set -euo pipefail

file=${1:?usage: check-avi.sh <file.avi>}
[ -r "$file" ] || { echo "cannot read $file" >&2; exit 2; }

probe() { ffprobe -v error "$@" "$file"; }

failed=0
report() { # name, ok (1/0), measured, limit
    local verdict=PASS
    [ "$2" = 1 ] || { verdict=FAIL; failed=1; }
    printf '%-16s %s  %-28s %s\n' "$1" "$verdict" "$3" "$4"
}

format=$(probe -show_entries format=format_name -of csv=p=0) || exit 2
report container "$([ "$format" = avi ] && echo 1 || echo 0)" "$format" "avi"

# --- video stream -------------------------------------------------------------------------------
IFS=, read -r vcodec vtag width height rate tb < <(probe -select_streams v:0 \
    -show_entries stream=codec_name,codec_tag_string,width,height,r_frame_rate,time_base \
    -of csv=p=0) || true
if [ -z "${vcodec:-}" ]; then
    report video 0 "no video stream" "one MPEG-4 stream"
    exit 1
fi

report codec "$([ "$vcodec" = mpeg4 ] && echo 1 || echo 0)" "$vcodec" "mpeg4"
report fourcc "$([ "$vtag" = XVID ] && echo 1 || echo 0)" "$vtag" "XVID"

# Frame rate as an exact fraction: above 25 fps the picture must fit 720x480, else 720x576.
rate_num=${rate%/*}
rate_den=${rate#*/}
fps=$(awk -v n="$rate_num" -v d="$rate_den" 'BEGIN { printf "%.3f", n / d }')
report frame-rate "$([ "$rate_den" -gt 0 ] && [ "$rate_num" -le $((30 * rate_den)) ] && echo 1 || echo 0)" \
    "$fps fps" "<= 30 fps"
if [ "$rate_num" -gt $((25 * rate_den)) ]; then max_h=480; else max_h=576; fi
report size "$([ "$width" -le 720 ] && [ "$height" -le "$max_h" ] && echo 1 || echo 0)" \
    "${width}x${height} at $fps fps" "<= 720x$max_h"

# Packets in decoding order; without B-frames that is also presentation order.
tb_num=${tb%/*}
tb_den=${tb#*/}
packets=$(probe -select_streams v:0 -show_entries packet=pts,size,flags -of csv=p=0)

read -r gop_max first_key < <(awk -F, '
    { n++; if ($3 ~ /K/) { if (n == 1) first = 1; if (last && n - last > gap) gap = n - last;
                           last = n } }
    END { if (!last) gap = n; else if (n + 1 - last > gap) gap = n + 1 - last
          print gap + 0, first + 0 }' <<<"$packets")
report keyframes "$([ "$first_key" = 1 ] && [ "$gop_max" -le 250 ] && echo 1 || echo 0)" \
    "first key: $([ "$first_key" = 1 ] && echo yes || echo no), longest run $gop_max" \
    "keyframe first and every <= 250 frames"

# Largest number of video bits whose timestamps fall within any one second, found by sliding a
# window that starts at each packet. Timestamps stay integers: packet j lies within one second of
# packet i when (pts_j - pts_i) * tb_num < tb_den.
peak=$(awk -F, -v tn="$tb_num" -v td="$tb_den" '
    $1 != "N/A" { pts[n] = $1; size[n] = $2; n++ }
    END {
        j = 0; sum = 0; best = 0
        for (i = 0; i < n; i++) {
            while (j < n && (pts[j] - pts[i]) * tn < td) { sum += size[j]; j++ }
            if (sum > best) best = sum
            sum -= size[i]
        }
        print best * 8
    }' <<<"$packets")
report peak-bitrate "$([ "$peak" -le 4854000 ] && echo 1 || echo 0)" \
    "$((peak / 1000)) kbit/s in 1 s" "<= 4854 kbit/s"

# Picture types from the decoder; B-frames are what many players cannot reorder.
types=$(probe -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 | sort | uniq -c |
    awk '{ printf "%s%s:%s", sep, $2, $1; sep = " " }')
report b-frames "$([[ " $types" != *" B:"* ]] && echo 1 || echo 0)" "$types" "no B"

# Quarter-pixel motion and global motion compensation (S-VOPs with warping points) show only in
# the decoder's per-picture debug lines ("qpel", "w:N").
debug=$(ffmpeg -hide_banner -nostdin -nostats -threads 1 -debug pict -i "$file" -map 0:v:0 \
    -f null - 2>&1 | grep -E ' fc:[0-9]+,[0-9]+ ' || true)
qpel=$(grep -c ' qpel ' <<<"$debug" || true)
gmc=$(grep -cE ' w:[1-9]' <<<"$debug" || true)
pictures=$(grep -c . <<<"$debug" || true)
report qpel-gmc "$([ "$pictures" -gt 0 ] && [ "$qpel" = 0 ] && [ "$gmc" = 0 ] && echo 1 || echo 0)" \
    "qpel $qpel, gmc $gmc of $pictures" "none"

# --- audio stream -------------------------------------------------------------------------------
IFS=, read -r acodec sample_rate channels < <(probe -select_streams a:0 \
    -show_entries stream=codec_name,sample_rate,channels -of csv=p=0) || true
if [ -n "${acodec:-}" ]; then
    report audio-codec "$([ "$acodec" = mp3 ] && echo 1 || echo 0)" "$acodec" "mp3"
    report sample-rate "$([ "$sample_rate" = 44100 ] || [ "$sample_rate" = 48000 ] && echo 1 || echo 0)" \
        "$sample_rate Hz" "44100 or 48000 Hz"
    report channels "$([ "$channels" -ge 1 ] && [ "$channels" -le 2 ] && echo 1 || echo 0)" \
        "$channels" "1 or 2"

    # The MPEG audio frame headers themselves: every frame must carry the same bitrate.
    rates=$(ffmpeg -hide_banner -nostdin -v error -i "$file" -map 0:a:0 -c copy -f data - |
        od -An -v -tu1 | awk '
        BEGIN {
            split("32 40 48 56 64 80 96 112 128 160 192 224 256 320", l3v1)
            split("8 16 24 32 40 48 56 64 80 96 112 128 144 160", l3v2)
            split("44100 48000 32000", sr1)
        }
        { for (k = 1; k <= NF; k++) b[n++] = $k }
        END {
            i = 0; frames = 0; bad = 0
            while (i + 4 <= n) {
                # Frame sync: 11 set bits; layer III; a valid bitrate and sample-rate index.
                if (b[i] != 255 || int(b[i + 1] / 32) != 7) { bad++; i++; continue }
                version = int(b[i + 1] / 8) % 4     # 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
                layer = int(b[i + 1] / 2) % 4       # 1: layer III
                bri = int(b[i + 2] / 16); sri = int(b[i + 2] / 4) % 4; pad = int(b[i + 2] / 2) % 2
                if (layer != 1 || version == 1 || bri == 0 || bri == 15 || sri == 3) {
                    bad++; i++; continue
                }
                rate = (version == 3 ? l3v1[bri] : l3v2[bri]) * 1000
                sr = sr1[sri + 1] / (version == 3 ? 1 : version == 2 ? 2 : 4)
                len = int((version == 3 ? 144 : 72) * rate / sr) + pad
                seen[rate / 1000]++; frames++
                i += len
            }
            for (r in seen) { printf "%s%s kbit/s x %d", sep, r, seen[r]; sep = ", " }
            printf "|%d|%d\n", frames, bad
        }')
    IFS='|' read -r rate_list mp3_frames stray <<<"$rates"
    distinct=$(grep -o 'kbit/s' <<<"$rate_list" | wc -l)
    [ "$stray" = 0 ] || rate_list="${rate_list:-no frames}, $stray bytes outside frames"
    report mp3-cbr "$([ "$mp3_frames" -gt 0 ] && [ "$distinct" = 1 ] && [ "$stray" = 0 ] && echo 1 || echo 0)" \
        "${rate_list:-no frames}" "one bitrate in every frame"
fi

exit "$failed"
