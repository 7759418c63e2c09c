#!/usr/bin/env bash
# Runs inside the guest, chrooted into the host's root (tests/kernel/win32-suite.sh): the
# win32 build's whole CTest list under Wine's 32-bit loader (the build's emulator,
# scripts/wine32-run.sh), GUI tests included on a virtual display. The 32-bit prefixes live in
# the build folder and are kept for the next run: build/win32/wine32 for the console tests,
# build/win32/wine-gui (the GUI tests' fixture) for the windows.
#   win32-chroot.sh REPO [CTEST-ARGS...]
set -uo pipefail
repo=$1
shift
cd "$repo" || exit 1
say() { echo "== $(date +%T) $*"; }

export HOME=/tmp/home TMPDIR=/tmp
mkdir -p "$HOME"
# A crash ends the test at once instead of waiting for a debugger until the time-out.
export ORVANE_WINE=/usr/lib/wine/wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX=$repo/build/win32/wine32
gui_prefix=$repo/build/win32/wine-gui
export LANG=ja_JP.UTF-8

# The virtual display for the windows. Xvfb compiles its keymap into /var/lib/xkb, a tmpfs here.
Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp > /tmp/xvfb.log 2>&1 &
xvfb=$!
export DISPLAY=:7
for _ in $(seq 100); do [ -S /tmp/.X11-unix/X7 ] && break; sleep 0.1; done
[ -S /tmp/.X11-unix/X7 ] || { say "Xvfb did not start"; cat /tmp/xvfb.log; exit 1; }

# A new 32-bit prefix takes minutes under TCG: the console tests' one is made once and kept;
# the GUI one starts as a copy of it (then gui-prefix.sh only switches the window frames).
start=$SECONDS
bash scripts/wine-prefix.sh || exit 1
if [ ! -f "$gui_prefix/system.reg" ]; then
  rm -rf "$gui_prefix" && cp -a "$WINEPREFIX" "$gui_prefix" || exit 1
fi
bash scripts/gui-prefix.sh "$gui_prefix" || exit 1
say "prefixes ready in $((SECONDS - start)) s"

# One persistent wineserver per prefix for the whole run: without it every test start would
# bring Wine's services up again. The services start here, once, away from CTest: a process
# that outlives its test keeps the test's output pipe open, and CTest waits for that pipe
# until the test's time-out.
for prefix in "$WINEPREFIX" "$gui_prefix"; do
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -p
  WINEPREFIX=$prefix "$ORVANE_WINE" cmd /c exit > /dev/null 2>&1 < /dev/null
done
say "Wine's services running"

start=$SECONDS
if [ -n "${ORVANE_WIN32_DEBUG:-}" ]; then
  bash -c "$ORVANE_WIN32_DEBUG" 2>&1
else
  ctest --test-dir build/win32 --output-on-failure -j "$(nproc)" "$@" 2>&1
fi
status=$?
say "ctest ended with $status after $((SECONDS - start)) s"

for prefix in "$WINEPREFIX" "$gui_prefix"; do
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2> /dev/null
done
kill $xvfb 2> /dev/null
exit $status
