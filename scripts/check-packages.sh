#!/usr/bin/env bash
# The packages as operators install them (make release and make deb first, or make check-packages):
#   - the plug-in's archives: scripts/check-release.sh (the simulated server loads each one from a
#     game folder laid out as its README.txt says);
#   - lintian's findings on the gateway's package (an error fails);
#   - on a fresh Debian 12 (debootstrap, minimal): apt-get install ./orlex-web_*.deb installs it
#     with its dependencies from the archive; the service's user, the token and the rcon folder
#     readable by root and that user only; systemd-analyze verify accepts the unit and
#     systemd-analyze security scores it OK or better; orlex_web started as the unit starts it (its
#     user, its command line, the packaged configuration) serves the page with the token and
#     refuses it without; purging removes the token and the recordings.
# It prints the time each step took.
#   scripts/check-packages.sh [FOLDER]   as root; FOLDER (default /var/tmp/orlex-packages) is made
#                                        anew and removed at the end (KEEP_FRESH=1 keeps it)
#   scripts/check-packages.sh --can-run  exits 0 when this machine can run the chroot part
set -uo pipefail
checkout=$(cd "$(dirname "$0")/.." && pwd)
MIRROR=${FRESH_MIRROR:-http://deb.debian.org/debian}
SECURITY_MIRROR=${FRESH_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
MARK=.orlex-packages
. "$checkout/scripts/ports.sh"
. "$checkout/scripts/fresh-debian.sh"

if [ "${1:-}" = "--can-run" ]; then
  fresh_can_run check-packages
  exit
fi
fresh_can_run check-packages || exit 2
version=$(tr -d ' \n' < "$checkout/VERSION")
package=$checkout/dist/orlex-web_${version}_amd64.deb
[ -f "$package" ] || { echo "check-packages: no $package (make deb)"; exit 2; }

root=$(realpath -m "${1:-/var/tmp/orlex-packages}")
log_dir="$root.logs"
stage_pid=""
finish() {
  [ -n "$stage_pid" ] && kill -TERM -- "-$stage_pid" 2>/dev/null
  stop_inside
  unmount_all
  if [ "${KEEP_FRESH:-0}" = 1 ]; then echo "check-packages: kept $root (logs in $log_dir)"; else remove_root; fi
}
trap finish EXIT
trap 'exit 130' INT TERM
failures=0
fail() { echo "check-packages: FAILED: $*"; failures=$((failures + 1)); }

echo "== check-packages: the plug-in's archives in a game folder"
"$checkout/scripts/check-release.sh" "$checkout/dist" || fail "the plug-in's archives (above)"
timed "the plug-in's archives loaded from a game folder"

echo "== check-packages: lintian"
if command -v lintian >/dev/null; then
  # Every tag, the informational and the overridden (with the package's reasons) too.
  lintian --display-info --show-overrides "$package" 2>&1 | grep -v 'root privileges is not recommended' |
    tee "$root.lintian" | sed 's/^/  /'
  grep -q '^E: ' "$root.lintian" && fail "lintian reports errors"
  rm -f "$root.lintian"
else
  fail "lintian is not installed (scripts/install-deps.sh packaging)"
fi
timed "lintian"

remove_root
mkdir -p "$log_dir"
echo "== check-packages: a minimal Debian 12 in $root (logs in $log_dir)"
if ! make_fresh_debian "$log_dir/debootstrap.log" ca-certificates; then
  tail -20 "$log_dir/debootstrap.log"
  echo "check-packages: FAILED: debootstrap did not make the system"
  exit 1
fi
timed "debootstrap"

echo "== apt-get install ./$(basename "$package")"
cp "$package" "$root/root/"
if ! in_fresh install.log sh -c "apt-get update -q && cd /root && apt-get install -y -q --no-install-recommends ./$(basename "$package")"; then
  tail -20 "$log_dir/install.log"
  echo "check-packages: FAILED: the package did not install"
  exit 1
fi
sed -n '/^The following NEW/,/^[0-9]* upgraded/p' "$log_dir/install.log" | sed 's/^/  /'
timed "apt-get install with its dependencies"

# OWNER:GROUP MODE of a path in the fresh system, by its own user names.
owned() { in_fresh stat.log stat -c '%U:%G %a' "$1" && cat "$log_dir/stat.log"; }
in_fresh user.log getent passwd orlex-web || fail "the package made no user orlex-web"
[ "$(owned /etc/orlex-web/token)" = "root:orlex-web 640" ] || fail "/etc/orlex-web/token is $(owned /etc/orlex-web/token)"
[ "$(owned /etc/orlex-web/rcon)" = "root:orlex-web 750" ] || fail "/etc/orlex-web/rcon is $(owned /etc/orlex-web/rcon)"
[ "$(wc -c < "$root/etc/orlex-web/token")" -ge 33 ] || fail "the token is short: $(wc -c < "$root/etc/orlex-web/token") bytes"
in_fresh conffiles.log dpkg-query -W -f='${Conffiles}\n' orlex-web
for conffile in /etc/orlex-web/servers.conf /etc/orlex-web/options; do
  grep -q " $conffile " "$log_dir/conffiles.log" || fail "$conffile is not a conffile"
done

echo "== systemd-analyze verify and security"
in_fresh systemd.log apt-get install -y -q --no-install-recommends systemd || fail "systemd did not install"
unit=/lib/systemd/system/orlex-web.service
# The manual the unit names is checked by its path: a minimal system has no man.
in_fresh verify.log systemd-analyze verify --man=no "$unit" || fail "systemd-analyze verify: $(cat "$log_dir/verify.log")"
[ -f "$root/usr/share/man/man1/orlex_web.1.gz" ] || fail "the manual the unit names is not installed"
[ ! -s "$log_dir/verify.log" ] || { sed 's/^/  /' "$log_dir/verify.log"; fail "systemd-analyze verify has findings"; }
in_fresh security.log systemd-analyze security --offline=true "$unit"
score=$(grep -o 'Overall exposure level.*' "$log_dir/security.log")
echo "  $score"
grep -Eq 'exposure level for orlex-web.service: [0-9.]+ (OK|SAFE)' <<< "$score" || fail "the unit scores: $score"
timed "the unit verified and scored"

echo "== orlex_web as the unit starts it"
port=$(pick_hostport)
command=$(sed -n 's/^ExecStart=//p' "$root$unit" | sed 's|%S|/var/lib|g')
[ -n "$command" ] || fail "the unit has no ExecStart"
# What systemd does before it starts the service: its state folder, its user, its umask; the
# options file's listen address moved to a free port.
in_fresh state.log install -d -o orlex-web -g orlex-web -m 0700 /var/lib/orlex-web
setsid env -i "${fresh_env[@]}" chroot "$root" runuser -u orlex-web -- sh -c \
  "umask 0077; . /etc/orlex-web/options; ORLEX_WEB_OPTIONS=\$(echo \"\$ORLEX_WEB_OPTIONS\" | sed 's/127.0.0.1:8080/127.0.0.1:$port/'); exec $command" \
  > "$log_dir/service.log" 2>&1 < /dev/null &
stage_pid=$!
for ((waited = 0; waited < 300 && $(listeners_on "$port" | wc -l) == 0; waited++)); do
  kill -0 "$stage_pid" 2>/dev/null || break
  sleep 0.1
done
token=$(head -1 "$root/etc/orlex-web/token")
status_of() {
  curl -s -o /dev/null -w '%{http_code}' --max-time 10 "$@" "http://127.0.0.1:$port/"
}
with_token=$(status_of -H "Authorization: Bearer $token")
without=$(status_of)
[ "$with_token" = 200 ] || fail "the page with the token answers $with_token (log: $(tail -5 "$log_dir/service.log"))"
[ "$without" = 401 ] || fail "the page without the token answers $without"
grep -q 'local' <<< "$(curl -s --max-time 10 -H "Authorization: Bearer $token" "http://127.0.0.1:$port/api/servers")" ||
  fail "the API does not list the packaged server 'local'"
grep -q "$token" "$log_dir/service.log" && fail "the token appears in the service's output"
[ "$(owned /var/lib/orlex-web/recordings)" = "orlex-web:orlex-web 700" ] ||
  fail "the recordings folder is $(owned /var/lib/orlex-web/recordings)"
echo "  the page: $with_token with the token, $without without"
kill -TERM -- "-$stage_pid" 2>/dev/null
wait "$stage_pid" 2>/dev/null
stage_pid=""
timed "the installed gateway serves the page"

echo "== apt-get purge"
in_fresh purge.log apt-get purge -y -q orlex-web || fail "the package did not purge"
for left in /etc/orlex-web /var/lib/orlex-web /usr/bin/orlex_web; do
  [ ! -e "$root$left" ] || fail "$left is left after purge"
done
timed "purged"

echo "== check-packages: times"
printf '%s\n' "${times[@]}"
if [ "$failures" -gt 0 ]; then
  echo "check-packages: $failures check(s) failed (logs in $log_dir)"
  exit 1
fi
echo "check-packages: the archives and the package install as an operator installs them"
