#!/bin/sh
# Writes, for Kestrova.nsi, the release's files and folders as NSIS macros, so Setup and the
# uninstaller name exactly the same files and nothing else:
#   file-list.sh <stage folder> <output .nsh>
# KESTROVA_FOLDERS calls a macro with each folder, outermost first, KESTROVA_FOLDERS_INNERMOST_FIRST
# the other way round, KESTROVA_FILES with each file and its SHA-256 (lower-case hex), which the
# uninstaller compares before it deletes a file.
# Both give paths relative to the stage, with Windows separators.
set -eu
stage=$1
out=$2
cd "$stage"
# NSIS would read "$" and quotes in a name as its own syntax; the release has no such names.
if find . -mindepth 1 | grep -q '[^A-Za-z0-9._+/-]'; then
    echo "file-list.sh: a name in $stage needs more than letters, digits and ._+-" >&2
    exit 1
fi
{
    echo '!macro KESTROVA_FOLDERS MACRO'
    find . -mindepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort |
        sed 's|/|\\|g; s|.*|  !insertmacro ${MACRO} "&"|'
    echo '!macroend'
    echo '!macro KESTROVA_FOLDERS_INNERMOST_FIRST MACRO'
    find . -mindepth 1 -type d | sed 's|^\./||' | LC_ALL=C sort -r |
        sed 's|/|\\|g; s|.*|  !insertmacro ${MACRO} "&"|'
    echo '!macroend'
    echo '!macro KESTROVA_FILES MACRO'
    find . -type f | sed 's|^\./||' | LC_ALL=C sort | while IFS= read -r name; do
        hash=$(sha256sum "$name" | cut -d ' ' -f 1)
        printf '  !insertmacro ${MACRO} "%s" "%s"\n' "$(printf '%s' "$name" | tr / '\\')" "$hash"
    done
    echo '!macroend'
} >"$out"
