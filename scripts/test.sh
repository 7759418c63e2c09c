#!/usr/bin/env bash
# The test run: every stage, or the ones named, fastest feedback first, ending with a table of
# each stage's verdict and time.
#   scripts/test.sh [STAGE...]       scripts/test.sh --list
#   ORVANE_TESTS=REGEX scripts/test.sh native asan   only the CTest cases matching REGEX
# Each stage builds what it needs first. A stage passes (exit 0), is skipped (exit 77: something
# it needs is missing, and it says what) or fails (anything else). Under CI=true a skipped stage
# fails the run, so that a missing install step never reads as a pass.
# Exit status 0 only when every stage run passed.
set -uo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
filter=(${ORVANE_TESTS:+-R "$ORVANE_TESTS"})

build() { bash scripts/build.sh "$@"; }  # build PRESET [TARGET...]

stage_native() { build native && ctest --preset native -j "$jobs" "${filter[@]}"; }
stage_asan() { build asan && ctest --preset asan -j "$jobs" "${filter[@]}"; }
# Only the tests labelled "threads" are built and run under ThreadSanitizer.
stage_tsan() { build tsan threaded_tests && ctest --preset tsan -L threads -j "$jobs" "${filter[@]}"; }
stage_fuzz() { build fuzz && bash scripts/fuzz.sh "${ORVANE_FUZZ_SECONDS:-10}"; }
# The Windows tests: GUI tests need a display, so the whole run gets a virtual one.
stage_win64() {
  build win64 && bash scripts/wine-prefix.sh &&
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win64 -j "$jobs" "${filter[@]}"
}
# Built here; its tests run as 32-bit in the kernel-win32 stage (this kernel runs no 32-bit code).
stage_win32() { build win32; }
# The release files as a user gets them: the Debian package installed and run, the zips checked
# and the win64 one run from a new Wine prefix.
stage_deb() { build native orvane-cli && bash scripts/deb-test.sh; }
stage_zips() { bash scripts/dist-test.sh; }
# Real kernels: the Linux port against QEMU's drives, the win32 build run as 32-bit in a guest
# kernel, and both Windows programs under Wine on QEMU's drives.
stage_kernel_drives() { build native orvane-cli && bash scripts/qemu/drives-test.sh build/native/src/app/cli/orvane-cli; }
stage_kernel_win32() { build win32 && bash scripts/qemu/win32-test.sh; }
stage_kernel_wine() {
  build native orvane-cli && build win64 orvane-cli orvane && build win32 orvane-cli orvane &&
    bash scripts/qemu/wine-drives-test.sh build
}

all=(native asan tsan fuzz win64 win32 deb zips kernel-drives kernel-win32 kernel-wine)
if [ "${1:-}" = --list ]; then
  printf '%s\n' "${all[@]}"
  exit 0
fi
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all[@]}")
for s in "${stages[@]}"; do
  if ! printf '%s\n' "${all[@]}" | grep -qx -- "$s"; then
    echo "test.sh: no stage named $s; the stages: ${all[*]}" >&2
    exit 2
  fi
done

# Seconds since boot: a monotonic clock, unlike the calendar.
now() { cut -d' ' -f1 /proc/uptime; }

bash scripts/setup.sh || exit 1

names=() verdicts=() times=()
for s in "${stages[@]}"; do
  echo "== $s"
  start=$(now)
  "stage_${s//-/_}"
  status=$?
  case $status in
    0) verdict=passed ;;
    77) verdict=skipped ;;
    *) verdict=failed ;;
  esac
  names+=("$s") verdicts+=("$verdict")
  times+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { s = int(b - a + 0.5); printf "%dm%02ds", s / 60, s % 60 }')")
done

failed=0
echo
printf '%-14s %8s  %s\n' stage time result
for i in "${!names[@]}"; do
  verdict=${verdicts[$i]}
  if [ "$verdict" = failed ] || { [ "$verdict" = skipped ] && [ "${CI:-}" = true ]; }; then failed=1; fi
  [ "$verdict" = skipped ] && [ "${CI:-}" = true ] && verdict="skipped (a failure under CI)"
  printf '%-14s %8s  %s\n' "${names[$i]}" "${times[$i]}" "$verdict"
done
exit $failed
