#!/usr/bin/env bash
# The lintora tool's refusals: bad arguments, volumes and disks it must not format, and the two
# confirmations. Every refusal leaves the image untouched (a sparse image with nothing written
# has no blocks allocated).
# usage: cli_test.sh LINTORA
set -uo pipefail
lintora=$1
work=$(mktemp -d /var/tmp/lintora-cli.XXXXXX)
loop=
cleanup() {
    umount "$work/mnt" 2>/dev/null
    [ -n "$loop" ] && losetup -d "$loop" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0 passes=0

# expect NAME EXIT_CODE TEXT COMMAND...: the command exits with EXIT_CODE and prints TEXT.
expect() {
    local name=$1 code=$2 text=$3 out status
    shift 3
    out=$("$@" 2>&1)
    status=$?
    if [ "$status" != "$code" ] || ! grep -qF -- "$text" <<<"$out"; then
        echo "FAIL $name: exit $status (wanted $code), output: $out"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

untouched() {
    if [ "$(du -B1 "$1" | cut -f1)" != 0 ]; then
        echo "FAIL $2: something was written to $1"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
}

image=$work/image
truncate -s 4G "$image"
expect usage 2 usage "$lintora"
expect unknown-command 2 "unknown command" "$lintora" frobnicate "$image"
expect sector-size 2 "512 or 4096" "$lintora" volume "$image" --sector-size 1024
expect sector-size-text 2 "512 or 4096" "$lintora" volume "$image" --sector-size big
expect sectors-text 2 "positive whole number" "$lintora" volume "$image" --sectors 12x
expect sectors-zero 2 "positive whole number" "$lintora" volume "$image" --sectors 0
expect sectors-past-end 2 "fewer than" "$lintora" volume "$image" --sectors 8388609
expect io-chunk 2 "I/O chunk" "$lintora" volume "$image" --io-chunk 1000
expect unknown-option 2 "unknown option" "$lintora" volume "$image" --fast
expect missing-value 2 "needs a value" "$lintora" volume "$image" --label
expect long-label 2 "longer than 255" "$lintora" volume "$image" --label "$(printf 'x%.0s' $(seq 256))"
expect missing-file 2 "cannot open" "$lintora" volume "$work/absent"
expect two-files 2 "exactly one FILE" "$lintora" volume "$image" "$image"
expect too-small 1 "too small" "$lintora" volume "$image" --sectors 6291488
untouched "$image" "refusals of lintora volume"

expect disk-not-supported 1 "not supported" "$lintora" disk "$image"
expect disk-declined 1 "Nothing was written" "$lintora" disk "$image" --any-size <<<"n"
expect disk-second-no 1 "Nothing was written" "$lintora" disk "$image" --any-size <<<$'y\n'
expect disk-no-input 1 "Nothing was written" "$lintora" disk "$image" --any-size </dev/null
expect disk-shows-itself 1 "MBR" "$lintora" disk "$image" --any-size </dev/null
expect disk-capacity-text 1 "4.00GB" "$lintora" disk "$image" --any-size </dev/null
untouched "$image" "refusals of lintora disk"
expect disk-confirmed 0 "Formatting has finished." "$lintora" disk "$image" --any-size <<<$'y\nyes\n'

# A disk whose volume is mounted is refused before anything is written.
if [ "$(id -u)" = 0 ] && [ -e /dev/fuse ] && command -v ntfs-3g >/dev/null; then
    busy=$work/busy
    truncate -s 4G "$busy"
    "$lintora" volume "$busy" >/dev/null
    loop=$(losetup -f --show "$busy")
    mkdir "$work/mnt"
    ntfs-3g "$loop" "$work/mnt"
    before=$(head -c 1M "$busy" | sha256sum)
    expect disk-in-use 1 "cannot be formatted" "$lintora" disk "$loop" --any-size --yes
    sync
    [ "$(head -c 1M "$busy" | sha256sum)" = "$before" ] || {
        echo "FAIL disk-in-use: the disk was written"
        failures=$((failures + 1))
    }
    # Once the volume is unmounted the same block device is formatted.
    umount "$work/mnt"
    expect block-device 0 "Formatting has finished." "$lintora" disk "$loop" --any-size --yes
    expect block-device-table 0 "type=7" sfdisk -d "$loop"
fi

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
