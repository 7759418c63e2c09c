#!/usr/bin/env bash
# The tour for a newcomer: builds the console front end, puts four virtual drives in a scratch
# folder (a DVD-RAM drive with a formatted disc, a DVD-ROM drive, a hard disk with five
# partitions, an empty drive) and shows what Orvane finds on them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh native

preset=${ORVANE_DEMO_PRESET:-native}
bash scripts/build.sh "$preset" orvane-cli
cli="build/$preset/src/app/cli/orvane-cli"

scratch=${ORVANE_DEMO_DIR:-build/demo}
mkdir -p "$scratch"
# The images are sparse files: 4.7 GB and 8.6 GB on paper, a few kilobytes on disk. They are
# made (with their partition tables) on first use and kept, so later runs see what earlier
# commands wrote.
drives="E=dvdram:$scratch/dvdram.img,F=dvdrom,G=hdd:$scratch/hdd.img,H=nodisc"

run() {
  echo
  echo "\$ orvane-cli $*"
  "$cli" --virtual-only --virtual "$drives" "$@"
}

echo "Virtual drives in $scratch: $drives"
run scan
run summary E:
run summary G:
run summary H:

# The drive information report: its sections, then the capacity section in full.
run info E: --list
run info E: --section 1

# What an erase backup holds: the first and the last 64 sectors of the DVD-RAM disc as two
# LH5 blocks of an .ovi file, then the file's block list and a full check of every block.
last=$((2295104 - 64))
echo
echo "\$ orvane-cli image create $scratch/backup.ovi --from $scratch/dvdram.img --sector-size 2048 --run 0:64 --run $last:64"
"$cli" image create "$scratch/backup.ovi" --from "$scratch/dvdram.img" --sector-size 2048 --run 0:64 --run "$last:64"
echo
echo "\$ orvane-cli image list $scratch/backup.ovi"
"$cli" image list "$scratch/backup.ovi"
echo
echo "\$ orvane-cli image verify $scratch/backup.ovi"
"$cli" image verify "$scratch/backup.ovi"

# The erase with backup, on a DVD-RAM disc of its own (made afresh each run, with its partition
# table): the first and the last 64 sectors are saved into an .ovi backup, checked, then zeroed.
# The summary before and after shows the partition table gone; the backup holds it.
erasedisc="$scratch/erase-dvdram.img"
rm -f "$erasedisc" "$scratch/erase-backup.ovi"
erase_run() {
  echo
  echo "\$ orvane-cli $*"
  "$cli" --virtual-only --virtual "E=dvdram:$erasedisc" "$@"
}
erase_run summary E:
erase_run erase E: --backup "$scratch/erase-backup.ovi" --yes
erase_run summary E:
echo
echo "\$ orvane-cli image verify $scratch/erase-backup.ovi"
"$cli" image verify "$scratch/erase-backup.ovi"

# The benchmark of the DVD-RAM drive with the timing model on: every command takes the time the
# model gives a real drive (0.5 ms overhead, 20-150 ms seeks, 3000 rpm, 6.9 MB/s), so the run
# lasts about 45 seconds: 128 commands of each zero-motion test, 3 s of each seek pattern, and
# 3 s of each read measurement. It only reads; --yes answers its question.
echo
echo "\$ ORVANE_VIRTUAL_TIMING=1 orvane-cli bench E: --yes"
ORVANE_VIRTUAL_TIMING=1 "$cli" --virtual-only --virtual "$drives" bench E: --yes
