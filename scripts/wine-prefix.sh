#!/usr/bin/env bash
# Creates the Wine prefix the Windows tests run in (once; later calls return at once). With
# ORVANE_WINE=/usr/lib/wine/wine and WINEARCH=win32 (scripts/wine32-run.sh) it is a 32-bit one.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-orvane}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] && exit 0
echo "setup: creating the Wine prefix $WINEPREFIX"
LANG=ja_JP.UTF-8 "${ORVANE_WINE:-/usr/lib/wine/wine64}" wineboot --init >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
