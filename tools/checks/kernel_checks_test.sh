#!/usr/bin/env bash
# The Linux kernel's own NTFS driver (ntfs3) as one more reader of what lintora writes: the
# volume is formatted on an image of the check's own, a virtual machine boots Debian's kernel
# with the image as a virtio disk of the image's logical sector size, and its init loads ntfs3,
# mounts the volume read-write, writes a tree of files and a large one, mounts it again, reads
# every byte back, deletes and renames, and prints the kernel's messages before it powers off.
# Any message ntfs3 gives about the volume fails the check, and ntfsfix then checks what the
# kernel left.
#
# Debian's kernels are built without ntfs3, so the module is built from the kernel's source
# against its headers; the 6.1 stable source never sets the MFT zone's limit (sbi->zone_max),
# which leaves it unable to create a single file, so the assignment is put back before building.
# The kernel, the module and the initramfs are kept in $LINTORA_KERNEL_CACHE (default
# /var/cache/lintora/kernel-reader) and built again only when the installed kernel changes.
#
# usage: kernel_checks_test.sh --prepare
#        kernel_checks_test.sh LINTORA volume|disk SIZE SECTOR_SIZE CLUSTER_SIZE|auto [OPTION...]
source "$(dirname "$0")/checks_lib.sh"

cache=${LINTORA_KERNEL_CACHE:-/var/cache/lintora/kernel-reader}

skip() {
    echo "skipped: $*"
    exit 77
}

# The installed Debian kernel whose headers are installed too.
find_kernel() {
    local dir
    for dir in /usr/src/linux-headers-*-amd64; do
        release=${dir#/usr/src/linux-headers-}
        [ -e "/boot/vmlinuz-$release" ] && [ -d "/lib/modules/$release" ] && return 0
    done
    return 1
}

# Lays out the initramfs: busybox, the virtio modules, ntfs3 and the guest's init.
make_initramfs() {
    local root=$1 module
    mkdir -p "$root"/{bin,dev,proc,sys,mnt,lib}
    cp /bin/busybox "$root/bin/busybox"
    copy_kernel_modules "$root" virtio_pci virtio_blk
    cp "$cache/ntfs3.ko" "$root/lib/ntfs3.ko"
    echo ntfs3.ko >>"$root/modules"
    cp "$(dirname "$0")/kernel_guest_init.sh" "$root/init"
    chmod +x "$root/init"
    (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$cache/initramfs.gz.new"
    mv "$cache/initramfs.gz.new" "$cache/initramfs.gz"
}

prepare() {
    for tool in qemu-system-x86_64 cpio gzip make xz; do
        command -v "$tool" >/dev/null || fail "$tool is not installed"
    done
    [ -x /bin/busybox ] || fail "busybox-static is not installed"
    find_kernel || fail "no Debian kernel with its headers is installed (linux-image-amd64," \
        "linux-headers-amd64)"
    local source
    source=$(ls /usr/src/linux-source-*.tar.xz 2>/dev/null | head -n 1)
    [ -n "$source" ] || fail "linux-source-6.1 is not installed"
    mkdir -p "$cache"
    exec 9>"$cache/lock"
    flock 9
    # Built again when the kernel, its source or these scripts change.
    local stamp scripts
    scripts=$(cat "$0" "$(dirname "$0")/kernel_guest_init.sh" | sha256sum | cut -c1-16)
    stamp="$release $(stat -c %Y "$source") $scripts"
    if [ -e "$cache/stamp" ] && [ "$(cat "$cache/stamp")" = "$stamp" ]; then
        echo "kernel reader cached: $release"
        return 0
    fi
    rm -f "$cache/stamp"
    make_work kernel-build
    local dir=$work/src
    mkdir "$dir"
    tar -xJf "$source" -C "$dir" --strip-components=1 --wildcards '*/fs/ntfs3/*' ||
        fail "cannot unpack fs/ntfs3 from $source"
    local super=$dir/fs/ntfs3/super.c
    if ! grep -q 'sbi->zone_max = ' "$dir"/fs/ntfs3/*.c; then
        grep -q '^	err = ntfs_refresh_zone(sbi);$' "$super" ||
            fail "$super: no place for the MFT zone's limit"
        sed -i 's|^	err = ntfs_refresh_zone(sbi);$|	sbi->zone_max = min_t(CLST, 0x20000000 >> sbi->cluster_bits, tt >> 3);\n&|' \
            "$super"
    fi
    make -C "/usr/src/linux-headers-$release" M="$dir/fs/ntfs3" CONFIG_NTFS3_FS=m modules \
        -j"$(nproc)" >"$work/build.log" 2>&1 || fail "building ntfs3.ko failed: $(tail -n 20 "$work/build.log")"
    cp "$dir/fs/ntfs3/ntfs3.ko" "$cache/ntfs3.ko"
    cp "/boot/vmlinuz-$release" "$cache/vmlinuz"
    make_initramfs "$work/initramfs"
    echo "$stamp" >"$cache/stamp"
    echo "kernel reader built: $release, ntfs3.ko from $(basename "$source")"
}

if [ "${1:-}" = --prepare ]; then
    prepare
    exit 0
fi

lintora=$1 command=$2 size=$3 sector_size=$4 cluster=$5
shift 5
[ "$(id -u)" = 0 ] || skip "needs root"
[ -e "$cache/stamp" ] || fail "the kernel reader is not prepared: run $0 --prepare"
command -v ntfsfix >/dev/null || fail "ntfsfix is not installed"

make_work kernel
# A tmpfs of the check's own: ext4 takes no file of 16 TiB or more, and the guest's writes stay
# in memory.
mount -t tmpfs -o size=3G tmpfs "$work/store" || fail "cannot mount tmpfs"
image=$work/store/disk.img
truncate -s "$size" "$image" 2>"$work/why" || skip "tmpfs takes no file of $size: $(cat "$work/why")"
extra=()
[ "$command" = disk ] && extra=(--yes --any-size)
"$lintora" "$command" "$image" --sector-size "$sector_size" --cluster-size "$cluster" \
    "${extra[@]}" "$@" --progress=none >"$work/out" 2>&1 ||
    fail "lintora $command failed: $(cat "$work/out")"
partition=
[ "$command" = disk ] && partition=last

# Software emulation: KVM inside a virtual machine of its own may hang the guest.
timeout 600 qemu-system-x86_64 -machine accel=tcg -m 768 -smp 1 -nographic -no-reboot \
    -kernel "$cache/vmlinuz" -initrd "$cache/initramfs.gz" \
    -append "console=ttyS0 panic=-1 loglevel=4 lintora.partition=$partition" \
    -drive "file=$image,format=raw,if=none,id=disk,cache=writeback" \
    -device "virtio-blk-pci,drive=disk,logical_block_size=$sector_size,physical_block_size=$sector_size" \
    </dev/null >"$work/console" 2>&1 || fail "the virtual machine failed: $(tail -n 30 "$work/console")"
tr -d '\r' <"$work/console" >"$work/console.txt"
[ -z "${LINTORA_KERNEL_CONSOLE:-}" ] || cp "$work/console.txt" "$LINTORA_KERNEL_CONSOLE"
# The kernel's messages about the volume carry its device's name: "ntfs3: vda1: ...".
if grep -E 'ntfs3: vd[a-z]+[0-9]*:' "$work/console.txt" >"$work/complaints"; then
    fail "ntfs3 complains about the volume: $(cat "$work/complaints")"
fi
grep -q '^LINTORA-GUEST: round trip passed$' "$work/console.txt" ||
    fail "the round trip under ntfs3 did not pass: $(grep -E 'LINTORA-GUEST|ntfs3|BUG|Oops' "$work/console.txt" | tail -n 30)"

# What the kernel left is a volume ntfsfix finds nothing to fix in.
target=$image
if [ -n "$partition" ]; then
    loop_last_partition "$image" "$sector_size"
    target=$loop
fi
out=$(ntfsfix -n "$target" 2>&1) || fail "ntfsfix -n after ntfs3 failed: $out"
grep -q "processed successfully" <<<"$out" || fail "ntfsfix -n after ntfs3: $out"
echo "ntfs3 read and wrote the $size $command ($sector_size-byte sectors, $cluster clusters):" \
    "$(grep -c '^LINTORA-GUEST: ok' "$work/console.txt") steps"
