#!/usr/bin/env bash
# The licence document as an RTF reader sees it: unrtf turns it into text, which must be the
# title line and then LICENSE word for word.
# usage: licence_rtf_test.sh CMAKE GENERATOR LICENSE
set -euo pipefail
cmake=$1 generator=$2 licence=$3
command -v unrtf >/dev/null || { echo "unrtf is not installed" >&2; exit 1; }
work=$(mktemp -d /tmp/lintora-rtf.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$cmake" -DLICENCE="$licence" -DOUTPUT="$work/licence.rtf" -P "$generator"
unrtf --text "$work/licence.rtf" 2>/dev/null | grep -v '^###' | grep -v '^-----' >"$work/text"
words() { tr -s ' \n\t' '\n' | sed '/^$/d'; }
[ "$(words <"$work/text" | head -2 | tr '\n' ' ')" = "Lintora: Licence " ] ||
    { echo "FAIL: no title line naming the program: $(head -3 "$work/text")" >&2; exit 1; }
diff <(words <"$work/text" | tail -n +3) <(words <"$licence") >"$work/diff" ||
    { echo "FAIL: the RTF's text differs from LICENSE:" >&2; cat "$work/diff" >&2; exit 1; }
echo "the licence document reads as LICENSE under its title"
