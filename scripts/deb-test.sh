#!/usr/bin/env bash
# The Debian package as a user gets it: built (scripts/deb.sh), checked by lintian (no error or
# warning), installed with dpkg into a throw-away root, and run from there: --version, --version
# --json, a scan of virtual drives and the manual page.
#   deb-test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deb.sh "$@" >/dev/null
version=$(bash scripts/release-version.sh)
deb=dist/orvane-cli_${version}_amd64.deb
fail() { echo "deb-test: $*" >&2; exit 1; }

tags=$(lintian "$deb" 2>/dev/null | grep -E '^[EW]: ' || true)
[ -z "$tags" ] || fail "lintian: $tags"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The libraries it depends on are this machine's, not the throw-away root's.
dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless -i "$deb" >/dev/null 2>&1 || fail "dpkg -i failed"
grep -qx 'Status: install ok installed' <<<"$(dpkg --root="$root" -s orvane-cli)" || fail "dpkg did not install it"
cli=$root/usr/bin/orvane-cli
program=$(sed -n 's/^#define ORVANE_VERSION_TEXT "\(.*\)"$/\1/p' src/app/version_text.h)
[ "$("$cli" --version)" = "orvane-cli $program" ] || fail "--version says $("$cli" --version)"
grep -q "\"version\": \"$program\"" <<<"$("$cli" --version --json)" || fail "--version --json has no version"
scan=$(cd "$root" && "$cli" --virtual-only --virtual E=dvdram,G=hdd scan)
grep -q '^E: ' <<<"$scan" && grep -q '^G: ' <<<"$scan" || fail "the scan lists no virtual drives: $scan"
[ -f "$root/usr/share/man/man1/orvane-cli.1.gz" ] && [ -f "$root/usr/share/doc/orvane-cli/copyright" ] ||
  fail "the manual page or the copyright is missing"
echo "deb-test: $deb installs and runs ($(dpkg-deb -f "$deb" Depends))"
