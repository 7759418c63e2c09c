#!/usr/bin/env bash
# The Linux port against drives nobody here wrote: boots the Debian kernel under QEMU with the
# drives of tests/kernel/drives.table (QEMU's SCSI disk and CD/DVD drives on a virtio-scsi
# adapter, and its ATAPI drive on the IDE channel), runs orvane-cli and sg3_utils on each in the
# guest (tests/kernel/drives-suite.sh), then judges the answers here
# (tests/kernel/drives-check.sh). Exit status 0 when every check passed, 77
# when the stage is skipped because its packages cannot be installed; 1 otherwise.
#   drives-test.sh [ORVANE-CLI]      default build/native/src/app/cli/orvane-cli
# Work files (images, initramfs, console log, results) stay in build/kernel/drives.
set -uo pipefail
cd "$(dirname "$0")/../.."
stage_start=$SECONDS
trap 'echo "$(basename "$0" .sh): $((SECONDS - stage_start)) s in all"' EXIT
source scripts/qemu/guest-lib.sh

cli=${1:-build/native/src/app/cli/orvane-cli}
work=build/kernel/drives
table=tests/kernel/drives.table

if ! guest_have_packages "${guest_packages[@]}" sg3-utils fdisk xxd; then
  echo "SKIP kernel drives: qemu-system-x86, linux-image-amd64, busybox-static, cpio, sg3-utils, fdisk or xxd is not installed (scripts/setup.sh installs them)"
  exit 77
fi
if ! guest_kernel_version > /dev/null; then
  echo "kernel drives: no kernel with modules under /boot and /lib/modules" >&2
  exit 1
fi
[ -x "$cli" ] || { echo "kernel drives: $cli is missing (build the native preset first)" >&2; exit 1; }
mkdir -p "$work"

# --- The media, made afresh each run (the hard disk: guest_make_disk).
# A disk whose table names partitions beyond its end: made at 64 MiB, then cut to 16 MiB, so the
# second partition starts past the last block and reading it fails in the drive.
make_short() {
  local image=$1
  rm -f "$image" && truncate -s 64M "$image"
  printf '%s\n' 'label: dos' 'label-id: 0x4f525652' ',24M,83' ',,83' | sfdisk -q "$image" || return 1
  truncate -s 16M "$image"
}

qemu_args=(-device virtio-scsi-pci,id=scsi0)
: > "$work/roles"
while IFS='|' read -r role device vendor product revision bytes blocklen _; do
  [[ -z $role || $role == \#* ]] && continue
  echo "$role|$product" >> "$work/roles"
  image=$work/$role.img
  case $role in
    disk) guest_make_disk "$image" || { echo "kernel drives: cannot make $image" >&2; exit 1; } ;;
    short) make_short "$image" || { echo "kernel drives: cannot make $image" >&2; exit 1; } ;;
    *) [ "$bytes" -gt 0 ] && { rm -f "$image"; truncate -s "$bytes" "$image"; } ;;
  esac
  strings="vendor=$vendor,product=$product,ver=$revision"
  case $device in
    scsi-hd)
      qemu_args+=(-drive "if=none,id=$role,file=$image,format=raw"
                  -device "scsi-hd,bus=scsi0.0,drive=$role,$strings") ;;
    scsi-cd)
      if [ "$bytes" -gt 0 ]; then
        qemu_args+=(-drive "if=none,id=$role,file=$image,format=raw,readonly=on,media=cdrom"
                    -device "scsi-cd,bus=scsi0.0,drive=$role,$strings")
      else
        qemu_args+=(-device "scsi-cd,bus=scsi0.0,$strings")
      fi ;;
    ide-cd)
      qemu_args+=(-drive "if=none,id=$role,file=$image,format=raw,readonly=on,media=cdrom"
                  -device "ide-cd,bus=ide.1,drive=$role,ver=$revision") ;;
    *) echo "kernel drives: unknown device $device in $table" >&2; exit 1 ;;
  esac
done < "$table"
sfdisk -d "$work/disk.img" > "$work/disk.sfdisk"
cp --sparse=always "$work/disk.img" "$work/disk.orig.img"

# --- The guest.
gcc -static -O2 -o "$work/hold_open" tests/kernel/hold_open.c || exit 1
tree=$work/initramfs
guest_stage_begin "$tree" &&
  guest_add_modules "$tree" virtio_pci virtio_scsi sd_mod sr_mod sg ata_piix &&
  guest_add_program "$tree" "$cli" orvane-cli &&
  guest_add_gconv "$tree" CP932 UTF-16 &&
  for tool in sg_inq sg_readcap sg_turs sg_modes sg_get_config; do
    guest_add_program "$tree" "/usr/bin/$tool" || exit 1
  done &&
  guest_add_program "$tree" "$work/hold_open" &&
  guest_add_suite "$tree" tests/kernel/drives-suite.sh "$work/roles" &&
  guest_pack "$tree" "$work/initrd.gz" || { echo "kernel drives: cannot build the initramfs" >&2; exit 1; }

echo "kernel drives: media and initramfs made in $((SECONDS - stage_start)) s"
guest_boot drives "$work" "${ORVANE_GUEST_SECONDS:-600}" "${qemu_args[@]}"
booted=$?
guest_unpack "$work/drives.serial" "$work/results"
[ $booted -eq 0 ] || exit 1

bash tests/kernel/drives-check.sh "$work" "$table" "$cli"
