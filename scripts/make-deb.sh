#!/usr/bin/env bash
# The gateway's Debian package: dist/orlex-web_VERSION_amd64.deb, from the native build's
# orlex_web (stripped), the service and configuration in packaging/deb/, dependencies from the
# libraries it links (dpkg-shlibdeps). The version is the VERSION file's; files are dated by the
# last commit (or SOURCE_DATE_EPOCH), so one commit gives the same package.
#   scripts/make-deb.sh [BUILD] [DIST]   (defaults: build, dist)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dist=$(realpath -m "${2:-dist}")
version=$(tr -d ' \n' < VERSION)
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
source=packaging/deb
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/orlex-web
doc=$root/usr/share/doc/orlex-web

install -d "$root/DEBIAN" "$root/usr/bin" "$root/lib/systemd/system" "$root/etc/orlex-web" \
  "$doc" "$root/usr/share/man/man1"
install -m 0755 "$build/orlex_web" "$root/usr/bin/orlex_web"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/orlex_web"
install -m 0644 "$source/orlex-web.service" "$root/lib/systemd/system/orlex-web.service"
install -m 0644 "$source/servers.conf" "$source/options" "$root/etc/orlex-web/"
install -m 0644 "$source/copyright" "$source/README.Debian" "$doc/"
install -D -m 0644 "$source/lintian-overrides" "$root/usr/share/lintian/overrides/orlex-web"
gzip -9n < "$source/orlex_web.1" > "$root/usr/share/man/man1/orlex_web.1.gz"
chmod 0644 "$root/usr/share/man/man1/orlex_web.1.gz"
maintainer=$(sed -n 's/^Maintainer: //p' "$source/control.in")
printf 'orlex-web (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
  "$version" "$version" "$maintainer" "$(date -u -R -d "@$epoch")" | gzip -9n > "$doc/changelog.gz"
chmod 0644 "$doc/changelog.gz"
install -m 0755 "$source/postinst" "$source/prerm" "$source/postrm" "$root/DEBIAN/"
install -m 0644 "$source/conffiles" "$root/DEBIAN/conffiles"

# dpkg-shlibdeps reads a source package's control file: a minimal one, in the stage only.
mkdir -p "$stage/debian"
printf 'Source: orlex-web\n\nPackage: orlex-web\nArchitecture: amd64\n' > "$stage/debian/control"
shlibs=$(cd "$stage" && dpkg-shlibdeps -O "orlex-web/usr/bin/orlex_web" 2> "$stage/shlibdeps.log" |
  sed -n 's/^shlibs:Depends=//p') || { cat "$stage/shlibdeps.log"; exit 1; }
[ -n "$shlibs" ] || { echo "make-deb: dpkg-shlibdeps found no dependencies"; cat "$stage/shlibdeps.log"; exit 1; }
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) \
  > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"
size=$(du -k -s --exclude=DEBIAN "$root" | cut -f1)
sed -e "s|@VERSION@|$version|" -e "s|@INSTALLED_SIZE@|$size|" -e "s|@SHLIBS@|$shlibs|" \
  "$source/control.in" > "$root/DEBIAN/control"

find "$root" -exec touch -h -d "@$epoch" {} +
mkdir -p "$dist"
package=$dist/orlex-web_${version}_amd64.deb
SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --build "$root" "$package" > /dev/null
echo "make-deb: $package ($(sed -n 's/^Depends: //p' "$root/DEBIAN/control"))"
