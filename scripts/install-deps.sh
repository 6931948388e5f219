#!/usr/bin/env bash
# Installs every Debian package the build variants need. Safe to run again.
set -u
export DEBIAN_FRONTEND=noninteractive

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Native build and tests; CLI11 reads the programs' command lines (headers only, for every variant);
# Boost.Asio drives the soak run's clients (headers only).
NATIVE="build-essential cmake make binutils libcli11-dev libboost1.81-dev libgtest-dev libgmock-dev libbenchmark-dev"
# 32-bit Linux library (what real servers load) and its tests; qemu runs them where the kernel
# cannot run 32-bit programs itself.
I386="g++-multilib libgtest-dev:i386 libgmock-dev:i386 qemu-user"
# Windows DLL (32-bit) and the 64-bit Windows build that runs under a 64-bit Wine.
WINDOWS="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix"
WINE="wine wine32:i386 wine64"
# Fuzzing (libFuzzer comes with clang) and instruction counts for the benchmarks.
TOOLS="clang-14 libclang-rt-14-dev valgrind"

missing() {
  local p out=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out="$out $p"
  done
  echo "$out"
}

install() {
  $SUDO apt-get install -y -q --no-install-recommends "$@"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

need=$(missing $NATIVE $I386 $WINDOWS $WINE $TOOLS)
if [ -n "$need" ]; then
  # One i386 index is known to be broken on these mirrors: update may fail and still be usable.
  $SUDO apt-get update -q || echo "install-deps: apt-get update reported an error; going on"
fi

need=$(missing $NATIVE $I386 $WINDOWS $TOOLS)
[ -z "$need" ] || install $need

need=$(missing $WINE)
if [ -n "$need" ] && ! install $need; then
  # Without the i386 security index, 32-bit Wine resolves only against the main archive.
  pin=$(mktemp -d)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' > "$pin/security-low.pref"
  install --no-remove -o Dir::Etc::PreferencesParts="$pin" $need
  rm -rf "$pin"
fi

need=$(missing $NATIVE $I386 $WINDOWS $WINE $TOOLS)
if [ -n "$need" ]; then
  echo "install-deps: still missing:$need" >&2
  exit 1
fi
echo "install-deps: all packages present"
