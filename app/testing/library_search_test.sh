#!/usr/bin/env bash
# The elevated program loads no library from its own folder: copies of Lintora.exe and of the
# screenshot program (which opens the About box) run in a folder where uxtheme.dll and
# dwmapi.dll are planted, with Wine told to prefer such native copies; a planted library that is
# loaded leaves a mark file (Wine's user32 maps version.dll before any program code runs, so a
# planted version.dll cannot be tested this way; import_table_test.sh covers the imports).
# usage: library_search_test.sh WINE LINTORA_EXE SCREENS_EXE PLANTED_DLL
set -uo pipefail
wine=$1 lintora=$2 screens=$3 planted=$4
# A loader that cannot run this build's programs says why and exits 77: skipped.
"$wine" --version >/dev/null || exit $?
work=$(mktemp -d /tmp/lintora-library-search.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0 passes=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

cp "$lintora" "$work/Lintora.exe"
cp "$screens" "$work/LintoraScreens.exe"
for name in uxtheme dwmapi; do cp "$planted" "$work/$name.dll"; done
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}uxtheme,dwmapi=n,b"
# run NAME PROGRAM ARGS...: the program for a few seconds, its windows up, then ended.
run() {
    local name=$1
    shift
    rm -f "$work/planted-library-loaded"
    "$wine" "$@" &
    local pid=$!
    sleep 8
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if [ -e "$work/planted-library-loaded" ]; then fail "$name: a planted library was loaded"; else
        passes=$((passes + 1))
    fi
}
run lintora "$work/Lintora.exe"
run about-box "$work/LintoraScreens.exe" about
/usr/lib/wine/wineserver -k 2>/dev/null
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
