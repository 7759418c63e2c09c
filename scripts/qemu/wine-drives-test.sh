#!/usr/bin/env bash
# The Windows program against drives nobody here wrote, through a Windows side nobody here wrote:
# boots the Debian kernel under QEMU with a virtio-scsi adapter holding a DVD drive (a 4.7 GB
# read-only disc), a 64 MiB hard disk and an empty DVD drive, and runs the win64 and win32
# orvane-cli.exe under Wine there (Wine answers the program's device I/O controls with SG_IO),
# with the Linux orvane-cli on the same drives beside them, and each bitness's window on a
# virtual display (tests/kernel/wine-drives-suite.sh, wine-drives-chroot.sh). The host then
# judges the answers (tests/kernel/wine-drives-check.sh). Exit status 0 when every check
# passed, 77 when the stage is skipped because its packages cannot be installed; 1 otherwise.
#   wine-drives-test.sh [BUILD-ROOT]   default build; the executables are BUILD-ROOT/win64,
#                                      BUILD-ROOT/win32 and BUILD-ROOT/native's
# ORVANE_WINE_BITNESS="64 32" (default) chooses the bitnesses. Work files (media, the Wine
# prefix, made once and kept, initramfs, results, the windows' screenshots) stay in
# build/kernel/wine-drives.
set -uo pipefail
cd "$(dirname "$0")/../.."
stage_start=$SECONDS
trap 'echo "$(basename "$0" .sh): $((SECONDS - stage_start)) s in all"' EXIT
source scripts/qemu/guest-lib.sh

builds=${1:-build}
bitness=${ORVANE_WINE_BITNESS:-64 32}
work=build/kernel/wine-drives
prefix=$PWD/$work/prefix

if ! guest_have_packages "${guest_packages[@]}" wine64 wine32:i386 xvfb xdotool imagemagick fdisk; then
  echo "SKIP kernel wine: qemu-system-x86, linux-image-amd64, busybox-static, cpio, wine64, wine32:i386, xvfb, xdotool, imagemagick or fdisk is not installed (scripts/setup.sh installs them)"
  exit 77
fi
guest_kernel_version > /dev/null || { echo "kernel wine: no kernel with modules under /boot and /lib/modules" >&2; exit 1; }
exes=("$builds/native/src/app/cli/orvane-cli")
for bits in $bitness; do
  exes+=("$builds/win$bits/src/app/cli/orvane-cli.exe" "$builds/win$bits/src/app/orvane.exe")
done
for exe in "${exes[@]}"; do
  [ -f "$exe" ] || { echo "kernel wine: $exe is missing (build orvane-cli and orvane first)" >&2; exit 1; }
done
mkdir -p "$work"

# --- The Wine prefix, made once here (a new one takes minutes under TCG): 64-bit, with Wine's
# 32-bit files beside it, so both bitnesses run in it. D: and F: are CD-ROM drives, E: a hard
# disk; their device links name paths the guest points at the drives' nodes. Wine draws the
# window frames itself (there is no window manager on the virtual display).
if [ ! -f "$prefix/.orvane-drives" ]; then
  echo "kernel wine: making the Wine prefix $prefix"
  rm -rf "$prefix"
  (
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    LANG=ja_JP.UTF-8 /usr/lib/wine/wine64 wineboot --init > /dev/null 2>&1
    for drive in d:cdrom e:hd f:cdrom; do
      /usr/lib/wine/wine64 reg add 'HKLM\Software\Wine\Drives' /v "${drive%:*}:" /d "${drive#*:}" /f > /dev/null
    done
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null
    /usr/lib/wine/wineserver -w
  ) || { echo "kernel wine: cannot make the Wine prefix" >&2; exit 1; }
  for drive in d:dvd e:disk f:empty; do
    mkdir -p "$prefix/drive_${drive%:*}"
    ln -sfn "../drive_${drive%:*}" "$prefix/dosdevices/${drive%:*}:"
    ln -sfn "/tmp/orvane-dev/${drive#*:}" "$prefix/dosdevices/${drive%:*}::"
  done
  touch "$prefix/.orvane-drives"
fi

# --- The media, made afresh each run.
guest_make_disk "$work/disk.img" || { echo "kernel wine: cannot make the disk image" >&2; exit 1; }
cp --sparse=always "$work/disk.img" "$work/disk.orig.img"
rm -f "$work/dvd.img" && truncate -s 4700372992 "$work/dvd.img"
strings() { echo "vendor=ORVQA,product=$1,ver=$2"; }
qemu_args=(
  -device virtio-scsi-pci,id=scsi0
  -drive "if=none,id=disk,file=$work/disk.img,format=raw"
  -device "scsi-hd,bus=scsi0.0,scsi-id=0,drive=disk,$(strings 'WINE DISK' 1.23)"
  -drive "if=none,id=dvd,file=$work/dvd.img,format=raw,readonly=on,media=cdrom"
  -device "scsi-cd,bus=scsi0.0,scsi-id=1,drive=dvd,$(strings 'WINE DVD' 2.34)"
  -device "scsi-cd,bus=scsi0.0,scsi-id=2,$(strings 'WINE EMPTY' 3.45)"
  -fsdev "local,id=hostroot,path=/,readonly=on,security_model=none,multidevs=remap"
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot
  -fsdev "local,id=prefix,path=$prefix,security_model=none"
  -device virtio-9p-pci,fsdev=prefix,mount_tag=prefix
)

# --- The guest: the executables travel in the initramfs (see wine-drives-suite.sh).
tree=$work/initramfs
guest_stage_begin "$tree" &&
  guest_add_modules "$tree" virtio_pci 9pnet_virtio 9p virtio_scsi sg sr_mod sd_mod &&
  guest_add_suite "$tree" tests/kernel/wine-drives-suite.sh &&
  mkdir -p "$tree/suite/stage" &&
  cp tests/kernel/wine-drives-chroot.sh "$tree/suite/stage/chroot.sh" &&
  cp "${exes[0]}" "$tree/suite/stage/orvane-cli" &&
  for bits in $bitness; do
    mkdir -p "$tree/suite/stage/w$bits" &&
      cp "$builds/win$bits/src/app/cli/orvane-cli.exe" "$builds/win$bits/src/app/orvane.exe" "$tree/suite/stage/w$bits/" ||
      exit 1
  done &&
  printf '%s\n' 'dvd|WINE DVD' 'disk|WINE DISK' 'empty|WINE EMPTY' > "$tree/suite/stage/roles" &&
  printf 'export BITNESS=%q\n' "$bitness" > "$tree/suite/stage/config" &&
  guest_pattern 'a raw image for a read-only disc' 8192 > "$tree/suite/stage/raw.img" &&
  guest_pack "$tree" "$work/initrd.gz" || { echo "kernel wine: cannot build the initramfs" >&2; exit 1; }

echo "kernel wine: media, prefix and initramfs made in $((SECONDS - stage_start)) s"
guest_memory=2048 guest_cpus=${ORVANE_GUEST_CPUS:-2}
guest_boot wine "$work" "${ORVANE_GUEST_SECONDS:-1500}" "${qemu_args[@]}"
booted=$?
guest_unpack "$work/wine.serial" "$work/results"
[ -f "$work/results/timing" ] && sed 's/^/kernel wine: /' "$work/results/timing"
[ $booted -eq 0 ] || exit 1

bash tests/kernel/wine-drives-check.sh "$work" "${exes[0]}" "$bitness"
