#!/usr/bin/env bash
# Creates (once) the Wine prefix the windows of the program are tested and photographed in:
# the project's usual prefix, but with Wine drawing the window frames itself ("Managed"=N), as
# Windows does. A virtual display has no window manager: in a managed prefix there is no title
# bar to see, and Wine waits two seconds on every window it hides for a manager that never
# answers. Usage: gui-prefix.sh PREFIX
set -euo pipefail
prefix=${1:?usage: gui-prefix.sh PREFIX}
export WINEPREFIX=$prefix
marker=$prefix/.orvane-unmanaged
[ -f "$marker" ] && exit 0
bash "$(dirname "$0")/wine-prefix.sh"
WINEDEBUG=-all "${ORVANE_WINE:-/usr/lib/wine/wine64}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w 2>/dev/null || true
touch "$marker"
