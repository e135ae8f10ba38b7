#!/usr/bin/env bash
# Lists what the tests left on the machine: loop devices, mounts, files in /var/tmp, /dev/shm
# and /tmp (the shared Wine prefix and the demonstration's image, which scripts/demo.sh keeps
# for the user to look at, aside) whose names carry "lintora-", and running Wine
# servers. Exits 1 when anything is left. Used by the test command at its end.
# usage: scripts/leftovers.sh
set -uo pipefail
/usr/lib/wine/wineserver -w 2>/dev/null &
waiter=$!
# A Wine server ends a few seconds after its last program; give it that long.
for _ in $(seq 1 30); do
    kill -0 "$waiter" 2>/dev/null || break
    sleep 1
done
kill "$waiter" 2>/dev/null
wait "$waiter" 2>/dev/null

left=$(
    losetup -a 2>/dev/null | grep -F 'lintora-'
    grep -F 'lintora-' /proc/self/mountinfo
    find /var/tmp /dev/shm -maxdepth 1 -name '*lintora-*' ! -path /var/tmp/lintora-demo.img \
        2>/dev/null
    find /tmp -maxdepth 1 -name '*lintora-*' ! -name 'lintora-wine' 2>/dev/null
    pgrep -a wineserver
)
if [ -n "$left" ]; then
    echo "FAIL: the tests left these behind:"
    echo "$left"
    exit 1
fi
echo "nothing left behind: no loop device, mount, temporary file or Wine server of the tests"
