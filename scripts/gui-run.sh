#!/usr/bin/env bash
# Runs the Windows program under Wine on the current display, with virtual drives and a
# Japanese locale. ORVANE_VIRTUAL_DRIVES may be set to other drives; by default a DVD-RAM
# drive (E:), a DVD-ROM drive (F:), a hard disk (G:) and an empty drive (H:) are offered.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build/win64/src/app/orvane.exe}
if [ ! -f "$exe" ]; then
  echo "gui: $exe is missing; build it with: cmake --preset win64 && cmake --build --preset win64 --target orvane" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "gui: no display (DISPLAY is empty); use scripts/gui-screenshots.sh for a run without one" >&2
  exit 1
fi
export ORVANE_VIRTUAL_DRIVES=${ORVANE_VIRTUAL_DRIVES:-E=dvdram,F=dvdrom,G=hdd,H=nodisc}
bash scripts/wine-prefix.sh
exec scripts/wine-run.sh "$exe"
