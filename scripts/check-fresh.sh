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
. "$checkout/scripts/fresh-debian.sh"
can_run() { fresh_can_run check-fresh; }

if [ "${1:-}" = "--can-run" ]; then
  can_run
  exit
fi
can_run || exit 2

root=${1:-/var/tmp/orlex-fresh}
root=$(realpath -m "$root")
log_dir="$root.logs"
stage_pid=""

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

[ -z "$(git -C "$checkout" status --porcelain --untracked-files=no)" ] ||
  echo "check-fresh: note: uncommitted changes are not checked; the clone has the last commit only"
remove_root
mkdir -p "$log_dir"

echo "== check-fresh: a minimal Debian 12 in $root (logs in $log_dir)"
if ! make_fresh_debian "$log_dir/debootstrap.log" git,make; then
  tail -20 "$log_dir/debootstrap.log"
  echo "check-fresh: FAILED: debootstrap did not make the system"
  exit 1
fi
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
