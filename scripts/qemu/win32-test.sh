#!/usr/bin/env bash
# The 32-bit Windows program as 32-bit: this machine's kernel runs no 32-bit code, a guest
# kernel does. Boots the Debian kernel under QEMU with the host's root file system shared
# read-only and build/win32 writable (virtio-9p), and runs the win32 build's whole CTest list
# there under Wine's 32-bit loader (tests/kernel/win32-suite.sh, tests/kernel/win32-chroot.sh).
# Exit status 0 when every test passed, 77 when the stage is skipped because its packages
# cannot be installed; 1 otherwise. The log is build/win32/kernel-tests.log; the 32-bit Wine
# prefixes stay in build/win32 (wine32, wine-gui) for the next run.
#   win32-test.sh [CTEST-ARGS...]     e.g. -R test_toolkit to run some tests only
set -uo pipefail
cd "$(dirname "$0")/../.."
stage_start=$SECONDS
trap 'echo "$(basename "$0" .sh): $((SECONDS - stage_start)) s in all"' EXIT
repo=$(pwd)
source scripts/qemu/guest-lib.sh

work=build/kernel/win32
if ! guest_have_packages "${guest_packages[@]}" wine32:i386 xvfb; then
  echo "SKIP kernel win32: qemu-system-x86, linux-image-amd64, busybox-static, cpio, wine32:i386 or xvfb is not installed (scripts/setup.sh installs them)"
  exit 77
fi
if [ ! -f build/win32/CTestTestfile.cmake ]; then
  echo "kernel win32: build/win32 has no test list (build the win32 preset first)" >&2
  exit 1
fi
mkdir -p "$work"

tree=$work/initramfs
guest_stage_begin "$tree" &&
  guest_add_modules "$tree" virtio_pci 9pnet_virtio 9p &&
  printf 'REPO=%q\nCTEST_ARGS=%q\nexport ORVANE_WIN32_DEBUG=%q\n' "$repo" "$*" "${ORVANE_WIN32_DEBUG:-}" > "$work/config" &&
  guest_add_suite "$tree" tests/kernel/win32-suite.sh "$work/config" &&
  guest_pack "$tree" "$work/initrd.gz" || { echo "kernel win32: cannot build the initramfs" >&2; exit 1; }

rm -f build/win32/kernel-tests.log
# Two processors: two tests run at once, one on each host core.
guest_memory=2048 guest_cpus=${ORVANE_GUEST_CPUS:-2}
guest_boot win32 "$work" "${ORVANE_GUEST_SECONDS:-1800}" \
  -fsdev "local,id=hostroot,path=/,readonly=on,security_model=none,multidevs=remap" \
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
  -fsdev "local,id=build32,path=$repo/build/win32,security_model=none" \
  -device virtio-9p-pci,fsdev=build32,mount_tag=build32
booted=$?
guest_unpack "$work/win32.serial" "$work/results"
[ -f build/win32/kernel-tests.log ] && grep -E '^(== |[0-9]+% tests passed|The following tests|\s+[0-9]+ - )' build/win32/kernel-tests.log
[ $booted -eq 0 ] || exit 1
status=$(cat "$work/results/win32.rc" 2> /dev/null || echo missing)
if [ "$status" != 0 ]; then
  echo "kernel win32: the 32-bit tests failed (status $status); the log is build/win32/kernel-tests.log" >&2
  exit 1
fi
if ! grep -qE '^100% tests passed, 0 tests failed out of [1-9]' build/win32/kernel-tests.log; then
  echo "kernel win32: CTest ran no tests; the log is build/win32/kernel-tests.log" >&2
  exit 1
fi
