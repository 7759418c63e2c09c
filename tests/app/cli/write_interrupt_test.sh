#!/usr/bin/env bash
# Ctrl-C (SIGINT) while `orvane-cli write` runs on a virtual DVD-RAM drive with its timing model
# on (6.9 MB/s, so 16 MiB take over 2 s). The program must end with exit code 1 after saying
# "処理を中断しました。", and the disc must hold the image's first sectors (as many as it says
# it wrote, whole 64 KiB transfers) and its old contents after them.
# Usage: write_interrupt_test.sh ORVANE_CLI SCRATCH_DIR
set -euo pipefail
cli=$1
dir=$2
rm -rf "$dir"
mkdir -p "$dir"
disc=$dir/disc.img
image=$dir/image.img
head -c $((24 * 1024 * 1024)) /dev/zero > "$disc"
# A pattern that is not zero anywhere, so the written part shows.
# (`yes` ends on the closed pipe: not a failure of the test.)
(yes 'orvane write interrupt test 0123456789' || true) | head -c $((16 * 1024 * 1024)) > "$image"

ORVANE_VIRTUAL_TIMING=1 "$cli" --virtual-only --virtual "E=dvdram:$disc" write E: "$image" --yes \
  > "$dir/out.txt" 2> "$dir/err.txt" &
program=$!
sleep 1
kill -INT $program
set +e
wait $program
code=$?
set -e

fail() { echo "write_interrupt_test: $*" >&2; echo "--- stdout"; cat "$dir/out.txt"; echo "--- stderr"; cat "$dir/err.txt"; exit 1; }
[ "$code" -eq 1 ] || fail "exit code $code, expected 1"
grep -q '処理を中断しました。' "$dir/err.txt" || fail "no interruption message"
written=$(sed -n 's/^Wrote \([0-9]*\) of \([0-9]*\) sectors\.$/\1/p' "$dir/out.txt")
total=$(sed -n 's/^Wrote \([0-9]*\) of \([0-9]*\) sectors\.$/\2/p' "$dir/out.txt")
[ -n "$written" ] || fail "no count of written sectors"
[ "$total" -eq 8192 ] || fail "sectors to write $total, expected 8192"
[ "$written" -gt 0 ] && [ "$written" -lt "$total" ] || fail "$written sectors written: not interrupted in the middle"
[ $((written % 32)) -eq 0 ] || fail "$written sectors: not whole transfers"
bytes=$((written * 2048))
cmp -n "$bytes" "$disc" "$image" >/dev/null || fail "the written part differs from the image"
# After the last whole transfer the disc is as it was: zeros up to its end.
tail -c +$((bytes + 1)) "$disc" | cmp -s - <(head -c $((24 * 1024 * 1024 - bytes)) /dev/zero) ||
  fail "sectors after the last transfer were changed"
echo "write_interrupt_test: interrupted after $written of $total sectors"
