#!/usr/bin/env bash
# What the end-to-end scripts read from the build instead of the sources: the list of resource
# identifiers (resource-ids.cmake) and the texts kestrova_probe reads out of Kestrova.exe.
#   tests/e2e/resources-test.sh BUILD_DIR C_COMPILER    (a Windows build; Wine as ctest runs it)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
compiler=$2
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_eq() { # WHAT EXPECTED ACTUAL
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# --- the list: what the preprocessor makes of the header, includes and expressions too ---------
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/generated"
cat >"$work/src/resource.h" <<'HEADER'
#pragma once
#include "string-ids.h"
#define IDC_PLAIN 1001
#define IDC_HEX 0x3F0u
#define IDC_NEXT (IDS_BASE + 17)
#define IDC_SHIFTED (1 << 4 | 2)
#define ID_MACRO(x) (x + 1)
#define NOT_AN_ID 7
HEADER
printf '%s\n' '#define IDS_BASE 3000' '#define IDS_FIRST IDS_BASE' >"$work/generated/string-ids.h"
cmake -DCOMPILER="$compiler" -DHEADER="$work/src/resource.h" -DINCLUDES="$work/generated|" \
    -DOUTPUT="$work/out/ids.txt" -P "$root/tests/e2e/resource-ids.cmake" >"$work/cmake.log" 2>&1 ||
    fail "resource-ids.cmake failed: $(cat "$work/cmake.log")"
expect_eq "identifiers of the fixture header" \
    "$(printf '%s\n' 'IDC_HEX 1008' 'IDC_NEXT 3017' 'IDC_PLAIN 1001' 'IDC_SHIFTED 18' \
        'IDS_BASE 3000' 'IDS_FIRST 3000')" "$(cat "$work/out/ids.txt" 2>/dev/null)"
# A header it cannot read is an error, not an empty list.
cmake -DCOMPILER="$compiler" -DHEADER="$work/src/missing.h" -DOUTPUT="$work/out/none.txt" \
    -P "$root/tests/e2e/resource-ids.cmake" >/dev/null 2>&1 &&
    fail "resource-ids.cmake succeeded on a missing header"

# The build's own list holds every identifier resource.h defines itself, with its value (the
# plain numbers it writes, once out of their brackets).
ids=$build/generated/resource-ids.txt
[ -f "$ids" ] || { echo "FAIL: $ids is missing" >&2; exit 1; }
expect_eq "identifiers of resources/resource.h" \
    "$(awk '$1 == "#define" && $2 ~ /^ID/ { gsub(/[()]/, "", $3); print $2, $3 }' \
        "$root/resources/resource.h" | sort)" \
    "$(join <(sort "$ids") <(awk '$1 == "#define" { print $2 }' "$root/resources/resource.h" | sort))"

# --- texts read out of the built program --------------------------------------------------------
# shellcheck source=tools/wine-query.sh
source "$root/tools/wine-query.sh"
probe() { kestrova_wine_query 60 "$build/bin/kestrova_probe.exe" "$@" 2>/dev/null; }
id_of() { awk -v name="$1" '$1 == name { print $2 }' "$ids"; }
exe="Z:${build//\//\\}\\bin\\Kestrova.exe"

# Strings at both ends of their blocks of 16 and in the middle, against the English list.
checked=0
while IFS=$'\t' read -r name text; do
    id=$(id_of "$name")
    [ -n "$id" ] || continue
    case $((id % 16)) in 0 | 1 | 15) ;; *) continue ;; esac
    expect_eq "English $name ($id)" "$text" "$(probe string "$exe" en "$id")"
    checked=$((checked + 1))
done < <(sed -n 's/^KESTROVA_TEXT(\(IDS_[A-Z0-9_]*\), "\([^"\\]*\)")$/\1\t\2/p' \
    "$root/resources/EnglishTexts.inc")
[ "$checked" -ge 3 ] || fail "only $checked strings at the ends of their blocks were checked"
expect_eq "English IDS_CONVERTTOAVI" "Convert to AVI" "$(probe string "$exe" en "$(id_of IDS_CONVERTTOAVI)")"
german=$(probe string "$exe" de "$(id_of IDS_CONVERTTOAVI)")
[ -n "$german" ] && [ "$german" != "Convert to AVI" ] ||
    fail "German IDS_CONVERTTOAVI reads [$german]"
# Nothing made up: an identifier no string has, a language the program does not hold.
probe string "$exe" en 65535 >/dev/null && fail "a string for identifier 65535 was printed"
probe string "$exe" xx "$(id_of IDS_CONVERTTOAVI)" >/dev/null && fail "a string in language xx was printed"

# Dialog templates: the caption, a control's text, a missing control.
expect_eq "progress window's caption" "Converting" "$(probe dialogtext "$exe" en "$(id_of IDD_PROGRESS)")"
expect_eq "When done label" "When &done:" \
    "$(probe dialogtext "$exe" en "$(id_of IDD_PROGRESS)" "$(id_of IDC_LBLWHENDONE)")"
probe dialogtext "$exe" en "$(id_of IDD_PROGRESS)" 65000 >/dev/null &&
    fail "a text for a control the dialog lacks was printed"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "resource identifiers and texts: all checks passed"
