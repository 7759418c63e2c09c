#!/usr/bin/env bash
# Builds the Windows release files: dist/orvane-VERSION-win32.zip (the product's own platform)
# and dist/orvane-VERSION-win64.zip, each with orvane.exe, orvane-cli.exe, the help page, a
# read-me in Japanese and English, and the licence, and a .sha256 file beside each.
#   dist.sh [win32|win64]...   both unless named
# The zips are reproducible: the executables link without a time stamp or a build path, and the
# entries are sorted and carry the commit's time.
set -euo pipefail
cd "$(dirname "$0")/.."
bitnesses=("$@")
[ ${#bitnesses[@]} -gt 0 ] || bitnesses=(win32 win64)
version=$(bash scripts/release-version.sh)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
mkdir -p dist

for bits in "${bitnesses[@]}"; do
  bash scripts/build.sh "$bits" orvane orvane-cli
  app=build/$bits/src/app
  name=orvane-$version-$bits
  stage=$(mktemp -d)
  mkdir "$stage/$name"
  cp "$app/orvane.exe" "$app/cli/orvane-cli.exe" src/app/res/orvane.htm "$stage/$name/"
  # Text files as a Windows user reads them: CR LF; the read-me in Shift-JIS, as the program.
  sed "s/@VERSION@/$version/" packaging/windows/README.txt | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$stage/$name/README.txt"
  sed 's/$/\r/' LICENSE > "$stage/$name/LICENSE.txt"
  python3 scripts/reproducible-zip.py "dist/$name.zip" "$stage" "$name"
  rm -rf "$stage"
  (cd dist && sha256sum "$name.zip" | tee "$name.zip.sha256")
done
