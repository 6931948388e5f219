#!/bin/sh
# Runs a 32-bit program: natively where the kernel can, else under user-mode emulation
# (some kernels are built without 32-bit support).
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exec "$@"
fi
exec qemu-i386 -L / "$@"
