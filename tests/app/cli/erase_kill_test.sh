#!/usr/bin/env bash
# kill -9 at moments spread over `orvane-cli erase --backup` on a virtual DVD-RAM drive with its
# timing model on. Whatever the moment, what is left must
# let the user undo it: either the disc is exactly as it was, or a complete backup lies under its
# name and writing it back gives the disc back byte for byte. A zeroed sector without a complete
# backup on the disk is the failure this looks for. At the end no temporary file is left beside
# the backup once another erase has written there.
# Usage: erase_kill_test.sh ORVANE_CLI SCRATCH_DIR
set -euo pipefail
cli=$1
dir=$2
rm -rf "$dir"
mkdir -p "$dir"
original=$dir/original.img
disc=$dir/disc.img
backup=$dir/backup.ovi
# 24 MiB of noise: every sector of both erase regions holds data an erase would destroy.
head -c $((24 * 1024 * 1024)) /dev/urandom > "$original"
fail() { echo "erase_kill_test: $*" >&2; exit 1; }
run() { "$cli" --virtual-only --virtual "E=dvdram:$disc" "$@" > "$dir/out.txt" 2> "$dir/err.txt"; }

# The moments: 20 steps over the time one whole erase takes on this machine now (a loaded
# machine or a sanitizer build stretches it), from before the first read to after the last zero.
cp "$original" "$disc"
uptime_ms() { awk '{ printf "%d", $1 * 1000 }' /proc/uptime; }  # the time since boot: never set back
start=$(uptime_ms)
ORVANE_VIRTUAL_TIMING=1 run erase E: --backup "$backup" --yes || fail "an uninterrupted erase failed: $(cat "$dir/err.txt")"
took=$(( $(uptime_ms) - start ))
untouched=0 restored=0
for step in $(seq 0 19); do
  delay=$(awk -v ms="$took" -v step="$step" 'BEGIN { printf "%.3f", ms * step / 18 / 1000 }')
  cp "$original" "$disc"
  rm -f "$backup"
  ORVANE_VIRTUAL_TIMING=1 "$cli" --virtual-only --virtual "E=dvdram:$disc" erase E: --backup "$backup" --yes \
    > /dev/null 2>&1 &
  program=$!
  sleep "$delay"
  kill -9 $program 2> /dev/null || true
  wait $program 2> /dev/null || true
  if cmp -s "$disc" "$original"; then
    untouched=$((untouched + 1))
    continue
  fi
  [ -f "$backup" ] || fail "killed after ${delay}s: the disc was changed and there is no backup"
  run image verify "$backup" || fail "killed after ${delay}s: the disc was changed and the backup is not complete"
  run write E: "$backup" --yes || fail "killed after ${delay}s: the backup could not be written back"
  cmp -s "$disc" "$original" || fail "killed after ${delay}s: writing the backup back did not give the disc back"
  restored=$((restored + 1))
done
[ "$restored" -gt 0 ] || fail "no kill landed after the first zero: the moments miss the erase"
# A killed run may leave its temporary beside the backup; the next erase there removes it.
cp "$original" "$disc"
run erase E: --backup "$backup" --yes --overwrite || fail "a last erase failed: $(cat "$dir/err.txt")"
leftovers=$(find "$dir" -name 'backup.ovi.orvane-*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "$leftovers temporary files left beside the backup"
echo "erase_kill_test: $untouched kills left the disc untouched, $restored were undone by the backup"
