#!/usr/bin/env bash
# Runs inside the guest, chrooted into the host's root (tests/kernel/wine-drives-suite.sh): the
# Windows console program of each bitness under Wine on QEMU's drives, the Linux orvane-cli on
# the same drives beside it, and the window of each bitness on a virtual display. Wine answers
# the program's device I/O controls with its own SG_IO code, so this is a second reading of the
# Windows structures against drives nobody here wrote. Results go to /tmp/results, one file per
# output (NAME.out, NAME.err, NAME.rc), for tests/kernel/wine-drives-check.sh to judge.
#   wine-drives-chroot.sh STAGE     STAGE holds orvane-cli, w64/ and w32/ (orvane-cli.exe,
#                                   orvane.exe), raw.img and roles ("ROLE|PRODUCT" per line)
set -u
stage=$1
r=/tmp/results
mkdir -p "$r"
export HOME=/tmp/home TMPDIR=/tmp PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mkdir -p "$HOME"

# run NAME COMMAND...: standard output, error output and exit status of the command.
run() {
  local name=$1
  shift
  timeout "${RUN_SECONDS:-300}" "$@" > "$r/$name.out" 2> "$r/$name.err" < /dev/null
  echo $? > "$r/$name.rc"
}
# The MD5 of a whole device, read past the page cache (the commands write through SG_IO).
device_md5() { blockdev --flushbufs "$1"; md5sum < "$1" | cut -d' ' -f1; }

# The device node of each role, by the INQUIRY product the host gave it (sysfs model).
declare -A dev
while IFS='|' read -r role product; do
  for _ in $(seq 300); do
    for b in /sys/block/sd* /sys/block/sr*; do
      [ "$(sed 's/ *$//' "$b/device/model" 2> /dev/null)" == "$product" ] && dev[$role]=/dev/${b##*/}
    done
    [ -n "${dev[$role]:-}" ] && break
    sleep 0.1
  done
  echo "$role ${dev[$role]:-missing}" >> "$r/nodes"
done < "$stage/roles"
# The prefix's drive links (dosdevices/d:: and the like) name these stable paths.
mkdir -p /tmp/orvane-dev
for role in "${!dev[@]}"; do ln -sfn "${dev[$role]}" "/tmp/orvane-dev/$role"; done

# --- The Linux build on the same drives.
cli=$stage/orvane-cli
run linux.scan "$cli" scan
for role in dvd disk empty; do run "linux.info.$role" "$cli" info "${dev[$role]}"; done
run linux.summary.disk "$cli" summary "${dev[disk]}"
# The emulated CPU can stall a read past the usual 100 ms; only the medium's errors are asked.
run linux.surface.disk "$cli" surface "${dev[disk]}" --slow 5000
echo "$(device_md5 "${dev[disk]}")" > "$r/disk.md5.before"

# --- Wine: one persistent wineserver per bitness, warmed up once, ended with -k (a server left
# running keeps the output pipe open and the guest never powers off).
Xvfb :7 -screen 0 1024x768x24 -nolisten tcp > /tmp/xvfb.log 2>&1 &
xvfb=$!
export DISPLAY=:7
for _ in $(seq 100); do [ -S /tmp/.X11-unix/X7 ] && break; sleep 0.1; done
export WINEPREFIX=/tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
for bits in ${BITNESS:-64 32}; do
  w=w$bits
  loader=/usr/lib/wine/wine64
  [ "$bits" == 32 ] && loader=/usr/lib/wine/wine
  exe=$stage/$w/orvane-cli.exe
  start=$SECONDS
  /usr/lib/wine/wineserver -p
  "$loader" cmd /c exit > /dev/null 2>&1 < /dev/null
  echo "$w: Wine's services running after $((SECONDS - start)) s" >> "$r/timing"
  run "$w.scan" "$loader" "$exe" scan
  run "$w.summary.disk" "$loader" "$exe" summary E:
  run "$w.summary.empty" "$loader" "$exe" summary F:
  for role in dvd:D disk:E empty:F; do run "$w.info.${role%:*}" "$loader" "$exe" info "${role#*:}:"; done
  # A trace of the report under Wine, for the host to replay.
  run "$w.trace.dvd" "$loader" "$exe" --trace "Z:\\tmp\\results\\$w.dvd.jsonl" info D:
  run "$w.bench.dvd" "$loader" "$exe" bench D: --yes
  run "$w.bench.empty" "$loader" "$exe" bench F: --yes
  # The erase with backup, then the backup written back: the disk must read as before.
  run "$w.erase.disk" "$loader" "$exe" erase E: --backup "Z:\\tmp\\$w.ovi" --yes
  cp "/tmp/$w.ovi" "$r/$w.erase.ovi" 2> /dev/null
  echo "$(device_md5 "${dev[disk]}")" > "$r/$w.disk.md5.erased"
  run "$w.write.disk" "$loader" "$exe" write E: "Z:\\tmp\\$w.ovi" --yes
  echo "$(device_md5 "${dev[disk]}")" > "$r/$w.disk.md5.after"
  # The surface scan and the speed curve through Wine's pass-through.
  run "$w.surface.disk" "$loader" "$exe" surface E: --slow 5000
  run "$w.curve.dvd" "$loader" "$exe" bench D: --curve "Z:\\tmp\\results\\$w.curve.svg" --points 20 --json
  # A read-only medium and an empty drive: the program's messages, nothing written.
  run "$w.erase.dvd" "$loader" "$exe" erase D: --backup "Z:\\tmp\\$w.dvd.ovi" --yes
  run "$w.write.dvd" "$loader" "$exe" write D: "Z:${stage//\//\\}\\raw.img" --yes
  run "$w.erase.empty" "$loader" "$exe" erase F: --no-backup --yes
  echo "$w: console set in $((SECONDS - start)) s" >> "$r/timing"

  # The window: the main window after its start-up scan, photographed.
  "$loader" "$stage/$w/orvane.exe" > /dev/null 2>&1 < /dev/null &
  title="Orvane - DVD-RAM Utility"
  for _ in $(seq 300); do xdotool search --name "^$title\$" > /dev/null 2>&1 && break; sleep 0.2; done
  # The start-up scan's box comes after the main window and goes when the walk is done.
  for i in $(seq 100); do xdotool search --name "^Scan Device...\$" > /dev/null 2>&1 && break; sleep 0.2; done
  echo "$w: scan box seen after $i polls" >> "$r/timing"
  for _ in $(seq 600); do xdotool search --name "^Scan Device...\$" > /dev/null 2>&1 || break; sleep 0.2; done
  sleep 5
  import -window root "$r/$w.window.png" 2> "$r/$w.window.err"
  /usr/lib/wine/wineserver -k
  /usr/lib/wine/wineserver -w
  echo "$w: window in $((SECONDS - start)) s" >> "$r/timing"
done
kill $xvfb 2> /dev/null
echo "$(device_md5 "${dev[disk]}")" > "$r/disk.md5.end"
exit 0
