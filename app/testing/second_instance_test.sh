#!/usr/bin/env bash
# Two processes under Wine: while a first program's main dialog runs, a second start of
# Lintora.exe finds it, brings it to the front and ends at once, without a message (a message
# box would keep it running until the time limit).
# usage: second_instance_test.sh WINE FIRST_EXE LINTORA_EXE
set -uo pipefail
wine=$1 first=$2 second=$3
# A loader that cannot run this build's programs says why and exits 77: skipped.
"$wine" --version >/dev/null || exit $?
"$wine" "$first" idle &
first_pid=$!
trap 'kill $first_pid 2>/dev/null; wait 2>/dev/null' EXIT
sleep 8
start=$(date +%s)
if ! timeout 30 "$wine" "$second"; then
    echo "FAIL: the second start did not end by itself"
    exit 1
fi
echo "the second start ended after $(($(date +%s) - start)) s"
kill -0 "$first_pid" 2>/dev/null || { echo "FAIL: the first instance is gone"; exit 1; }
echo "1 passed, 0 failed"
