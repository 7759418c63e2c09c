#!/usr/bin/env bash
# The whole test run: installs what is missing, builds the native, sanitizer, win64 and win32
# builds, runs the native tests (plain, under ASan+UBSan, the threaded ones under TSan), a short
# fuzzing run, the Windows tests under Wine, the three kernel stages (scripts/qemu), and ends with
# CTest's summary of the native run.
# Exit status 0 only when every stage passed.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

jobs=$(nproc)
failed=()
stage() {  # stage NAME COMMAND...: runs a stage, remembers it when it fails
  local name=$1; shift
  echo "== $name"
  if ! "$@"; then failed+=("$name"); fi
}
build() {  # build PRESET [TARGET]
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" ${2:+--target "$2"}
}
has_target() { cmake --build --preset "$1" --target help 2>/dev/null | grep -q "^$2:"; }

stage "build native" build native
stage "build asan" build asan
stage "build win64" build win64
stage "build win32" build win32

stage "tests asan" ctest --preset asan -j "$jobs"

cmake --preset tsan >/dev/null
if has_target tsan threaded_tests; then
  stage "build tsan" build tsan threaded_tests
  stage "tests tsan" ctest --preset tsan -L threads -j "$jobs"
fi

if [ -d fuzz ]; then
  stage "build fuzz" build fuzz
  stage "fuzz" bash scripts/fuzz.sh "${ORVANE_FUZZ_SECONDS:-10}"
fi

# The Windows tests: GUI tests need a display, so the whole win64 run gets a virtual one.
bash scripts/wine-prefix.sh
stage "tests win64" xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win64 -j "$jobs"

# The release files as a user gets them: the Debian package installed and run, the zips checked
# and the win64 one run from a new Wine prefix.
stage "release deb" bash scripts/deb-test.sh
stage "release zips" bash scripts/dist-test.sh

# Real kernels: the Linux port against QEMU's drives, the win32 build run as 32-bit in a guest
# kernel, and both Windows programs under Wine on QEMU's drives (each skips, passing, when its
# packages could not be installed).
stage "kernel drives" bash scripts/qemu/drives-test.sh build/native/src/app/cli/orvane-cli
stage "kernel win32" bash scripts/qemu/win32-test.sh
stage "kernel wine" bash scripts/qemu/wine-drives-test.sh build

stage "tests native" ctest --preset native -j "$jobs"

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED stages: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
