#!/usr/bin/env bash
# Prepares the Wine prefix the Windows program runs in on Linux displays: Japanese fonts from
# Debian (IPAGothic) stand in for the dialogs' "MS UI Gothic", so that the program's text shows
# as Japanese, not as boxes; Wine draws the window frames itself (a virtual display has no window
# manager to draw them), with the Marlett font of fonts-wine for the frame's boxes, so pictures
# show the whole window as a user sees it. Sourced by the test and screenshot scripts; uses
# WINEPREFIX.
# usage: source scripts/wine-prefix.sh
wine_loader=/usr/lib/wine/wine64

# The loader of a Windows preset's programs: 32-bit Wine for the i686 build.
wine_loader_for() {
    if [ "$1" = mingw-i686 ]; then echo /usr/lib/wine/wine; else echo "$wine_loader"; fi
}
export WINEPREFIX=${WINEPREFIX:-/tmp/lintora-wine} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

prepare_wine_prefix() {
    "$wine_loader" wineboot --init >/dev/null 2>&1 || true
    "$wine_loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ \
        /d 'IPAGothic' /f >/dev/null 2>&1 || true
    "$wine_loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ \
        /d 'IPAGothic' /f >/dev/null 2>&1 || true
    "$wine_loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
        >/dev/null 2>&1 || true
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    /usr/lib/wine/wineserver -w 2>/dev/null || true
}
