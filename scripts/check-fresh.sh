#!/usr/bin/env bash
# The README's two commands on a fresh machine: a minimal Debian 12 made with debootstrap (git and
# make, nothing else), a clone of this checkout's last commit, and then
#   - as a user without sudo, make test stops and names the command that installs what it needs;
#   - as root, make test installs, builds and runs every test, none of them skipped;
#   - the web part installed by root into the user's checkout leaves nothing there that root owns;
#   - make run prints the dashboard's address first, the dashboard answers, and the plug-in's port
#     is bound to 127.0.0.1 only.
# It prints the time each step took.
#
#   scripts/check-fresh.sh [FOLDER]   as root; FOLDER (default /var/tmp/orlex-fresh) is made anew
#                                     and removed at the end (KEEP_FRESH=1 keeps it)
#   scripts/check-fresh.sh --can-run  exits 0 when this machine can run it (root, debootstrap, mounts)
# FRESH_MIRROR and FRESH_SECURITY_MIRROR name the Debian mirrors (default deb.debian.org).
set -uo pipefail
checkout=$(cd "$(dirname "$0")/.." && pwd)
MIRROR=${FRESH_MIRROR:-http://deb.debian.org/debian}
SECURITY_MIRROR=${FRESH_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
MARK=.orlex-fresh   # only a folder holding this is ever removed
USER_NAME=dev
. "$checkout/scripts/ports.sh"

can_run() {
  [ "$(id -u)" -eq 0 ] || { echo "check-fresh: needs root (debootstrap, chroot, mounts)"; return 1; }
  command -v debootstrap >/dev/null || { echo "check-fresh: needs debootstrap (apt-get install debootstrap)"; return 1; }
  local probe
  probe=$(mktemp -d)
  if ! mount -t tmpfs check-fresh "$probe" 2>/dev/null; then
    rmdir "$probe"
    echo "check-fresh: this machine does not allow mounts (a container without the right to mount)"
    return 1
  fi
  umount "$probe" && rmdir "$probe"
}

if [ "${1:-}" = "--can-run" ]; then
  can_run
  exit
fi
can_run || exit 2

root=${1:-/var/tmp/orlex-fresh}
root=$(realpath -m "$root")
log_dir="$root.logs"
stage_pid=""

mounted_under() { awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/mounts; }

unmount_all() {
  local point
  for point in $(mounted_under | sort -r); do umount -l "$point" 2>/dev/null; done
}

remove_root() {
  [ -d "$root" ] || return 0
  [ -e "$root/$MARK" ] || { echo "check-fresh: $root exists and is not one of ours: not touching it" >&2; exit 2; }
  unmount_all
  [ -z "$(mounted_under)" ] || { echo "check-fresh: $root still has mounts: not removing it" >&2; exit 2; }
  rm -rf --one-file-system "$root"
}

# Whatever still runs inside the fresh system (a stage stopped halfway, a daemon a package started).
stop_inside() {
  local pid
  for pid in $(ls /proc | grep -x '[0-9]*'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null
  done
}

finish() {
  [ -n "$stage_pid" ] && kill -TERM -- "-$stage_pid" 2>/dev/null
  stop_inside
  unmount_all
  if [ "${KEEP_FRESH:-0}" = 1 ]; then echo "check-fresh: kept $root (logs in $log_dir)"; else remove_root; fi
}
trap finish EXIT
trap 'exit 130' INT TERM

failures=0
fail() { echo "check-fresh: FAILED: $*"; failures=$((failures + 1)); }
times=()
started=$SECONDS
timed() { times+=("$(printf '%-52s %3d min %02d s' "$1" $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60)))"); started=$SECONDS; }

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


[ -z "$(git -C "$checkout" status --porcelain --untracked-files=no)" ] ||
  echo "check-fresh: note: uncommitted changes are not checked; the clone has the last commit only"
remove_root
mkdir -p "$root" "$log_dir"
touch "$root/$MARK"

echo "== check-fresh: a minimal Debian 12 in $root (logs in $log_dir)"
if ! debootstrap --variant=minbase --include=git,make bookworm "$root" "$MIRROR" > "$log_dir/debootstrap.log" 2>&1; then
  tail -20 "$log_dir/debootstrap.log"
  echo "check-fresh: FAILED: debootstrap did not make the system"
  exit 1
fi
touch "$root/$MARK"
cat > "$root/etc/apt/sources.list" << EOF
deb $MIRROR bookworm main
deb $MIRROR bookworm-updates main
deb $SECURITY_MIRROR bookworm-security main
EOF
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
# What chromium and the tests need of a running system.
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
timed "debootstrap (git and make)"

git clone --quiet "$checkout" "$root/root/orlex"
in_fresh useradd.log useradd --create-home --shell /bin/bash "$USER_NAME" || fail "useradd did not make the user"
git clone --quiet "$checkout" "$root/home/$USER_NAME/orlex"
in_fresh chown.log chown -R "$USER_NAME:$USER_NAME" "/home/$USER_NAME/orlex"

echo "== a user without sudo: make test names the command to run as root"
in_fresh sudo.log sh -c 'command -v sudo' && echo "check-fresh: note: this system has sudo"
if in_fresh user-make-test.log runuser -l "$USER_NAME" -c 'cd orlex && make test'; then
  fail "make test as a user on a bare system passed: it cannot have installed anything"
fi
grep -q "su -c '/home/$USER_NAME/orlex/scripts/install-deps.sh native'" "$log_dir/user-make-test.log" ||
  fail "make test as a user does not name the su -c command (log: $log_dir/user-make-test.log)"
timed "make test as a user (stops, naming su -c)"

echo "== as root: make test installs what it needs, builds, and runs every test"
if ! in_fresh make-test.log sh -c 'cd /root/orlex && make test'; then
  tail -40 "$log_dir/make-test.log"
  fail "make test as root failed (log: $log_dir/make-test.log)"
fi
timed "make test as root (install, build, tests)"
grep -E "tests passed|tests failed" "$log_dir/make-test.log" | tail -1
if grep -q "The following tests did not run" "$log_dir/make-test.log"; then
  sed -n '/The following tests did not run/,/^$/p' "$log_dir/make-test.log"
  fail "tests were skipped"
fi

echo "== as root, the web part into the user's checkout: nothing there belongs to root"
in_fresh web-part.log sh -c "cd /home/$USER_NAME/orlex && scripts/install-deps.sh web" ||
  fail "the web part did not install into the user's checkout (log: $log_dir/web-part.log)"
[ -d "$root/home/$USER_NAME/orlex/tests/web/browser/node_modules/playwright-core" ] ||
  fail "the web part left no playwright-core in the user's checkout"
owned=$(find "$root/home/$USER_NAME" -user 0 | head -5)
[ -z "$owned" ] || fail "root owns files in the user's home: $owned"
timed "the web part into a user's checkout"

echo "== make run: the dashboard first, and the plug-in on 127.0.0.1 only"
hostport=$(pick_hostport) || hostport=27015
plugin_port=$((hostport + 13000))
setsid env -i "${fresh_env[@]}" WEB_LISTEN=127.0.0.1:0 HOSTPORT="$hostport" \
  chroot "$root" sh -c 'cd /root/orlex && make run RUN_ARGS="--duration 120"' > "$log_dir/make-run.log" 2>&1 < /dev/null &
stage_pid=$!
dashboard=""
for ((waited = 0; waited < 600 && ${#dashboard} == 0; waited++)); do
  sleep 0.2
  dashboard=$(sed -n 's|^orlex_web: the dashboard is at http://\([0-9.]*:[0-9]*\)/ .*|\1|p' "$log_dir/make-run.log")
  kill -0 "$stage_pid" 2>/dev/null || break
done
if [ -z "$dashboard" ]; then
  fail "make run printed no dashboard address (log: $log_dir/make-run.log)"
else
  head -1 "$log_dir/make-run.log" | grep -q '^orlex_web: the dashboard is at' ||
    fail "make run's first line is not the dashboard's address: $(head -1 "$log_dir/make-run.log")"
  http_answers "${dashboard%:*}" "${dashboard#*:}" || fail "the dashboard at $dashboard does not answer"
  for ((waited = 0; waited < 150 && $(listeners_on "$plugin_port" | wc -l) == 0; waited++)); do sleep 0.2; done
  bound_to_loopback_only "$plugin_port" ||
    fail "the plug-in's port $plugin_port is not bound to 127.0.0.1 only: $(listeners_on "$plugin_port" | tr '\n' ' ')(hex)"
  grep -q "the plug-in listens on 127.0.0.1:$plugin_port " "$log_dir/make-run.log" ||
    fail "the simulated server's start line does not name 127.0.0.1:$plugin_port"
fi
kill -TERM -- "-$stage_pid" 2>/dev/null
wait "$stage_pid" 2>/dev/null
stage_pid=""
timed "make run checked"

echo "== check-fresh: times"
printf '%s\n' "${times[@]}"
if [ "$failures" -gt 0 ]; then
  echo "check-fresh: $failures check(s) failed (logs in $log_dir)"
  exit 1
fi
echo "check-fresh: the two commands keep their promise on a fresh Debian 12"
