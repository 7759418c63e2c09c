# The guest half of the Wine drive checks (sourced by /init as /suite/main.sh): mounts the host's
# root file system read-only and the Wine prefix writable (both over virtio-9p), puts tmpfs over
# the host's /tmp, /run and /var/lib/xkb, copies the executables from the initramfs into that
# /tmp (programs run from a 9p share crash at start under Wine), runs
# tests/kernel/wine-drives-chroot.sh there and sends every result home. Nothing is read from the
# repository's path, so a checkout under /tmp works too.
root=/mnt/root
mkdir -p $root
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro hostroot $root ||
  { say wine.rc 125; return; }
mount -t proc proc $root/proc
mount -t sysfs sysfs $root/sys
mount -o bind /dev $root/dev
mkdir -p /dev/shm /dev/pts
mount -t tmpfs tmpfs $root/dev/shm
mount -t devpts devpts $root/dev/pts
for dir in /tmp /run /var/lib/xkb /var/tmp; do
  mount -t tmpfs tmpfs "$root$dir"
done
mkdir -p $root/tmp/prefix $root/tmp/stage
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose prefix $root/tmp/prefix ||
  { say wine.rc 126; return; }
cp -r /suite/stage/. $root/tmp/stage/

( . /suite/stage/config && chroot $root /bin/bash /tmp/stage/chroot.sh /tmp/stage > /tmp/results/wine.log 2>&1 < /dev/null )
say wine.rc $?
send wine.log /tmp/results/wine.log
for f in $root/tmp/results/*; do
  [ -f "$f" ] && send "${f##*/}" "$f"
done
sync
umount $root/tmp/prefix
