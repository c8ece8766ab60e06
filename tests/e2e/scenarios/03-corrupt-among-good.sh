# shellcheck shell=bash
# End-to-end scenario 3, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

corrupt_among_good() { # DIR
    local s3=$1
    cp "$samples/vp9-opus.webm" "$s3/a.webm"
    cp "$samples/corrupt.webm" "$s3/broken.webm"
    cp "$samples/vp8-vorbis.webm" "$s3/c.webm"
    start_kestrova "$bin" || return 1
    # One Add: the folder first, then three names at once.
    add_by_dialog "$(winpath "$s3")\\" '"a.webm" "broken.webm" "c.webm"' || return 1
    local folder
    folder=$(winpath "$s3")\\
    # Sorted: the order of several names is the dialog's, not the program's.
    expect_eq "rows after adding" \
        "$(printf '1\t%s\t%s\n' a.webm "$folder" broken.webm "$folder" c.webm "$folder" | sort)" \
        "$(rows | sort)"
    press_convert || return 1
    await_summary || return 1
    shot 3-summary
    # The failed file is listed with its reason.
    expect_eq "summary" "The conversion is finished. Some files were not converted.

broken.webm: the file is not a WebM video, or it is damaged" "$summary"
    dismiss_summary
    # Image 2 is the failed mark.
    expect_eq "rows left" "$(printf '2\tbroken.webm\t%s' "$folder")" "$(rows)"
    probe idle 10 Kestrova >/dev/null && shot 3-main-failed-row
    expect_avi "$s3/a.avi" 3
    expect_avi "$s3/c.avi" 3
}

register_scenario 3 "corrupt file among good ones" corrupt_among_good
