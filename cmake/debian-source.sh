#!/bin/sh
# Unpacks Debian's source package PACKAGE=VERSION into FOLDER, fetched with apt-get source
# through a sources list, lists and cache of its own under WORK, so that the machine's apt
# configuration and state stay as they are. apt checks the archive's signature and the files'
# checksums.
#
#   debian-source.sh PACKAGE VERSION FOLDER WORK
set -eu
package=$1 version=$2 folder=$3 work=$4
archive=${KESSAN_DEBIAN_ARCHIVE:-http://deb.debian.org/debian}
rm -rf "$work" "$folder"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/unpacked"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive bookworm main" \
  >"$work/sources.list"
set -- -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null \
  -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" \
  -o APT::Sandbox::User="$(id -un)"
apt-get "$@" -qq update
cd "$work/unpacked"
apt-get "$@" -qq source "$package=$version" >/dev/null
mv "$work/unpacked/$package-${version%-*}" "$folder"
rm -rf "$work"
