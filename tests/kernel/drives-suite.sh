# The guest half of the drive checks (sourced by /init as /suite/main.sh): runs orvane-cli and
# sg3_utils on the emulated drives and sends every answer home; tests/kernel/drives-check.sh
# judges them on the host. /suite/roles names the drives: "ROLE|PRODUCT" per line, the
# INQUIRY product the host gave each one. Results are named after the role (info.disk.out).
# A check of a command that has not landed yet runs only when orvane-cli has that command.

cli=orvane-cli

# The device node whose INQUIRY product (sysfs model, trailing blanks cut) is $1.
node_of() {
  local b model
  for b in /sys/block/sd* /sys/block/sr*; do
    [ -e "$b/device/model" ] || continue
    model=$(sed 's/ *$//' "$b/device/model")
    [ "$model" = "$1" ] && { echo "/dev/${b##*/}"; return 0; }
  done
  return 1
}

# has_command NAME: orvane-cli knows the subcommand.
has_command() { $cli --help 2> /dev/null | grep -q "^  $1 "; }

# snapshot NAME DEV SKIP COUNT: COUNT 512-byte sectors of DEV from sector SKIP, read past the
# page cache (the commands write through SG_IO, beside it).
snapshot() {
  blockdev --flushbufs "$2"
  dd if="$2" of="/tmp/results/$1" bs=512 skip="$3" count="$4" 2> /dev/null
  send "$1" "/tmp/results/$1"
}

# Every drive must be there before the scan.
while read -r line; do
  product=${line#*|}
  n=0
  until node_of "$product" > /dev/null || [ $n -ge 300 ]; do usleep 100000; n=$((n + 1)); done
done < /suite/roles

: > /tmp/results/nodes
while read -r line; do
  role=${line%%|*}
  node=$(node_of "${line#*|}") || node=missing
  echo "$role $node" >> /tmp/results/nodes
  eval "dev_$role=$node"
done < /suite/roles
send nodes /tmp/results/nodes
run lsscsi lsscsi

# The scan and, per drive, the report beside sg3_utils' view of the same answers.
run scan $cli scan
while read -r role node; do
  run inq.$role sg_inq "$node"
  run readcap.$role sg_readcap "$node"
  run turs.$role sg_turs --verbose "$node"
  # The report's request: MODE SENSE(6), block descriptors off, current values, every page.
  run modes.$role sg_modes --six --dbd --all "$node"
  run modesraw.$role sg_modes --six --dbd --all --raw "$node"
  # Its fallback, MODE SENSE(10); and one page alone, which drives that refuse 3Fh still give.
  run modes10.$role sg_modes --dbd --all "$node"
  run modes2a.$role sg_modes --dbd --page=0x2a "$node"
  run config.$role sg_get_config --rt=0 "$node"
  run info.$role $cli info "$node"
  run list.$role $cli info "$node" --list
  run summary.$role $cli summary "$node"
done < /tmp/results/nodes

# Another program holds the hard disk with O_EXCL: reading commands open shared and still work.
hold_open "$dev_disk" /tmp/held &
holder=$!
wait_for /tmp/held
run held.scan $cli scan
run held.summary $cli summary "$dev_disk"
if has_command erase; then
  snapshot held.before "$dev_disk" 0 256
  run held.erase $cli erase "$dev_disk" --backup /tmp/held.ovi --yes
  snapshot held.after "$dev_disk" 0 256
fi
kill $holder
wait $holder 2> /dev/null

# Device nodes without permission for the user, then a user of the disk and cdrom groups.
run user.scan su tester -c "$cli scan"
run user.info su tester -c "$cli info $dev_disk"
chgrp disk "$dev_disk" && chmod 660 "$dev_disk"
chgrp cdrom "$dev_dvd" && chmod 660 "$dev_dvd"
run member.info.disk su member -c "$cli info $dev_disk"
run member.info.dvd su member -c "$cli info $dev_dvd"
run member.summary.disk su member -c "$cli summary $dev_disk"

# The operations that change a disc, as they land: erase with backup, then the backup written
# back; the host compares the image file with the original once the guest is off.
if has_command erase; then
  run erase.disk $cli erase "$dev_disk" --backup /tmp/erase.ovi --yes
  sectors=$(blockdev --getsz "$dev_disk")
  snapshot erased.head "$dev_disk" 0 256
  snapshot erased.tail "$dev_disk" $((sectors - 256)) 256
  [ -f /tmp/erase.ovi ] && send erase.ovi /tmp/erase.ovi
  if has_command write; then
    run write.disk $cli write "$dev_disk" /tmp/erase.ovi --yes
  fi
  run erase.empty $cli erase "$dev_empty" --backup /tmp/empty.ovi --yes
fi
if has_command bench; then
  run bench.disk $cli bench "$dev_disk" --yes
  run bench.dvd $cli bench "$dev_dvd" --yes
  run bench.empty $cli bench "$dev_empty" --yes
  # The read-speed curve alone, sampled over the whole medium.
  for role in dvd disk; do
    eval "node=\$dev_$role"
    run curve.$role $cli bench "$node" --curve /tmp/curve.$role.svg --points 40 --json
    [ -f /tmp/curve.$role.svg ] && send curve.$role.svg /tmp/curve.$role.svg
  done
fi

# The whole-disc backup: the hard disk (as the write-back left it) whole, then changed in three
# places, which compare must name, then restored from the backup; the DVD's runs of
# /suite/dvd.runs; the disk under blkdebug, whose bad sectors the backup and compare must name.
if has_command backup; then
  run backup.disk $cli backup "$dev_disk" /tmp/disk.ovi
  [ -f /tmp/disk.ovi ] && send disk.ovi /tmp/disk.ovi
  run compare.disk.same $cli compare "$dev_disk" /tmp/disk.ovi
  # The page cache may still hold sectors from before the write-back: dropped, so that writing
  # part of a page does not write its stale rest.
  blockdev --flushbufs "$dev_disk"
  : > /tmp/results/changed.disk
  for change in 100:20 5000:1 131000:72; do
    dd if=/dev/urandom of="$dev_disk" bs=512 seek="${change%:*}" count="${change#*:}" conv=notrunc,fsync 2> /dev/null
    echo "${change%:*} ${change#*:}" >> /tmp/results/changed.disk
  done
  blockdev --flushbufs "$dev_disk"
  send changed.disk /tmp/results/changed.disk
  run compare.disk.changed $cli compare "$dev_disk" /tmp/disk.ovi
  run restore.disk $cli write "$dev_disk" /tmp/disk.ovi --yes
  run compare.disk.restored $cli compare "$dev_disk" /tmp/disk.ovi

  runs=$(sed 's/^/--sectors /' /suite/dvd.runs)
  run backup.dvd $cli backup "$dev_dvd" /tmp/dvd.ovi $runs
  [ -f /tmp/dvd.ovi ] && send dvd.ovi /tmp/dvd.ovi

  run backup.faulty $cli backup "$dev_faulty" /tmp/faulty.ovi
  [ -f /tmp/faulty.ovi ] && send faulty.ovi /tmp/faulty.ovi
  [ -f /tmp/faulty.ovi.map ] && send faulty.map /tmp/faulty.ovi.map
  # Against a raw image from sector 0 as long as the disk (the extracted one ends at the last
  # sector read), compare reads the bad sectors too.
  $cli image extract /tmp/faulty.ovi /tmp/faulty.raw > /dev/null 2>&1
  truncate -s $(($(blockdev --getsz "$dev_faulty") * 512)) /tmp/faulty.raw
  run compare.faulty $cli compare "$dev_faulty" /tmp/faulty.raw
  # The emulated CPU can stall a read past the usual 100 ms; only the medium's errors are asked here.
  run surface.faulty $cli surface "$dev_faulty" --map /tmp/faulty.surface --slow 5000
  [ -f /tmp/faulty.surface ] && send faulty.surface /tmp/faulty.surface
  # The backup given the scan's map reads the bad places last, and ends as the one above.
  run backup.later $cli backup "$dev_faulty" /tmp/later.ovi --surface-map /tmp/faulty.surface
  [ -f /tmp/later.ovi ] && send later.ovi /tmp/later.ovi
fi
