#!/usr/bin/env bash
# The releases for the game server, from dist/ (make dist) and the native build's orlex_mm_cfg:
#   dist/orlex_mm-VERSION-linux.tar.gz and dist/orlex_mm-VERSION-windows.zip, each unpacking into a
#   game folder as addons/orlex_mm/{dlls/LIBRARY, orlex_mm.cfg, README.txt}, and dist/SHA256SUMS.
# The version is the VERSION file's. The archives are the same bytes for the same commit: sorted,
# owned by root, dated by the last commit (or SOURCE_DATE_EPOCH).
#   scripts/make-release.sh [BUILD] [DIST]   (defaults: build, dist)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dist=$(realpath -m "${2:-dist}")
version=$(tr -d ' \n' < VERSION)
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# addons/orlex_mm for one system: SYSTEM LIBRARY_FROM LIBRARY PLUGINS_SYSTEM REQUIREMENTS
lay_out() {
  local system=$1 from=$2 library=$3 plugins_system=$4 requirements=$5
  local folder=$stage/$system/addons/orlex_mm
  mkdir -p "$folder/dlls"
  cp "$from" "$folder/dlls/$library"
  "$build/packaging/orlex_mm_cfg" packaging/release/setting-notes.txt "$version" > "$folder/orlex_mm.cfg"
  sed -e "s|@VERSION@|$version|" -e "s|@SYSTEM@|$system|" -e "s|@LIBRARY@|$library|" \
    -e "s|@PLUGINS_LINE@|$plugins_system addons/orlex_mm/dlls/$library|" -e "s|@REQUIREMENTS@|$requirements|" \
    packaging/release/README.txt.in > "$folder/README.txt"
  # Notepad and the engine both read Windows line ends.
  [ "$system" != windows ] || sed -i 's/$/\r/' "$folder/orlex_mm.cfg" "$folder/README.txt"
  find "$stage/$system" -exec touch -h -d "@$epoch" {} +
  chmod -R u=rwX,go=rX "$stage/$system"
}

lay_out linux "$dist/linux-i386/orlex_mm_i386.so" orlex_mm_i386.so linux \
  "a 32-bit capable Linux with the GNU C library 2.3 or newer; nothing else."
lay_out windows "$dist/win32/orlex_mm.dll" orlex_mm.dll win32 \
  "nothing beyond Windows's own KERNEL32, msvcrt and WS2_32."

linux_archive=orlex_mm-$version-linux.tar.gz
windows_archive=orlex_mm-$version-windows.zip
mkdir -p "$dist"
rm -f "$dist/$linux_archive" "$dist/$windows_archive" "$dist/SHA256SUMS"
(cd "$stage/linux" && tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$epoch" -cf - addons) |
  gzip -9n > "$dist/$linux_archive"
(cd "$stage/windows" && find addons | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$dist/$windows_archive")
(cd "$dist" && sha256sum "$linux_archive" "$windows_archive" > SHA256SUMS)
echo "make-release: $dist/$linux_archive, $dist/$windows_archive and $dist/SHA256SUMS (version $version)"
