# The small Linux guest both kernel stages boot: the Debian kernel of the host's
# linux-image-amd64 package under qemu-system-x86_64 without KVM (TCG), started with
# -kernel/-initrd (no boot loader), an initramfs made of busybox-static, the kernel modules a
# stage names (with their dependencies from modules.dep) and the programs it copies in with the
# shared libraries ldd lists. The guest's /init (tests/kernel/init) loads the modules, runs the
# stage's suite and powers off; the suite's results come back over the second serial port.
# Sourced by scripts/qemu/*.sh; every function is prefixed guest_.

guest_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
guest_lock=${ORVANE_BUILD_LOCK:-/tmp/orvane-build.lock}

# The host packages every kernel stage needs (each stage adds its own).
guest_packages=(qemu-system-x86 linux-image-amd64 busybox-static cpio)

# 0 when every package of "$@" is installed.
guest_have_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 1
  done
}

# The newest kernel with both an image in /boot and its modules in /lib/modules.
guest_kernel_version() {
  local v best=
  for v in $(ls /lib/modules 2>/dev/null | sort -V); do
    [ -r "/boot/vmlinuz-$v" ] && [ -f "/lib/modules/$v/modules.dep" ] && best=$v
  done
  [ -n "$best" ] && echo "$best"
}

# guest_stage_begin DIR: a fresh initramfs tree with busybox and the guest's /init.
guest_stage_begin() {
  local dir=$1
  rm -rf "$dir" && mkdir -p "$dir"/{bin,dev,proc,sys,tmp,etc,lib/modules,suite}
  cp /bin/busybox "$dir/bin/busybox"
  cp "$guest_root/tests/kernel/init" "$dir/init"
  chmod 755 "$dir/init"
  # Users for the permission checks: tester is in no device group, member is in disk and cdrom.
  printf '%s\n' root:x:0:0:root:/root:/bin/sh tester:x:1000:1000:tester:/tmp:/bin/sh \
    member:x:1001:1001:member:/tmp:/bin/sh > "$dir/etc/passwd"
  printf '%s\n' root:x:0: disk:x:6:member cdrom:x:24:member tester:x:1000: member:x:1001: > "$dir/etc/group"
  : > "$dir/etc/modules"
}

# guest_add_modules DIR NAME...: the modules and everything they depend on, in an order that
# insmod can load one by one (a module's dependencies before it); /etc/modules lists it.
guest_add_modules() {
  local dir=$1 version line path dep name
  shift
  version=$(guest_kernel_version) || return 1
  local moddir=/lib/modules/$version
  local -A seen=()
  for name in "$@"; do
    line=$(grep -E "(^|/)${name//_/[_-]}\.ko(\.[gx]z|\.zst)?:" "$moddir/modules.dep" | head -1)
    if [ -z "$line" ]; then
      # Built into the kernel: nothing to load.
      grep -qE "/${name//_/[_-]}\.ko" "$moddir/modules.builtin" 2>/dev/null && continue
      echo "guest: kernel $version has no module $name" >&2
      return 1
    fi
    path=${line%%:*}
    # modules.dep lists every dependency, nearest last: loading the list backwards works.
    local -a deps=(${line#*:})
    local i
    for ((i = ${#deps[@]} - 1; i >= 0; i--)); do
      dep=${deps[i]}
      [ -n "${seen[$dep]:-}" ] && continue
      seen[$dep]=1
      guest_copy_module "$dir" "$moddir" "$dep" || return 1
    done
    [ -n "${seen[$path]:-}" ] && continue
    seen[$path]=1
    guest_copy_module "$dir" "$moddir" "$path" || return 1
  done
}

guest_copy_module() {  # DIR MODDIR RELPATH
  local dir=$1 moddir=$2 rel=$3 base
  base=$(basename "$rel")
  case $base in
    *.ko) cp "$moddir/$rel" "$dir/lib/modules/$base" ;;
    *.ko.xz) xz -dc "$moddir/$rel" > "$dir/lib/modules/${base%.xz}"; base=${base%.xz} ;;
    *.ko.gz) gzip -dc "$moddir/$rel" > "$dir/lib/modules/${base%.gz}"; base=${base%.gz} ;;
    *.ko.zst) zstd -qdc "$moddir/$rel" > "$dir/lib/modules/${base%.zst}"; base=${base%.zst} ;;
    *) echo "guest: unknown module file $rel" >&2; return 1 ;;
  esac
  echo "$base" >> "$dir/etc/modules"
}

# guest_add_program DIR FILE [NAME]: FILE as /bin/NAME with every shared library ldd lists,
# each at the path the dynamic loader looks it up by.
guest_add_program() {
  local dir=$1 file=$2 name=${3:-$(basename "$2")} lib
  cp "$file" "$dir/bin/$name"
  for lib in $(ldd "$file" 2>/dev/null | grep -oE '/[^ ]+'); do
    [ -e "$dir$lib" ] && continue
    mkdir -p "$dir$(dirname "$lib")"
    cp -L "$lib" "$dir$lib"
  done
}

# guest_add_gconv DIR CHARSET...: glibc's iconv modules for the charsets, which the program's
# CP932 text conversion loads at run time.
guest_add_gconv() {
  local dir=$1 gconv
  shift
  # Where glibc looks for them: beside the real libc (/usr/lib/<triplet>/gconv).
  gconv=$(dirname "$(readlink -f "$(ldconfig -p | grep -m1 -oE '/[^ ]*/libc\.so\.6$')")")/gconv
  mkdir -p "$dir$gconv"
  cp -r "$gconv"/gconv-modules* "$dir$gconv/"
  local charset
  for charset in "$@"; do cp "$gconv/$charset.so" "$dir$gconv/" || return 1; done
}

# guest_add_suite DIR MAIN [FILE...]: the suite's script MAIN as /suite/main.sh, which /init
# runs, and the files it uses beside it in /suite.
guest_add_suite() {
  local dir=$1 main=$2
  shift 2
  cp "$main" "$dir/suite/main.sh"
  [ $# -eq 0 ] || cp "$@" "$dir/suite/"
}

# guest_make_disk IMAGE: the 64 MiB hard disk of the drive stages, made afresh so that every run
# starts from the same bytes: a DOS partition table with bootable FAT32, Linux and NTFS
# partitions and an extended one holding a swap and a Linux partition, then 1 MiB unpartitioned;
# its first and last 128 KiB (around the table and in the free tail) hold a pattern, so that an
# erase shows.
guest_make_disk() {
  local image=$1
  rm -f "$image" && truncate -s 64M "$image"
  printf '%s\n' 'label: dos' 'label-id: 0x4f525651' ',32M,c,*' ',16M,83' ',4M,7' ',10M,5' ',4M,82' ',,83' |
    sfdisk -q "$image" || return 1
  guest_pattern 'orvane kernel test pattern' $((255 * 512)) | dd of="$image" bs=512 seek=1 conv=notrunc status=none &&
  guest_pattern 'the last 128 KiB of the disk' $((256 * 512)) |
    dd of="$image" bs=512 seek=$((131072 - 256)) conv=notrunc status=none
}
guest_pattern() { head -c "$2" < <(yes "$1"); }  # TEXT BYTES: the text repeated, cut to BYTES

# guest_pack DIR OUT: the tree as a gzip-compressed cpio archive (newc), owned by root.
guest_pack() {
  (cd "$1" && find . -print0 | sort -z | cpio --null -o -H newc -R 0:0 --quiet) | gzip -1 > "$2"
}

# 0 when this process or one of its ancestors holds the build lock (flock's holders are listed
# in /proc/locks by process id and device:inode).
guest_lock_is_ours() {
  local inode holders pid=$$
  inode=$(stat -c %i "$guest_lock" 2> /dev/null) || return 1
  holders=" $(awk -v inode="$inode" '$2 == "FLOCK" { n = split($6, id, ":"); if (id[n] == inode) print $5 }' /proc/locks | tr '\n' ' ') "
  while [ "$pid" -gt 1 ]; do
    [[ $holders == *" $pid "* ]] && return 0
    pid=$(awk '{ print $4 }' "/proc/$pid/stat" 2> /dev/null) || return 1
  done
  return 1
}

guest_memory=1024  # MiB
guest_cpus=1

# guest_boot NAME DIR SECONDS QEMU-ARGS...: boots the kernel with the initramfs DIR/initrd.gz
# and the given devices, under the build lock (TCG is two cores' worth of work). The guest's
# console goes to DIR/NAME.console, the suite's framed results to DIR/NAME.serial. Returns 0
# when the guest ran its suite to the end (its last frame is "@@@ done").
guest_boot() {
  local name=$1 dir=$2 seconds=$3 version
  shift 3
  version=$(guest_kernel_version) || return 1
  rm -f "$dir/$name.console" "$dir/$name.serial"
  local -a qemu=(
    # TCG with one host thread per guest processor: more than one keeps both cores busy,
    # which is the build lock's to give.
    qemu-system-x86_64 -machine pc -accel tcg,thread=multi -m "$guest_memory" -smp "$guest_cpus"
    # With SMAP on, QEMU 7.2's TCG faults the kernel at an iret back to 32-bit user code.
    -cpu max,-smap
    -nodefaults -no-user-config -display none -no-reboot
    -kernel "/boot/vmlinuz-$version" -initrd "$dir/initrd.gz"
    -append "console=ttyS0 quiet loglevel=4 panic=-1 ${ORVANE_GUEST_APPEND:-}"
    -serial "file:$dir/$name.console" -serial "file:$dir/$name.serial"
    "$@"
  )
  local lock waited=$SECONDS rc
  exec {lock}> "$guest_lock"
  # A caller already under the lock (flock LOCK make test) has it: waiting would never end.
  guest_lock_is_ours || flock "$lock"
  waited=$((SECONDS - waited))
  local ran=$SECONDS
  timeout --foreground -k 10 "$seconds" "${qemu[@]}" < /dev/null
  rc=$?
  exec {lock}>&-
  echo "guest: $name ran $((SECONDS - ran)) s (after $waited s waiting for the build lock)"
  if [ $rc -eq 124 ]; then
    echo "guest: $name did not power off within $seconds s" >&2
  elif [ $rc -ne 0 ]; then
    echo "guest: qemu ended with status $rc" >&2
  fi
  if ! grep -q '^@@@ done' "$dir/$name.serial" 2>/dev/null; then
    echo "guest: $name did not finish its suite; the end of its console:" >&2
    tail -n 30 "$dir/$name.console" >&2 2>/dev/null
    return 1
  fi
  return 0
}

# guest_unpack SERIAL OUTDIR: writes each framed file of the suite's results into OUTDIR.
# A frame is "@@@ file NAME", base64 lines, "@@@ end".
guest_unpack() {
  local serial=$1 out=$2
  rm -rf "$out" && mkdir -p "$out"
  awk -v out="$out" '
    /^@@@ file / { name = $3; file = out "/" name ".b64"; printf "" > file; next }
    /^@@@ end/   { if (file != "") close(file); file = ""; next }
    file != ""   { print > file }
  ' <(tr -d '\r' < "$serial")
  local f
  for f in "$out"/*.b64; do
    [ -e "$f" ] || continue
    base64 -d < "$f" > "${f%.b64}" && rm "$f"
  done
}
