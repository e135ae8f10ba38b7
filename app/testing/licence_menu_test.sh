#!/usr/bin/env bash
# The program as it ships: unpacked from its zip into a folder of its own and run under Wine on
# a virtual display, its system menu's licence item opens "EULA FOR LINTORA.rtf" from that
# folder (Wine's shell traces the ShellExecuteW call; whether a viewer renders the document is not
# the program's concern). Run inside xvfb-run.
# usage: licence_menu_test.sh WINE_LOADER ZIP DRIVER_EXE
set -euo pipefail
loader=$1 zip=$2 driver=$3
source "$(dirname "$0")/../../scripts/wine-prefix.sh"
work=$(mktemp -d /tmp/lintora-licence.XXXXXX)
cleanup() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
unzip -q "$zip" -d "$work"
folder=$(dirname "$(find "$work" -name Lintora.exe)")
[ -f "$folder/EULA FOR LINTORA.rtf" ] || { echo "FAIL: no licence document beside the program" >&2; exit 1; }
(cd "$folder" && WINEDEBUG=trace+exec "$loader" ./Lintora.exe 2>"$work/trace" &)
"$loader" "$driver" licence >/dev/null || { echo "FAIL: the driver found no program window" >&2; exit 1; }
# Wine names the folder by drive Z: and backslashes.
bs='\\'  # the two characters the trace writes for one backslash
wanted="file=L\"Z:${folder//\//"$bs"}${bs}EULA FOR LINTORA.rtf\""
grep -qF "verb=L\"open\" $wanted" "$work/trace" || {
    echo "FAIL: no ShellExecuteW of $folder/EULA FOR LINTORA.rtf:" >&2
    grep exec "$work/trace" | head -5 >&2
    exit 1
}
echo "the licence item opens the document beside the program ($(basename "$zip"))"
