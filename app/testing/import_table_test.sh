#!/usr/bin/env bash
# The shipped executable imports only system libraries that are always mapped from the system
# folder, so no library of those names is looked for beside the program. On 32-bit Windows its
# guarded calls rest on a handler frame of their own, which Windows calls only while the image
# has no SafeSEH table (no load-configuration directory) and no NO_SEH flag: a link option or a
# runtime that adds either would switch the guards off without a word. Reads the PE headers with
# objdump; nothing is run.
# usage: import_table_test.sh OBJDUMP LINTORA_EXE
set -uo pipefail
objdump=$1 lintora=$2
failures=0 passes=0
allowed="ADVAPI32.dll COMCTL32.dll KERNEL32.dll msvcrt.dll ole32.dll SHELL32.dll SHLWAPI.dll USER32.dll"
imports=$("$objdump" -p "$lintora" | sed -n 's/^\s*DLL Name: //p' | sort -uf)
if [ -z "$imports" ]; then
    echo "FAIL imports: $objdump found no import table in $lintora"
    failures=1
fi
for dll in $imports; do
    if grep -qiw -- "$dll" <<<"$allowed"; then passes=$((passes + 1)); else
        echo "FAIL imports: $lintora imports $dll"
        failures=$((failures + 1))
    fi
done
headers=$("$objdump" -p "$lintora")
if grep -q '^Magic\s*010b' <<<"$headers"; then
    characteristics=$(sed -n 's/^DllCharacteristics\s*//p' <<<"$headers")
    if [ -z "$characteristics" ] || (( 16#$characteristics & 0x0400 )); then
        echo "FAIL seh: DllCharacteristics ${characteristics:-missing} (NO_SEH is 0x0400)"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
    load_config=$(grep -E 'Load Configuration Directory' <<<"$headers" | awk '{ print $4 }')
    if [ "${load_config:-x}" != 00000000 ]; then
        echo "FAIL seh: a load-configuration directory of size 0x${load_config:-?}: a SafeSEH" \
            "table would keep Windows from calling the guard's handler"
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
fi
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
