#!/bin/busybox sh
# The init of the USB check's virtual machine: loads the USB, SCSI, IDE and virtio disk modules,
# waits for the disks the host attached, then runs lintora as a user would on them: the lists,
# the refusals, a verified disk job on each fixed USB disk, and a full format of a disk the host
# plugs in and pulls out again. What each step printed goes to the console between
# "LINTORA-USB: begin NAME" and "LINTORA-USB: end NAME STATUS" lines for the host to judge; the
# last line is "LINTORA-USB: done".
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
export PATH=/bin LD_LIBRARY_PATH=/lib
echo  # the firmware's last escape codes end on a line of their own

say() { echo "LINTORA-USB: $*"; }
finish() {
    say "$1"
    sync
    poweroff -f
}
# run NAME COMMAND...: the command's output between markers, then its exit status.
run() {
    local name=$1 status
    shift
    say "begin $name"
    "$@" 2>&1
    status=$?
    say "end $name $status"
}

for module in $(cat /modules); do
    insmod "/lib/$module" || finish "failed: insmod $module"
done

# The disk of a given size in bytes, by its name in /sys/block; the host gives each disk a size
# of its own.
disk_of_size() {
    local block
    for block in /sys/block/sd* /sys/block/vd*; do
        [ -e "$block/size" ] || continue
        [ $(($(cat "$block/size") * 512)) = "$1" ] && { echo "/dev/${block##*/}"; return 0; }
    done
    return 1
}
wait_for_size() {
    local tries=0
    while ! disk_of_size "$1" >/dev/null && [ $tries -lt 600 ]; do
        sleep 0.2
        tries=$((tries + 1))
    done
    disk_of_size "$1"
}

# The sizes the host gave, from the kernel command line: lintora.NAME=BYTES.
size() { sed -n "s/.*lintora\.$1=\([0-9]*\).*/\1/p" /proc/cmdline; }
for name in bulk uas gpt stick ide virtio; do
    device=$(wait_for_size "$(size $name)") || finish "failed: no disk of $(size $name) bytes ($name)"
    eval "dev_$name=$device"
    say "disk $name $device $(cat /sys/block/${device#/dev/}/queue/logical_block_size)"
done

run list lintora list
run list-any lintora list --any-vendor
run list-json lintora list --any-vendor --json
# The refusals, each before anything is written.
run refuse-stick lintora disk "$dev_stick" --yes --any-size
run refuse-ide lintora disk "$dev_ide" --yes --any-size
run refuse-virtio lintora disk "$dev_virtio" --yes --any-size
run refuse-vendor lintora disk "$dev_bulk" --yes --any-size
run refuse-window lintora disk "$dev_bulk" --yes --any-disk
# A verified disk job on each fixed USB disk, with the kernel's counts of its sectors around it
# and its partitions after it.
for name in bulk uas gpt; do
    eval "device=\$dev_$name"
    block=${device#/dev/}
    run "stats-before-$name" grep " $block " /proc/diskstats
    run "job-$name" lintora disk "$device" --any-disk --any-size --yes --verify --json \
        --progress=none
    run "stats-after-$name" grep " $block " /proc/diskstats
    run "partitions-$name" sh -c "for p in /sys/block/$block/$block*; do
        echo \${p##*/} \$(cat \$p/start) \$(cat \$p/size); done"
done

# A disk plugged in while the system runs is listed; pulled out during a full format, the run
# ends as gone within seconds and says what it can prove.
say "plug"
device=$(wait_for_size "$(size plugged)") || finish "failed: the plugged disk never came"
run list-plugged lintora list --any-vendor
lintora disk "$device" --any-disk --any-size --yes --full --verify --json --progress=lines \
    >/tmp/json 2>/tmp/err &
job=$!
# Once the zeros are past the first GiB's flush, the host pulls the disk.
tries=0
while ! grep -q " ${device#/dev/} " /proc/diskstats || [ $(($(awk -v d="${device#/dev/}" \
    '$3 == d { print $10 }' /proc/diskstats) * 512)) -lt 1300000000 ] && [ $tries -lt 1200 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
say "pull"
started=$(cut -d. -f1 /proc/uptime)
wait "$job"
status=$?
say "pulled-seconds $(($(cut -d. -f1 /proc/uptime) - started))"
run pulled-err cat /tmp/err
run pulled-json cat /tmp/json
say "pulled-status $status"
sync
finish "done"
