#!/usr/bin/env bash
# A full format and the read-back on images whose reads and writes fail or get lost, injected by
# a preloaded library: bad sectors in the free area become bad clusters (ntfsresize counts them,
# ntfs-3g writes and reads files beside them with the same faults in place), a bad sector in
# $MFT refuses the run, a device that goes away is no bad sector, and a lost write is caught.
# usage: fault_checks_test.sh LINTORA SHIM
source "$(dirname "$0")/checks_lib.sh"
lintora=$1 shim=$2
need_root_and_fuse

work=$(mktemp -d /var/tmp/lintora-faults.XXXXXX)
cleanup() {
    umount "$work/mnt" 2>/dev/null || true
    umount "$work/small" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/mnt"
image=$work/volume.img
gib=$((1 << 30))

# faulty VAR=VALUE... -- ARGS: runs lintora ARGS with the faults in the environment; its stderr
# lands in $work/err.
faulty() {
    local faults=()
    while [ "$1" != -- ]; do
        faults+=("$1")
        shift
    done
    shift
    env LD_PRELOAD="$shim" "${faults[@]}" "$lintora" "$@" 2>"$work/err" >/dev/null
}
fresh_image() {
    rm -f "$image"
    truncate -s $((4 * gib)) "$image"
}
expect_failure() {
    local what=$1 text=$2 status=$3
    [ "$status" = 1 ] || fail "$what: exit $status, not 1: $(cat "$work/err")"
    grep -qF -- "$text" "$work/err" || fail "$what: stderr lacks '$text': $(cat "$work/err")"
}

# Bad sectors in the free area: one cluster's worth just past 1 GiB.
bad_first=$((gib + 4096)) bad_end=$((gib + 8192))
fresh_image
LD_PRELOAD="$shim" LINTORA_FAULT_BAD="$bad_first:$bad_end" \
    "$lintora" volume "$image" --full --verify >/dev/null 2>"$work/err" ||
    fail "full format with bad sectors in the free area: $(cat "$work/err")"
# ntfsresize sees $Bad non-empty and finds the bitmap marking its clusters in use; ntfscluster
# finds the bad cluster in $BadClus:$Bad, and its neighbour in no file.
out=$(ntfsresize --info --bad-sectors --force "$image" 2>&1) || fail "ntfsresize --info: $out"
grep -q "has at least 1 bad sector" <<<"$out" || fail "ntfsresize sees no bad sector: $out"
out=$(ntfscluster -c $((bad_first / 4096)) "$image" 2>&1)
grep -qF '/$BadClus/$DATA($Bad)' <<<"$out" || fail "the bad cluster is not in \$Bad: $out"
out=$(ntfscluster -c $((bad_first / 4096 + 1)) "$image" 2>&1)
grep -q "no inode found" <<<"$out" || fail "the cluster beside the bad one is in use: $out"
out=$(ntfsfix -n "$image" 2>&1) || fail "ntfsfix -n: $out"
grep -q "processed successfully" <<<"$out" || fail "ntfsfix -n: $out"
# Files written and read back through ntfs-3g with the same bad sectors in place: nothing lands
# on them.
LD_PRELOAD="$shim" LINTORA_FAULT_BAD="$bad_first:$bad_end" \
    ntfs-3g "$image" "$work/mnt" || fail "ntfs-3g cannot mount the volume with bad clusters"
head -c 2500M /dev/zero | tr '\0' 'x' >"$work/mnt/fill.bin" ||
    fail "ntfs-3g cannot fill the volume around the bad clusters"
umount "$work/mnt"
LD_PRELOAD="$shim" LINTORA_FAULT_BAD="$bad_first:$bad_end" \
    ntfs-3g "$image" "$work/mnt" || fail "ntfs-3g cannot mount the volume again"
[ "$(tr -d 'x' <"$work/mnt/fill.bin" | wc -c)" = 0 ] || fail "the file read back differs"
umount "$work/mnt"

# A bad sector inside $MFT (at 3 GiB): refused, naming it, with no valid volume left.
fresh_image
status=0
faulty LINTORA_FAULT_BAD=$((3 * gib + 8192)):$((3 * gib + 8704)) -- volume "$image" --full ||
    status=$?
expect_failure "bad sector in \$MFT" "the bad sector at byte $((3 * gib + 8192)) lies where" $status
grep -qF "no valid volume" "$work/err" || fail "no state after the refusal: $(cat "$work/err")"
! ntfsinfo -m "$image" >/dev/null 2>&1 || fail "a volume is left after the refusal"

# A device that goes away (ENODEV) at 2 GiB: the run fails with the reason, no bad sector.
fresh_image
status=0
faulty LINTORA_FAULT_BAD=$((2 * gib)):$((4 * gib)) LINTORA_FAULT_ERRNO=19 -- volume "$image" --full ||
    status=$?
expect_failure "device gone" "No such device" $status

# A write the medium silently drops: --verify catches it, for the volume's boot sector and for
# the disk's file system before its partition table.
fresh_image
status=0
faulty LINTORA_FAULT_DROP=0 -- volume "$image" --verify || status=$?
expect_failure "lost boot sector" "read-back at byte 0 differs from what was written" $status
fresh_image
status=0
faulty LINTORA_FAULT_DROP=$((1 << 20)) -- disk "$image" --any-size --yes --verify || status=$?
expect_failure "lost file system write" "the partition table was not written" $status
[ "$(sfdisk --json "$image" 2>/dev/null | grep -c '"node"')" = 0 ] ||
    fail "a partition table was written after the read-back failed"
# A full format of a sparse image whose file system lacks the room is refused before the first
# write, with the bytes it lacks.
mkdir "$work/small"
mount -t tmpfs -o size=256M tmpfs "$work/small" || fail "cannot mount a small tmpfs"
truncate -s $((4 * gib)) "$work/small/sparse.img"
status=0
faulty -- volume "$work/small/sparse.img" --full || status=$?
expect_failure "no room for a full format" "bytes to hold every byte of the image; nothing was written" $status
[ "$(du -k "$work/small/sparse.img" | cut -f1)" = 0 ] || fail "the image was written to"
umount "$work/small"
# A flush that fails from its N-th call on: every step names itself ("flushing ..."), never as a
# failed write, and what the line claims of the image is true: "holds no valid volume" only where
# no system finds a volume; where the boot sectors could not be taken back, it says so.
for from in 1 2 3 4 5 6; do
    fresh_image
    status=0
    faulty LINTORA_FAULT_FLUSH_FROM=$from -- volume "$image" --verify || status=$?
    [ "$status" = 1 ] || fail "flush failing from call $from: exit $status: $(cat "$work/err")"
    grep -q "flushing .* failed: Input/output error" "$work/err" ||
        fail "flush failing from call $from: the step is not named: $(cat "$work/err")"
    ! grep -q "write of .* failed: Input/output error" "$work/err" ||
        fail "flush failing from call $from: reported as a failed write: $(cat "$work/err")"
    if grep -q "no valid volume" "$work/err" && ntfsfix -n "$image" >/dev/null 2>&1; then
        fail "flush failing from call $from: said to hold no valid volume, yet ntfsfix finds one: $(cat "$work/err")"
    fi
done
# ENODATA is how Linux's block layer reports a critical medium error: such sectors are mapped
# as bad clusters too, not a reason to stop.
fresh_image
LD_PRELOAD="$shim" LINTORA_FAULT_BAD="$bad_first:$bad_end" LINTORA_FAULT_ERRNO=61 \
    "$lintora" volume "$image" --full --json >"$work/json" 2>"$work/err" ||
    fail "full format with ENODATA sectors: $(cat "$work/err")"
grep -qF "\"bad_clusters\": [{\"first_byte\": $bad_first, \"end_byte\": $bad_end}]" "$work/json" ||
    fail "ENODATA sectors not mapped: $(cat "$work/json")"
# A disk's bad clusters are given in bytes of the disk, its data partition's offset (1 MiB)
# included: the cluster that holds the planted bad sector, not one 1 MiB before it.
fresh_image
disk_bad=$((gib + 1048576))
LD_PRELOAD="$shim" LINTORA_FAULT_BAD="$disk_bad:$((disk_bad + 512))" \
    "$lintora" disk "$image" --any-size --yes --full --json >"$work/json" 2>"$work/err" ||
    fail "disk --full with a bad sector: $(cat "$work/err")"
grep -qF "\"bad_clusters\": [{\"first_byte\": $disk_bad, \"end_byte\": $((disk_bad + 4096))}]" \
    "$work/json" || fail "the disk's bad cluster is not where its sector is: $(cat "$work/json")"
# A disk that goes away mid-way through a full format: the record's cause is "gone", and the zeros
# it claims are those its last flush confirmed (one per GiB), nothing of what came after.
fresh_image
status=0
env LD_PRELOAD="$shim" LINTORA_FAULT_BAD=$((2 * gib + gib / 2)):$((4 * gib)) LINTORA_FAULT_ERRNO=19 \
    "$lintora" disk "$image" --any-size --yes --full --json >"$work/json" 2>"$work/err" || status=$?
expect_failure "disk gone mid-way" "holds zeros up to byte $((2 * gib)) (what was written after" $status
grep -qF '"cause": "gone"' "$work/json" || fail "disk gone mid-way: $(cat "$work/json")"
# The disk job's flushes failing from the N-th on: the line names what may remain (the new volume
# with no table pointing to it before the table, the new table after it), and the record claims
# nothing lost that sfdisk still finds.
for from in 1 2; do
    fresh_image
    status=0
    env LD_PRELOAD="$shim" LINTORA_FAULT_FLUSH_FROM=$from "$lintora" disk "$image" --any-size \
        --yes --json >"$work/json" 2>"$work/err" || status=$?
    [ "$status" = 1 ] || fail "disk flush failing from $from: exit $status: $(cat "$work/err")"
    nodes=$(sfdisk --json "$image" 2>/dev/null | grep -c '"node"' || true)
    if grep -qF '"no_valid_volume": true' "$work/json"; then
        [ "$nodes" = 0 ] || fail "disk flush failing from $from: said lost, yet sfdisk finds a table"
    elif [ "$nodes" = 1 ]; then
        grep -qF "its new partition table" "$work/err" ||
            fail "disk flush failing from $from: a table is there, unnamed: $(cat "$work/err")"
    else
        grep -qF "a new volume at byte 1048576" "$work/err" ||
            fail "disk flush failing from $from: neither lost nor named: $(cat "$work/err")"
    fi
done
echo "full format and read-back under injected faults: every check passed"
