#!/usr/bin/env bash
# lintora volume on a sparse image of SECTORS sectors of SECTOR_SIZE bytes, judged by ntfs-3g,
# ntfsfix and sleuthkit, with files written and read back. With WINE, LINTORA is the Windows
# build and writes through the Win32 raw-disk layer under Wine; the checks stay native. OPTIONS
# (one word list, such as "--full --verify") are passed to lintora volume.
# usage: volume_checks_test.sh LINTORA SECTOR_SIZE SECTORS [WINE] [OPTIONS]
source "$(dirname "$0")/checks_lib.sh"
lintora=$1 sector_size=$2 sectors=$3 wine=${4:-}
read -r -a options <<<"${5:-}"
need_root_and_fuse
# A loader that cannot run the Windows build's programs says why and exits 77: skipped.
if [ -n "$wine" ]; then
    "$wine" --version >/dev/null || exit $?
fi

work=$(mktemp -d /var/tmp/lintora-volume.XXXXXX)
cleanup() {
    umount "$work/mnt" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/mnt"

image=$work/volume.img
truncate -s $((sectors * sector_size)) "$image"
if [ -n "$wine" ]; then
    # Wine shows the Linux root as drive Z:.
    "$wine" "$lintora" volume "Z:$image" --sector-size "$sector_size" "${options[@]}" ||
        fail "lintora.exe failed"
else
    "$lintora" volume "$image" --sector-size "$sector_size" "${options[@]}" ||
        fail "lintora volume failed"
fi
judge_volume "$image"
echo "volume of $sectors sectors of $sector_size bytes ${options[*]}: every check passed"
