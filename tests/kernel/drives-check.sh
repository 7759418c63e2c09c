#!/usr/bin/env bash
# The host half of the kernel drive checks: judges what tests/kernel/drives-suite.sh sent from
# the guest against the drive table, the partition table sfdisk wrote and sg3_utils' answers
# from the same guest. One line per failed check; exit status 1 when any failed.
#   drives-check.sh WORK TABLE CLI   WORK holds results/ and the disk's images (disk.img, the
#                                    original disk.orig.img) and partition dump (disk.sfdisk);
#                                    CLI is the host's orvane-cli, for reading the backups
set -uo pipefail
work=$1 table=$2 cli=$3
r=$work/results
fields=$(dirname "$0")/mode-fields.table
checks=0 failures=0

fail() { failures=$((failures + 1)); echo "FAIL $1"; }
# expect NAME ACTUAL EXPECTED: the two texts are equal.
expect() {
  checks=$((checks + 1))
  [ "$2" == "$3" ] && return 0
  fail "$1"
  diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed -n '2,12s/^/    /p'
  return 1
}
# expect_rc NAME CODE: the run NAME ended with CODE ("nonzero": any failure, not a time-out).
expect_rc() {
  local got
  got=$(cat "$r/$1.rc" 2> /dev/null || echo missing)
  if [ "$2" == nonzero ]; then
    checks=$((checks + 1))
    [[ $got != 0 && $got != 124 && $got != missing ]] && return 0
    fail "$1 exit status $got, expected a failure"
    return 1
  fi
  expect "$1 exit status" "$got" "$2"
}
out() { cat "$r/$1.out" 2> /dev/null; }
has() { [ -e "$r/$1.rc" ]; }

# --- Text helpers.
# The lines of report section TITLE in report FILE; LIST holds the report's titles (info --list).
# A section starts with its title after an empty line and ends before the next such title.
section() {
  awk -v want="$2" -v list="$3" '
    BEGIN { while ((getline t < list) > 0) titles[t] = 1 }
    { line[NR] = $0 }
    END {
      inside = 0
      for (i = 2; i <= NR; i++) {
        if (line[i - 1] == "" && (line[i] in titles)) { inside = line[i] == want; continue }
        if (inside && !(line[i] == "" && (line[i + 1] in titles))) print line[i]
      }
    }' "$1"
}
# The bytes of the report's hex dump lines in stdin, as lowercase hex without blanks.
dump_hex() {
  awk '/^[0-9A-F][0-9A-F][0-9A-F][0-9A-F]-[0-9A-F][0-9A-F][0-9A-F][0-9A-F]  / {
         n = split(substr($0, 12, 49), t, " ")
         for (i = 1; i <= n; i++) if (t[i] != "-") printf "%s", tolower(t[i])
       } END { print "" }'
}
# The value on the report line that starts with LABEL: the rest of the line without blanks,
# digit grouping and a unit; empty when there is no such line.
labelled() {
  awk -v label="$1" '
    substr($0, 1, length(label)) == label && substr($0, length(label) + 1, 1) == " " {
      v = substr($0, length(label) + 1); gsub(/^ +| +$/, "", v); gsub(/,/, "", v)
      if (v ~ /^(ON|OFF)$/) { print v; exit }
      if (v ~ /^[0-9]+[A-Za-z\/]*$/) { sub(/[A-Za-z\/]+$/, "", v); print v; exit }
    }'
}
# Every mode page in sg_modes' text output: one line per page, its bytes in lowercase hex.
sg_pages() {
  awk '/^>> / { if (page != "") print page; page = ""; inpage = 1; next }
       inpage && /^ [0-9a-f][0-9a-f]+ / { for (i = 2; i <= NF; i++) page = page $i; next }
       { if (page != "") print page; page = ""; inpage = 0 }
       END { if (page != "") print page }'
}
group() { echo "$1" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta'; }  # 1234567 -> 1,234,567

# --- The drives: table rows, their nodes and the letters the Linux port gives them (disks
# before optical drives, each in the kernel's order: sda < sdb < ... < sdz < sdaa).
declare -A node letter vendor product revision bytes blocklen typetext rmb sizetext
roles=()
while IFS='|' read -r role _ v p rev b bl t rm st; do
  [[ -z $role || $role == \#* ]] && continue
  roles+=("$role")
  vendor[$role]=$v product[$role]=$p revision[$role]=$rev bytes[$role]=$b blocklen[$role]=$bl
  typetext[$role]=$t rmb[$role]=$rm sizetext[$role]=$st
done < "$table"
while read -r role dev; do node[$role]=$dev; done < "$r/nodes"
code=67  # C
while read -r dev; do
  for role in "${roles[@]}"; do
    [ "${node[$role]:-}" == "$dev" ] && letter[$role]=$(printf "\\$(printf %o $code)"):
  done
  code=$((code + 1))
done < <(for dev in "${node[@]}"; do
           name=${dev#/dev/}
           printf '%s %d %s\n' "${name:0:2}" "${#name}" "$dev"
         done | sort -k1,1 -k2,2n -k3,3 | cut -d' ' -f3)
ident() { printf '%-8s %-16s %s' "${vendor[$1]}" "${product[$1]}" "${revision[$1]}"; }

for role in "${roles[@]}"; do
  checks=$((checks + 1))
  [[ ${node[$role]:-missing} != missing ]] || fail "the guest has no drive $role"
done

# --- scan: one row per drive with identification, type, RMB/FIX and size, in letter order.
scan_rows() {  # the rows of a scan table as NAME|IDENT|TYPE|RMB|SIZE, cut at the header's columns
  awk 'function trim(x) { gsub(/^ +| +$/, "", x); return x }
       NR == 1 { i = index($0, "Identification"); t = index($0, "Type"); m = index($0, "RMB"); next }
       { print trim(substr($0, 1, i - 1)) "|" trim(substr($0, i, t - i)) "|" trim(substr($0, t, m - t)) "|" \
               substr($0, m, 3) "|" trim(substr($0, m + 3)) }'
}
expected_scan=$(for role in "${roles[@]}"; do
                  echo "${letter[$role]}|$(ident "$role" | sed 's/ *$//')|${typetext[$role]}|${rmb[$role]}|${sizetext[$role]}"
                done | sort)
expect_rc scan 0
expect "scan rows" "$(out scan | scan_rows | sort)" "$expected_scan"
expect "scan header" "$(out scan | head -1)" "Drive   Identification                  Type                    RMB     Size"

# --- info of each drive beside sg_inq, sg_readcap, sg_modes and sg_get_config.
for role in "${roles[@]}"; do
  info=$r/info.$role.out list=$r/list.$role.out
  expect_rc "info.$role" 0
  expect "info.$role writes no error" "$(cat "$r/info.$role.err")" ""
  expect "info.$role identification" "$(head -1 "$info")" "${letter[$role]} $(ident "$role")"
  sg_ident=$(sed -n 's/^ Vendor identification: //p; s/^ Product identification: //p; s/^ Product revision level: //p' \
             "$r/inq.$role.out" | paste -sd' ')
  expect "info.$role identification beside sg_inq" "$(head -1 "$info" | cut -c4-)" "$sg_ident"
  sg_rmb=$(grep -o 'RMB=[01]' "$r/inq.$role.out")
  expect "scan RMB of $role beside sg_inq" "$sg_rmb" "RMB=$([ "${rmb[$role]}" == RMB ] && echo 1 || echo 0)"

  capacity=$(section "$info" "Capacity/Geometory" "$list")
  if [ "${bytes[$role]}" -gt 0 ]; then
    blocks=$((bytes[$role] / blocklen[$role]))
    expect "sg_readcap.$role blocks" "$(sed -n 's/.*Number of logical blocks=\([0-9]*\).*/\1/p' "$r/readcap.$role.out")" "$blocks"
    expect "info.$role block count" "$(labelled "Logical Block Address" <<< "$capacity")" "$blocks"
    expect "info.$role block length" "$(labelled "Block Length" <<< "$capacity")" \
      "$(sed -n 's/.*Logical block length=\([0-9]*\) bytes.*/\1/p' "$r/readcap.$role.out")"
    expect "info.$role capacity" "$(labelled "Total Capacity" <<< "$capacity")" \
      "$(sed -n 's/.*Device size: \([0-9]*\) bytes.*/\1/p' "$r/readcap.$role.out")"
    expect_rc "turs.$role" 0
  else
    # No medium: the drive says so, and the report leaves capacity out instead of failing.
    expect_rc "readcap.$role" nonzero
    expect "sg_turs.$role says no medium" "$(grep -ho 'Medium not present' "$r/turs.$role.out" "$r/turs.$role.err" | head -1)" \
      "Medium not present"
    expect "info.$role has no capacity" "$capacity" ""
  fi

  # Mode pages: the report's whole MODE SENSE(6) answer equals sg_modes' raw answer to the same
  # request, its page sections are sg_modes' pages in order, and the decoded fields agree with
  # the bytes sg_modes shows.
  mode=$(section "$info" "Mode Parameter" "$list")
  if [ "$(cat "$r/modes.$role.rc")" == 0 ]; then
    raw=$(xxd -p "$r/modesraw.$role.out" | tr -d '\n')
    expect "info.$role mode sense length" "$(head -1 <<< "$mode")" "modeSense (6): length $((${#raw} / 2))"
    expect "info.$role mode sense bytes beside sg_modes" "$(dump_hex <<< "$mode")" "$raw"
    sg_list=$(sg_pages < "$r/modes.$role.out" |
              while read -r page; do printf 'pagecode %02XH size:%3d\n' $((0x${page:0:2} & 0x3F)) $((0x${page:2:2})); done)
    expect "info.$role mode pages beside sg_modes" "$(grep -oE '^pagecode [0-9A-F]{2}H size: *[0-9]+' "$info")" "$sg_list"
    while read -r page; do
      pc=$(printf '%02X' $((0x${page:0:2} & 0x3F)))
      text=$(awk -v pc="pagecode ${pc}H" 'index($0, pc) == 1 { on = 1 } on && $0 == "" { exit } on' "$info")
      while IFS='|' read -r fpage offset kind label; do
        [[ $fpage == "$pc" ]] || continue
        [ $((offset * 2 + 2)) -le ${#page} ] || continue
        if [[ $kind == b* ]]; then
          want=$(( (0x${page:offset*2:2} >> ${kind#b}) & 1 ))
          want=$([ $want -eq 1 ] && echo ON || echo OFF)
        else
          want=$((0x${page:offset*2:${kind#u}*2}))
        fi
        expect "info.$role page ${pc}H \"${label# *}\"" "$(labelled "$label" <<< "$text")" "$want"
      done < <(grep -v '^#' "$fields")
    done < <(sg_pages < "$r/modes.$role.out")
  else
    # A drive that refuses MODE SENSE of every page (QEMU's ATAPI drive answers pages one by
    # one only): no mode section, as sg_modes gets nothing either, in either command length.
    expect_rc "modes10.$role" nonzero
    expect "info.$role has no mode pages" "$mode" ""
  fi

  # Configuration: current profile, profile list and feature codes as sg_get_config reads them.
  config=$(section "$info" "Configuration" "$list")
  if [ "$(cat "$r/config.$role.rc")" == 0 ]; then
    sg_current=$(sed -n 's/^Current profile: //p' "$r/config.$role.out")
    ours_current=$(head -1 <<< "$config" | sed -n 's/.*: Profile [0-9A-F]\{4\}H //p')
    grep -q '^No current profile' "$r/config.$role.out" "$r/config.$role.err" && sg_current="No Current Profile"
    expect "info.$role current profile beside sg_get_config" "$ours_current" "$sg_current"
    expect "info.$role profiles beside sg_get_config" \
      "$(sed -n 's/^Profile Number [0-9A-F]\{4\}H //p' "$info")" \
      "$(sed -n 's/^ *profile: \(.*\) , currentP=[01]$/\1/p' "$r/config.$role.out")"
    expect "info.$role features beside sg_get_config" \
      "$(sed -n 's/^FeatureCode \([0-9A-F]\{4\}\)H.*/\1/p' "$info")" \
      "$(grep -oE '\[0x[0-9a-f]+\]$' "$r/config.$role.out" | tr -d '[]' | while read -r c; do printf '%04X\n' $((c)); done)"
  else
    expect "info.$role has no configuration (sg_get_config failed too)" "$config" ""
  fi
done

# --- summary: the hard disk's partition table as sfdisk wrote it, free space included.
expect_rc summary.disk 0
partition_rows() {  # NUMBER START COUNT TYPE BOOT per partition line of a summary
  awk '/^[* ] ?[0-9]+ \[/ { boot = substr($0, 1, 1) == "*" ? "boot" : "-"
                             split(substr($0, index($0, "]") + 1), f, " ")
                             n = substr($0, 2, 2) + 0; print n, f[1], f[2], substr(f[3], 1, 2), boot }'
}
sfdisk_rows() {
  sed -n 's/.*img\([0-9]*\) : start= *\([0-9]*\), size= *\([0-9]*\), type=\([0-9a-f]*\)\(, bootable\)\{0,1\}.*/\1 \2 \3 \4 \5/p' \
    "$work/disk.sfdisk" |
    while read -r n start count type boot; do
      printf '%d %d %d %02X %s\n' "$n" "$start" "$count" $((0x$type)) "$([ -n "$boot" ] && echo boot || echo -)"
    done
}
expect "summary.disk partitions beside sfdisk" "$(out summary.disk | partition_rows)" "$(sfdisk_rows)"
disk_blocks=$((bytes[disk] / blocklen[disk]))
used_end=$(sfdisk_rows | awk '{ e = $2 + $3; if (e > m) m = e } END { print m }')
expect "summary.disk free space" "$(out summary.disk | grep '（未使用）' | awk '{ print $1, $2 }')" \
  "$used_end $((disk_blocks - used_end))"
expect "summary.disk capacity line" "$(out summary.disk | sed -n 2p)" \
  "$(printf '    容量 %s×%s = %sバイト (%7s)' "$(group $disk_blocks)" "$(group ${blocklen[disk]})" \
     "$(group ${bytes[disk]})" "${sizetext[disk]}")"
expect "summary.disk identification" "$(out summary.disk | head -1)" "${letter[disk]} $(ident disk)"

# --- Failures only a kernel produces.
# A partition that starts past the last block: READ(10) beyond the end fails in the drive; the
# summary shows identification and capacity and no table, and does not fail.
expect_rc summary.short 0
expect "summary.short stops at the capacity" "$(out summary.short | wc -l)" 2
expect "summary.short writes no error" "$(cat "$r/summary.short.err")" ""
# No medium: identification only.
expect_rc summary.empty 0
expect "summary.empty" "$(out summary.empty)" "${letter[empty]} $(ident empty)"
# Another process holds the disk with O_EXCL: reading commands share it and still work.
expect_rc held.scan 0
expect "held.scan equals the scan" "$(out held.scan)" "$(out scan)"
expect_rc held.summary 0
expect "held.summary equals the summary" "$(out held.summary)" "$(out summary.disk)"
if has held.erase; then
  expect_rc held.erase nonzero
  checks=$((checks + 1))
  cmp -s "$r/held.before" "$r/held.after" || fail "held.erase changed the held disk"
fi
# No permission on the device nodes: nothing to list, and the scan and a named drive say why.
expect_rc user.scan 0
expect "user.scan" "$(out user.scan)" "No drives found."
expect "user.scan says why" "$(cat "$r/user.scan.err")" \
  "orvane-cli: ${#roles[@]} drives were not opened for lack of permission; reading drives needs root or membership in the disk/cdrom group"
expect_rc user.info 1
expect "user.info message" "$(cat "$r/user.info.err")" \
  "orvane-cli: cannot open drive ${letter[disk]} (${node[disk]}): Permission denied; reading drives needs root or membership in the disk/cdrom group"
# A member of the disk and cdrom groups reads the same answers as root: the kernel lets an
# unprivileged opener send every command the report needs.
for run in member.info.disk:info.disk member.info.dvd:info.dvd member.summary.disk:summary.disk; do
  expect_rc "${run%%:*}" 0
  expect "${run%%:*} equals root's" "$(out "${run%%:*}")" "$(out "${run#*:}")"
done

# --- The operations, as they land.
zero_file() { cmp -s "$1" <(head -c "$(stat -c %s "$1")" /dev/zero); }
if has erase.disk; then
  expect_rc erase.disk 0
  for part in erased.head erased.tail; do
    checks=$((checks + 1))
    [ -s "$r/$part" ] && zero_file "$r/$part" || fail "$part: the erased 128 KiB are not zero"
  done
  # The backup holds exactly the erased sectors as they were.
  rm -f "$work/backup.raw"
  "$cli" image extract "$r/erase.ovi" "$work/backup.raw" > /dev/null
  expect "the erase backup extracts" "$?" 0
  end=$(stat -c %s "$work/disk.orig.img")
  for range in "0 131072" "$((end - 131072)) 131072"; do
    set -- $range
    expect "the erase backup holds bytes $1 to $(($1 + $2)) as they were" \
      "$(tail -c +$(($1 + 1)) "$work/backup.raw" 2> /dev/null | head -c "$2" | md5sum)" \
      "$(tail -c +$(($1 + 1)) "$work/disk.orig.img" | head -c "$2" | md5sum)"
  done
  if has write.disk; then
    expect_rc write.disk 0
    # After a restore from the whole-disc backup the image shows that one; the backup, taken
    # after this write-back, shows this one (below).
    has restore.disk || expect "the disk image after erase and write-back equals the original" \
      "$(md5sum < "$work/disk.img")" "$(md5sum < "$work/disk.orig.img")"
  fi
  expect_rc erase.empty nonzero
fi
if has bench.disk; then
  expect_rc bench.disk 0
  expect_rc bench.dvd 0
  expect_rc bench.empty nonzero
fi
if has curve.dvd; then
  # 40 points from the first sector on, every one read; the DVD's scale in multiples of 1x, the
  # disk's in MB/s alone; each picture well-formed XML.
  for role in dvd disk; do
    expect_rc curve.$role 0
    expect "curve.$role has 40 points, each with a rate" \
      "$(out curve.$role | grep -o '"minBytesPerSecond": [1-9][0-9]*' | wc -l) $(out curve.$role | grep -o '"first": [0-9]*' | head -1)" \
      '40 "first": 0'
    expect "curve.$role.svg is well-formed XML" \
      "$(/usr/bin/python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1]); print("ok")' "$r/curve.$role.svg" 2>&1)" ok
  done
  expect "the DVD's curve has a scale in multiples of 1x, the disk's none" \
    "$(grep -c '>x</text>' "$r/curve.dvd.svg") $(grep -c '>x</text>' "$r/curve.disk.svg")" "1 0"
fi

# --- The whole-disc backup through the kernel.
# runs_total: the sum of the counts of the "FIRST COUNT" lines in stdin.
runs_total() { awk '{ n += $2 } END { print n + 0 }'; }
# host_compare PRESET IMAGE OVI: the host's compare of a backup with the drive's image file, on
# a virtual drive.
host_compare() { "$cli" --virtual-only --virtual "E=$1:$2" compare E: "$3" 2>&1; }
if has backup.disk; then
  expect_rc backup.disk 0
  rm -f "$work/disk.raw"
  "$cli" image extract "$r/disk.ovi" "$work/disk.raw" > /dev/null 2>&1
  checks=$((checks + 1))
  cmp -s "$work/disk.raw" "$work/disk.orig.img" ||
    fail "the disk's backup, taken after the erase's write-back, is not the original disk"
  expect_rc compare.disk.same 0
  expect_rc compare.disk.changed 1
  expect "compare.disk.changed names the runs changed" "$(out compare.disk.changed)" \
    "$(printf 'Differing sectors (first count):\n%s\nNot equal: %d sectors compared.' "$(cat "$r/changed.disk")" $disk_blocks)"
  expect_rc restore.disk 0
  expect_rc compare.disk.restored 0
  expect "the disk image after the restore from the whole-disc backup equals the original" \
    "$(md5sum < "$work/disk.img")" "$(md5sum < "$work/disk.orig.img")"

  expect_rc backup.dvd 0
  expect "the DVD's backup holds its runs as the image has them" \
    "$(host_compare dvdrom "$work/dvd.img" "$r/dvd.ovi")" \
    "Equal: $(tr ':' ' ' < "$work/dvd.runs" | runs_total) sectors compared."

  # The faulty disk: exactly its bad ranges are bad (exit status 1), in the output and the map;
  # every other sector, the weak ones read on retry included, is in the backup as the image has
  # it; compare names the bad ranges unreadable.
  faulty_blocks=$((bytes[faulty] / blocklen[faulty]))
  bad=$(grep '^faulty|' "$table" | cut -d'|' -f2 | grep -o 'bad=[0-9]*+[0-9]*' | sed 's/bad=//; s/+/ /')
  bad_total=$(runs_total <<< "$bad")
  expect_rc backup.faulty 1
  expect "backup.faulty reports the injected bad ranges" "$(out backup.faulty)" \
    "$(printf 'Bad sectors (first count):\n%s\nBackup complete: %d sectors read, %d bad, 0 not tried.' \
       "$bad" $((faulty_blocks - bad_total)) "$bad_total")"
  expect "the map of backup.faulty has the injected bad ranges" "$(awk '$3 == "bad" { print $1, $2 }' "$r/faulty.map")" "$bad"
  expect "the faulty disk's backup holds every readable sector as the image has it" \
    "$(host_compare hdd "$work/faulty.img" "$r/faulty.ovi")" "Equal: $((faulty_blocks - bad_total)) sectors compared."
  expect_rc compare.faulty 1
  expect "compare.faulty names the bad ranges unreadable" "$(out compare.faulty)" \
    "$(printf 'Unreadable sectors (first count):\n%s\nNot equal: %d sectors compared.' "$bad" $faulty_blocks)"
  # The surface scan finds the same ranges bad, in its output and its map. (The weak sectors'
  # failures were spent by the backup, so they may read at once now.)
  expect_rc surface.faulty 1
  expect "surface.faulty finds the injected bad ranges" "$(out surface.faulty | sed -n '/^Bad sectors/,/^Scan/p' | sed '1d;$d')" "$bad"
  expect "the map of surface.faulty has the injected bad ranges" "$(awk '$3 == "bad" { print $1, $2 }' "$r/faulty.surface")" "$bad"
  expect "surface.faulty counts the bad sectors" "$(out surface.faulty | grep -o '[0-9]* bad, 0 not tried')" "$bad_total bad, 0 not tried"
  expect_rc backup.later 1
  expect "backup.later, given the scan's map, reports what backup.faulty did" "$(out backup.later)" "$(out backup.faulty)"
  expect "backup.later holds every readable sector as the image has it" \
    "$(host_compare hdd "$work/faulty.img" "$r/later.ovi")" "Equal: $((faulty_blocks - bad_total)) sectors compared."
fi

echo "kernel drives: $checks checks, $failures failed"
[ $failures -eq 0 ]
