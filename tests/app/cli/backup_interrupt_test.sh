#!/usr/bin/env bash
# `orvane-cli backup` killed with SIGKILL at listed moments, then resumed (killed again, then run
# to its end), and stopped with Ctrl-C (SIGINT) and resumed: every result must be byte for byte
# the image and the map of an uninterrupted run. The virtual DVD-RAM drive takes real-drive
# timings (6.9 MB/s), so the 24 MiB disc of text, zeros and noise takes about 3.5 s.
# Usage: backup_interrupt_test.sh ORVANE_CLI SCRATCH_DIR
set -euo pipefail
cli=$1
dir=$2
rm -rf "$dir"
mkdir -p "$dir"
disc=$dir/disc.img
{
  (yes 'orvane backup interrupt test 0123456789' || true) | head -c $((8 * 1024 * 1024))
  head -c $((8 * 1024 * 1024)) /dev/zero
  head -c $((8 * 1024 * 1024)) /dev/urandom
} > "$disc"
drive="E=dvdram:$disc:bad=5000+7"

fail() { echo "backup_interrupt_test: $*" >&2; exit 1; }
# exec: the process started in the background is the program itself, so the kill reaches it.
backup() { (exec env ORVANE_VIRTUAL_TIMING=1 "$cli" --virtual-only --virtual "$drive" backup E: "$@" > /dev/null 2>> "$dir/err.txt"); }
start() { (exec env ORVANE_VIRTUAL_TIMING=1 "$cli" --virtual-only --virtual "$drive" backup E: "$@" > /dev/null 2>> "$dir/err.txt") & }

set +e
backup "$dir/reference.ovi"
[ $? -eq 1 ] || fail "the uninterrupted run did not end with exit code 1 (7 bad sectors)"
set -e
grep -qx '5000 7 bad' "$dir/reference.ovi.map" || fail "the bad run is not in the map"

# Seconds after the start; the second number kills the first resumed run too.
for points in "0.1 0.3" "0.6 0.2" "1.1 1.5" "2.0 0.05" "3.0 0.9"; do
  read -r first second <<< "$points"
  image=$dir/killed-${first}.ovi
  for when in "$first" "$second"; do
    if [ -e "$image.map" ]; then resume=--resume; else resume=; fi
    start "$image" $resume
    program=$!
    sleep "$when"
    kill -KILL $program 2>/dev/null || true
    wait $program 2>/dev/null || true
  done
  grep -q ' not-tried$' "$image.map" || fail "killed at $points s: the run was not interrupted"
  set +e
  backup "$image" --resume
  set -e
  cmp "$image" "$dir/reference.ovi" || fail "killed at $points s: the resumed image differs"
  cmp "$image.map" "$dir/reference.ovi.map" || fail "killed at $points s: the resumed map differs"
done

image=$dir/ctrl-c.ovi
start "$image"
program=$!
sleep 1
kill -INT $program
set +e
wait $program
[ $? -eq 1 ] || fail "Ctrl-C: exit code not 1"
grep -q ' not-tried$' "$image.map" || fail "Ctrl-C: the map says nothing is left"
backup "$image" --resume
set -e
cmp "$image" "$dir/reference.ovi" || fail "Ctrl-C: the resumed image differs"
echo "backup_interrupt_test: every interrupted backup resumed to the reference bytes"
