#!/usr/bin/env bash
# The Linux port against drives nobody here wrote: boots the Debian kernel under QEMU with the
# drives of tests/kernel/drives.table (QEMU's SCSI disk and CD/DVD drives on a virtio-scsi
# adapter, and its ATAPI drive on the IDE channel), runs orvane-cli and sg3_utils on each in the
# guest (tests/kernel/drives-suite.sh), then judges the answers here
# (tests/kernel/drives-check.sh). The whole-disc backup goes through the kernel too: the hard
# disk out and back, runs of the DVD, and a disk whose chosen sectors fail under QEMU's blkdebug
# driver. Exit status 0 when every check passed, 77 when the stage is skipped because its
# packages cannot be installed; 1 otherwise.
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

# numbered FIRST COUNT BLOCKLEN: a text naming each block's number fills the blocks, so that a
# block read from, or restored to, the wrong place shows.
numbered() {
  awk -v first="$1" -v count="$2" -v len="$3" 'BEGIN {
    for (b = first; b < first + count; b++) {
      line = sprintf("block %012d of the kernel drive test\n", b)
      text = ""; while (length(text) < len) text = text line
      printf "%s", substr(text, 1, len)
    } }'
}
# fill_numbered IMAGE BLOCKLEN RUN...: the numbered text over each run FIRST:COUNT of IMAGE.
fill_numbered() {
  local image=$1 len=$2 run
  shift 2
  for run in "$@"; do
    numbered "${run%:*}" "${run#*:}" "$len" | dd of="$image" bs="$len" seek="${run%:*}" conv=notrunc status=none || return 1
  done
}
# blkdebug_config FAULTS: QEMU's blkdebug rules for the ":bad=FIRST+COUNT" parts of FAULTS (every
# read touching those sectors fails) and the ":weak=FIRST+COUNT+TRIES" parts (the first TRIES
# reads touching each sector fail, then it reads). A rule names one sector; a "once" rule is
# dropped after its first failure. Errno 61 (ENODATA) is the one QEMU's SCSI disk answers with
# MEDIUM ERROR, unrecovered read error (others give a sense that is no medium error); read_aio
# is the event the raw format layer above fires per read.
blkdebug_config() {
  local part kind first count tries sector i
  for part in ${1//:/ }; do
    [[ $part =~ ^(bad|weak)=([0-9]+)\+([0-9]+)(\+([0-9]+))?$ ]] || continue
    kind=${BASH_REMATCH[1]} first=${BASH_REMATCH[2]} count=${BASH_REMATCH[3]} tries=${BASH_REMATCH[5]:-1}
    for ((sector = first; sector < first + count; sector++)); do
      for ((i = 0; i < tries; i++)); do
        printf '[inject-error]\nevent = "read_aio"\nerrno = "61"\nsector = "%d"\nonce = "%s"\n\n' \
          "$sector" "$([ "$kind" == weak ] && echo on || echo off)"
      done
    done
  done
}
# The DVD's runs that the backup reads (FIRST:COUNT, 2048-byte sectors): its start, 80 KiB (more
# than one transfer) in the middle and its last 24 sectors; each holds the numbered text.
dvd_runs=(0:32 1000000:40 2295080:24)

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
  case $role in
    dvd) fill_numbered "$image" "$blocklen" "${dvd_runs[@]}" ;;
    faulty) fill_numbered "$image" "$blocklen" 0:$((bytes / blocklen)) ;;
  esac || { echo "kernel drives: cannot fill $image" >&2; exit 1; }
  strings="vendor=$vendor,product=$product,ver=$revision"
  case $device in
    scsi-hd:*)
      blkdebug_config "$device" > "$work/$role.blkdebug"
      qemu_args+=(-drive "if=none,id=$role,format=raw,file.driver=blkdebug,file.config=$work/$role.blkdebug,file.image.filename=$image"
                  -device "scsi-hd,bus=scsi0.0,drive=$role,$strings") ;;
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
printf '%s\n' "${dvd_runs[@]}" > "$work/dvd.runs"
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
  guest_add_suite "$tree" tests/kernel/drives-suite.sh "$work/roles" "$work/dvd.runs" &&
  guest_pack "$tree" "$work/initrd.gz" || { echo "kernel drives: cannot build the initramfs" >&2; exit 1; }

echo "kernel drives: media and initramfs made in $((SECONDS - stage_start)) s"
guest_boot drives "$work" "${ORVANE_GUEST_SECONDS:-600}" "${qemu_args[@]}"
booted=$?
guest_unpack "$work/drives.serial" "$work/results"
[ $booted -eq 0 ] || exit 1

bash tests/kernel/drives-check.sh "$work" "$table" "$cli"
