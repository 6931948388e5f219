#!/usr/bin/env bash
# The releases as an operator meets them (make release first): the checksums, each archive's
# listing, then each unpacked into a generated game folder with the plugins.ini line and the
# server.cfg line its README.txt gives, and the simulated server of that system started on the
# folder: it loads the plug-in from addons/orlex_mm/dlls/, executes server.cfg and orlex_mm.cfg
# without a complaint, and a client receives the plug-in's records.
# The Windows archive's DLL is 32-bit: where this machine cannot run 32-bit programs, the 64-bit
# build of the same source is put in its place under a 64-bit Wine, and that is said.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/smoke-common.sh
. scripts/ports.sh
dist=${1:-dist}
version=$(tr -d ' \n' < VERSION)
linux_archive=$dist/orlex_mm-$version-linux.tar.gz
windows_archive=$dist/orlex_mm-$version-windows.zip
for archive in "$linux_archive" "$windows_archive"; do
  [ -f "$archive" ] || { echo "check-release: no $archive (make release)"; exit 2; }
done
work=$(mktemp -d)
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failed=0
fail() { echo "check-release: FAILED: $*"; failed=1; }

(cd "$dist" && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match the archives"

# What an archive must hold, and nothing else: LISTING LIBRARY
expect_listing() {
  local listing=$1 library=$2 files
  files=$(grep -v '/$' <<< "$listing" | LC_ALL=C sort | tr '\n' ' ')
  [ "$files" = "addons/orlex_mm/README.txt addons/orlex_mm/dlls/$library addons/orlex_mm/orlex_mm.cfg " ] ||
    fail "the archive for $library holds: $files"
}
expect_listing "$(tar -tzf "$linux_archive")" orlex_mm_i386.so
expect_listing "$(unzip -Z1 "$windows_archive")" orlex_mm.dll

# The lines README.txt tells the operator to add, as they are printed there.
readme_line() { grep -m1 -E "^ +$2 addons/" "$1" | sed -e 's/^ *//' -e 's/\r$//'; }

lay_out_game_folder() {
  local folder=$1 system=$2 readme=$1/addons/orlex_mm/README.txt
  mkdir -p "$folder/addons/metamod"
  readme_line "$readme" "$system" > "$folder/addons/metamod/plugins.ini"
  readme_line "$readme" exec > "$folder/server.cfg"
  [ -s "$folder/addons/metamod/plugins.ini" ] && [ -s "$folder/server.cfg" ] ||
    fail "README.txt ($system) gives no plugins.ini or no server.cfg line"
}

# A second of game time: the configuration files run without "couldn't exec" or an unknown name.
check_configuration_runs() {
  local name=$1 output
  shift
  output=$(timeout 120 "$@" --fast --duration 1 < /dev/null 2>&1) || fail "$name: the server did not start: $output"
  if grep -E "couldn't exec|Unknown command|cannot load" <<< "$output"; then fail "$name: server.cfg did not run cleanly"; fi
}

serve_from() {
  local name=$1 kinds=$2 port
  shift 2
  check_configuration_runs "$name" "$@"
  port=$(pick_hostport)
  serve_and_check "$name" "$port" "$kinds" "$@" || failed=1
}

linux_folder=$work/linux/cstrike
mkdir -p "$linux_folder"
tar -xzf "$linux_archive" -C "$linux_folder"
lay_out_game_folder "$linux_folder" linux
serve_from "check-release (linux archive)" "SERVER PLAYER BOMB" \
  scripts/run-i386.sh build-i386/orlex_simhost --game cstrike --game-folder "$linux_folder"

if ! command -v wine >/dev/null 2>&1; then
  echo "check-release: the Windows archive was not loaded: Wine is not installed"
else
  windows_folder=$work/windows/tfc
  mkdir -p "$windows_folder"
  unzip -q "$windows_archive" -d "$windows_folder"
  lay_out_game_folder "$windows_folder" win32
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$work/wine
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]; then
    build=build-win32 loader=/usr/lib/wine/wine
  else
    echo "check-release: this kernel cannot run 32-bit programs: the 64-bit DLL of the same source in the archive's place"
    build=build-win64 loader=/usr/lib/wine/wine64
    cp "$build/orlex_mm.dll" "$windows_folder/addons/orlex_mm/dlls/orlex_mm.dll"
  fi
  serve_from "check-release (windows archive, $build)" "SERVER PLAYER FLAG SENTRY" \
    "$loader" "$build/orlex_simhost.exe" --game tfc --game-folder "$windows_folder"
fi
[ "$failed" -eq 0 ] && echo "check-release: both archives install as their README.txt says"
exit "$failed"
