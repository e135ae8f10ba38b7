#!/usr/bin/env bash
# The lintora tool as a hostile user meets it: bad arguments, paths, labels and targets it must
# refuse before writing, interrupted and failing runs, and the two confirmations. Every refusal
# leaves the target untouched (a sparse image with nothing written has no blocks allocated; a
# device keeps its bytes). Cases that need root, loop devices, FUSE or strace are skipped
# without them. The cases come in groups, each its own CTest test (lintora_cli_GROUP): arguments,
# list, paths, progress, json, signals, devices; without GROUP every group runs.
# usage: cli_test.sh LINTORA MAKE_SYSFS_FIXTURE VERSION [GROUP]
set -uo pipefail
lintora=$(realpath "$1") make_fixture=$2 version=$3 only=${4:-}
group() { [ -z "$only" ] || [ "$only" = "$1" ]; }
work=$(mktemp -d /var/tmp/lintora-cli.XXXXXX)
loops=()
holders=()
cleanup() {
    for pid in "${holders[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    umount "$work/mnt" 2>/dev/null
    umount "$work/tmpfs" 2>/dev/null
    for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null; done
    rm -rf "$work"
    rm -f "${big:-}"
}
trap cleanup EXIT
failures=0 passes=0

pass() { passes=$((passes + 1)); }
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# expect NAME EXIT_CODE TEXT COMMAND...: the command exits with EXIT_CODE and prints TEXT.
expect() {
    local name=$1 code=$2 text=$3 out status
    shift 3
    out=$(timeout 60 "$@" 2>&1)
    status=$?
    if [ "$status" != "$code" ] || ! grep -qF -- "$text" <<<"$out"; then
        fail "$name: exit $status (wanted $code), output: $out"
    else
        pass
    fi
}

untouched() {
    if [ "$(du -B1 "$1" | cut -f1)" != 0 ]; then fail "$2: something was written to $1"; else pass; fi
}

# same_bytes NAME FILE HASH: FILE's first 2 MiB and last MiB still hash to HASH.
fingerprint() { { head -c 2M "$1"; tail -c 1M "$1"; } | sha256sum; }
same_bytes() {
    sync
    if [ "$(fingerprint "$2")" != "$3" ]; then fail "$1: $2 was written"; else pass; fi
}

# What the groups share: an empty image, a stand-in device tree, an image for the long runs.
image=$work/image
truncate -s 4G "$image"
"$make_fixture" "$work/fixture"
long=$work/long
truncate -s 4G "$long"

if group arguments; then
expect usage 2 usage "$lintora"
expect unknown-command 2 "unknown command" "$lintora" frobnicate "$image"
expect volume-help 0 "--sectors" "$lintora" volume --help
expect disk-help 0 "--any-size" "$lintora" disk --help
expect volume-help-full 0 "takes as long as writing all of FILE" "$lintora" volume --help
expect disk-help-verify 0 "--verify" "$lintora" disk --help
expect version 0 "lintora $version" "$lintora" --version
# Each command's --help, byte for byte: the columns of its continuation lines included.
for command in volume disk; do
    expected=$(dirname "$0")/expected/$command-help.txt
    if diff -u "$expected" <("$lintora" "$command" --help | sed "s/$version/VERSION/g") \
        >"$work/help.diff"; then
        pass
    else
        fail "$command --help differs from $expected: $(cat "$work/help.diff")"
    fi
done
# A bare --progress (meaning bar) before FILE or before another option takes no value.
expect bare-progress-before-file 0 "Target:" "$lintora" volume --progress "$image" --dry-run
expect bare-progress-before-option 0 "Target:" "$lintora" volume "$image" --progress --dry-run
untouched "$image" bare-progress
# A dry run plans and writes nothing.
expect dry-run-volume 0 '$MFT       at byte 3221225472, 16384 bytes' "$lintora" volume "$image" --dry-run
untouched "$image" dry-run-volume
expect dry-run-disk 0 "MBR; NTFS data partition at sector 2048" \
    "$lintora" disk "$image" --any-size --dry-run
untouched "$image" dry-run-disk
expect help-version 0 "lintora $version" "$lintora" list --help
# NTFS's cluster limits, refused before anything is opened: sizes that are no cluster size, and
# volumes beyond 16 TiB (in tmpfs: ext4 holds no file that large) with too small clusters.
for size in 12288 256 4194304; do
    expect "cluster-size-$size" 1 "must be a power of two from 4096 bytes to 2097152 bytes" \
        "$lintora" volume "$image" --cluster-size "$size"
    untouched "$image" "cluster-size-$size"
done
expect cluster-size-text 2 "must be auto or a number of bytes" \
    "$lintora" volume "$image" --cluster-size 4k
big=$(mktemp /dev/shm/lintora-cli-big.XXXXXX)
if truncate -s 20T "$big" 2>/dev/null; then
    expect beyond-16-tib-4096 1 "42949672960 sectors of 512 bytes make 5368709119 clusters of 4096 bytes; NTFS allows at most 4294967295 (16 TiB with 4096-byte clusters): use --cluster-size 8192 or larger; nothing was written" \
        "$lintora" volume "$big" --cluster-size 4096
    untouched "$big" beyond-16-tib-4096
    expect beyond-16-tib-plan 0 "clusters of 8192 bytes (2684354559 clusters)" \
        "$lintora" volume "$big" --dry-run
    expect beyond-16-tib-disk 1 "use --cluster-size 8192 or larger; nothing was written" \
        "$lintora" disk "$big" --any-size --cluster-size 4096 --yes
    untouched "$big" beyond-16-tib-disk
    truncate -s 64T "$big"
    expect disk-64-tib-plan 0 "clusters of 16384 bytes" "$lintora" disk "$big" --any-size --dry-run
    expect disk-64-tib-asks 1 "Clusters:    16384 bytes" "$lintora" disk "$big" --any-size </dev/null
    untouched "$big" disk-64-tib
    truncate -s 300T "$big"
    expect beyond-256-tib 1 "need Windows 10 version 1709 or later to mount: use --cluster-size 131072 or larger" \
        "$lintora" volume "$big" --dry-run
    untouched "$big" beyond-256-tib
else
    echo "skipped: the volumes beyond 16 TiB (/dev/shm takes no 20 TiB sparse file)"
fi
rm -f "$big"
expect sector-size 2 "512 or 4096" "$lintora" volume "$image" --sector-size 1024
expect sector-size-text 2 "512 or 4096" "$lintora" volume "$image" --sector-size big
expect sectors-text 2 "positive whole number" "$lintora" volume "$image" --sectors 12x
expect sectors-zero 2 "positive whole number" "$lintora" volume "$image" --sectors 0
expect sectors-past-end 2 "fewer than" "$lintora" volume "$image" --sectors 8388609
expect io-chunk 2 "I/O chunk" "$lintora" volume "$image" --io-chunk 1000
expect unknown-option 2 "unknown option" "$lintora" volume "$image" --fast
expect short-help 0 "--sectors" "$lintora" volume -h
expect short-help-top 0 "COMMAND --help" "$lintora" -h
expect io-chunk-above-limit 2 "up to 16777216 bytes" "$lintora" volume "$image" --io-chunk 2147483648
(cd "$work" && truncate -s 4G ./-weird.img ./--help)
expect end-of-options 0 "formatted -weird.img" sh -c 'cd "$1" && "$0" volume -- -weird.img' "$lintora" "$work"
expect end-of-options-help 0 "formatted --help" sh -c 'cd "$1" && "$0" volume -- --help' "$lintora" "$work"
expect missing-value 2 "needs a value" "$lintora" volume "$image" --label
expect option-as-value 2 "not the option --sectors" "$lintora" volume "$image" --label --sectors 9
expect repeated-option 2 "more than once" "$lintora" volume "$image" --sectors 9 --sectors 10
expect repeated-switch 2 "more than once" "$lintora" disk "$image" --yes --yes
expect long-label 2 "longer than 128" "$lintora" volume "$image" --label "$(printf 'x%.0s' $(seq 129))"
expect label-not-utf8 2 "not valid UTF-8" "$lintora" volume "$image" --label "$(printf 'caf\xe9')"
expect label-surrogate 2 "not valid UTF-8" "$lintora" volume "$image" --label "$(printf 'a\xed\xa0\x80')"
expect label-overlong-3 2 "not valid UTF-8" "$lintora" volume "$image" --label "$(printf 'a\xe0\x82\x80')"
expect sectors-past-64-bits 2 "positive whole number" "$lintora" volume "$image" --sectors 18446744073709551617
# A target of the wrong kind is a refusal (1), not a usage error (2).
expect missing-file 1 "No such file" "$lintora" volume "$work/absent"
expect two-files 2 "exactly one FILE" "$lintora" volume "$image" "$image"
expect too-small 1 "too small" "$lintora" volume "$image" --sectors 6291488
expect directory 1 "is a directory" "$lintora" volume "$work"
mkfifo "$work/fifo"
expect fifo 1 "is a pipe" "$lintora" volume "$work/fifo"
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$work/socket" &&
    expect socket 1 "it is a socket" "$lintora" volume "$work/socket"
expect char-device 1 "character device" "$lintora" disk /dev/null --any-size --yes
# A path is formatted as named or not at all: an overlong '/' or NUL is not read as one.
mkdir "$work/a"
truncate -s 4G "$work/a/b" "$work/good.img"
expect overlong-slash 1 "No such file" "$lintora" volume "$(printf '%s/a\xc0\xafb' "$work")"
expect overlong-nul 1 "No such file" "$lintora" volume "$(printf '%s/good.img\xc0\x80.bak' "$work")"
expect overlong-slash-3 1 "No such file" "$lintora" volume "$(printf '%s/a\xe0\x80\xafb' "$work")"
untouched "$work/a/b" "overlong-slash"
untouched "$work/good.img" "overlong-nul"
untouched "$image" "refusals of lintora volume"

# A second run on an image that a first one holds is refused.
flock "$image" sleep 30 &
holders+=($!)
sleep 0.3
expect locked-image 1 "holds it locked" "$lintora" volume "$image"
pkill -P "${holders[-1]}"
wait "${holders[-1]}" 2>/dev/null

small=$work/small
truncate -s 1G "$small"
expect disk-not-supported 1 "not supported" "$lintora" disk "$image"
expect disk-too-small 1 "its data partition, 2091008 sectors of 512 bytes, is too small for an NTFS volume" \
    "$lintora" disk "$small" --any-size --yes
untouched "$small" "disk --any-size on a disk too small for the volume"
expect disk-declined 1 "Nothing was written" "$lintora" disk "$image" --any-size <<<"n"
expect disk-second-no 1 "Nothing was written" "$lintora" disk "$image" --any-size <<<$'y\n'
expect disk-no-input 1 "Nothing was written" "$lintora" disk "$image" --any-size </dev/null
expect disk-shows-itself 1 "MBR" "$lintora" disk "$image" --any-size </dev/null
expect disk-capacity-text 1 "4.00GB" "$lintora" disk "$image" --any-size </dev/null
untouched "$image" "refusals of lintora disk"
expect disk-confirmed 0 "Formatting has finished." "$lintora" disk "$image" --any-size <<<$'y\nyes\n'
fi

# The disk list: nothing on this machine, the maker's disks on a stand-in device tree.
if group list; then
expect list-here 0 "" "$lintora" list
expect list-extra-word 2 "no FILE" "$lintora" list "$image"
fixture_list() {
    LINTORA_SYSFS_ROOT="$work/fixture/sys" LINTORA_DEV_ROOT="$work/fixture/dev" "$lintora" list "$@"
}
tab=$'\t'
listed=$(fixture_list)
expected="Maker Ext Disk sdb USB Device 1.83TB$tab$work/fixture/dev/sdb${tab}can be formatted
Maker Ext Disk sde USB Device 3.65TB$tab$work/fixture/dev/sde${tab}can be formatted
Maker Ext Disk sdg SCSI Disk Device 931.52GB$tab$work/fixture/dev/sdg${tab}can be formatted"
[ "$listed" = "$expected" ] && pass || fail "list on the fixture: $listed"
[ "$(fixture_list --any-vendor | grep -c sdd)" = 1 ] && pass || fail "list --any-vendor: no sdd"
# The list for scripts: one object per disk; a path byte that is not UTF-8 stays lossless.
json=$(fixture_list --json)
grep -qF "{\"path\": \"$work/fixture/dev/sdb\", \"entry\": \"Maker Ext Disk sdb USB Device 1.83TB\", \"capacity_bytes\": 2000398934016, \"sector_size\": 512, \"letters\": [], \"formattable\": true, \"reason\": null}" <<<"$json" &&
    [ "$(grep -c '"path"' <<<"$json")" = 3 ] && pass || fail "list --json: $json"
expect list-json-empty 0 "[]" "$lintora" list --json
odd=$work/odd$'\xff'
"$make_fixture" "$odd"
json=$(LINTORA_SYSFS_ROOT="$odd/sys" LINTORA_DEV_ROOT="$odd/dev" "$lintora" list --json)
grep -qF "\"path\": \"$work/odd\udcff/dev/sdb\"" <<<"$json" && pass || fail "list --json, odd path: $json"
expect list-to-full-output 1 "cannot write the output" \
    sh -c 'LINTORA_SYSFS_ROOT=$1 LINTORA_DEV_ROOT=$2 "$0" list >/dev/full' \
    "$lintora" "$work/fixture/sys" "$work/fixture/dev"
# A format whose summary cannot be written still says that the target was formatted.
full_out=$work/full-output
truncate -s 4G "$full_out"
expect volume-to-full-output 1 "No space left on device (the run itself succeeded)" \
    sh -c '"$0" volume "$1" --progress=none >/dev/full' "$lintora" "$full_out"
rm -f "$full_out"

# A model string far longer than SCSI's 16 characters is cut to them, as Windows does, and the
# disk stays in the list.
cp -a "$work/fixture" "$work/long-model"
model=$(find "$work/long-model/sys" -path '*/block/sdb' -type d | head -n 1)/device/model
printf 'Ext Disk %0300d\n' 0 >"$model"
listed=$(LINTORA_SYSFS_ROOT="$work/long-model/sys" LINTORA_DEV_ROOT="$work/long-model/dev" \
    "$lintora" list)
grep -qF "Maker Ext Disk 0000000 USB Device 1.83TB" <<<"$listed" && pass ||
    fail "list with a long model: $listed"

# Numbers and attributes a hostile device puts in the device tree: a size whose bytes do not fit
# 64 bits, vendor ids with too many digits or a sign, an attribute that is a FIFO or a link to
# /dev/zero. None of them hangs the list or passes as the maker's disk.
cp -a "$work/fixture" "$work/hostile"
usb=$work/hostile/sys/devices/pci0000:00/0000:00:14.0/usb2
block_of() { find "$usb/$1" -type d -path '*/block/sd*' | sort | head -n 1; }
echo 36028798018963968 >"$(block_of 2-1)/size"
echo 10000ffff >"$usb/2-4/2-4.2/idVendor"
echo -1 >"$usb/2-6/idVendor"
rm "$(block_of 2-3)/removable" && mkfifo "$(block_of 2-3)/removable"
rm "$(block_of 2-3)/device/model" && ln -s /dev/zero "$(block_of 2-3)/device/model"
hostile_list() {
    timeout 20 env LINTORA_SYSFS_ROOT="$work/hostile/sys" LINTORA_DEV_ROOT="$work/hostile/dev" \
        "$lintora" list "$@" 2>&1
}
# (a vendor is at most SCSI's 8 characters, as Windows takes it)
printf 'Ev\x1b]0;\x07' >"$(block_of 2-3)/device/vendor"
listed=$(hostile_list --any-vendor)
status=$?
[ "$status" = 0 ] && pass || fail "hostile list: exit $status: $listed"
for disk in sdb sde sdg; do
    grep -v '^lintora list:' <<<"$listed" | grep -q "/$disk" &&
        fail "hostile list: $disk is listed: $listed" || pass
done
grep -q "/sdd" <<<"$listed" && pass || fail "hostile list: sdd with a FIFO attribute is gone: $listed"
grep -qF "not listed: $work/hostile/dev/sdb: its size cannot be read" <<<"$listed" && pass ||
    fail "hostile list: no reason for sdb: $listed"
grep -q $'\x1b' <<<"$listed" && fail "hostile list: a raw escape reached the terminal" || pass
grep -qF 'Ev\x1b]0;\x07' <<<"$listed" && pass || fail "hostile list: the name is not shown escaped: $listed"
# Control bytes in a path are shown escaped, never sent raw.
out=$("$lintora" volume "$(printf '%s/a\x1b[2Jb' "$work")" 2>&1)
grep -q $'\x1b' <<<"$out" && fail "escaped-path: a raw escape reached the terminal: $out" || pass
grep -qF 'a\x1b[2Jb' <<<"$out" && pass || fail "escaped-path: $out"
# A full list says so.
"$make_fixture" "$work/many" 33
many=$(env LINTORA_SYSFS_ROOT="$work/many/sys" LINTORA_DEV_ROOT="$work/many/dev" "$lintora" list 2>&1)
[ "$(grep -c 'can be formatted' <<<"$many")" = 32 ] && grep -q "the list is full" <<<"$many" && pass ||
    fail "list of 32: $many"

fi

# A path longer than Windows' 260 units works where the system takes it.
if group paths; then
long_dir=$work/$(printf 'd%.0s' $(seq 1 120))/$(printf 'e%.0s' $(seq 1 120))
mkdir -p "$long_dir"
long_image=$long_dir/image-with-a-long-name.img
truncate -s 4G "$long_image"
expect long-path-volume 0 "formatted" "$lintora" volume "$long_image"
expect long-path-disk 0 "Formatting has finished." "$lintora" disk "$long_image" --any-size --yes
[ "${#long_image}" -gt 280 ] && pass || fail "long-path: only ${#long_image} bytes"
rm -rf "$work/$(printf 'd%.0s' $(seq 1 120))"

# A Latin-1 file name reaches the file system as it is.
latin1=$(printf '%s/caf\xe9.img' "$work")
truncate -s 4G "$latin1"
expect latin1-name 0 "formatted" "$lintora" volume "$latin1"
[ "$(head -c 11 "$latin1" | tail -c 8)" = "NTFS    " ] && pass || fail "latin1-name: no volume in the file"

fi

# Progress a person can plan by: on a terminal one line with the phase and the time left, in
# a log a line per phase, nothing at all with --progress=none; the last line sums the run up.
if group progress; then
if command -v script >/dev/null; then
    script -q -e -c "\"$lintora\" volume \"$long\" --full --verify" "$work/tty" >/dev/null 2>&1
    screen=$(tr '\r' '\n' <"$work/tty")
    for word in "zeroing " "writing " "verifying " "read back and compared"; do
        grep -qF -- "$word" <<<"$screen" && pass || fail "progress-bar: no '$word' on the terminal"
    done
    grep -qE "left [0-9]+:[0-9]{2}:[0-9]{2}" <<<"$screen" && pass ||
        fail "progress-bar: no time left on the terminal: $screen"
fi
"$lintora" volume "$long" --full --verify >"$work/summary" 2>"$work/log" || fail "progress-lines: the run failed"
for line in "zeroing: 4.0 GiB" "writing: " "verifying: "; do
    grep -q "^$line" "$work/log" && pass || fail "progress-lines: no '$line' line: $(cat "$work/log")"
done
grep -qF "no bad sectors, 4.0 GiB read back and compared, in " "$work/summary" && pass ||
    fail "summary: $(cat "$work/summary")"
! grep -q $'\r' "$work/log" && pass || fail "progress-lines: a carriage return in the log"
"$lintora" volume "$long" --full --progress=none >/dev/null 2>"$work/log" || fail "progress-none: the run failed"
[ ! -s "$work/log" ] && pass || fail "progress-none: $(cat "$work/log")"
expect progress-mode 2 "the progress must be auto, bar, lines or none" \
    "$lintora" volume "$long" --progress=fast
fi

# --json: one object that Python's json module reads, its cluster count what ntfsinfo reads; a
# failed run's object names the class and says what the target holds.
if group json && command -v python3 >/dev/null; then
    "$lintora" volume "$long" --json --progress=none >"$work/json" 2>/dev/null
    clusters=$(ntfsinfo -m "$long" 2>/dev/null | sed -n 's/.*Volume Size in Clusters: //p')
    python3 -c 'import json, sys
run = json.load(open(sys.argv[1]))
assert run["result"] == "formatted" and run["error"] is None, run
assert run["clusters"] == int(sys.argv[2]) and run["cluster_size"] == 4096, run' \
        "$work/json" "${clusters:-0}" && pass || fail "json-volume: $(cat "$work/json")"
    # Past the file-size limit the last sector cannot even be zeroed: the record says what
    # failed, its cause, and claims no lost volume, since an old backup boot sector may remain.
    bash -c 'ulimit -f 1024; exec "$0" volume "$1" --json' "$lintora" "$long" >"$work/json" 2>/dev/null
    python3 -c 'import json, sys
run = json.load(open(sys.argv[1]))
error = run["error"]
assert run["result"] == "failed" and error["class"] == "failed" and error["cause"] == "other", run
assert "File too large" in error["reason"] and not error["no_valid_volume"], run
# The primary boot sector was zeroed but not flushed: the old volume may remain, and says where.
assert {"what": "old_volume", "first_byte": 0, "end_byte": 4294967296, "certain": False} \
    in error["holds"], run' "$work/json" &&
        pass || fail "json-failed: $(cat "$work/json")"
    # A read-back that fails part of the way (its 1 GiB of cache displacement read, then a few
    # of the written ranges compared): the record says what it read and compared.
    if command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
        strace -f -o /dev/null -e trace=pread64 -e inject=pread64:error=EIO:when=16500 \
            "$lintora" volume "$long" --verify --json >"$work/json" 2>/dev/null
        python3 -c 'import json, sys
run = json.load(open(sys.argv[1]))
assert run["result"] == "failed" and "Input/output error" in run["error"]["reason"], run
assert run["verified_bytes"] > 0 and run["cache_displaced_bytes"] == 1 << 30, run' \
            "$work/json" && pass || fail "json-verify-failed: $(cat "$work/json")"
    fi
    # Every way out ends with exactly one JSON object on stdout: refusals before the target is
    # opened, usage errors, a dry run (its plan on stderr) and a refused confirmation.
    small_json=$work/small-json
    truncate -s 1G "$small_json"
    json_case() {
        local name=$1 code=$2 result=$3 class=$4 status
        shift 4
        "$@" >"$work/json" 2>/dev/null </dev/null
        status=$?
        [ "$status" = "$code" ] && python3 -c 'import json, sys
text = open(sys.argv[1]).read()
run = json.loads(text)  # exactly one object, nothing else
assert run["result"] == sys.argv[2], run
assert (run["error"] or {}).get("class") == (sys.argv[3] or None), run' "$work/json" "$result" "$class" &&
            pass || fail "json-$name: exit $status: $(cat "$work/json")"
    }
    json_case cluster-513 1 failed refused "$lintora" volume "$long" --cluster-size 513 --json
    json_case cluster-512 1 failed refused "$lintora" volume "$long" --cluster-size 512 --json
    json_case too-small 1 failed refused "$lintora" disk "$small_json" --any-size --yes --json
    json_case outside-window 1 failed refused "$lintora" disk "$long" --yes --json
    json_case usage 2 failed refused "$lintora" volume "$long" --sectors x --json
    json_case missing 1 failed refused "$lintora" volume "$work/absent" --json
    json_case dry-run 0 planned "" "$lintora" disk "$long" --any-size --dry-run --json
    json_case dry-run-volume 0 planned "" "$lintora" volume "$long" --dry-run --json
    json_case declined 1 failed refused "$lintora" disk "$long" --any-size --json
    untouched "$small_json" json-refusals
    rm -f "$small_json"
    disk_json=$work/disk-json
    truncate -s 3T "$disk_json"
    "$lintora" disk "$disk_json" --any-size --yes --json >"$work/json" 2>/dev/null
    python3 -c 'import json, sys
run = json.load(open(sys.argv[1]))
assert run["partition_style"] == "gpt" and run["volume_offset"] == 135266304, run
assert run["clusters"] * run["cluster_size"] <= run["volume_bytes"], run' "$work/json" &&
        pass || fail "json-disk: $(cat "$work/json")"
    rm -f "$disk_json"
fi
rm -f "$long"

# Failures injected at the system calls, and interruptions, with strace.
if group signals && command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
    # LeakSanitizer cannot run under ptrace; the sanitizer build still checks everything else.
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
    eio=$work/eio
    truncate -s 4G "$eio"
    expect injected-eio 1 "Input/output error" \
        strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:error=EIO:when=40 \
        "$lintora" volume "$eio"
    expect eio-first-write 1 "was accepted; the one that failed may have changed bytes 0 to 512" \
        strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:error=EIO:when=1 \
        "$lintora" volume "$eio"
    expect eio-says-no-volume 1 "holds no valid volume" \
        strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:error=EIO:when=40 \
        "$lintora" volume "$eio"
    # What the tool calls finished has been flushed to the medium.
    strace -f -o "$work/syscalls" -e trace=pwrite64,fsync,fdatasync "$lintora" volume "$eio" >/dev/null
    grep -q 'fsync' "$work/syscalls" && pass || fail "flush: no fsync reached the system"
    # The boot sector's backup and then the boot sector are the last writes, each after a flush
    # and the last one flushed: the order of the calls, not only the final bytes.
    last=$(sed -nE 's/.*(pwrite64)\(.*, ([0-9]+)\) += [0-9]+$/write \2/p; s/.*(fsync|fdatasync)\(.*/flush/p' \
        "$work/syscalls" | tail -n 5 | tr '\n' ' ')
    [ "$last" = "flush write $((4 * 1024 * 1024 * 1024 - 512)) flush write 0 flush " ] && pass ||
        fail "boot sectors between flushes: the last calls were $last"

    # The disk's partition table, MBR or GPT, is flushed after it is written: nothing is written
    # after the last flush.
    for disk_size in 4G 3T; do
        table=$work/table-$disk_size
        truncate -s "$disk_size" "$table"
        strace -f -o "$work/syscalls" -e trace=pwrite64,fsync,fdatasync \
            "$lintora" disk "$table" --any-size --yes >/dev/null
        last=$(sed -nE 's/.*(pwrite64)\(.*/write/p; s/.*(fsync|fdatasync)\(.*/flush/p' \
            "$work/syscalls" | tail -n 2 | tr '\n' ' ')
        [ "$last" = "write flush " ] && pass ||
            fail "table-flushed-$disk_size: the last calls were $last"
        rm -f "$table"
    done

    # A dry run opens its target for reading only: no open of it asks for write access.
    for command in volume disk; do
        sizes=()
        [ "$command" = disk ] && sizes=(--any-size)
        strace -f -o "$work/syscalls" -e trace=open,openat "$lintora" "$command" "$eio" \
            "${sizes[@]}" --dry-run >/dev/null
        opens=$(grep -F "\"$eio\"" "$work/syscalls")
        if [ -z "$opens" ]; then
            fail "dry-run-opens-$command: the target was never opened"
        elif grep -qE 'O_WRONLY|O_RDWR' <<<"$opens"; then
            fail "dry-run-opens-$command: opened for writing: $opens"
        else
            pass
        fi
    done

    # SIGINT, SIGTERM, SIGHUP (a dropped ssh connection) and SIGQUIT part-way through: the exit
    # code says which, the target holds no valid volume (its boot sector is zeros), even where a
    # valid volume was before, and with --json the record says so too.
    for signal in INT TERM HUP QUIT; do
        slow=$work/slow-$signal
        truncate -s 16G "$slow"
        "$lintora" volume "$slow" >/dev/null
        strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:delay_exit=20000 \
            "$lintora" volume "$slow" --json >"$work/json" 2>"$work/out" &
        tracer=$!
        sleep 1.5
        pkill -"$signal" -P "$tracer" -x lintora
        wait "$tracer"
        status=$?
        code=$((128 + $(kill -l "$signal")))
        if [ "$status" != "$code" ] || ! grep -q "while writing, at .*holds no valid volume" "$work/out"; then
            fail "interrupt-$signal: exit $status (wanted $code): $(cat "$work/out")"
        elif [ "$(head -c 512 "$slow" | tr -d '\0' | wc -c)" != 0 ]; then
            fail "interrupt-$signal: the boot sector survived"
        elif ! python3 -c 'import json, sys
error = json.load(open(sys.argv[1]))["error"]
assert error["class"] == "interrupted" and error["no_valid_volume"], error' "$work/json"; then
            fail "interrupt-$signal: the record: $(cat "$work/json")"
        else
            pass
        fi
        rm -f "$slow"
    done

    # A signal during the disk's wipe names that step, and says what the disk holds.
    wiped=$work/wiped
    truncate -s 4G "$wiped"
    strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:delay_exit=100000 \
        "$lintora" disk "$wiped" --any-size --yes >/dev/null 2>"$work/out" &
    tracer=$!
    sleep 1.5
    pkill -TERM -P "$tracer" -x lintora
    wait "$tracer"
    status=$?
    [ "$status" = 143 ] && grep -qF "interrupted while wiping the disk; '$wiped' holds no partition table" "$work/out" &&
        pass || fail "interrupt-wipe: exit $status: $(cat "$work/out")"
    rm -f "$wiped"

    # The image's path replaced during the run (mv, then a new file under the old name): the run
    # does not say it formatted the path, which names another file now; the moved file holds
    # the volume.
    moved=$work/moved
    truncate -s 4G "$moved"
    strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:delay_exit=20000 \
        "$lintora" volume "$moved" --progress=none >"$work/out" 2>&1 &
    tracer=$!
    sleep 1
    mv "$moved" "$moved.away"
    truncate -s 4G "$moved"
    wait "$tracer"
    status=$?
    [ "$status" = 1 ] && grep -qF "'$moved' now names another file: it was moved or replaced" "$work/out" &&
        ntfsfix -n "$moved.away" >/dev/null 2>&1 && pass ||
        fail "path-replaced: exit $status: $(cat "$work/out")"
    rm -f "$moved" "$moved.away"

    # A closed stderr (the progress piped into `head`) does not stop the run: the volume is
    # written whole and the run succeeds.
    piped=$work/piped
    truncate -s 4G "$piped"
    status=$(bash -c '"$0" volume "$1" --full --progress=lines 2>&1 >"$2" | head -c1 >/dev/null
        echo "${PIPESTATUS[0]}"' "$lintora" "$piped" "$work/out")
    [ "$status" = 0 ] && grep -q "^formatted" "$work/out" && ntfsfix -n "$piped" >/dev/null 2>&1 &&
        pass || fail "closed-stderr: exit $status: $(cat "$work/out")"
    # `--progress lines`, its value a word of its own.
    expect progress-word 0 "formatted" "$lintora" volume "$piped" --progress lines
    # Started with stderr closed, the target is not opened in its place: the bar's lines do not
    # land in the new boot sector, which stays the same as its backup in the last sector.
    "$lintora" volume "$piped" --progress=bar >"$work/out" 2>&-
    status=$?
    cmp -s <(head -c 512 "$piped") <(tail -c 512 "$piped") && [ "$status" = 0 ] &&
        ntfsfix -n "$piped" >/dev/null 2>&1 && pass ||
        fail "stderr-not-open: exit $status, the boot sector and its backup differ or ntfsfix refuses"

    # What the summary and the record say was read back is what was read: the bytes of every
    # pread of the run after its first write (what the target held is read before it), as the
    # system counts them.
    strace -f -o "$work/syscalls" -P "$piped" -e trace=pread64,pwrite64 "$lintora" volume "$piped" \
        --verify --json >"$work/json" 2>/dev/null
    read_bytes=$(sed -n '/pwrite64(/,$p' "$work/syscalls" |
        sed -nE 's/.*pread64\(.* = ([0-9]+)$/\1/p' | awk '{ sum += $1 } END { print sum }')
    read -r verified displaced <<<"$(python3 -c 'import json, sys
run = json.load(open(sys.argv[1]))
print(run["verified_bytes"], run["cache_displaced_bytes"])' "$work/json")"
    # Before the read-back, 1 GiB of the gaps between the writes displaces the drive's cache.
    [ -n "$read_bytes" ] && [ "$((verified + displaced))" = "$read_bytes" ] &&
        [ "$displaced" = $((1 << 30)) ] && pass ||
        fail "verified-bytes: the record says $verified and $displaced, the system read $read_bytes"
    rm -f "$piped"
fi

if group devices && [ "$(id -u)" = 0 ] && [ -e /dev/loop-control ]; then
    # A write past the file-size limit fails with its byte and says what the image holds.
    limited=$work/limited
    truncate -s 4G "$limited"
    expect file-size-limit 1 "at byte 4294966784 failed: File too large; '$limited' holds no valid volume" \
        bash -c 'ulimit -f 1024; exec "$0" volume "$1"' "$lintora" "$limited"

    # No space left on a small tmpfs.
    mkdir "$work/tmpfs"
    if mount -t tmpfs -o size=4M tmpfs "$work/tmpfs"; then
        truncate -s 4G "$work/tmpfs/full"
        expect enospc 1 "No space left on device" "$lintora" volume "$work/tmpfs/full"
        umount "$work/tmpfs"
    fi

    # attach NAME LOSETUP_ARGS...: a loop device, named in NAME and recorded for the clean-up (a
    # command substitution would record it in a subshell, and the clean-up would miss it).
    attach() {
        local -n device=$1
        shift
        device=$(losetup -f --show "$@") && loops+=("$device")
    }
    # A disk with one partition, attached with partition scan.
    parted_disk=$work/parted
    truncate -s 4G "$parted_disk"
    echo 'start=2048, size=100000, type=7' | sfdisk -q "$parted_disk"
    attach loop -P "$parted_disk"
    partx -a "$loop" 2>/dev/null  # the partition node, where nothing else makes it
    udevadm settle 2>/dev/null
    before=$(fingerprint "$parted_disk")
    expect not-a-listed-disk 1 "not a USB disk" "$lintora" disk "$loop" --any-size --yes
    same_bytes not-a-listed-disk "$parted_disk" "$before"
    expect partition-node 1 "is a partition" "$lintora" disk "${loop}p1" --any-size --yes --any-disk
    sleep 60 <"${loop}p1" &
    holders+=($!)
    sleep 0.3
    expect partition-held-open 1 "in use" "$lintora" disk "$loop" --any-size --yes --any-disk
    expect partition-held-open-volume 1 "in use" "$lintora" volume "$loop"
    same_bytes partition-held-open "$parted_disk" "$before"
    kill "${holders[-1]}"
    wait "${holders[-1]}" 2>/dev/null
    expect backing-file 1 "backing file of $loop" "$lintora" disk "$parted_disk" --any-size --yes
    expect dry-run-backing-file 1 "backing file of $loop" \
        "$lintora" disk "$parted_disk" --any-size --dry-run
    same_bytes backing-file "$parted_disk" "$before"
    # A run on an image holds it locked; a run on a loop device over that image is refused, so
    # that the two never both write it and both say "formatted".
    locked_image=$work/locked
    truncate -s 4G "$locked_image"
    attach locked_loop "$locked_image"
    python3 -c 'import fcntl, sys, time
image = open(sys.argv[1])
fcntl.flock(image, fcntl.LOCK_EX)
time.sleep(60)' "$locked_image" &
    holders+=($!)
    sleep 0.5
    expect loop-backing-file-locked 1 "its backing file $locked_image is held locked by another" \
        "$lintora" volume "$locked_loop"
    untouched "$locked_image" loop-backing-file-locked
    kill "${holders[-1]}"
    wait "${holders[-1]}" 2>/dev/null
    # A stand-in device tree moves discovery only; the checks that protect a disk read the
    # kernel's own.
    stand_in=(env LINTORA_SYSFS_ROOT="$work/fixture/sys" LINTORA_DEV_ROOT="$work/fixture/dev")
    expect stand-in-backing-file 1 "backing file of $loop" \
        "${stand_in[@]}" "$lintora" disk "$parted_disk" --any-size --yes
    expect stand-in-partition-node 1 "is a partition" \
        "${stand_in[@]}" "$lintora" disk "${loop}p1" --any-size --yes --any-disk
    same_bytes stand-in-checks "$parted_disk" "$before"

    # Without partition scan the kernel cannot re-read the table; its partitions were added one by
    # one. One in use refuses the disk; afterwards the kernel's partitions are the new table's.
    stale_disk=$work/stale
    truncate -s 4G "$stale_disk"
    echo 'start=4096, size=100000, type=7' | sfdisk -q "$stale_disk"
    attach stale "$stale_disk"
    partx -a "$stale" 2>/dev/null
    udevadm settle 2>/dev/null
    if [ -e "${stale}p1" ]; then
        before=$(fingerprint "$stale_disk")
        sleep 60 <"${stale}p1" &
        holders+=($!)
        sleep 0.3
        expect stale-partition-held-open 1 "in use" "$lintora" disk "$stale" --any-size --yes --any-disk
        same_bytes stale-partition-held-open "$stale_disk" "$before"
        kill "${holders[-1]}"
        wait "${holders[-1]}" 2>/dev/null
        partx -a "$stale" 2>/dev/null
        expect stale-partitions 0 "Formatting has finished." "$lintora" disk "$stale" --any-size --yes --any-disk
        node=/sys/block/$(basename "$stale")/$(basename "$stale")p1
        [ "$(cat "$node/start" 2>/dev/null)" = 2048 ] && pass ||
            fail "stale-partitions: the kernel's p1 starts at $(cat "$node/start" 2>/dev/null), not 2048"
    fi

    attach readonly_loop -r "$image"
    before=$(fingerprint "$image")
    expect read-only 1 "read-only" "$lintora" disk "$readonly_loop" --any-size --yes --any-disk
    expect dry-run-read-only 1 "read-only" "$lintora" volume "$readonly_loop" --dry-run
    # Advice to close other programs only where one holds the disk.
    out=$("$lintora" disk "$readonly_loop" --any-size --yes --any-disk 2>&1)
    grep -q "Close every" <<<"$out" && fail "read-only: advice to close programs: $out" || pass
    same_bytes read-only "$image" "$before"

    # A 4096-byte-sector device is formatted with its own sector size.
    big=$work/big4k
    truncate -s 4G "$big"
    attach loop4k --sector-size 4096 "$big"
    expect sector-size-mismatch 1 "4096-byte sectors" "$lintora" disk "$loop4k" --sector-size 512 --any-size --yes --any-disk
    untouched "$big" "sector-size-mismatch"
    expect device-sector-size 0 "Formatting has finished." "$lintora" disk "$loop4k" --any-size --yes --any-disk
    expect device-sector-size-table 0 '"sectorsize": 4096' sfdisk --json "$loop4k"
    expect device-sector-size-start 0 '"start": 256,' sfdisk --json "$loop4k"

    # A disk whose volume is mounted is refused before anything is written; once it is
    # unmounted the same block device is formatted.
    if [ -e /dev/fuse ] && command -v ntfs-3g >/dev/null; then
        busy=$work/busy
        truncate -s 4G "$busy"
        "$lintora" volume "$busy" >/dev/null
        attach loop "$busy"
        mkdir "$work/mnt"
        ntfs-3g "$loop" "$work/mnt"
        before=$(fingerprint "$busy")
        expect disk-in-use 1 "cannot be formatted" "$lintora" disk "$loop" --any-size --yes --any-disk
        same_bytes disk-in-use "$busy" "$before"
        umount "$work/mnt"
        expect block-device 0 "Formatting has finished." "$lintora" disk "$loop" --any-size --yes --any-disk
        expect block-device-table 0 "type=7" sfdisk -d "$loop"
    fi
fi

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
