#!/usr/bin/env bash
# Volumes beyond what 4096-byte clusters can address, and clusters larger than a record, as the
# independent readers see them: lintora volume (or disk) on a sparse image in a tmpfs of the
# test's own (ext4 takes no file of 16 TiB or more), then the cluster size ntfsinfo reads,
# ntfsfix, ntfsresize, fsntfsinfo, 7-Zip (512-byte sectors), sleuthkit up to 64 KiB clusters (it refuses larger
# ones: "invalid cluster size"), and an ntfs-3g mount with files written and read back.
# usage: large_volume_checks_test.sh LINTORA volume|disk SIZE SECTOR_SIZE CLUSTER_SIZE|auto EXPECTED
source "$(dirname "$0")/checks_lib.sh"
lintora=$1 command=$2 size=$3 sector_size=$4 cluster=$5 expected=$6
need_root_and_fuse
for tool in ntfsinfo fsntfsinfo 7zz; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done

make_work large
# The writes of a quick format (the volume bitmap is the largest: 512 MiB at 2^32 clusters)
# and of the files the mount writes, held in memory.
mount -t tmpfs -o size=3G tmpfs "$work/store" || fail "cannot mount tmpfs"
image=$work/store/volume.img
if ! truncate -s "$size" "$image" 2>"$work/why"; then
    echo "skipped: tmpfs takes no sparse file of $size here: $(cat "$work/why")"
    exit 77
fi

"$lintora" "$command" "$image" --sector-size "$sector_size" --cluster-size "$cluster" \
    ${command:+$([ "$command" = disk ] && echo --yes --any-size)} >"$work/out" ||
    fail "lintora $command failed: $(cat "$work/out")"
grep -q "$expected-byte clusters" "$work/out" || fail "lintora did not name $expected-byte clusters: $(cat "$work/out")"

target=$image
if [ "$command" = disk ]; then
    loop_last_partition "$image" "$sector_size"
    grep -q '"label": "gpt"' <<<"$json" || fail "a disk of $size has no GPT: $json"
    target=$loop
fi

info=$(ntfsinfo -m "$target" 2>&1) || fail "ntfsinfo -m: $info"
grep -qP "Cluster Size: $expected\$" <<<"$info" || fail "ntfsinfo reads another cluster size: $info"
clusters=$(sed -n 's/.*Volume Size in Clusters: \([0-9]*\).*/\1/p' <<<"$info")
[ "$clusters" -le 4294967295 ] || fail "$clusters clusters: more than NTFS allows"

# sleuthkit's NTFS reader takes clusters up to 64 KiB.
if [ "$expected" -le 65536 ]; then
    check_static "$target"
else
    out=$(ntfsfix -n "$target" 2>&1) || fail "ntfsfix -n $target failed: $out"
    grep -q "processed successfully" <<<"$out" || fail "ntfsfix -n: $out"
    out=$(ntfsresize --check "$target" 2>&1) || fail "ntfsresize --check: $out"
    echo "sleuthkit not asked: it refuses clusters above 64 KiB"
fi
out=$(fsntfsinfo "$target" 2>&1) || fail "fsntfsinfo: $out"
grep -qP "Cluster block size\s*: $expected\$" <<<"$out" || fail "fsntfsinfo: $out"
# 7-Zip opens NTFS images of 512-byte sectors only (mkntfs's of 4096-byte sectors neither).
if [ "$sector_size" = 512 ]; then
    listing=$(7zz l "$target" 2>&1) || fail "7zz l: $listing"
    for name in '$MFT' '$MFTMirr' '$LogFile' '$Volume' '$AttrDef' '$Bitmap' '$Boot' '$BadClus' \
        '$UpCase'; do
        grep -qF "[SYSTEM]/$name" <<<"$listing" || fail "7zz does not list $name: $listing"
    done
else
    echo "7-Zip not asked: it opens no NTFS image of $sector_size-byte sectors"
fi
exercise_read_write "$target" "$work/mnt" "$work/sums" \
    "$([ "$expected" -le 65536 ] || echo no-sleuthkit)"
out=$(ntfsfix -n "$target" 2>&1) || fail "ntfsfix -n after the writes: $out"
echo "$command of $size, $sector_size-byte sectors, $expected-byte clusters: every check passed"
