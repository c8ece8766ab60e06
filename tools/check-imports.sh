#!/usr/bin/env bash
# Fails when a Windows program imports, at load time, a DLL that Windows does not always take from
# its system folder. Any other DLL is looked for beside the program first, so one dropped there
# (an unpacked zip in Downloads) would run inside it. comctl32.dll is allowed in a program whose
# manifest asks for Common Controls 6: Windows then takes it from its side-by-side store.
#
#   tools/check-imports.sh [--objdump TOOL] <program.exe>...
#
# Prints each program's imports; exit code 1 when any is not allowed, 2 on a usage error.
set -euo pipefail

objdump=x86_64-w64-mingw32-objdump
if [[ ${1:-} == --objdump ]]; then
    objdump=$2
    shift 2
fi
[[ $# -ge 1 ]] || { echo "usage: $0 [--objdump TOOL] <program.exe>..." >&2; exit 2; }

# Windows' known DLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs), and
# ntdll, which every process has before anything is loaded.
declare -A known
for dll in kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 shlwapi msvcrt combase \
    rpcrt4 imm32 ws2_32 setupapi psapi shcore ntdll; do
    known[$dll.dll]=1
done

status=0
for exe in "$@"; do
    [[ -f $exe ]] || { echo "check-imports: $exe is missing" >&2; exit 2; }
    dumped=$("$objdump" -p "$exe") || { echo "check-imports: $objdump cannot read $exe" >&2; exit 2; }
    mapfile -t dlls < <(awk '/DLL Name:/ { print tolower($3) }' <<<"$dumped" | sort -u)
    ((${#dlls[@]} > 0)) || { echo "check-imports: no imports read from $exe" >&2; exit 2; }
    common_controls=0
    if grep -aq 'Microsoft\.Windows\.Common-Controls' "$exe"; then common_controls=1; fi
    echo "$(basename "$exe"): ${dlls[*]}"
    for dll in "${dlls[@]}"; do
        [[ -n ${known[$dll]:-} ]] && continue
        [[ $dll == comctl32.dll ]] && ((common_controls)) && continue
        echo "check-imports: $(basename "$exe") imports $dll at load time, which Windows may take from beside the program" >&2
        status=1
    done
done
exit $status
