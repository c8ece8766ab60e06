# shellcheck shell=bash
# End-to-end scenario 29, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

disk_full_run() { # DIR, with DIR/out the small volume
    local s=$1 folder
    folder=$(winpath "$s/out")
    start_kestrova "$bin" "$(winpath "$s/src/clip.webm")" || return 1
    click Kestrova IDC_RBOTHERFOLDER
    probe idle 10 Kestrova || return 1
    click Kestrova IDC_EDOUTPUTFOLDER
    xdotool key ctrl+a BackSpace
    xdotool type --delay 12 "$folder"
    press_convert || return 1
    await_summary || return 1
    shot 29-summary-disk-full
    expect_files "$s/out"
    grep -qxF "clip.webm: the disk is full: the AVI file did not fit in $folder" <<<"$summary" ||
        fail "the summary does not say the disk is full: [$summary]"
    dismiss_summary
    expect_eq "rows after the full disk" "$(printf '2\tclip.webm\t%s\\' "$(winpath "$s/src")")" "$(rows)"
}

# A small volume that fills while the converter writes the AVI's closing index
# FFmpeg then says "Error writing trailer ...: No space left on device" and still ends with 0.
# A tmpfs sized between the data and the index, reached through Z: as the "Other:" folder: no
# clip.avi may appear, the row stays failed, and its reason says the disk is full. Sizes are
# measured first by converting the same clip with the same converter and options.
disk_full_at_the_trailer() { # DIR
    local s=$1
    mkdir -p "$s/src" "$s/measure" "$s/out"
    cp "$samples/long.webm" "$s/src/clip.webm"
    (cd "$s/measure" && timeout 300 wine "$bin/ffmpeg.exe" -nostdin -y -i "$(winpath "$s/src/clip.webm")" \
        -q:v 2 -vtag XVID -threads 2 clip.avi </dev/null >convert.log 2>&1) ||
        { fail "the measuring conversion failed"; return 1; }
    local total index size
    total=$(stat -c %s "$s/measure/clip.avi")
    index=$(LC_ALL=C grep -boa idx1 "$s/measure/clip.avi" | tail -n 1 | cut -d: -f1)
    # Whole pages for the data and one more for slack; the index must not fit in what is left.
    size=$(((index + 4095) / 4096 * 4096 + 4096))
    echo "    AVI $total bytes, index from $index: a volume of $size bytes"
    [ "$size" -lt "$total" ] || { fail "the index ($((total - index)) bytes) is too small to fill a volume at"; return 1; }
    if ! mount -t tmpfs -o "size=$size" kestrova-e2e-full "$s/out" 2>"$s/mount.log"; then
        echo "    skipped: a tmpfs cannot be mounted here ($(head -n 1 "$s/mount.log"))"
        return 0
    fi
    local rc=0
    disk_full_run "$s" || rc=$?
    kestrova_stop # nothing of it may keep the volume busy
    umount "$s/out" || umount -l "$s/out" || fail "the tmpfs at $s/out could not be unmounted"
    return "$rc"
}

register_scenario 29 "a small volume fills at the trailer" disk_full_at_the_trailer
