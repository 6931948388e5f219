#!/usr/bin/env bash
# Installs every Debian package the build variants need. Safe to run again.
set -u
export DEBIAN_FRONTEND=noninteractive

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Native build and tests.
NATIVE="build-essential cmake make libgtest-dev libgmock-dev libbenchmark-dev binutils"
# 32-bit Linux library (what real servers load) and its tests; qemu runs them where the kernel
# cannot run 32-bit programs itself.
I386="g++-multilib libgtest-dev:i386 libgmock-dev:i386 qemu-user"

missing() {
  local p out=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out="$out $p"
  done
  echo "$out"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

need=$(missing $NATIVE $I386)
if [ -n "$need" ]; then
  # One i386 index is known to be broken on these mirrors: update may fail and still be usable.
  $SUDO apt-get update -q || echo "install-deps: apt-get update reported an error; going on"
  $SUDO apt-get install -y -q --no-install-recommends $need
fi

need=$(missing $NATIVE $I386)
if [ -n "$need" ]; then
  echo "install-deps: still missing:$need" >&2
  exit 1
fi
echo "install-deps: all packages present"
