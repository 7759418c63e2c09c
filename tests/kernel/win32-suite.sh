# The guest half of the 32-bit Windows tests (sourced by /init as /suite/main.sh): mounts the
# host's root file system read-only and the win32 build folder writable (both over virtio-9p),
# enters the host's root with chroot and runs tests/kernel/win32-chroot.sh there, whose output
# goes into the build folder. /suite/config sets REPO, the repository's path, and CTEST_ARGS.
. /suite/config
root=/mnt/root
mkdir -p $root
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro hostroot $root ||
  { say win32.rc 125; return; }
mount -t proc proc $root/proc
mount -t sysfs sysfs $root/sys
mount -o bind /dev $root/dev
mkdir -p /dev/shm /dev/pts
mount -t tmpfs tmpfs $root/dev/shm
mount -t devpts devpts $root/dev/pts
# A checkout under one of the directories the tmpfs below covers (a clone in /tmp) is held aside
# first and bound back onto its path afterwards.
mkdir -p /mnt/repo
mount -o bind "$root$REPO" /mnt/repo
for dir in /tmp /run /var/lib/xkb /var/tmp; do
  mount -t tmpfs tmpfs "$root$dir"
done
if [ ! -d "$root$REPO/tests/kernel" ]; then
  mkdir -p "$root$REPO" && mount -o bind /mnt/repo "$root$REPO"
fi
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose build32 "$root$REPO/build/win32" ||
  { say win32.rc 125; return; }

log=$REPO/build/win32/kernel-tests.log
chroot $root /bin/bash "$REPO/tests/kernel/win32-chroot.sh" "$REPO" $CTEST_ARGS > "$root$log" 2>&1 < /dev/null
say win32.rc $?
# The log's last part (CTest's summary) comes home in the results too; the whole log stays in
# the build folder.
tail -n 60 "$root$log" > /tmp/results/win32.tail
send win32.tail /tmp/results/win32.tail
sync
umount "$root$REPO/build/win32"
