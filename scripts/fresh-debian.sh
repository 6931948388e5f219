# Sourced by the scripts that check this project on a fresh Debian 12 (check-fresh.sh,
# check-packages.sh): the system made with debootstrap in $root, the mounts programs need there,
# commands run there, and its removal. The caller sets root (an absolute path), log_dir, MIRROR,
# SECURITY_MIRROR and MARK (only a folder holding that file is ever removed), and stops $stage_pid's
# group on exit. The packages debootstrap fetches are kept in
# $FRESH_CACHE (default /var/cache/orlex-fresh), so a second system is made without downloading.
FRESH_CACHE=${FRESH_CACHE:-/var/cache/orlex-fresh}

fresh_can_run() {
  local name=$1 probe
  [ "$(id -u)" -eq 0 ] || { echo "$name: needs root (debootstrap, chroot, mounts)"; return 1; }
  command -v debootstrap >/dev/null || { echo "$name: needs debootstrap (apt-get install debootstrap)"; return 1; }
  probe=$(mktemp -d)
  if ! mount -t tmpfs "$name" "$probe" 2>/dev/null; then
    rmdir "$probe"
    echo "$name: this machine does not allow mounts (a container without the right to mount)"
    return 1
  fi
  umount "$probe" && rmdir "$probe"
}

mounted_under() { awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/mounts; }

unmount_all() {
  local point
  for point in $(mounted_under | sort -r); do umount -l "$point" 2>/dev/null; done
}

remove_root() {
  [ -d "$root" ] || return 0
  [ -e "$root/$MARK" ] || { echo "$root exists and is not one of ours: not touching it" >&2; exit 2; }
  unmount_all
  [ -z "$(mounted_under)" ] || { echo "$root still has mounts: not removing it" >&2; exit 2; }
  rm -rf --one-file-system "$root"
}

# Whatever still runs inside the fresh system (a stage stopped halfway, a daemon a package started).
stop_inside() {
  local pid
  for pid in $(ls /proc | grep -x '[0-9]*'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null
  done
}

# A minimal Debian 12 in $root with the packages named (comma-separated), its sources, localhost by
# name, services that packages do not start, and the mounts: LOG INCLUDE. False if debootstrap fails.
make_fresh_debian() {
  local log=$1 include=$2
  mkdir -p "$root" "$FRESH_CACHE"
  touch "$root/$MARK"
  debootstrap --variant=minbase --include="$include" --cache-dir="$FRESH_CACHE" bookworm "$root" "$MIRROR" \
    > "$log" 2>&1 || return 1
  touch "$root/$MARK"
  cat > "$root/etc/apt/sources.list" << SOURCES
deb $MIRROR bookworm main
deb $MIRROR bookworm-updates main
deb $SECURITY_MIRROR bookworm-security main
SOURCES
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  # What an installed Debian has and debootstrap leaves out: localhost by name.
  printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' > "$root/etc/hosts"
  # This machine's own certificate authorities (a proxy's, say), as its administrator would add them
  # to a new system: the ca-certificates package takes them in when it is installed.
  if compgen -G "/usr/local/share/ca-certificates/*.crt" > /dev/null; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  fi
  # As in any chroot, packages do not start their services: there is no init to stop them.
  printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"
  mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
}

# A command inside the fresh system, in a process group of its own (stopped with this script),
# with the environment a fresh login has; its output goes to a log and is returned through $?.
# A certificate bundle node is told to trust here (a proxy's authority, say) is trusted there too.
fresh_env=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb
  ${NODE_EXTRA_CA_CERTS:+NODE_EXTRA_CA_CERTS=$NODE_EXTRA_CA_CERTS})
in_fresh() {
  local log=$1
  shift
  setsid env -i "${fresh_env[@]}" chroot "$root" "$@" > "$log_dir/$log" 2>&1 < /dev/null &
  stage_pid=$!
  wait "$stage_pid"
  local status=$?
  stage_pid=""
  return $status
}

# How long each step took, printed at the end: timed "WHAT" after each.
times=()
started=$SECONDS
timed() { times+=("$(printf '%-52s %3d min %02d s' "$1" $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60)))"); started=$SECONDS; }
