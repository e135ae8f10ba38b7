#!/usr/bin/env bash
# Benchmark: `lintora volume` against `mkntfs --quick` with 4096-byte clusters on the same sparse
# files (2 TiB and the largest volume the capacity window allows, both sector sizes; then 20, 64
# and 256 TiB in tmpfs with the automatic cluster size). Reports the median time, the bytes each
# leaves allocated in the image and the peak memory over RUNS runs.
# usage: scripts/benchmark.sh [RUNS]   (default 5; needs a release build, see README)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
lintora=$PWD/build/release/tools/lintora
[ -x "$lintora" ] || { echo "build first: cmake --preset release && cmake --build --preset release"; exit 1; }
command -v mkntfs >/dev/null && [ -x /usr/bin/time ] || apt-get install -y -q ntfs-3g time >/dev/null

work=$(mktemp -d /var/tmp/lintora-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
image=$work/volume.img

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure NAME SECTOR_SIZE SECTORS: prints "median_seconds bytes peak_kib"
measure() {
    local tool=$1 sector_size=$2 sectors=$3 i times=() peak=0 bytes=0
    for ((i = 0; i < runs; i++)); do
        rm -f "$image"
        truncate -s $((sector_size * sectors)) "$image"
        sync
        if [ "$tool" = lintora ]; then
            /usr/bin/time -o "$work/time" -f "%e %M" "$lintora" volume "$image" \
                --sector-size "$sector_size" >/dev/null
        else
            /usr/bin/time -o "$work/time" -f "%e %M" mkntfs --quick -c 4096 -s "$sector_size" \
                -F -L "MAROVAN EXT" "$image" >/dev/null 2>&1
        fi
        read -r seconds kib <"$work/time"
        times+=("$seconds")
        [ "$kib" -gt "$peak" ] && peak=$kib
        bytes=$(du -B1 "$image" | cut -f1)
    done
    echo "$(printf '%s\n' "${times[@]}" | median) $bytes $peak"
}

printf '%-28s %-8s %10s %14s %10s\n' volume tool "median s" "bytes" "peak KiB"
for volume in "512 4294967296 2TiB" "512 34359472128 largest" "4096 536870912 2TiB" \
              "4096 4294966528 largest"; do
    read -r sector_size sectors name <<<"$volume"
    read -r l_time l_bytes l_peak <<<"$(measure lintora "$sector_size" "$sectors")"
    read -r m_time m_bytes m_peak <<<"$(measure mkntfs "$sector_size" "$sectors")"
    label="$name, $sector_size-byte sectors"
    printf '%-28s %-8s %10s %14s %10s\n' "$label" lintora "$l_time" "$l_bytes" "$l_peak"
    printf '%-28s %-8s %10s %14s %10s\n' "$label" mkntfs "$m_time" "$m_bytes" "$m_peak"
    awk -v l="$l_time" -v m="$m_time" 'BEGIN { printf "%-28s time ratio lintora/mkntfs: %.2f\n", "", (m > 0 ? l / m : 0) }'
done

# The full format (--full) and the read-back (--verify), against dd writing the same bytes and
# mkntfs without --quick (which zeroes the volume too): on images in tmpfs (the cache is the
# medium there), at two sizes to show the memory stays the same, and on a loop device over an
# ext4 file, where dd writes with O_DIRECT and reads back with O_DIRECT. Then a quick format with
# --verify at the largest size, sparse in tmpfs.
# time_of COMMAND...: prints "seconds peak_kib" of one run.
time_of() {
    /usr/bin/time -o "$work/time" -f "%e %M" "$@" >/dev/null 2>&1
    cat "$work/time"
}
full_row() {
    local label=$1 tool=$2
    shift 2
    local t i times=() peak=0
    for ((i = 0; i < runs; i++)); do
        prepare_target
        read -r t kib <<<"$(time_of "$@")"
        times+=("$t")
        [ "$kib" -gt "$peak" ] && peak=$kib
    done
    printf '%-34s %-22s %10s %10s\n' "$label" "$tool" "$(printf '%s\n' "${times[@]}" | median)" "$peak"
}

shm=$(mktemp -d /dev/shm/lintora-bench.XXXXXX)
loop=
cleanup_full() {
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null || true
    rm -rf "$shm" "$work"
}
trap cleanup_full EXIT
printf '\n%-34s %-22s %10s %10s\n' target tool "median s" "peak KiB"
for gib in 4 8; do
    target=$shm/full.img
    prepare_target() { rm -f "$target"; truncate -s $((gib << 30)) "$target"; }
    label="$gib GiB image in tmpfs"
    full_row "$label" "lintora --full" "$lintora" volume "$target" --full
    full_row "$label" "lintora --full --verify" "$lintora" volume "$target" --full --verify
    full_row "$label" "dd conv=fsync" dd if=/dev/zero of="$target" bs=64K count=$((gib << 14)) conv=fsync,notrunc
    full_row "$label" "mkntfs" mkntfs -c 4096 -s 512 -F "$target"
done
rm -f "$shm/full.img"

backing=$work/loop.img
truncate -s $((4 << 30)) "$backing"
loop=$(losetup --find --show "$backing")
target=$loop
prepare_target() { :; }
label="4 GiB loop device on ext4"
full_row "$label" "lintora --full" "$lintora" volume "$target" --full
full_row "$label" "lintora --full --verify" "$lintora" volume "$target" --full --verify
full_row "$label" "dd oflag=direct" dd if=/dev/zero of="$target" bs=64K count=65536 oflag=direct
full_row "$label" "dd read iflag=direct" dd if="$target" of=/dev/null bs=64K iflag=direct
full_row "$label" "mkntfs" mkntfs -c 4096 -s 512 -F "$target"
losetup -d "$loop"
loop=

target=$shm/quick.img
prepare_target() { rm -f "$target"; truncate -s $((34359472128 * 512)) "$target"; }
label="16 TiB - 129 MiB image in tmpfs"
full_row "$label" "lintora" "$lintora" volume "$target"
full_row "$label" "lintora --verify" "$lintora" volume "$target" --verify

# Beyond 16 TiB: quick formats with the automatic cluster size against mkntfs with the same size,
# on sparse images in tmpfs (ext4 takes no file of 16 TiB or more), with the time ratio. One
# untimed run of each tool first: the pages the sections before freed are otherwise still being
# reclaimed while the first case runs.
printf '\n%-34s %-22s %10s %10s\n' "volume (cluster size)" tool "median s" "peak KiB"
for volume in "20 512 8192" "20 4096 8192" "64 512 16384" "256 512 65536"; do
    read -r tib sector_size cluster_size <<<"$volume"
    target=$shm/large.img
    prepare_target() { rm -f "$target"; truncate -s "${tib}T" "$target"; }
    label="$tib TiB, $sector_size-byte sectors ($cluster_size)"
    prepare_target
    time_of "$lintora" volume "$target" --sector-size "$sector_size" >/dev/null
    prepare_target
    time_of mkntfs -Q -F -c "$cluster_size" -s "$sector_size" "$target" >/dev/null
    l_row=$(full_row "$label" "lintora" "$lintora" volume "$target" --sector-size "$sector_size")
    m_row=$(full_row "$label" "mkntfs -Q" mkntfs -Q -F -c "$cluster_size" -s "$sector_size" "$target")
    printf '%s\n%s\n' "$l_row" "$m_row"
    full_row "$label" "lintora --verify" "$lintora" volume "$target" --sector-size "$sector_size" --verify
    awk -v l="$(echo "$l_row" | awk '{ print $(NF - 1) }')" -v m="$(echo "$m_row" | awk '{ print $(NF - 1) }')" \
        'BEGIN { printf "%-34s time ratio lintora/mkntfs: %.2f\n", "", (m > 0 ? l / m : 0) }'
done
rm -f "$shm/large.img"
