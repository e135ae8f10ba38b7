#!/bin/busybox sh
# The init of the kernel reader's virtual machine: loads the virtio disk's modules and ntfs3,
# mounts the volume lintora wrote (the whole disk, or the partition the kernel command line's
# lintora.partition=last asks for) read-write, writes files, mounts it again and reads them back,
# deletes and renames, prints the kernel's messages and powers off. Every step that passes
# prints "LINTORA-GUEST: ok ..."; the last line is "LINTORA-GUEST: round trip passed" or a
# failure.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

say() { echo "LINTORA-GUEST: $*"; }
finish() {
    dmesg | grep -i ntfs3
    [ "$1" = "round trip passed" ] || cat /proc/partitions
    say "$1"
    sync
    poweroff -f
}
step() {
    local what=$1
    shift
    if "$@"; then
        say "ok $what"
    else
        finish "failed: $what"
    fi
}

for module in $(cat /modules); do
    insmod "/lib/$module" || finish "failed: insmod $module"
done
# The disk appears once virtio_blk has probed it and read its partition table.
tries=0
while [ ! -b /dev/vda ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
[ -b /dev/vda ] || finish "failed: no /dev/vda"
# A disk's data partition is its last one (GPT puts the reserved partition before it).
device=/dev/vda
if grep -q 'lintora\.partition=last' /proc/cmdline; then
    last=$(cd /sys/block/vda && ls -d vda[0-9]* 2>/dev/null | sort -n -k1.4 | tail -n 1)
    [ -n "$last" ] && [ -b "/dev/$last" ] || finish "failed: /dev/vda has no partition"
    device=/dev/$last
fi
say "ok $device, $(cat /sys/block/vda/queue/logical_block_size)-byte sectors"

write_files() {
    mkdir -p /mnt/tree/one/two /mnt/tree/three || return 1
    i=1
    while [ $i -le 120 ]; do
        echo "small file $i" >/mnt/tree/one/file$i.txt || return 1
        echo "nested $i $RANDOM" >/mnt/tree/one/two/n$i.dat || return 1
        i=$((i + 1))
    done
    i=1
    while [ $i -le 20 ]; do
        dd if=/dev/urandom of=/mnt/tree/three/blob$i bs=997 count=$i 2>/dev/null || return 1
        i=$((i + 1))
    done
    dd if=/dev/urandom of=/mnt/large.bin bs=1M count=48 2>/dev/null || return 1
    (cd /mnt && find tree large.bin -type f | sort | xargs sha256sum) >/sums
}
read_back() { (cd /mnt && sha256sum -c -s /sums) && [ "$(find /mnt/tree -type f | wc -l)" = 260 ]; }
change() {
    rm -r /mnt/tree/one/two && mv /mnt/large.bin /mnt/tree/renamed.bin &&
        [ "$(find /mnt/tree -type f | wc -l)" = 141 ]
}

step "mount" mount -t ntfs3 "$device" /mnt
step "write" write_files
step "unmount" umount /mnt
step "mount again" mount -t ntfs3 "$device" /mnt
step "read back" read_back
step "delete and rename" change
step "unmount again" umount /mnt
step "mount a third time" mount -t ntfs3 -o ro "$device" /mnt
step "the change kept" sh -c '[ ! -e /mnt/tree/one/two ] && [ -f /mnt/tree/renamed.bin ]'
step "unmount a third time" umount /mnt
finish "round trip passed"
