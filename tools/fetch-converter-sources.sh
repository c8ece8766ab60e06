#!/usr/bin/env bash
# Fetches and unpacks the Debian source packages that ffmpeg.exe is built from (FFmpeg, LAME,
# dav1d), so that tools/build-ffmpeg.sh only has to build. Called by tools/setup.sh; quick when
# everything is already there.
#
# Result, in ${KESTROVA_CACHE:-~/.cache/kestrova}/sources/:
#   versions                      "<package> <version>" a line, written last
#   <package>_<version>/          the downloaded .dsc and tarballs, and the unpacked tree
#
# Needs root (or password-less sudo) only to add deb-src entries and refresh the package lists.
set -euo pipefail
shopt -s inherit_errexit

readonly CACHE_ROOT=${KESTROVA_CACHE:-$HOME/.cache/kestrova}
readonly SOURCES=$CACHE_ROOT/sources
readonly SRC_PKGS=(ffmpeg lame dav1d)
readonly SRC_LIST_BASE=/etc/apt/sources.list.d/kestrova-src

say() { printf '[converter-sources] %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

as_root() {
    if ((EUID == 0)); then "$@"
    elif command -v sudo >/dev/null; then sudo -n "$@"
    else die "need root for: $*"; fi
}

apt_quiet() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o Dpkg::Use-Pty=0 "$@" >&2; }

# --- deb-src entries -----------------------------------------------------------------------------

# Prints deb822 stanzas: each enabled "Types: deb" stanza of this Debian release (its codename as
# suite, Debian's archive key or none named) that has no deb-src yet, turned into deb-src.
# Copying the machine's own entries keeps its mirror, snapshot and keyring choices, and we never
# have to name an archive host ourselves. Backports are left out: we build the release's own
# versions, the ones apt installs by default. Third-party repositories often reuse the codename
# as suite (but sign with their own key) and rarely carry sources: the key test leaves them out.
derive_deb822_src() {
    local codename=$1 f
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -e $f && $f != "$SRC_LIST_BASE.sources" ]] || continue
        awk -v cn="$codename" '
            BEGIN { RS = ""; FS = "\n" }
            function words(line, arr) { sub(/^[^:]*:[ \t]*/, "", line); return split(line, arr, /[ \t]+/) }
            {
                out = ""; deb = 0; src = 0; suites = ""; enabled = 1; foreign = 0
                for (i = 1; i <= NF; i++) {
                    line = $i
                    if (line ~ /^#/ || line ~ /^[ \t]/) { out = out line "\n"; continue }
                    key = tolower(line); sub(/:.*/, "", key)
                    if (key == "types") {
                        n = words(line, w)
                        for (j = 1; j <= n; j++) { if (w[j] == "deb") deb = 1; if (w[j] == "deb-src") src = 1 }
                        line = "Types: deb-src"
                    } else if (key == "suites") {
                        n = words(line, w)
                        for (j = 1; j <= n; j++)
                            if (w[j] ~ ("^" cn "(-|$)") && w[j] !~ /backports/) suites = suites " " w[j]
                        line = "Suites:" suites
                    } else if (key == "enabled") {
                        n = words(line, w); if (tolower(w[1]) ~ /^(no|false|off|0)$/) enabled = 0
                    } else if (key == "signed-by") {
                        foreign = (line !~ /debian-archive/)
                    }
                    out = out line "\n"
                }
                if (deb && !src && suites != "" && enabled && !foreign) printf "%s\n", out
            }' "$f"
    done
}

# Same for the one-line format: "deb [opts] uri suite comps" -> "deb-src [opts] uri suite comps".
derive_oneline_src() {
    local codename=$1 files=() f
    [[ -e /etc/apt/sources.list ]] && files+=(/etc/apt/sources.list)
    for f in /etc/apt/sources.list.d/*.list; do
        [[ -e $f && $f != "$SRC_LIST_BASE.list" ]] && files+=("$f")
    done
    ((${#files[@]})) || return 0
    awk -v cn="$codename" '
        { sub(/#.*/, ""); $1 = $1 }                      # drop comments, squeeze blanks
        $1 == "deb-src" { have[substr($0, 9)] = 1; next }
        $1 == "deb" {
            rest = substr($0, 5); s = rest
            if (s ~ /^\[/) sub(/^\[[^]]*\] */, "", s)  # options, then uri suite components
            split(s, w, " ")
            if (w[2] ~ ("^" cn "(-|$)") && w[2] !~ /backports/ && (rest !~ /signed-by=/ || rest ~ /signed-by=[^] ]*debian-archive/))
                want[++n] = rest
        }
        END { for (i = 1; i <= n; i++) if (!(want[i] in have)) print "deb-src " want[i] }' "${files[@]}"
}

# Writes (or removes) our deb-src files; sets src_changed=1 if it touched anything, so that the
# package lists get refreshed.
src_changed=0
ensure_deb_src() {
    local codename kind body dest
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [[ -n $codename ]] || die "cannot tell this machine's Debian release from /etc/os-release"
    for kind in sources list; do
        if [[ $kind == sources ]]; then body=$(derive_deb822_src "$codename")
        else body=$(derive_oneline_src "$codename"); fi
        dest=$SRC_LIST_BASE.$kind
        if [[ -z $body ]]; then
            [[ -e $dest ]] && { as_root rm -f "$dest"; src_changed=1; }
            continue
        fi
        body="# Source entries for tools/build-ffmpeg.sh, derived from this machine's own entries."$'\n'"$body"
        if [[ ! -e $dest || $(<"$dest") != "$body" ]]; then
            say "writing $dest"
            printf '%s\n' "$body" | as_root tee "$dest" >/dev/null
            src_changed=1
        fi
    done
}

# --- Versions ------------------------------------------------------------------------------------

# "<package> <version>" a line: the newest version of each source package in the local deb-src
# lists, which is what the release's apt would pick too (we list no backports). apt-cache reads
# local lists only: fast, no root, no network. Fails if a package is unknown.
source_versions() {
    local all p v best
    all=$(apt-cache showsrc --only-source "${SRC_PKGS[@]}" 2>/dev/null |
        awk '/^Package:/ { p = $2 } /^Version:/ { print p, $2 }') || return 1
    for p in "${SRC_PKGS[@]}"; do
        best=
        for v in $(awk -v p="$p" '$1 == p { print $2 }' <<<"$all"); do
            if [[ -z $best ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
        done
        [[ -n $best ]] || return 1
        echo "$p $best"
    done
}

# --- Main ----------------------------------------------------------------------------------------

ensure_deb_src
versions=$(source_versions) || versions=
if ((src_changed)) || [[ -z $versions ]]; then
    say "apt-get update"
    apt_quiet update
    versions=$(source_versions) \
        || die "apt knows no source package for one of: ${SRC_PKGS[*]} (no deb-src entries?)"
fi

mkdir -p "$SOURCES"
# A build copying trees out of here holds this lock shared; we change the folder only alone.
exec 9>"$SOURCES/.lock"
flock 9

# Folder of one package version: the epoch is left out, as in Debian's own file names.
package_dir() { local v=$2; echo "$SOURCES/$1_${v#*:}"; }

fetch() {
    local p=$1 v=$2 dir partial
    dir=$(package_dir "$p" "$v")
    partial=$dir.partial
    rm -rf "$partial"
    mkdir -p "$partial"
    say "fetching $p $v"
    if ! (cd "$partial" && apt-get -q source "$p=$v" >"$partial.log" 2>&1); then
        # Lists older than the archive (a point release replaced a version): refresh, so that the
        # next run finds the new version.
        cat "$partial.log" >&2
        apt_quiet update || true
        die "apt-get source $p=$v failed; package lists refreshed, run tools/setup.sh again"
    fi
    rm -f "$partial.log"
    # apt-get source unpacks into <package>-<upstream version>, Debian's patches applied.
    local trees=("$partial"/"$p"-*/)
    [[ ${#trees[@]} -eq 1 && -d ${trees[0]} ]] || die "apt-get source left no single $p source tree"
    mv -T "$partial" "$dir"
}

while read -r p v; do
    [[ -d $(package_dir "$p" "$v") ]] || fetch "$p" "$v"
done <<<"$versions"

if [[ ! -f $SOURCES/versions || $(<"$SOURCES/versions") != "$versions" ]]; then
    printf '%s\n' "$versions" >"$SOURCES/versions.tmp"
    mv "$SOURCES/versions.tmp" "$SOURCES/versions"
fi

# Versions the lists no longer name are not built any more.
for dir in "$SOURCES"/*_*; do
    [[ -d $dir ]] || continue
    keep=0
    while read -r p v; do [[ $dir == "$(package_dir "$p" "$v")" ]] && keep=1; done <<<"$versions"
    ((keep)) || { say "removing $dir"; rm -rf "$dir"; }
done
