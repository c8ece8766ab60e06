# shellcheck shell=bash
# End-to-end scenario 15, sourced by tests/e2e/run.sh (helpers: tests/e2e/lib.sh).

# Names that mean something to a command line or to the converter: percent signs, ampersands,
# carets, quotes, brackets, a leading dash, characters beyond the basic plane. Started with them
# on the command line, as Explorer starts it, and the AVIs named after them.
awkward_names() { # DIR
    local s15="$1/50% off & more" name want='' args=()
    local s15_names=("100% & more; [x] {y} 'q' ^!.webm" "-dash, comma=equal.webm" "clip 🎬 ünï.webm")
    mkdir -p "$s15"
    for name in "${s15_names[@]}"; do
        cp "$samples/vp8-vorbis.webm" "$s15/$name"
        args+=("$(winpath "$s15/$name")")
    done
    start_kestrova "$bin" "${args[@]}" || return 1
    for name in "${s15_names[@]}"; do want+=$(printf '1\t%s\t%s\\' "$name" "$(winpath "$s15")")$'\n'; done
    expect_eq "rows from the command line" "${want%$'\n'}" "$(rows)"
    press_convert || return 1
    await_summary || return 1
    expect_eq "summary" "The conversion is finished." "$summary"
    dismiss_summary
    expect_empty_list
    for name in "${s15_names[@]}"; do expect_avi "$s15/${name%.webm}.avi" 3; done
    expect_eq "files beside the sources" 6 "$(find "$s15" -type f | wc -l)"
}

register_scenario 15 "awkward names" awkward_names
