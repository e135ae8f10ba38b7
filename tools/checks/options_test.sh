#!/usr/bin/env bash
# Each command's options as its table gives them (--help prints the table) against the manual
# page's synopsis and OPTIONS section and against the bash completion: an option one of them
# lacks, or names that the table does not have, fails.
# usage: options_test.sh LINTORA MANUAL COMPLETION
set -uo pipefail
lintora=$1 manual=$2 completion=$3
failures=0 passes=0
compare() {
    local what=$1 wanted=$2 found=$3
    if [ "$wanted" = "$found" ]; then passes=$((passes + 1)); else
        echo "FAIL $what: the table has [$wanted], found [$found]"
        failures=$((failures + 1))
    fi
}
sorted() { tr ' ' '\n' | grep -v '^$' | sort -u | tr '\n' ' '; }
unescape() { sed 's/\\-/-/g'; }
documented=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$manual" | unescape |
    sed -nE 's/^\.(B|BI|BR|IR) (--[a-z-]+).*/\2/p' | sorted)
for command in volume disk list; do
    table=$("$lintora" "$command" --help | sed -nE 's/^  (--[a-z-]+)( .*|$)/\1/p' | sorted)
    [ -n "$table" ] || { echo "FAIL $command: --help lists no option"; failures=$((failures + 1)); }
    synopsis=$(sed -n "/^\.B lintora $command\$/,/^\.br/p" "$manual" | unescape |
        grep -oE -- '--[a-z-]+' | sorted)
    compare "$command: the manual's synopsis" "$table" "$synopsis"
    offered=$(sed -nE "s/^ *$command\) options=\"([^\"]*)\".*/\1/p" "$completion" | tr ' ' '\n' |
        grep -vE '^--help$|=' | sorted)
    compare "$command: the bash completion" "$table" "$offered"
    for option in $table; do
        if grep -qw -- "$option" <<<"$documented"; then passes=$((passes + 1)); else
            echo "FAIL $command: $option is not described under OPTIONS in the manual"
            failures=$((failures + 1))
        fi
    done
done
echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
