#!/usr/bin/env bash
# The Windows build of lintora, run under Wine, formats a sparse image through the Win32
# raw-disk layer (CreateFileW, SetFilePointerEx, WriteFile); ntfs-3g, ntfsfix and sleuthkit
# judge the volume natively, with files written and read back.
# usage: wine_volume_test.sh WINE LINTORA_EXE SECTOR_SIZE SECTORS
source "$(dirname "$0")/checks_lib.sh"
wine=$1 lintora=$2 sector_size=$3 sectors=$4
need_root_and_fuse

work=$(mktemp -d /var/tmp/lintora-wine.XXXXXX)
cleanup() {
    umount "$work/mnt" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/mnt"

image=$work/volume.img
truncate -s $((sectors * sector_size)) "$image"
# Wine shows the Linux root as drive Z:.
"$wine" "$lintora" volume "Z:$image" --sector-size "$sector_size" || fail "lintora.exe failed"
check_static "$image"
exercise_read_write "$image" "$work/mnt" "$work/sums"
check_static "$image"
echo "volume written under Wine, $sectors sectors of $sector_size bytes: every check passed"
