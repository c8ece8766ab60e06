#!/usr/bin/env bash
# The release step as a maintainer runs it, with a throwaway certificate:
#   - without a certificate the programs stay unsigned and the step says so;
#   - with one, Kestrova.exe, ffmpeg.exe (in the folder and in the zip), the uninstaller packed
#     into Setup and Setup itself carry Authenticode signatures that verify against that
#     certificate, and not against another;
#   - the package manager's manifest has every required field, and the built Setup's hash.
#
#   tests/installer/release.sh <build-dir>     e.g. build/win, configured with NSIS
#
# Rebuilds the package_installer target (signed, as it leaves it). Exit code 0 when every check
# passed, 1 when any failed, 2 when the run could not start.
set -euo pipefail
export LC_ALL=C.UTF-8

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 <build-dir>" >&2; exit 2; }
build=$(cd "$1" && pwd)
[ -f "$build/version.txt" ] || { echo "release test: $build is not a configured build" >&2; exit 2; }
for tool in osslsigncode openssl unzip wine sha256sum; do
    command -v "$tool" >/dev/null || { echo "release test: $tool is missing (tools/setup.sh)" >&2; exit 2; }
done
version=$(cat "$build/version.txt")
setup=$build/Kestrova-$version-setup.exe
stage=$build/package/Kestrova-$version-win64
zip=$build/Kestrova-$version-win64.zip
manifests=$build/manifests/t/Tamblin/Kestrova/$version

work=$build/release-test
rm -rf "$work"
mkdir -p "$work"
failures=()
fail() {
    echo "FAIL $*" >&2
    failures+=("$*")
}

# --- unsigned, and saying so ---------------------------------------------------------------------
# The build's own Kestrova.exe, which the release step never signs (it signs the staged copy).
cp "$build/bin/Kestrova.exe" "$work/unsigned.exe"
said=$(env -u KESTROVA_SIGN_CERT "$root/installer/sign.sh" "$work/unsigned.exe")
grep -q '^UNSIGNED: unsigned.exe' <<<"$said" || fail "sign.sh without a certificate did not say so: [$said]"
cmp -s "$build/bin/Kestrova.exe" "$work/unsigned.exe" ||
    fail "sign.sh without a certificate changed the file"

# --- a throwaway certificate ---------------------------------------------------------------------
certificate() { # NAME: NAME.pem (certificate) and NAME.p12 (with its key), password in pass.txt
    openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -keyout "$work/$1.key" -out "$work/$1.pem" \
        -subj "/CN=Kestrova release test ($1)" -addext "extendedKeyUsage=codeSigning" \
        -passout "file:$work/key-pass.txt" >/dev/null 2>&1
    openssl pkcs12 -export -in "$work/$1.pem" -inkey "$work/$1.key" -out "$work/$1.p12" \
        -passin "file:$work/key-pass.txt" -passout "file:$work/pass.txt" >/dev/null 2>&1
}
head -c 24 /dev/urandom | base64 >"$work/pass.txt"
# openssl reads a password file once per command: the key's own password is a copy.
cp "$work/pass.txt" "$work/key-pass.txt"
certificate signer
certificate stranger

# --- the signed release --------------------------------------------------------------------------
rm -rf "$build/manifests"
log=$work/build.log
if ! KESTROVA_SIGN_CERT=$work/signer.p12 KESTROVA_SIGN_PASSWORD_FILE=$work/pass.txt \
    KESTROVA_RELEASE_URL=https://releases.kestrova.test/$version \
    cmake --build "$build" --target package_installer >"$log" 2>&1; then
    cat "$log" >&2
    echo "release test: the signed release did not build" >&2
    exit 1
fi
grep -q UNSIGNED "$log" && fail "the signed release left files unsigned: $(grep UNSIGNED "$log" | xargs)"

# The uninstaller as Setup writes it, from a silent installation in a Wine prefix of its own.
export KESTROVA_WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# shellcheck source=tools/wine-env.sh
source "$root/tools/wine-env.sh"
trap kestrova_wine_stop EXIT
mkdir -p "$work/installed"
rc=0
timeout 180 wine "$setup" /S "/D=$(winepath -w "$work/installed" 2>/dev/null)" </dev/null \
    >"$work/setup.log" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "the signed Setup /S ended with exit code $rc"
mkdir -p "$work/zip"
unzip -q -o "$zip" -d "$work/zip"

signed=("$stage/Kestrova.exe" "$stage/ffmpeg.exe" "$work/zip/Kestrova-$version-win64/Kestrova.exe"
    "$work/zip/Kestrova-$version-win64/ffmpeg.exe" "$work/installed/Uninstall.exe"
    "$work/installed/Kestrova.exe" "$setup")
for f in "${signed[@]}"; do
    name=${f#"$build"/}
    if [ ! -f "$f" ]; then
        fail "$name is missing"
        continue
    fi
    osslsigncode verify -CAfile "$work/signer.pem" -in "$f" >"$work/verify.log" 2>&1 ||
        fail "$name: no signature that verifies against the release certificate ($(tail -n 1 "$work/verify.log"))"
    grep -qi 'sha256' "$work/verify.log" || fail "$name: the signature's digest is not SHA-256"
    # The check can fail: another certificate does not vouch for the file.
    ! osslsigncode verify -CAfile "$work/stranger.pem" -in "$f" >/dev/null 2>&1 ||
        fail "$name verifies against a certificate that did not sign it"
done

# --- the package manager's manifest --------------------------------------------------------------
id=Tamblin.Kestrova
value() { # FILE KEY: the value of a top-level (or, with two leading spaces, nested) key
    awk -v key="$2" 'index($0, key ": ") == 1 { sub(/^[^:]*: */, ""); print; exit }' "$1" 2>/dev/null
}
expect_value() { # FILE KEY EXPECTED
    local got
    got=$(value "$1" "$2")
    [ "$got" = "$3" ] || fail "$(basename "$1"): $2 is [$got], expected [$3]"
}
require() { # FILE KEY...: each present and not empty
    local file=$1 key
    shift
    for key; do
        [ -n "$(value "$file" "$key")" ] || fail "$(basename "$file"): the required $key is missing"
    done
}
version_yaml=$manifests/$id.yaml
locale_yaml=$manifests/$id.locale.en-US.yaml
installer_yaml=$manifests/$id.installer.yaml
for f in "$version_yaml" "$locale_yaml" "$installer_yaml"; do
    [ -f "$f" ] || { fail "no manifest file $f"; continue; }
    expect_value "$f" PackageIdentifier "$id"
    expect_value "$f" PackageVersion "$version"
    expect_value "$f" ManifestVersion 1.6.0
    type=$(value "$f" ManifestType)
    grep -qF "winget-manifest.$type.1.6.0.schema.json" "$f" ||
        fail "$(basename "$f"): its schema line does not match ManifestType $type"
done
# Identifiers: two to eight parts of at most 32 characters, without spaces or path characters.
[[ "$id" =~ ^[^.[:space:]\\/:*?\"\<\>\|]{1,32}(\.[^.[:space:]\\/:*?\"\<\>\|]{1,32}){1,7}$ ]] ||
    fail "PackageIdentifier $id is not a valid identifier"
expect_value "$version_yaml" ManifestType version
expect_value "$version_yaml" DefaultLocale en-US
expect_value "$locale_yaml" ManifestType defaultLocale
expect_value "$locale_yaml" PackageLocale en-US
require "$locale_yaml" Publisher PackageName License ShortDescription
expect_value "$installer_yaml" ManifestType installer
expect_value "$installer_yaml" InstallerType nullsoft
expect_value "$installer_yaml" Scope user
expect_value "$installer_yaml" "  Silent" /S
expect_value "$installer_yaml" "  SilentWithProgress" /S
# The uninstall entry's key name, as Setup writes it.
nsi=$root/installer/Kestrova.nsi
key=$(sed -n 's/^!define UNINSTALL_KEY "\(.*\)"$/\1/p' "$nsi")
product_code=${key##*\\}
[ "$product_code" != '${PRODUCT}' ] || product_code=$(sed -n 's/^!define PRODUCT "\(.*\)"$/\1/p' "$nsi")
expect_value "$installer_yaml" ProductCode "$product_code"
[ -n "$product_code" ] || fail "cannot read the uninstall key's name from Kestrova.nsi"
grep -q '^Installers:$' "$installer_yaml" || fail "no Installers list"
expect_value "$installer_yaml" "- Architecture" x64
expect_value "$installer_yaml" "  InstallerUrl" \
    "https://releases.kestrova.test/$version/Kestrova-$version-setup.exe"
sha=$(value "$installer_yaml" "  InstallerSha256")
[[ "$sha" =~ ^[0-9A-F]{64}$ ]] || fail "InstallerSha256 is not 64 hex digits: [$sha]"
actual=$(sha256sum "$setup" | cut -d ' ' -f 1 | tr a-f A-F)
[ "$sha" = "$actual" ] || fail "InstallerSha256 $sha is not the built Setup's ($actual)"

if [ ${#failures[@]} -gt 0 ]; then
    printf '\n%d release check(s) failed:\n' "${#failures[@]}" >&2
    printf '  %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "release: signatures verified, manifest complete"
