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
