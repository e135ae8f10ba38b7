#!/usr/bin/env bash
# The whole format run through the Windows program under Wine on a virtual display: LintoraDemo
# shows one of the maker's disks backed by IMAGE, a driver ticks the box, presses Start, answers
# Yes and waits for the result; screenshots of the warning, the bar on its way and the result go
# to build/screenshots/. Then the image is judged as `lintora disk` output is: sfdisk (and sgdisk
# for GPT), and on the data partition ntfsfix, ntfsresize, sleuthkit and an ntfs-3g mount with
# files written and read back.
# usage: scripts/gui-demo.sh [IMAGE [SECTOR_SIZE]]   (default: a new sparse 256 GiB image, 512)
# With LINTORA_DEMO_UNPLUG_AFTER=N the disk stops taking writes after N of them: the program
# must show message 104 with code 2, and the image is not judged. LINTORA_GUI_BUILD picks the
# build: mingw-i686 (the shipped 32-bit program, under 32-bit Wine; the default, where the kernel
# runs 32-bit programs) or mingw-x86_64.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
install_missing cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 \
    wine32:i386 xvfb xauth fonts-ipafont-gothic imagemagick fdisk gdisk ntfs-3g sleuthkit util-linux
preset=${LINTORA_GUI_BUILD:-mingw-i686}
# Where this kernel cannot run 32-bit programs, the 64-bit program stands in (unless
# LINTORA_REQUIRE_I686=1, which makes that a failure).
if [ "$preset" = mingw-i686 ] && ! probe=$(cmake/wine32.sh --version 2>&1); then
    echo "$probe" >&2
    [ "${LINTORA_REQUIRE_I686:-0}" != 1 ] || exit 1
    echo "the 32-bit program cannot run here: running the 64-bit one (mingw-x86_64)"
    preset=mingw-x86_64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target LintoraDemo LintoraDemoDriver
source scripts/wine-prefix.sh
prepare_wine_prefix
loader=$(wine_loader_for "$preset")

image=${1:-/var/tmp/lintora-gui-demo.img}
sector_size=${2:-512}
if [ -z "${1:-}" ]; then
    rm -f "$image"
    truncate -s 256G "$image"
fi
expected=finished
name=gui-$sector_size
if [ -n "${LINTORA_DEMO_UNPLUG_AFTER:-}" ]; then
    expected=2
    name=gui-unplugged
fi
export LINTORA_DEMO_WRITE_DELAY_MS=${LINTORA_DEMO_WRITE_DELAY_MS:-2}
shots=$(pwd)/build/screenshots
mkdir -p "$shots"
build=$(pwd)/build/$preset/app
log=$(mktemp /tmp/lintora-gui-log.XXXXXX)
trap 'rm -f "$log"' EXIT

# The program and its driver on one virtual display; a screenshot at each stage the driver
# announces.
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    wine=$1 build=$2 image=$3 sector_size=$4 expected=$5 shots=$6 name=$7 log=$8
    "$wine" "$build/LintoraDemo.exe" "Z:$image" "$sector_size" &
    "$wine" "$build/LintoraDemoDriver.exe" "$expected" >"$log" 2>&1 &
    driver=$!
    taken=""
    while kill -0 "$driver" 2>/dev/null; do
        for stage in warning progress result; do
            if grep -q "^$stage" "$log" && [[ " $taken " != *" $stage "* ]]; then
                import -window root png:- | convert - -trim +repage "$shots/$name-$stage.png"
                taken="$taken $stage"
            fi
        done
        sleep 0.2
    done
    wait "$driver"' _ "$loader" "$build" "$image" "$sector_size" "$expected" "$shots" \
    "$name" "$log" || { cat "$log"; echo "FAIL: the program did not end as expected"; exit 1; }
/usr/lib/wine/wineserver -w 2>/dev/null || true
cat "$log"
grep -q "^result as expected" "$log" || { echo "FAIL: unexpected result"; exit 1; }
rm -f "$log"
if [ "$expected" != finished ]; then
    echo "the unplugged disk gave message 104 with code 2"
    exit 0
fi

# The image as the checkers see it, through loop devices with its sector size.
source tools/checks/checks_lib.sh
need_root_and_fuse
work=$(mktemp -d /var/tmp/lintora-gui.XXXXXX)
loop=
cleanup() {
    umount "$work/mnt" 2>/dev/null || true
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/mnt"
loop=$(losetup -f --show --sector-size "$sector_size" "$image") || fail "losetup failed"
json=$(sfdisk --json "$loop") || fail "sfdisk cannot read the table"
echo "$json"
start=$(sed -n 's/.*"start": \([0-9]*\),.*/\1/p' <<<"$json" | tail -n 1)
size=$(sed -n 's/.*"size": \([0-9]*\),.*/\1/p' <<<"$json" | tail -n 1)
if grep -q '"label": "gpt"' <<<"$json"; then
    out=$(sgdisk -v "$loop" 2>&1) || fail "sgdisk -v: $out"
    grep -q "No problems found" <<<"$out" || fail "sgdisk -v: $out"
fi
losetup -d "$loop"
loop=$(losetup -f --show --sector-size "$sector_size" -o $((start * sector_size)) \
    --sizelimit $((size * sector_size)) "$image") || fail "losetup failed"
judge_volume "$loop"
echo "the image formatted through the program passed every check"
