#!/usr/bin/env bash
# The main job on a built-in default: formats a 256 GiB sparse disk image (512-byte sectors, so
# an MBR disk) end to end with `lintora disk`, then shows it as sfdisk and sleuthkit see it.
# usage: scripts/demo.sh [IMAGE]   (default /var/tmp/lintora-demo.img)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
install_missing cmake ninja-build g++ googletest libgtest-dev fdisk sleuthkit
cmake --preset release >/dev/null
cmake --build --preset release --target lintora

image=${1:-/var/tmp/lintora-demo.img}
rm -f "$image"
truncate -s 256G "$image"
build/release/tools/lintora disk "$image" --yes

echo "--- sfdisk --json $image"
sfdisk --json "$image"
start=$(sfdisk --json "$image" | sed -n 's/.*"start": \([0-9]*\),.*/\1/p' | head -n 1)
echo "--- fsstat -o $start $image (the data partition)"
fsstat -o "$start" "$image" | head -n 24
echo "--- fls -o $start $image"
fls -o "$start" "$image"
