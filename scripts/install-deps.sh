#!/usr/bin/env bash
# Installs what the build variants need, in parts; a part that cannot install never stops the
# others. Safe to run again.
#   scripts/install-deps.sh [PART...]        install these parts (default: all), as root, through sudo,
#                                            or with su -c '...' where there is no sudo
#   scripts/install-deps.sh --ensure PART    install it if something is missing (as root), else say
#                                            the one command to run; used by make test and make run
# Nothing it makes in the checkout belongs to root: npm runs as the checkout's owner.
# Parts: native, postgresql, i386, windows, wine, tools, web, packaging (not among the default ones: only make
# deb and make check-packages need it, and they install it). Exit 1 when a part asked for is still incomplete.
set -u
export DEBIAN_FRONTEND=noninteractive
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
SELF="$PWD/scripts/install-deps.sh"
OWNER=$(stat -c %U .)
# A comma-decimal locale, so that the test that reads numbers under one runs.
COMMA_LOCALE=de_DE.UTF-8

# The command a user who is not root runs: a minimal Debian has su but no sudo.
as_root_command() {
  if command -v sudo >/dev/null; then echo "sudo $SELF $*"; else echo "su -c '$SELF $*'"; fi
}
ALL_PARTS="native postgresql i386 windows wine tools web"

# --- native: the native build, its tests and benchmarks (valgrind's header marks what callgrind
# counts), the admin client and the gateway (OpenSSL: its token hashes and webhooks' HTTPS; SQLite and libpq: its history;
# python3: make run's alert receiver).
NATIVE="build-essential cmake make binutils libgtest-dev libgmock-dev libbenchmark-dev valgrind libboost1.81-dev libcli11-dev zlib1g-dev libssl-dev libsqlite3-dev libpq-dev openssl python3 locales"
# --- postgresql: the server the history's tests on PostgreSQL start a cluster of their own with
# (initdb, pg_ctl; no system service is used). A part of its own: where it cannot be installed,
# those tests say so and are skipped, and the rest of the native build stands.
POSTGRESQL="postgresql-15"
# --- i386: the 32-bit Linux library (what real servers load) and its tests; qemu runs them where
# the kernel cannot run 32-bit programs itself.
I386="g++-multilib libgtest-dev:i386 libgmock-dev:i386 qemu-user"
# --- windows: the Windows DLL (32-bit), the 64-bit Windows build that runs under a 64-bit Wine, and
# GoogleTest's sources, which the Windows tests build with MinGW; zip and unzip for the Windows
# release archive (make release, checked by make smoke).
WINDOWS="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest zip unzip"
# --- wine: runs the Windows builds for the smoke test.
WINE="wine wine32:i386 wine64"
# --- tools: fuzzing (libFuzzer comes with clang), make lint (clang-format, clang-tidy), and debootstrap, with which scripts/check-fresh.sh
# makes a fresh Debian 12.
TOOLS="clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14 debootstrap"
# --- web: the dashboard's browser test: Debian's chromium, node and npm (a node that brings its own
# npm counts), and playwright-core from npm (tests/web/browser, locked), which never downloads a browser.
WEB="chromium prometheus"
# --- packaging: make deb (dpkg-shlibdeps), make check-packages (lintian, debootstrap,
# systemd-analyze, curl).
PACKAGING="dpkg-dev lintian debootstrap systemd curl"

packages_of() {
  case "$1" in
    native) echo "$NATIVE" ;; postgresql) echo "$POSTGRESQL" ;; i386) echo "$I386" ;; windows) echo "$WINDOWS" ;;
    wine) echo "$WINE" ;; tools) echo "$TOOLS" ;; packaging) echo "$PACKAGING" ;; web) echo "$WEB $(command -v node >/dev/null || echo nodejs) $(command -v npm >/dev/null || echo npm)" ;;
  esac
}

missing() {
  local p out=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out="$out $p"
  done
  echo "$out"
}

missing_in() {
  local out
  out=$(missing $(packages_of "$1"))
  if [ "$1" = web ] && [ ! -d tests/web/browser/node_modules/playwright-core ]; then out="$out playwright-core(npm)"; fi
  if [ "$1" = native ] && ! has_comma_locale; then out="$out $COMMA_LOCALE(locale)"; fi
  echo "$out"
}

has_comma_locale() {
  locale -a 2>/dev/null | grep -qix "${COMMA_LOCALE%.UTF-8}.utf8"
}

# Through locale.gen, so that a later locale-gen keeps it.
install_comma_locale() {
  has_comma_locale && return 0
  $SUDO sh -c "sed -i 's/^# *\($COMMA_LOCALE UTF-8\)/\1/' /etc/locale.gen
    grep -q '^$COMMA_LOCALE UTF-8' /etc/locale.gen || echo '$COMMA_LOCALE UTF-8' >> /etc/locale.gen
    locale-gen"
}

# The browser test's npm packages, locked, as the checkout's owner, which root may not be.
install_npm_part() {
  command -v npm >/dev/null && [ ! -d tests/web/browser/node_modules/playwright-core ] || return 0
  local run=()
  if [ "$(id -u)" -eq 0 ] && [ "$OWNER" != root ]; then
    run=(runuser -u "$OWNER" -- env HOME="$(getent passwd "$OWNER" | cut -d: -f6)")
  fi
  (cd tests/web/browser && "${run[@]}" env PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --no-update-notifier --ignore-scripts)
}

updated=no
update_once() {
  [ "$updated" = yes ] && return
  updated=yes
  # One i386 index is known to be broken on these mirrors: update may fail and still be usable.
  $SUDO apt-get update -q || echo "install-deps: apt-get update reported an error; going on"
}

add_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 || { $SUDO dpkg --add-architecture i386 && updated=no; }
}

apt_install() {
  $SUDO apt-get install -y -q --no-install-recommends "$@"
}

install_wine() {
  local need=$1
  apt_install $need && return 0
  # Without the i386 security index, 32-bit Wine resolves only against the main archive.
  local pin
  pin=$(mktemp -d)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' > "$pin/security-low.pref"
  apt_install --no-remove -o Dir::Etc::PreferencesParts="$pin" $need
  local status=$?
  rm -rf "$pin"
  return $status
}

install_part() {
  local part=$1 need
  need=$(missing $(packages_of "$part"))
  if [ -n "$need" ]; then
    case "$part" in i386 | wine) add_i386 ;; esac
    update_once
    if [ "$part" = wine ]; then install_wine "$need"; else apt_install $need; fi
  fi
  if [ "$part" = native ]; then install_comma_locale; fi
  if [ "$part" = web ]; then install_npm_part; fi
}

if [ "${1:-}" = "--ensure" ]; then
  part=${2:?"--ensure needs a part"}
  need=$(missing_in "$part")
  [ -z "$need" ] && exit 0
  if [ "$(id -u)" -ne 0 ]; then
    # What needs no root (the npm packages) a user installs alone.
    [ "$part" = web ] && [ -z "$(missing $(packages_of web))" ] && install_npm_part >&2 && [ -z "$(missing_in web)" ] && exit 0
    echo "install-deps: the $part part is missing:$need; install it with: $(as_root_command "$part")" >&2
    exit 1
  fi
  echo "install-deps: the $part part is missing:$need; installing it"
  install_part "$part" >&2
  need=$(missing_in "$part")
  [ -z "$need" ] || { echo "install-deps: the $part part is still missing:$need" >&2; exit 1; }
  exit 0
fi

parts=${*:-$ALL_PARTS}
if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
  echo "install-deps: installing packages needs root, and sudo is not installed; run: $(as_root_command "$@")" >&2
  exit 1
fi
failed=""
for part in $parts; do
  echo "== install-deps: $part"
  install_part "$part"
  need=$(missing_in "$part")
  if [ -n "$need" ]; then
    echo "install-deps: part $part could not be installed; missing:$need" >&2
    failed="$failed $part"
  fi
done
if [ -n "$failed" ]; then
  echo "install-deps: incomplete parts:$failed (the others are installed)" >&2
  exit 1
fi
echo "install-deps: all packages present ($parts)"
