#!/usr/bin/env bash
# Prints the version a release file carries: the program's own version (src/app/version_text.h,
# the about box's), with '#' written '+' since file names and package versions do not take '#', and
# "+g" and the commit when the checkout is not the commit the release tag names. A release is cut
# by tagging its commit "v" and that version (git tag v1.01a+03) after raising the version text.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(sed -n 's/^#define ORVANE_VERSION_TEXT "\(.*\)"$/\1/p' src/app/version_text.h)
[ -n "$program" ] || { echo "release-version: no ORVANE_VERSION_TEXT in src/app/version_text.h" >&2; exit 1; }
version=${program//#/+}
head=$(git rev-parse --verify -q HEAD 2>/dev/null || true)
tagged=$(git rev-parse --verify -q "refs/tags/v$version^{commit}" 2>/dev/null || true)
if [ -n "$head" ] && [ "$head" != "$tagged" ]; then
  version="$version+g$(git rev-parse --short=12 HEAD)"
fi
echo "$version"
