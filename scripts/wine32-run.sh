#!/usr/bin/env bash
# The CTest emulator of the win32 build: runs a 32-bit Windows executable under Wine's 32-bit
# loader, in a 32-bit prefix, with the locale and settings of scripts/wine-run.sh. It needs a
# kernel that runs 32-bit code; this machine's does not, so scripts/qemu/win32-test.sh runs the
# win32 tests in a guest kernel that does.
here=$(dirname "$0")
export ORVANE_WINE=${ORVANE_WINE:-/usr/lib/wine/wine} WINEARCH=win32
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-orvane32}
if [ ! -x "$ORVANE_WINE" ]; then
  echo "wine32-run: $ORVANE_WINE is missing (the wine32:i386 package; scripts/setup.sh installs it)" >&2
  exit 1
fi
"$here/wine-run.sh" "$@"
status=$?
if [ $status -eq 126 ]; then
  echo "wine32-run: this kernel cannot run 32-bit programs; scripts/qemu/win32-test.sh runs them in a guest" >&2
fi
exit $status
