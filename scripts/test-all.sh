#!/usr/bin/env bash
# Installs what is missing, configures and builds every preset, and runs every test: the unit
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the release unit tests with the
# end-to-end checks by ntfs-3g, ntfsfix, sleuthkit, sfdisk and sgdisk, and the 64-bit Windows
# unit tests under Wine. The 32-bit Windows build (the shipped program) must compile cleanly.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
install_missing cmake ninja-build g++ googletest libgtest-dev clang-format \
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 \
    ntfs-3g sleuthkit gdisk fdisk util-linux strace time xvfb xauth fonts-ipafont-gothic imagemagick

# The code is formatted as .clang-format says.
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

for preset in debug release mingw-i686 mingw-x86_64; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done

ctest --preset debug -j2
ctest --preset release -j2

# The shipped 32-bit program cannot run here; its resources are read back from the executable.
ctest --preset mingw-i686

# The 64-bit Windows tests under Wine, the dialogs on a virtual display.
source scripts/wine-prefix.sh
prepare_wine_prefix
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset mingw-x86_64

# The whole format run through the program under Wine, judged by the Linux checkers: a 256 GiB
# image with 512-byte sectors, a 3 TiB one with 4096-byte sectors, and a disk unplugged mid-way.
scripts/gui-demo.sh
image4k=/var/tmp/lintora-gui-demo-4k.img
rm -f "$image4k"
truncate -s 3T "$image4k"
scripts/gui-demo.sh "$image4k" 4096
rm -f "$image4k"
LINTORA_DEMO_UNPLUG_AFTER=300 scripts/gui-demo.sh
rm -f /var/tmp/lintora-gui-demo.img
