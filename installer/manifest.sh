#!/bin/sh
# Writes the release's manifest for Windows' package manager (the multi-file form: version,
# default locale, installer), for the release step:
#   installer/manifest.sh <setup.exe> <version> <output folder>
# KESTROVA_RELEASE_URL: the address the setup program is published under, the folder part; the
# setup's own file name is added. Without it no manifest is written, and the script says so.
# The files go to <output folder>/manifests/t/Tamblin/Kestrova/<version>/, as the public
# repository of manifests lays them out.
set -eu
setup=$1
version=$2
out=$3
if [ -z "${KESTROVA_RELEASE_URL:-}" ]; then
    echo "NO MANIFEST: KESTROVA_RELEASE_URL (where the setup program is published) is not set"
    exit 0
fi
id=Tamblin.Kestrova
schema=1.6.0
dir=$out/manifests/t/Tamblin/Kestrova/$version
sha=$(sha256sum "$setup" | cut -d ' ' -f 1 | tr a-f A-F)
url=${KESTROVA_RELEASE_URL%/}/$(basename "$setup")
mkdir -p "$dir"
head() { # MANIFEST-TYPE
    echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$schema.schema.json"
    echo
    echo "PackageIdentifier: $id"
    echo "PackageVersion: $version"
}
{
    head version
    echo "DefaultLocale: en-US"
    echo "ManifestType: version"
    echo "ManifestVersion: $schema"
} >"$dir/$id.yaml"
{
    head defaultLocale
    echo "PackageLocale: en-US"
    echo "Publisher: Tamblin Software"
    echo "PackageName: Kestrova"
    echo "License: Copyright (c) Tamblin Software; ffmpeg.exe LGPL-2.1-or-later"
    echo "ShortDescription: Converts WebM videos to AVI files that DVD and DivX players play."
    echo "Tags:"
    echo "- webm"
    echo "- avi"
    echo "- video-converter"
    echo "ManifestType: defaultLocale"
    echo "ManifestVersion: $schema"
} >"$dir/$id.locale.en-US.yaml"
# Setup installs for the current user only; /S runs it without any window, and its exit code 2
# means it refused (Kestrova running, a folder taken) and changed nothing. ProductCode is the name
# of the uninstall entry's key, by which the package manager finds the installation.
{
    head installer
    echo "InstallerType: nullsoft"
    echo "Scope: user"
    echo "InstallModes:"
    echo "- interactive"
    echo "- silent"
    echo "- silentWithProgress"
    echo "InstallerSwitches:"
    echo "  Silent: /S"
    echo "  SilentWithProgress: /S"
    echo "UpgradeBehavior: install"
    echo "ProductCode: Kestrova"
    echo "Installers:"
    echo "- Architecture: x64"
    echo "  InstallerUrl: $url"
    echo "  InstallerSha256: $sha"
    echo "ManifestType: installer"
    echo "ManifestVersion: $schema"
} >"$dir/$id.installer.yaml"
echo "manifest: $dir"
