#!/usr/bin/env bash
# Prepares the Wine prefix the Windows program runs in on Linux displays: Japanese fonts from
# Debian (IPAGothic) stand in for the dialogs' "MS UI Gothic", so that the program's text shows
# as Japanese, not as boxes; Wine draws the window frames itself (a virtual display has no window
# manager to draw them), with the Marlett font of fonts-wine for the frame's boxes, so pictures
# show the whole window as a user sees it. Sourced by the test and screenshot scripts; uses
# WINEPREFIX.
# usage: source scripts/wine-prefix.sh
wine_loader=/usr/lib/wine/wine64
wine_prefix_scripts=$(dirname "${BASH_SOURCE[0]}")

# The loader of a Windows preset's programs: 32-bit Wine for the i686 build.
wine_loader_for() {
    if [ "$1" = mingw-i686 ]; then echo /usr/lib/wine/wine; else echo "$wine_loader"; fi
}
default_wine_prefix=/tmp/lintora-wine
export WINEPREFIX=${WINEPREFIX:-$default_wine_prefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

prepare_wine_prefix() {
    "$wine_loader" wineboot --init >/dev/null 2>&1 || true
    # A prefix made before 32-bit Wine was installed keeps an empty syswow64 (wineboot --update
    # does not fill it), and every 32-bit program fails to load kernel32.dll: make ours again,
    # where this kernel runs 32-bit programs at all.
    if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] &&
        "$wine_prefix_scripts/../cmake/wine32.sh" --version >/dev/null 2>&1; then
        if [ "$WINEPREFIX" = "$default_wine_prefix" ]; then
            /usr/lib/wine/wineserver -k 2>/dev/null || true
            rm -rf "$WINEPREFIX"
            "$wine_loader" wineboot --init >/dev/null 2>&1 || true
        else
            echo "warning: $WINEPREFIX was made without 32-bit Wine; 32-bit programs will not start" >&2
        fi
    fi
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
