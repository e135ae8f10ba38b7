#!/usr/bin/env bash
# The shipped executable imports only system libraries that are always mapped from the system
# folder, so no library of those names is looked for beside the program. Reads the import table
# with objdump; nothing is run.
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
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
