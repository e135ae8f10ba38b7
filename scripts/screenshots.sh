#!/usr/bin/env bash
# Screenshots of the Windows program under Wine on a virtual display, over two made-up maker
# disks (one with E: and F:): the main dialog idle, with the box ticked, with no disk, and the
# About box, as PNGs in build/screenshots/. Builds the shipped 32-bit Windows preset first and
# runs it under 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
install_missing cmake ninja-build g++-mingw-w64-i686-posix wine64 wine32:i386 xvfb xauth \
    fonts-ipafont-gothic fonts-wine imagemagick
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 --target LintoraScreens
source scripts/wine-prefix.sh
prepare_wine_prefix

out=build/screenshots
mkdir -p "$out"
program=$(pwd)/build/mingw-i686/app/LintoraScreens.exe
for state in idle ticked empty about; do
    xvfb-run -a -s "-screen 0 640x480x24" bash -c '
        "$1" "$2" "$3" &
        sleep 6
        import -window root png:- | convert - -trim +repage "$4"
        kill %1' _ "$wine_loader" "$program" "$state" "$out/main-$state.png"
    /usr/lib/wine/wineserver -k 2>/dev/null || true
done
mv "$out/main-about.png" "$out/about.png"
ls -1 "$out"
