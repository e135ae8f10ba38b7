#!/usr/bin/env bash
# lintora disk on a sparse whole-disk image, judged by sfdisk, sgdisk (GPT), and on the data
# partition by ntfs-3g, ntfsfix and sleuthkit, with files written and read back. With WINE,
# LINTORA is the Windows build, which writes an image's table as sectors (no partition manager
# serves a file); the checks stay native.
# usage: disk_checks_test.sh LINTORA SECTOR_SIZE SECTORS TABLE DATA_START DATA_SECTORS [WINE]
#   TABLE is dos or gpt (sfdisk's name for it); DATA_START and DATA_SECTORS are the expected data partition.
source "$(dirname "$0")/checks_lib.sh"
lintora=$1 sector_size=$2 sectors=$3 table=$4 data_start=$5 data_sectors=$6 wine=${7:-}
need_root_and_fuse
# A loader that cannot run the Windows build's programs says why and exits 77: skipped.
if [ -n "$wine" ]; then
    "$wine" --version >/dev/null || exit $?
fi

make_work disk

# A file on ext4 ends 4 KiB short of 16 TiB; larger disks live on tmpfs (sparse, in memory).
bytes=$((sectors * sector_size))
if [ "$bytes" -gt $(((16 << 40) - 4096)) ]; then
    mount -t tmpfs -o size=8G tmpfs "$work/store" || fail "cannot mount tmpfs"
fi
image=$work/store/disk.img
truncate -s "$bytes" "$image"
if [ -n "$wine" ]; then
    # Wine shows the Linux root as drive Z:.
    "$wine" "$lintora" disk "Z:$image" --sector-size "$sector_size" --yes --any-size ||
        fail "lintora.exe disk failed"
else
    "$lintora" disk "$image" --sector-size "$sector_size" --yes --any-size ||
        fail "lintora disk failed"
fi

# The whole disk as a block device with the image's logical sector size.
loop=$(losetup -f --show --sector-size "$sector_size" "$image") || fail "losetup failed"
json=$(sfdisk --json "$loop") || fail "sfdisk cannot read the table"
grep -q "\"sectorsize\": $sector_size," <<<"$json" || fail "sfdisk does not see $sector_size-byte sectors"
grep -q "\"label\": \"$table\"" <<<"$json" || fail "partition table is not $table: $json"
grep -q "\"start\": $data_start," <<<"$json" || fail "data partition does not start at $data_start"
grep -q "\"size\": $data_sectors," <<<"$json" || fail "data partition is not $data_sectors sectors"
if [ "$table" = gpt ]; then
    grep -q '"start": 34,' <<<"$json" || fail "reserved partition does not start at 34"
    grep -q 'E3C9E316-0B5C-4DB8-817D-F92DF00215AE' <<<"$json" || fail "no reserved partition"
    grep -q 'EBD0A0A2-B9E5-4433-87C0-68B6B72699C7' <<<"$json" || fail "no basic data partition"
    out=$(sgdisk -v "$loop" 2>&1) || fail "sgdisk -v: $out"
    grep -q "No problems found" <<<"$out" || fail "sgdisk -v: $out"
else
    grep -q '"type": "7"' <<<"$json" || fail "data partition is not of type 7"
fi
losetup -d "$loop"
loop=

loop=$(losetup -f --show --sector-size "$sector_size" -o $((data_start * sector_size)) \
    --sizelimit $((data_sectors * sector_size)) "$image") || fail "losetup failed"
judge_volume "$loop"
echo "disk of $sectors sectors of $sector_size bytes ($table): every check passed"
