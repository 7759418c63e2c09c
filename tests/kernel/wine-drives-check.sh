#!/usr/bin/env bash
# The host half of the Wine drive checks: judges what tests/kernel/wine-drives-chroot.sh sent
# from the guest. The Windows program under Wine must say about each drive what the Linux build
# says about the same drive in the same guest (identification, capacity, mode pages, features:
# the same decoded lines), list the drives QEMU was given, replay its own trace to the same
# report, give the disk back byte for byte after an erase and the write of its backup, and meet
# a read-only disc and an empty drive with its messages. One line per failed check; exit status
# 1 when any failed.
#   wine-drives-check.sh WORK CLI BITNESS   WORK holds results/, disk.img and disk.orig.img; CLI
#                                           is the host's orvane-cli (for the replay)
set -uo pipefail
work=$1 cli=$2 bitness=$3
r=$work/results
checks=0 failures=0

fail() { failures=$((failures + 1)); echo "FAIL $1"; }
expect() {  # NAME ACTUAL EXPECTED
  checks=$((checks + 1))
  [ "$2" == "$3" ] && return 0
  fail "$1"
  diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed -n '2,12s/^/    /p'
  return 1
}
expect_rc() { expect "$1 exit status" "$(cat "$r/$1.rc" 2> /dev/null || echo missing)" "$2"; }
# A result's text: CR LF line ends as LF, the Windows console's code page 932 as UTF-8.
text() {
  local f=$r/$1
  [ -f "$f" ] || return 0
  if iconv -f UTF-8 -t UTF-8 "$f" > /dev/null 2>&1; then tr -d '\r' < "$f"; else iconv -f CP932 -t UTF-8 "$f" | tr -d '\r'; fi
}
# A report without its drive letter and without the geometry lines, which come from
# IOCTL_DISK_GET_DRIVE_GEOMETRY: Wine does not answer it for these devices.
decoded() { sed '1s/^[A-Z]: //' | grep -vE '^(Media Type|Cylinder/Track/Sector:Size) '; }
# The scan's rows without their letters, in identification order.
scan_rows() { tail -n +2 | cut -c9- | sed 's/ *$//' | sort; }

declare -A letter=([dvd]=D [disk]=E [empty]=F)
declare -A ident=([dvd]='ORVQA    WINE DVD         2.34' [disk]='ORVQA    WINE DISK        1.23'
                  [empty]='ORVQA    WINE EMPTY       3.45')
# The rows QEMU's devices must give (type, RMB/FIX, size as the program writes them).
expected_scan=$(printf '%s\n' \
  "ORVQA    WINE DISK        1.23  Direct access device    FIX    67.1M" \
  "ORVQA    WINE DVD         2.34  CD/DVD-ROM device       RMB     4.7G" \
  "ORVQA    WINE EMPTY       3.45  CD/DVD-ROM device       RMB" | sort)

expect_rc linux.scan 0
expect "linux.scan rows" "$(text linux.scan.out | scan_rows)" "$expected_scan"
before=$(cat "$r/disk.md5.before" 2> /dev/null)
expect "the disk before the Windows program" "$before" "$(md5sum < "$work/disk.orig.img" | cut -d' ' -f1)"

for bits in $bitness; do
  w=w$bits
  expect_rc "$w.scan" 0
  expect "$w.scan rows" "$(text "$w.scan.out" | scan_rows)" "$expected_scan"
  for role in dvd disk empty; do
    expect_rc "$w.info.$role" 0
    expect "$w.info.$role identification" "$(text "$w.info.$role.out" | head -1)" "${letter[$role]}: ${ident[$role]}"
    expect "$w.info.$role decoded as the Linux build decodes it" "$(text "$w.info.$role.out" | decoded)" \
      "$(text "linux.info.$role.out" | decoded)"
  done
  expect_rc "$w.summary.disk" 0
  expect "$w.summary.disk as the Linux build's" "$(text "$w.summary.disk.out" | sed '1s/^[A-Z]: //')" \
    "$(text linux.summary.disk.out | sed '1s/^[A-Z]: //')"
  expect "$w.summary.empty" "$(text "$w.summary.empty.out")" "F: ${ident[empty]}"

  # The trace taken under Wine holds the data: it replays to the report Wine showed.
  expect_rc "$w.trace.dvd" 0
  expect "$w.trace.dvd replays to the same report" \
    "$("$cli" --virtual-only --virtual "D=replay:$r/$w.dvd.jsonl" info D: 2>&1 | tr -d '\r')" "$(text "$w.info.dvd.out")"

  expect_rc "$w.bench.dvd" 0
  # The erase with backup and the backup written back: zeros between, the disk as it was after.
  expect_rc "$w.erase.disk" 0
  checks=$((checks + 1))
  [ "$(cat "$r/$w.disk.md5.erased" 2> /dev/null)" != "$before" ] || fail "$w.erase.disk left the disk as it was"
  expect_rc "$w.write.disk" 0
  expect "$w: the disk after erase and write-back" "$(cat "$r/$w.disk.md5.after" 2> /dev/null)" "$before"

  # The surface scan finds what the Linux build finds on the same disk; the curve has its 20
  # points, every one read, drawn into well-formed XML.
  expect_rc "$w.surface.disk" 0
  expect "$w.surface.disk as the Linux build's" "$(text "$w.surface.disk.out")" "$(text linux.surface.disk.out)"
  expect_rc "$w.curve.dvd" 0
  expect "$w.curve.dvd has 20 points, each with a rate" \
    "$(text "$w.curve.dvd.out" | grep -c '"minBytesPerSecond": [1-9]')" 20
  expect "$w.curve.svg is well-formed XML" \
    "$(/usr/bin/python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1]); print("ok")' "$r/$w.curve.svg" 2>&1)" ok

  # A read-only disc and an empty drive: the program's failure and a message, never a crash.
  for run in bench.empty erase.dvd write.dvd erase.empty; do
    expect_rc "$w.$run" 1
    checks=$((checks + 1))
    [ -n "$(text "$w.$run.err")$(text "$w.$run.out")" ] || fail "$w.$run said nothing"
  done

  # The window at the top left of the screen: its list's first three rows (10-480, 50-110)
  # hold text, not the white of an empty list. The screenshot is there to be looked at.
  checks=$((checks + 1))
  shade=$(convert "$r/$w.window.png" -crop 470x60+10+50 +repage -colorspace gray -format '%[fx:mean]' info: 2> /dev/null)
  if awk -v m="${shade:-1}" 'BEGIN { exit !(m < 0.98) }'; then
    echo "kernel wine: the $w window lists drives: $r/$w.window.png"
  else
    fail "$w: the window's drive list is empty or missing (mean shade ${shade:-none}): $r/$w.window.png"
  fi
done

expect "the disk image on the host after the stage" "$(md5sum < "$work/disk.img")" "$(md5sum < "$work/disk.orig.img")"
echo "kernel wine: $checks checks, $failures failed"
[ $failures -eq 0 ]
