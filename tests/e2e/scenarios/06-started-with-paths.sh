# shellcheck shell=bash
# End-to-end scenario 6, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# Started with a file, a folder and a path of more than 260 characters, as the shell starts it.
started_with_paths() { # DIR
    local s6=$1 s6_long=$1/long part
    for part in a b c d; do s6_long=$s6_long/$(printf "$part%.0s" $(seq 60)); done
    mkdir -p "$s6/files" "$s6/Folder/sub" "$s6_long"
    cp "$samples/vp8-vorbis.webm" "$s6/files/one.webm"
    cp "$samples/vp9-opus.webm" "$s6/Folder/clip10.webm"
    cp "$samples/vp8-vorbis.webm" "$s6/Folder/Clip2.WEBM"
    cp "$samples/vp8-vorbis.webm" "$s6/Folder/sub/deep.webm"
    echo notes >"$s6/Folder/notes.txt"
    cp "$samples/vp9-opus.webm" "$s6_long/far.webm"
    start_kestrova "$bin" "$(winpath "$s6/files/one.webm")" "$(winpath "$s6/Folder")" \
        "$(winpath "$s6_long/far.webm")" || return 1
    local long_folder
    long_folder=$(winpath "$s6_long")\\
    [ ${#long_folder} -gt 260 ] || fail "the long folder is only ${#long_folder} characters"
    expect_eq "rows from the command line" "$(printf '1\t%s\t%s\n' \
        one.webm "$(winpath "$s6/files")\\" \
        Clip2.WEBM "$(winpath "$s6/Folder")\\" \
        clip10.webm "$(winpath "$s6/Folder")\\" \
        deep.webm "$(winpath "$s6/Folder/sub")\\" \
        far.webm "$long_folder")" "$(rows)"
    shot 6-started-with-paths
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    expect_files "$s6/files" one.webm one.avi
    expect_files "$s6/Folder" Clip2.WEBM Clip2.avi clip10.webm clip10.avi notes.txt sub
    expect_files "$s6/Folder/sub" deep.webm deep.avi
    expect_files "$s6_long" far.webm far.avi
    expect_avi "$s6/files/one.avi" 3
    expect_avi "$s6/Folder/clip10.avi" 3
    expect_avi "$s6/Folder/sub/deep.avi" 3
    expect_avi "$s6_long/far.avi" 3
}

register_scenario 6 "started with a file, a folder and a long path" started_with_paths
