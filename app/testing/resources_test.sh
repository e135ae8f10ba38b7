#!/usr/bin/env bash
# The resources of the built program, read back from the executable with windres: the
# manifest's execution level and common controls, the FileVersion in block 041103a4 with its
# translation entry, dialog 102's controls, and string 57344.
# usage: resources_test.sh WINDRES EXE VERSION
set -uo pipefail
windres=$1 exe=$2 version=$3
dump=$(mktemp)
trap 'rm -f "$dump"' EXIT
"$windres" -i "$exe" -O rc -o "$dump" || { echo "FAIL: windres cannot read $exe"; exit 1; }
failures=0 passes=0
check() {
    if grep -qF -- "$2" <<<"$3"; then passes=$((passes + 1)); else
        echo "FAIL $1: '$2' not found"
        failures=$((failures + 1))
    fi
}
all=$(cat "$dump")
check manifest-level 'level=""requireAdministrator"" uiAccess=""false""' "$all"
check manifest-controls 'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""' "$all"
block=$(sed -n '/BLOCK "041103a4"/,/END/p' "$dump")
check file-version "VALUE \"FileVersion\", \"$version\"" "$block"
check translation 'VALUE "Translation", 0x411, 932' "$(sed -n '/VarFileInfo/,/END/p' "$dump")"
dialog=$(sed -n '/^102 DIALOGEX 0, 0, 237, 211/,/^END/p' "$dump")
check dialog-font 'FONT 9, "MS UI Gothic"' "$dialog"
for control in "COMBOBOX 1000," '"MSCTLS_PROGRESS32"' "1002, 14, 43, 186, 8" "1003, 14, 151" \
    "1004, \"BUTTON\"" "DEFPUSHBUTTON L\"\\x958b\\x59cb\", 1," "1005, 180, 190"; do
    check "dialog-102 $control" "$control" "$dialog"
done
check about-dialog "100 DIALOGEX 0, 0, 330, 86" "$all"
check string-57344 '57344, "Lintora"' "$all"
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
