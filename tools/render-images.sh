#!/usr/bin/env bash
# Renders the program's images from resources/images/svg/*.svg into the
# Windows icon files resources/images/*.ico (32-bit BGRA with alpha in every
# size; the 256 px frame of the application icon is stored PNG-compressed),
# verifies them, and draws resources/images/preview.png, a contact sheet of
# every frame on a light and on a dark background.
#
# Sources: svg/NAME.svg is the main drawing; svg/NAME-N.svg are hand-tuned
# drawings for small sizes, aligned to the pixel grid of an N px icon. Each
# SVG's width attribute says the size it is drawn for; a size S is rendered
# from the drawing for the smallest size >= S (else from the largest one).
#
# Usage: tools/render-images.sh [--out DIR] [--verify-only] [--zoom DIR]
#   --out DIR      write the .ico files and preview.png to DIR instead
#   --verify-only  do not render; only verify the .ico files already in place
#   --zoom DIR     also write nearest-neighbour x8 sheets of the 16, 24 and
#                  32 px frames to DIR (for reviewing pixel alignment)
#
# Needs rsvg-convert (librsvg2-bin), icotool (icoutils) and ImageMagick; the
# script installs the missing ones with apt-get on Debian.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SVG_DIR=$ROOT/resources/images/svg
OUT_DIR=$ROOT/resources/images
VERIFY_ONLY=0
ZOOM_DIR=

while [ $# -gt 0 ]; do
    case $1 in
        --out) OUT_DIR=$2; shift 2 ;;
        --verify-only) VERIFY_ONLY=1; shift ;;
        --zoom) ZOOM_DIR=$2; shift 2 ;;
        -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

# name of the SVG source : file name of the icon : sizes it contains
LIST_SIZES="16 20 24 32 40 48"
APP_SIZES="16 20 24 32 40 48 64 128 256"
ICONS=(
    "document:document.ico:$LIST_SIZES"
    "filmreel:filmreel.ico:$LIST_SIZES"
    "failed:failed.ico:$LIST_SIZES"
    "add:add.ico:$LIST_SIZES"
    "remove:remove.ico:$LIST_SIZES"
    "convert:convert.ico:$LIST_SIZES"
    "kestrova:Kestrova.ico:$APP_SIZES"
)
# Frames at or above this size are stored as PNG inside the ICO.
PNG_FRAME_MIN=256

die() { echo "render-images: $*" >&2; exit 1; }

ensure_tools() {
    local missing=() pair pkg
    for pair in librsvg2-bin:rsvg-convert icoutils:icotool imagemagick:convert; do
        pkg=${pair%%:*}
        if ! dpkg -s "$pkg" >/dev/null 2>&1 || ! command -v "${pair#*:}" >/dev/null; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

design_size() { # SVG -> the pixel size it is drawn for (its width attribute)
    sed -n 's/.*<svg[^>]* width="\([0-9]*\)".*/\1/p' "$1" | head -n 1
}

# The source for NAME at SIZE: among svg/NAME.svg and its hand-tuned variants
# svg/NAME-N.svg, the one drawn for the smallest size >= SIZE, else the one
# drawn for the largest size (downscaling a larger drawing keeps the detail
# that an upscaled smaller one lacks).
source_for() { # NAME SIZE -> SVG path
    local f d best='' best_d='' largest='' largest_d=0
    for f in "$SVG_DIR/$1.svg" "$SVG_DIR/$1"-[0-9]*.svg; do
        [ -f "$f" ] || continue
        d=$(design_size "$f")
        [ -n "$d" ] || die "$f: no numeric width attribute on <svg>"
        if [ "$d" -gt "$largest_d" ]; then largest=$f; largest_d=$d; fi
        if [ "$d" -ge "$2" ] && { [ -z "$best_d" ] || [ "$d" -lt "$best_d" ]; }; then best=$f; best_d=$d; fi
    done
    [ -n "$largest" ] || die "no source for $1 in $SVG_DIR"
    echo "${best:-$largest}"
}

render_icon() { # NAME ICO SIZES...
    local name=$1 ico=$2 size src png args=() used=""
    shift 2
    for size in "$@"; do
        src=$(source_for "$name" "$size")
        [ -f "$src" ] || die "missing source $src"
        png=$WORK/$name-$size.png
        rsvg-convert --width="$size" --height="$size" --format=png -o "$png" "$src"
        if [ "$size" -ge "$PNG_FRAME_MIN" ]; then args+=(--raw="$png"); else args+=("$png"); fi
        used+=" $size<$(basename "$src" .svg)"
    done
    echo "render $ico:$used"
    icotool --create --bit-depth=32 -o "$OUT_DIR/$ico" "${args[@]}"
}

frame_of() { # DIR SIZE -> the frame icotool --extract wrote for SIZE, if any
    local f
    for f in "$1"/*_"$2x$2"x32.png; do
        if [ -f "$f" ]; then echo "$f"; return 0; fi
    done
    echo ""
}

# Checks one .ico: exactly the expected sizes, 32 bits per pixel, every frame
# decodes with an alpha channel, has visible pixels and transparent ones.
verify_icon() { # ICO SIZES...
    local ico=$1 dir size listed frame info w h channels amax amin errors=0
    shift
    [ -f "$ico" ] || die "missing $ico"
    listed=$(icotool --list "$ico" | sed -n 's/.*--width=\([0-9]*\).*--bit-depth=\([0-9]*\).*/\1:\2/p' | sort -n | tr '\n' ' ')
    local want=""
    for size in "$@"; do want+="$size:32 "; done
    want=$(echo "$want" | tr ' ' '\n' | sed '/^$/d' | sort -n | tr '\n' ' ')
    if [ "$listed" != "$want" ]; then
        echo "FAIL $ico: frames (size:bits) are '$listed', expected '$want'" >&2
        return 1
    fi
    # The directory itself: below PNG_FRAME_MIN a 32 bpp DIB, from it a PNG.
    local count i base w off magic bpp
    count=$(od -An -tu2 -j4 -N2 "$ico" | tr -d ' ')
    for ((i = 0; i < count; i++)); do
        base=$((6 + 16 * i))
        w=$(od -An -tu1 -j"$base" -N1 "$ico" | tr -d ' ')
        [ "$w" -eq 0 ] && w=256
        off=$(od -An -tu4 -j$((base + 12)) -N4 "$ico" | tr -d ' ')
        magic=$(od -An -tx1 -j"$off" -N4 "$ico" | tr -d ' ')
        if [ "$w" -ge "$PNG_FRAME_MIN" ]; then
            [ "$magic" = 89504e47 ] || { echo "FAIL $ico: ${w}px frame is not stored as PNG" >&2; return 1; }
        else
            bpp=$(od -An -tu2 -j$((off + 14)) -N2 "$ico" | tr -d ' ')
            if [ "$magic" != 28000000 ] || [ "$bpp" != 32 ]; then
                echo "FAIL $ico: ${w}px frame is not a 32 bpp DIB" >&2; return 1
            fi
        fi
    done
    dir=$WORK/verify-$(basename "$ico" .ico)
    mkdir -p "$dir"
    icotool --extract -o "$dir" "$ico"
    for size in "$@"; do
        frame=$(frame_of "$dir" "$size")
        if [ -z "$frame" ]; then echo "FAIL $ico: no ${size}px frame extracted" >&2; errors=1; continue; fi
        info=$(convert "$frame" -format '%w %h %[channels] ' info: && convert "$frame" -alpha extract -format '%[fx:maxima] %[fx:minima]' info:)
        read -r w h channels amax amin <<<"$info"
        if [ "$w" != "$size" ] || [ "$h" != "$size" ]; then
            echo "FAIL $ico: ${size}px frame decodes as ${w}x${h}" >&2; errors=1
        elif [[ $channels != *a* ]]; then
            echo "FAIL $ico: ${size}px frame has no alpha channel ($channels)" >&2; errors=1
        elif ! awk -v a="$amax" 'BEGIN { exit !(a > 0.99) }'; then
            echo "FAIL $ico: ${size}px frame is empty (max alpha $amax)" >&2; errors=1
        elif ! awk -v a="$amin" 'BEGIN { exit !(a < 0.05) }'; then
            echo "FAIL $ico: ${size}px frame has no (nearly) transparent pixel (min alpha $amin)" >&2; errors=1
        fi
    done
    [ $errors -eq 0 ] && echo "ok   $(basename "$ico"): $*"
    return $errors
}

# One row per icon: every frame at its real size, then its 16 and 24 px frames
# magnified x8 and x4 without smoothing; the whole on light and on dark.
contact_sheet() { # OUT.png
    local bg panel row entry name ico sizes size frame panels=()
    for bg in '#f3f3f3' '#1f1f1f'; do
        local rows=()
        for entry in "${ICONS[@]}"; do
            IFS=: read -r name ico sizes <<<"$entry"
            local cells=()
            for size in $sizes; do
                frame=$(frame_of "$WORK/verify-${ico%.ico}" "$size")
                cells+=("(" "$frame" -background "$bg" -gravity center -extent "$((size + 12))x$((size + 12))" ")")
            done
            frame=$(frame_of "$WORK/verify-${ico%.ico}" 16)
            cells+=("(" "$frame" -filter point -resize 800% -background "$bg" -gravity center -extent 140x140 ")")
            frame=$(frame_of "$WORK/verify-${ico%.ico}" 24)
            cells+=("(" "$frame" -filter point -resize 400% -background "$bg" -gravity center -extent 108x140 ")")
            row=$WORK/row-${#rows[@]}-${bg#\#}.png
            convert -background "$bg" -gravity center "${cells[@]}" +append "$row"
            rows+=("$row")
        done
        panel=$WORK/panel-${bg#\#}.png
        convert -background "$bg" -gravity west "${rows[@]}" -append "$panel"
        panels+=("$panel")
    done
    convert -background '#808080' "${panels[@]}" -gravity northwest +append -strip \
        -define png:exclude-chunks=date,time "$1"
}

zoom_sheets() { # DIR
    local size entry name ico sizes frame bg row rows
    mkdir -p "$1"
    for size in 16 24 32; do
        rows=()
        for bg in '#f3f3f3' '#1f1f1f'; do
            local cells=()
            for entry in "${ICONS[@]}"; do
                IFS=: read -r name ico sizes <<<"$entry"
                frame=$(frame_of "$WORK/verify-${ico%.ico}" "$size")
                cells+=("(" "$frame" -background "$bg" -flatten -filter point -resize 800% -bordercolor '#808080' -border 4 ")")
            done
            row=$WORK/zoom-$size-${bg#\#}.png
            convert "${cells[@]}" +append "$row"
            rows+=("$row")
        done
        convert "${rows[@]}" -append "$1/zoom-$size.png"
    done
}

ensure_tools
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT_DIR"

status=0
for entry in "${ICONS[@]}"; do
    IFS=: read -r name ico sizes <<<"$entry"
    # shellcheck disable=SC2086 # sizes is a word list
    if [ $VERIFY_ONLY -eq 0 ]; then render_icon "$name" "$ico" $sizes; fi
    # shellcheck disable=SC2086
    verify_icon "$OUT_DIR/$ico" $sizes || status=1
done
[ $status -eq 0 ] || die "verification failed"

if [ $VERIFY_ONLY -eq 0 ]; then
    contact_sheet "$OUT_DIR/preview.png"
    echo "wrote $OUT_DIR/preview.png"
fi
if [ -n "$ZOOM_DIR" ]; then
    zoom_sheets "$ZOOM_DIR"
    echo "wrote $ZOOM_DIR/zoom-16.png zoom-24.png zoom-32.png"
fi
