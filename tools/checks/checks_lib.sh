# Shared steps of the end-to-end checks: independent NTFS and partition tools judge what
# lintora wrote. Sourced by the *_checks_test.sh scripts.
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Exit code 77 tells CTest the check was skipped.
need_root_and_fuse() {
    if [ "$(id -u)" != 0 ] || [ ! -e /dev/fuse ]; then
        echo "skipped: needs root and /dev/fuse"
        exit 77
    fi
    for tool in ntfs-3g ntfsfix ntfsresize fsstat fls; do
        command -v "$tool" >/dev/null || fail "$tool is not installed"
    done
}

# A work folder of the check's own, /var/tmp/lintora-NAME.*, with mnt/ and store/ in it (a
# check may mount a tmpfs on store/); when the script ends, what is mounted there and the loop
# device in $loop go with it.
make_work() {
    work=$(mktemp -d "/var/tmp/lintora-$1.XXXXXX")
    loop=
    trap cleanup_work EXIT
    mkdir "$work/mnt" "$work/store"
}
cleanup_work() {
    umount "$work/mnt" 2>/dev/null || true
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
    umount "$work/store" 2>/dev/null || true
    rm -rf "$work"
}

# Sets $json to the partition table of the disk image $1 of $2-byte sectors and $loop to a loop
# device over its last partition (the data partition). sfdisk reads an image file as of 512-byte
# sectors, so the table is read through a loop device of the image's sector size.
loop_last_partition() {
    local image=$1 sector_size=$2 start sectors
    loop=$(losetup -f --show --sector-size "$sector_size" "$image") || fail "losetup failed"
    json=$(sfdisk --json "$loop") || fail "sfdisk cannot read the table"
    losetup -d "$loop"
    loop=
    start=$(sed -n 's/.*"start": \([0-9]*\),.*/\1/p' <<<"$json" | tail -n 1)
    sectors=$(sed -n 's/.*"size": \([0-9]*\),.*/\1/p' <<<"$json" | tail -n 1)
    loop=$(losetup -f --show --sector-size "$sector_size" -o $((start * sector_size)) \
        --sizelimit $((sectors * sector_size)) "$image") || fail "losetup failed"
}

# ntfsfix (dry run) finds nothing to fix, ntfsresize finds the cluster accounting right, and
# sleuthkit parses the volume and lists $MFT.
check_static() {
    local target=$1 out
    out=$(ntfsfix -n "$target" 2>&1) || fail "ntfsfix -n $target failed: $out"
    grep -q "processed successfully" <<<"$out" || fail "ntfsfix -n $target: $out"
    if grep -qiE "corrupt|error|would|fixed|differ|dirty|bad" <<<"$out"; then
        fail "ntfsfix -n $target complains: $out"
    fi
    # ntfsresize checks the volume bitmap against every cluster the records use.
    out=$(ntfsresize --check "$target" 2>&1) || fail "ntfsresize --check $target: $out"
    fsstat "$target" >/dev/null || fail "fsstat cannot parse $target"
    local listing
    listing=$(fls -r "$target") || fail "fls -r cannot walk $target"
    grep -q '\$MFT$' <<<"$listing" || fail "fls -r does not list \$MFT on $target"
}

# The whole judgement of a volume: the static checks, the ntfs-3g round trip, the static checks
# again on what ntfs-3g left.
judge_volume() {
    local target=$1
    check_static "$target"
    exercise_read_write "$target" "$work/mnt" "$work/sums"
    check_static "$target"
}

# Mounts read-write, writes a tree of small files and one large file, remounts and reads every
# byte back; sleuthkit then finds the large file, unless the fourth argument is "no-sleuthkit".
exercise_read_write() {
    local target=$1 mnt=$2 sums=$3 sleuthkit=${4:-}
    ntfs-3g "$target" "$mnt" || fail "ntfs-3g cannot mount $target"
    mkdir -p "$mnt/tree/one/two" "$mnt/tree/three"
    local i
    for i in $(seq 1 150); do
        printf 'small file %d\n' "$i" >"$mnt/tree/one/file$i.txt"
        printf 'nested %d %s\n' "$i" "$RANDOM" >"$mnt/tree/one/two/n$i.dat"
    done
    for i in $(seq 1 50); do
        head -c $((i * 997)) /dev/urandom >"$mnt/tree/three/blob$i"
    done
    head -c 110M /dev/urandom >"$mnt/large.bin"
    (cd "$mnt" && find tree large.bin -type f -print0 | xargs -0 sha256sum) >"$sums"
    umount "$mnt" || fail "umount $mnt"

    ntfs-3g "$target" "$mnt" || fail "ntfs-3g cannot mount $target again"
    (cd "$mnt" && sha256sum --quiet -c "$sums") || { umount "$mnt"; fail "read-back differs"; }
    [ "$(find "$mnt/tree" -type f | wc -l)" = 350 ] || { umount "$mnt"; fail "files missing"; }
    umount "$mnt" || fail "umount $mnt"
    [ "$sleuthkit" != no-sleuthkit ] || return 0
    local listing
    listing=$(fls -r "$target") || fail "fls -r cannot walk $target"
    grep -q 'large.bin$' <<<"$listing" || fail "fls -r does not list large.bin"
}

# Copies the kernel $release's modules MODULE... into ROOT/lib, each after what it needs
# (modules.dep lists a module's needs with the one to load first last), and lists them in load
# order in ROOT/modules, for a guest's init to insmod.
copy_kernel_modules() {
    local root=$1 module line need deps=/lib/modules/$release/modules.dep
    shift
    : >"$root/modules"
    for module in "$@"; do
        line=$(grep -E "^kernel/[^:]*/${module//[-_]/[-_]}\.ko[^:]*:" "$deps") ||
            fail "the kernel $release has no module $module"
        for need in $(tr ' ' '\n' <<<"${line#*:}" | tac) "${line%%:*}"; do
            grep -qx "${need##*/}" "$root/modules" && continue
            cp "/lib/modules/$release/$need" "$root/lib/"
            echo "${need##*/}" >>"$root/modules"
        done
    done
}
