#!/usr/bin/env bash
# The corpus test: every WebM flavour that real sources produce (make-corpus.sh) is converted by
# the real ffmpeg.exe under Wine through the core's runner (kestrova_corpus_convert.exe), then
# checked here with Debian's ffprobe and ffmpeg for what a user would notice:
#
#   - it converted, into MPEG-4 video with FourCC XVID when the source has video and MP3 audio
#     when it has audio;
#   - the AVI is as long as the source, within 0.2 s (a live recording: as long as what it holds);
#   - the picture matches the source: SSIM at least 0.98 against the source as Debian's ffmpeg
#     decodes it, at the source's size; the AVI keeps that size;
#   - the sound is not silent when the source's is not;
#   - progress: the runner reported a position that moved, never fell, and ended at the end of
#     the reported size; a file without a duration kept the size at 0 throughout (the marquee).
#
# (Wine cannot give a Linux program a Windows program's pipes, so the checks run here, after.)
#
#   tests/corpus/run.sh <kestrova_corpus_convert.exe> <ffmpeg.exe> <work-folder>
#
# Prints a table; exit code 0 when every check passed, 1 when any failed, 2 when it could not run.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -eq 3 ] || { echo "usage: $0 <kestrova_corpus_convert.exe> <ffmpeg.exe> <work-folder>" >&2; exit 2; }
for f in "$1" "$2"; do
    [ -f "$f" ] || { echo "corpus: $f is missing (configure build/win with KESTROVA_FFMPEG_EXE)" >&2; exit 2; }
done
convert_exe=$(realpath "$1") converter=$(realpath "$2") work=$(realpath -m "$3")
for tool in wine winepath ffmpeg ffprobe perl timeout; do
    command -v "$tool" >/dev/null || { echo "corpus: $tool is missing (tools/setup.sh)" >&2; exit 2; }
done

# Flavours that fail one check for a known reason outside the converter build: the problem they
# are allowed (its start) and why. Any other problem still fails; should the known one go away,
# the run fails until the entry is taken off this list.
declare -A known_problem=()
declare -A known_reason=()

rm -rf "$work"
mkdir -p "$work"
started=$SECONDS
"$here/make-corpus.sh" "$work"
made=$((SECONDS - started))

# The caller's Wine set-up when there is one (tools/test.sh), else the project's own.
if [ -z "${WINEPREFIX:-}" ]; then
    # shellcheck source=tools/wine-env.sh
    source "$root/tools/wine-env.sh"
    trap kestrova_wine_stop EXIT
fi

cd "$work"
sources=(*.webm)
started=$SECONDS
# Relative names: the runner's command line then holds no Unix paths.
timeout 600 wine "$convert_exe" "$(winepath -w "$converter")" "${sources[@]}" </dev/null |
    tr -d '\r' >results.tsv
converted_in=$((SECONDS - started))

# --- What Debian's tools see ---------------------------------------------------------------------

# "<codec> <tag>" of the first stream of a kind, empty when there is none.
stream_codec() {
    local found
    found=$(ffprobe -v error -select_streams "$2:0" -show_entries stream=codec_name,codec_tag_string \
        -of csv=p=0 "$1")
    found=${found%%$'\n'*}
    printf '%s\n' "${found//,/ }"
}

size_of() { ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$1"; }

# What the file holds, in seconds: from its first timestamp to the end of its last audio or video
# packet. Unlike the header's duration, a live recording has it too.
held_length() {
    ffprobe -v error -show_entries packet=codec_type,pts_time,duration_time -of csv=p=0 "$1" |
        awk -F, '($1 == "video" || $1 == "audio") && $2 != "N/A" {
                     s = $2 + 0; e = s + ($3 == "N/A" ? 0 : $3)
                     if (!n++ || s < lo) lo = s
                     if (e > hi) hi = e
                 }
                 END { if (n) printf "%.3f\n", hi - lo }'
}

avi_length() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }

# Loudest sample of the first audio stream in dBFS ("-inf" for silence).
max_volume() {
    ffmpeg -nostdin -hide_banner -i "$1" -map 0:a:0 -af volumedetect -f null - 2>&1 |
        sed -n 's/.*max_volume: \(.*\) dB$/\1/p'
}

# SSIM of the AVI's picture against the source's, at the source's size. The reference is the
# source decoded by Debian's ffmpeg onto the same frame grid the AVI has: an AVI of raw frames,
# written with the same sound (the MP3 encoder's start-up delay moves the frames on that grid),
# so frames of a recording with uneven frame times pair up with the ones the conversion kept.
picture_ssim() {
    local avi=$1 source=$2 size=$3 reference=${1%.avi}.reference.avi
    ffmpeg -nostdin -v error -y -i "$source" -map 0:v:0 -map '0:a:0?' -c:v rawvideo \
        -pix_fmt yuv420p "$reference"
    ffmpeg -nostdin -hide_banner -i "$avi" -i "$reference" -filter_complex \
        "[0:v]scale=${size/x/:},format=yuv420p[out];[1:v]format=yuv420p[ref];[out][ref]ssim" \
        -f null - 2>&1 | sed -n 's/.*SSIM .* All:\([0-9.]*\).*/\1/p'
    rm -f "$reference"
}

# True when |a - b| <= limit (decimal numbers).
within() { awk -v a="$1" -v b="$2" -v l="$3" 'BEGIN { d = a - b; exit !(d <= l && -d <= l) }'; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# --- Checks --------------------------------------------------------------------------------------

failed=0
rows=()
problem() { problems+=("$*"); }
for source in "${sources[@]}"; do
    flavour=${source%.webm}
    avi=$flavour.avi
    problems=()

    line=$(awk -F'\t' -v s="$source" '$1 == s' results.tsv)
    IFS=$'\t' read -r _ result calls first_pos last_pos _ max_size last_size never_fell ms \
        <<<"$line" || true
    length_diff=- ssim=- volume=- progress=-

    if [ "${result:-}" != ok ] || [ ! -s "$avi" ]; then
        problem "not converted (${result:-no result}); converter output in $work/$avi.log"
        converted=no
    else
        converted=yes
        src_video=$(stream_codec "$source" v)
        src_audio=$(stream_codec "$source" a)
        out_video=$(stream_codec "$avi" v)
        out_audio=$(stream_codec "$avi" a)

        if [ -n "$src_video" ]; then
            [ "$out_video" = "mpeg4 XVID" ] || problem "video is '${out_video:-none}', want mpeg4 XVID"
            src_size=$(size_of "$source")
            out_size=$(size_of "$avi")
            [ "$out_size" = "$src_size" ] || problem "picture is ${out_size:-missing}, source $src_size"
            ssim=$(picture_ssim "$avi" "$source" "$src_size")
            if [ -z "$ssim" ]; then
                ssim=none
                problem "no picture to compare"
            elif ! above "$ssim" 0.98 && [ "$ssim" != 0.98 ]; then
                problem "SSIM $ssim below 0.98"
            fi
        elif [ -n "$out_video" ]; then
            problem "video '$out_video' from a source without video"
        fi

        if [ -n "$src_audio" ]; then
            [ "${out_audio%% *}" = mp3 ] || problem "audio is '${out_audio:-none}', want mp3"
            src_volume=$(max_volume "$source")
            volume=$(max_volume "$avi")
            if [ "$src_volume" != -inf ] && above "$src_volume" -50; then
                { [ -n "$volume" ] && [ "$volume" != -inf ] && above "$volume" -50; } ||
                    problem "silent (loudest ${volume:-?} dB, source $src_volume dB)"
            fi
            volume="$volume dB"
        elif [ -n "$out_audio" ]; then
            problem "audio '$out_audio' from a source without audio"
        fi

        held=$(held_length "$source")
        out_length=$(avi_length "$avi")
        length_diff=$(awk -v a="$out_length" -v b="$held" 'BEGIN { printf "%+.2f s", a - b }')
        within "$out_length" "$held" 0.2 || problem "AVI lasts $out_length s, source holds $held s"

        # Progress as the runner reported it, in ms.
        if [ "$max_size" -eq 0 ]; then
            progress="marquee, ${first_pos}->${last_pos} ms"
            # No recorded duration: none at all, or only one the converter guesses from the bit rate.
            # (Read whole before searching: with pipefail, a reader that stops at the first match
            # can fail the writer.)
            recorded=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$source")
            report=$(ffprobe -v info "$source" 2>&1 || true)
            grep -qx 'N/A' <<<"$recorded" ||
                grep -q 'Estimating duration from bitrate' <<<"$report" ||
                problem "size stayed 0 though the source has a duration"
        else
            progress="${first_pos}->${last_pos} of ${last_size} ms"
            within "$last_pos" "$last_size" 200 || problem "progress ended at $last_pos of $last_size ms"
        fi
        progress+=", $calls calls"
        [ "$last_pos" -gt "$first_pos" ] || problem "position never moved ($first_pos ms)"
        [ "$never_fell" = 1 ] || problem "position went backwards"
        within "$last_pos" "$(awk -v h="$held" 'BEGIN { print h * 1000 }')" 200 ||
            problem "last position $last_pos ms, source holds $held s"
    fi

    status=pass
    known=${known_problem[$flavour]:-}
    if ((${#problems[@]})); then
        status=FAIL
        if [ -n "$known" ]; then
            status="known failure: ${known_reason[$flavour]}"
            for p in "${problems[@]}"; do [[ $p == "$known"* ]] || status=FAIL; done
        fi
        [ "$status" = FAIL ] && failed=1
    elif [ -n "$known" ]; then
        status="FAIL: passes now, take it off the known failures"
        failed=1
    fi
    rows+=("$flavour|$converted|$length_diff|$ssim|$volume|${ms:--} ms|$progress|$status")
    for p in "${problems[@]}"; do rows+=("  - $p"); done
done

printf '\nCorpus: %d flavours made in %d s, converted under Wine in %d s (%s)\n\n' \
    "${#sources[@]}" "$made" "$converted_in" "$(basename "$converter")"
{
    echo "flavour|converted|length diff|SSIM|audio max|time|progress (runner)|result"
    for row in "${rows[@]}"; do echo "$row"; done
} | awk -F'|' '
    NF == 1 { lines[++n] = $0; next }
    { lines[++n] = $0; for (i = 1; i <= NF; i++) if (length($i) > w[i]) w[i] = length($i) }
    END {
        for (k = 1; k <= n; k++) {
            if (split(lines[k], f, "|") == 1) { print lines[k]; continue }
            s = ""
            for (i = 1; i < length(f); i++) s = s sprintf("%-" w[i] "s  ", f[i])
            print s f[length(f)]
        }
    }'
exit "$failed"
