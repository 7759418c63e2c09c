#!/usr/bin/env bash
# Builds the Debian package of the console front end: dist/orvane-cli_VERSION_amd64.deb, with
# /usr/bin/orvane-cli, its manual page and the README and copyright in /usr/share/doc/orvane-cli.
#   deb.sh [BUILD_DIR]   the native build that holds orvane-cli (build/native unless given)
# Every file takes the commit's time, so the same commit gives the same package.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
cli=$build/src/app/cli/orvane-cli
[ -x "$cli" ] || { echo "deb: $cli is not built (make native)" >&2; exit 1; }
version=$(bash scripts/release-version.sh)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
stamp="@$SOURCE_DATE_EPOCH"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
doc=$root/usr/share/doc/orvane-cli
install -d "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/man/man1" "$doc"
install -m 0755 "$cli" "$root/usr/bin/orvane-cli"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/orvane-cli"
gzip -9n < packaging/debian/orvane-cli.1 > "$root/usr/share/man/man1/orvane-cli.1.gz"
gzip -9n < README.md > "$doc/README.md.gz"
install -m 0644 packaging/debian/copyright "$doc/copyright"
date_rfc=$(date -u -R -d "$stamp")
printf 'orvane-cli (%s) unstable; urgency=medium\n\n  * Release %s of the console front end.\n\n -- %s  %s\n' \
  "$version" "$version" "$(sed -n 's/^Maintainer: //p' packaging/debian/control.in)" "$date_rfc" |
  gzip -9n > "$doc/changelog.gz"

# The libraries orvane-cli links, as dpkg-shlibdeps names them (it wants a debian/control).
mkdir -p "$work/src/debian"
printf 'Source: orvane\n\nPackage: orvane-cli\nArchitecture: amd64\n' > "$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O -e"$root/usr/bin/orvane-cli" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@DEPENDS@/$depends/" -e "s/@SIZE@/$size/" \
  packaging/debian/control.in > "$root/DEBIAN/control"
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum > DEBIAN/md5sums)
find "$root" -type d -exec chmod 0755 {} +
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums" "$root/usr/share/man/man1/orvane-cli.1.gz" "$doc"/*
find "$root" -exec touch -h -d "$stamp" {} +

mkdir -p dist
deb=dist/orvane-cli_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
sha256sum "$deb" | tee "$deb.sha256"
