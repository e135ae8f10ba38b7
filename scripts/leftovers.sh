#!/usr/bin/env bash
# Lists what the tests left on the machine: loop devices, mounts, files in /var/tmp, /dev/shm
# and /tmp (the shared Wine prefix and the demonstration's image, which scripts/demo.sh keeps
# for the user to look at, aside) whose names carry "lintora-", and a Wine server still serving
# the tests' own Wine prefix (a server of the user's own prefixes is theirs, not the tests').
# Exits 1 when anything is left. Used by the test command at its end.
# usage: scripts/leftovers.sh
set -uo pipefail
source "$(dirname "$0")/wine-prefix.sh"
/usr/lib/wine/wineserver -w 2>/dev/null &
waiter=$!
# A Wine server ends a few seconds after its last program; give it that long.
for _ in $(seq 1 30); do
    kill -0 "$waiter" 2>/dev/null || break
    sleep 1
done
kill "$waiter" 2>/dev/null
wait "$waiter" 2>/dev/null

# A Wine server (wineserver or wineserver64) works in a folder named after its prefix's device
# and inode numbers, server-DEV-INODE in hexadecimal.
tests_wine_servers() {
    [ -d "$WINEPREFIX" ] || return 0
    local dir pid
    dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for pid in $(pgrep wineserver); do
        if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$dir" ]; then
            echo "wineserver $pid of $WINEPREFIX"
        fi
    done
}

left=$(
    losetup -a 2>/dev/null | grep -F 'lintora-'
    grep -F 'lintora-' /proc/self/mountinfo
    find /var/tmp /dev/shm -maxdepth 1 -name '*lintora-*' ! -path /var/tmp/lintora-demo.img \
        2>/dev/null
    find /tmp -maxdepth 1 -name '*lintora-*' ! -name 'lintora-wine' 2>/dev/null
    tests_wine_servers
)
if [ -n "$left" ]; then
    echo "FAIL: the tests left these behind:"
    echo "$left"
    exit 1
fi
echo "nothing left behind: no loop device, mount, temporary file or Wine server of the tests"
