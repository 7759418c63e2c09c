#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a few seconds each, starting from its seed
# corpus (fuzz/corpus/<target>/) when there is one. A crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
status=0
for exe in build/fuzz/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  work=build/fuzz/corpus-$name
  mkdir -p "$work"
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=
  echo "fuzz: $name for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -print_final_stats=0 "$work" $seeds >"build/fuzz/$name.log" 2>&1; then
    tail -40 "build/fuzz/$name.log"
    status=1
  fi
done
exit $status
