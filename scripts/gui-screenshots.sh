#!/usr/bin/env bash
# Runs the Windows program under Wine on a virtual display (Xvfb) with virtual drives and saves
# screenshots into the build folder: the main window after the start-up scan, the same
# with a drive chosen, the drive information window (a hex dump, a decoded mode page), the about
# box and the exit question. Usage: gui-screenshots.sh [orvane.exe] [out dir]
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build/win64/src/app/orvane.exe}
out=${2:-build/win64/screenshots}
if [ -z "${ORVANE_IN_XVFB:-}" ]; then
  export ORVANE_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$exe" "$out"
fi
mkdir -p "$out"
export ORVANE_VIRTUAL_DRIVES=${ORVANE_VIRTUAL_DRIVES:-E=dvdram,F=dvdrom,G=hdd,H=nodisc}
# A prefix of its own, where Wine draws the window frames itself: a virtual display has no
# window manager to draw title bars, and the screenshots should show the window as a user does.
export WINEPREFIX=${ORVANE_GUI_PREFIX:-$PWD/build/win64/wine-gui}
bash scripts/gui-prefix.sh "$WINEPREFIX"
title="Orvane - DVD-RAM Utility"

scripts/wine-run.sh "$exe" &
program=$!
trap 'kill $program 2>/dev/null || true' EXIT

wait_for() {  # wait_for COMMAND...: up to 30 s
  for _ in $(seq 150); do "$@" >/dev/null 2>&1 && return 0; sleep 0.2; done
  return 1
}
wait_for xdotool search --name "^$title\$" || { echo "gui: the main window did not appear" >&2; exit 1; }
window=$(xdotool search --name "^$title\$" | head -1)
# The scan's progress box closes when the walk is done.
sleep 1
wait_for bash -c '! xdotool search --name "^Scan Device...$"'
sleep 1
# The screen around the program's windows is cut away: shot NAME [WINDOW], the main window
# unless another is named.
shot() {
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "${2:-$window}")
  local X Y WIDTH HEIGHT
  eval "$geometry"
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X > 20 ? X - 20 : 0))+$((Y > 20 ? Y - 20 : 0))" +repage "$out/$1.png"
  echo "gui: wrote $out/$1.png"
}
shot main-after-scan

# Choose the first drive: the list has the focus after the scan; Down chooses its first row.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" || true
xdotool key --window "$window" Down
sleep 1.5
shot main-drive-chosen

# The drive information window of the chosen drive: Tab leaves the list for the first button,
# Tab again reaches "ドライブ情報", Return presses it. The report window has the application's
# title too; it is the one that is not the main window.
xdotool key --window "$window" Tab Tab Return
report_window() {
  local found
  # A search can meet a window that goes while it is read (the progress box): such a search
  # fails and is tried again.
  found=$(xdotool search --name "^$title\$" 2>/dev/null | grep -vx "$window" | head -1) || return 1
  [ -n "$found" ] && echo "$found"
}
# The progress box has the same title: the window is looked for again once it has gone.
if wait_for report_window && sleep 1.5 && report=$(report_window); then
  # The section list has the keyboard: the mode parameter head with its hex dump (the second
  # row), then the MM capabilities page decoded (the ninth) under the list of mode pages.
  xdotool key --window "$report" Home Down
  sleep 0.7
  shot report-hex-dump "$report"
  xdotool key --window "$report" Down Down Down Down Down Down Down
  sleep 0.7
  shot report-mode-page "$report"
  # The window goes between the key's press and its release; the release then finds no window.
  xdotool key --window "$report" alt+F4 2>/dev/null || true
  for _ in $(seq 25); do report_window || break; sleep 0.2; done
  sleep 0.5
else
  echo "gui: the drive information window did not appear" >&2
fi

# The about box, from the keyboard: Alt+H, second item.
xdotool key --window "$window" alt+h
sleep 0.7
xdotool key Down Down Return
if wait_for xdotool search --name "について\$"; then
  sleep 1
  shot about
  xdotool key Return
  sleep 1
fi

# The close box asks the exit question.
xdotool key --window "$window" alt+F4
wait_for xdotool search --name "^確認\$" || { echo "gui: the exit question did not appear" >&2; exit 1; }
sleep 1
shot exit-question
# Yes has the focus in the question.
xdotool key Return
for _ in $(seq 50); do kill -0 $program 2>/dev/null || break; sleep 0.2; done
if kill -0 $program 2>/dev/null; then echo "gui: the program did not end after Yes" >&2; exit 1; fi
trap - EXIT
wait $program
