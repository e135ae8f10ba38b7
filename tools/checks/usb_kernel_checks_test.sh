#!/usr/bin/env bash
# lintora on a real kernel's USB disks: Debian's kernel boots under qemu-system-x86_64 with
# QEMU's own USB storage (a bulk-only disk and a UAS disk of 3 TiB with 4096-byte sectors on
# xHCI, a bulk-only disk above 2 TiB for GPT, a removable stick on EHCI) beside an IDE and a
# virtio disk, and its init (usb_guest_init.sh) runs the lists, the refusals and a verified disk
# job on each fixed USB disk; then a disk is plugged in through QEMU's monitor and pulled out
# during a full format. Here, afterwards, sfdisk, sgdisk, ntfsfix and an ntfs-3g round trip
# judge each image, the refused disks must hold what they held, and what each run said is
# checked against what the kernel counted and what reached the images.
#
# The kernel is the one the kernel reader prepares (kernel_checks_test.sh --prepare); the
# initramfs, with the USB modules and the lintora under test, is made for each run (a second).
#
# usage: usb_kernel_checks_test.sh LINTORA
source "$(dirname "$0")/checks_lib.sh"

lintora=$1
cache=${LINTORA_KERNEL_CACHE:-/var/cache/lintora/kernel-reader}
skip() {
    echo "skipped: $*"
    exit 77
}
[ "$(id -u)" = 0 ] || skip "needs root"
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
command -v python3 >/dev/null || skip "python3 is not installed (QEMU's monitor is spoken in it)"
[ -e "$cache/vmlinuz" ] || fail "the kernel reader is not prepared: run kernel_checks_test.sh --prepare"
need_root_and_fuse
for tool in sgdisk sfdisk ldd cpio; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done
release=
for dir in /lib/modules/*-amd64; do
    [ -e "$dir/modules.dep" ] && release=${dir##*/}
done
[ -n "$release" ] || fail "no Debian kernel's modules are installed (linux-image-amd64)"

make_work usb-kernel
mount -t tmpfs -o size=8G tmpfs "$work/store" || fail "cannot mount tmpfs"

# The initramfs: busybox, the USB, SCSI, IDE and virtio modules, lintora with the libraries it
# links, the init.
root=$work/root
mkdir -p "$root"/{bin,dev,proc,sys,lib,tmp}
cp /bin/busybox "$root/bin/busybox"
copy_kernel_modules "$root" xhci-pci ehci-pci usb-storage uas sd_mod ata_piix virtio_pci virtio_blk
cp "$lintora" "$root/bin/lintora"
for library in $(ldd "$lintora" | grep -oE '/[^ ]+'); do
    cp -L "$library" "$root/lib/"
done
mkdir -p "$root/lib64"
cp -L /lib64/ld-linux-x86-64.so.2 "$root/lib64/"
cp "$(dirname "$0")/usb_guest_init.sh" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initramfs.gz"

# The disks, each of a size of its own so that the guest tells them apart. The refused ones
# carry a mark, to be found again unchanged.
gib=$((1 << 30))
declare -A size=([bulk]=$((4 * gib)) [uas]=$((3 << 40)) [gpt]=$((5 << 39)) [stick]=$((2 * gib))
    [ide]=$((3 * gib)) [virtio]=$((5 * gib)) [plugged]=$((6 * gib)))
for name in "${!size[@]}"; do
    truncate -s "${size[$name]}" "$work/store/$name.img"
done
for name in stick ide virtio bulk; do
    printf 'LINTORA MARK %s' "$name" | dd of="$work/store/$name.img" bs=512 seek=0 conv=notrunc status=none
done
# Old data over the plugged disk's first 1.5 GiB: the zeros the run claims must have replaced it.
head -c $((3 * gib / 2)) /dev/zero | tr '\0' '\377' |
    dd of="$work/store/plugged.img" conv=notrunc status=none
marks() { for name in stick ide virtio; do head -c 1M "$work/store/$name.img" | sha256sum; done; }
marks_before=$(marks)

append="console=ttyS0 panic=-1 loglevel=1"
for name in "${!size[@]}"; do
    append+=" lintora.$name=${size[$name]}"
done
drive() { echo "file=$work/store/$1.img,format=raw,if=none,id=$1,cache=writeback"; }
console=$work/console
: >"$console"
tab=$'\t'
timeout 900 qemu-system-x86_64 -machine pc,accel=tcg -m 1024 -smp 1 -nographic -no-reboot \
    -kernel "$cache/vmlinuz" -initrd "$work/initramfs.gz" -append "$append" \
    -qmp "unix:$work/qmp,server=on,wait=off" \
    -device qemu-xhci,id=xhci -device usb-ehci,id=ehci \
    -drive "$(drive bulk)" -device usb-storage,bus=xhci.0,drive=bulk,removable=off \
    -drive "$(drive gpt)" -device usb-storage,bus=xhci.0,drive=gpt,removable=off \
    -drive "$(drive uas)" -device usb-uas,id=uas,bus=xhci.0 \
    -device scsi-hd,bus=uas.0,scsi-id=0,lun=0,drive=uas,logical_block_size=4096,physical_block_size=4096,vendor=Maker,product=UAS-Disk \
    -drive "$(drive stick)" -device usb-storage,bus=ehci.0,drive=stick,removable=on \
    -drive "file=$work/store/ide.img,format=raw,if=ide,cache=writeback" \
    -drive "file=$work/store/virtio.img,format=raw,if=virtio,cache=writeback" \
    -drive "$(drive plugged)" \
    </dev/null >"$console" 2>&1 &
vm=$!

# QEMU's monitor: one command, its answer.
qmp() {
    python3 - "$work/qmp" "$1" <<'EOF'
import json, socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
f = s.makefile("rw")
f.readline()
for command in ({"execute": "qmp_capabilities"}, json.loads(sys.argv[2])):
    f.write(json.dumps(command) + "\n")
    f.flush()
    while True:
        answer = json.loads(f.readline())
        if "return" in answer or "error" in answer:
            break
if "error" in answer:
    sys.exit("QMP: " + answer["error"]["desc"])
EOF
}
wait_for_line() {
    local tries=0
    until grep -q "^LINTORA-USB: $1" <(tr -d '\r' <"$console"); do
        kill -0 "$vm" 2>/dev/null || fail "the virtual machine ended before '$1': $(tail -n 30 "$console")"
        [ $tries -lt 6000 ] || fail "no '$1' from the guest: $(tail -n 30 "$console")"
        sleep 0.1
        tries=$((tries + 1))
    done
}
wait_for_line plug
qmp '{"execute": "device_add", "arguments": {"driver": "usb-storage", "bus": "xhci.0", "drive": "plugged", "id": "plugged", "removable": false}}' ||
    fail "QEMU would not plug the disk in"
wait_for_line pull
qmp '{"execute": "device_del", "arguments": {"id": "plugged"}}' || fail "QEMU would not pull the disk out"
wait "$vm" || fail "the virtual machine failed: $(tail -n 30 "$console")"
tr -d '\r' <"$console" >"$console.txt"
[ -z "${LINTORA_USB_CONSOLE:-}" ] || cp "$console.txt" "$LINTORA_USB_CONSOLE"
grep -q '^LINTORA-USB: done$' "$console.txt" ||
    fail "the guest did not finish: $(grep -E 'LINTORA-USB|BUG|Oops' "$console.txt" | tail -n 30)"

# What a step printed, and its exit status.
output() { sed -n "/^LINTORA-USB: begin $1\$/,/^LINTORA-USB: end $1 /p" "$console.txt" | sed '1d;$d'; }
status_of() { sed -n "s/^LINTORA-USB: end $1 \([0-9]*\)$/\1/p" "$console.txt"; }
expect_step() {
    local name=$1 code=$2 text=$3
    [ "$(status_of "$name")" = "$code" ] || fail "$name: exit $(status_of "$name"), not $code: $(output "$name")"
    grep -qF -- "$text" <<<"$(output "$name")" || fail "$name: no '$text' in: $(output "$name")"
}
device_of() { sed -n "s/.*LINTORA-USB: disk $1 \([^ ]*\) .*/\1/p" "$console.txt"; }

# The lists: QEMU's vendor is not the maker's; with any vendor, the fixed USB disks, each as
# what it is, and the stick, the IDE and the virtio disks left out with their reasons.
expect_step list 0 "no disk found"
expect_step list-any 0 "$(device_of stick): it has removable media"
expect_step list-any 0 "$(device_of bulk)${tab}not supported: 8388608 sectors of 512 bytes lie outside"
# The IDE and virtio disks are no USB disks: not even named. The disks inside the capacity
# window can be formatted, the 4 GiB one cannot.
output list-json | grep -v "^lintora list:" | python3 -c '
import json, sys
disks = {d["path"]: d for d in json.load(sys.stdin)}
expected = {sys.argv[1]: (4 << 30, 512, False), sys.argv[2]: (3 << 40, 4096, True),
            sys.argv[3]: (5 << 39, 512, True)}
assert set(disks) == set(expected), disks
for path, (capacity, sector, formattable) in expected.items():
    d = disks[path]
    assert d["capacity_bytes"] == capacity and d["sector_size"] == sector, d
    assert d["formattable"] == formattable and d["letters"] == [], d
assert "UAS-Disk" in disks[sys.argv[2]]["entry"], disks[sys.argv[2]]' \
    "$(device_of bulk)" "$(device_of uas)" "$(device_of gpt)" ||
    fail "list --any-vendor --json: $(output list-json)"
# The refusals, each by its reason, with nothing written.
expect_step refuse-stick 1 "it has removable media"
expect_step refuse-ide 1 "not a disk this program formats"
expect_step refuse-virtio 1 "not a disk this program formats"
expect_step refuse-vendor 1 "not a disk this program formats"
expect_step refuse-window 1 "this disk is not supported"
[ "$(marks)" = "$marks_before" ] || fail "a refused disk was written to"

# Each verified disk job: its record, the kernel's partitions at the offsets it gives, the
# sectors the kernel counted read against the bytes it says it read back, and the image judged.
for name in bulk uas gpt; do
    block=$(basename "$(device_of $name)")
    sector=$([ "$name" = uas ] && echo 4096 || echo 512)
    style=$([ "$name" = gpt ] && echo gpt || echo mbr)
    [ "$(status_of "job-$name")" = 0 ] || fail "job-$name: $(output "job-$name")"
    json=$(output "job-$name" | grep '^{')
    read -r offset bytes verified <<<"$(python3 -c 'import json, sys
run = json.loads(sys.argv[1])
assert run["result"] == "formatted" and run["partition_style"] == sys.argv[2], run
print(run["volume_offset"], run["volume_bytes"],
      run["verified_bytes"] + run["cache_displaced_bytes"])' "$json" "$style")" ||
        fail "job-$name: $json"
    # The data partition is the last one; the kernel counts its start and size in 512 bytes.
    last=$(output "partitions-$name" | tail -n 1)
    [ "${last#* }" = "$((offset / 512)) $((bytes / 512))" ] ||
        fail "job-$name: the kernel's partition $last, the record's $offset $bytes"
    # Field 6 of /proc/diskstats: sectors of 512 bytes read. The read-back reads what it
    # compares and, before that, what displaces the drive's cache; the job reads the table back
    # too (a few sectors).
    read_before=$(output "stats-before-$name" | awk '{ print $6 }')
    read_after=$(output "stats-after-$name" | awk '{ print $6 }')
    read_bytes=$(((read_after - read_before) * 512))
    [ "$read_bytes" -ge "$verified" ] && [ "$read_bytes" -le $((verified + 4 * 1048576)) ] ||
        fail "job-$name: said $verified bytes read, the kernel read $read_bytes"
    image=$work/store/$name.img
    loop=$(losetup -f --show --sector-size "$sector" "$image") || fail "losetup failed"
    out=$(sgdisk -v "$loop" 2>&1)
    [ "$style" = mbr ] || grep -q "No problems found" <<<"$out" || fail "sgdisk -v $name: $out"
    losetup -d "$loop"
    loop=
    loop_last_partition "$image" "$sector"
    check_static "$loop"
    exercise_read_write "$loop" "$work/mnt" "$work/sums" no-sleuthkit
    losetup -d "$loop"
    loop=
done

# The plugged disk: listed once it came, then pulled out mid-way: the run ends as gone within
# seconds, and the zeros it claims are on its image, over the old data.
expect_step list-plugged 0 "6.00GB"
[ "$(sed -n 's/^LINTORA-USB: pulled-status //p' "$console.txt")" = 1 ] ||
    fail "the pulled run: $(output pulled-err)"
seconds=$(sed -n 's/^LINTORA-USB: pulled-seconds //p' "$console.txt")
[ "$seconds" -le 30 ] || fail "the pulled run took $seconds s to end"
json=$(output pulled-json | grep '^{')
claimed=$(python3 -c 'import json, re, sys
error = json.loads(sys.argv[1])["error"]
assert error["cause"] == "gone" and error["class"] == "failed", error
found = re.search(r"holds zeros up to byte (\d+)", error["reason"])
print(found.group(1) if found else 0)' "$json") || fail "the pulled run's record: $json"
[ "$claimed" -gt 0 ] || fail "the pulled run claims no zeros: $json"
zeros=$(head -c "$claimed" "$work/store/plugged.img" | tr -d '\0' | wc -c)
[ "$zeros" = 0 ] || fail "the pulled disk holds $zeros other bytes below byte $claimed, claimed zeros"
echo "USB disks under Debian's kernel $release: lists, refusals, three verified disk jobs and a" \
    "disk pulled out mid-way ($claimed bytes of zeros claimed and found) passed"
