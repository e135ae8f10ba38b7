#!/usr/bin/env bash
# Runs a 32-bit Windows program under Debian's 32-bit Wine: the loader of the shipped i686
# build's tests. Some kernels cannot execute 32-bit programs at all (no IA32 emulation); there
# the loader itself fails with "Exec format error", and this says so on stderr and exits 77, the
# code CTest and the test scripts read as "skipped". With LINTORA_REQUIRE_I686=1 (a release
# machine) that is a failure instead (exit 1).
#   cmake/wine32.sh PROGRAM [ARGUMENTS...]   runs it
#   cmake/wine32.sh --version                the loader's version, or the reason it cannot run
# LINTORA_WINE32_LOADER names another loader: one that cannot run rehearses such a kernel here.
loader=${LINTORA_WINE32_LOADER:-/usr/lib/wine/wine}

# The loader runs only when the kernel runs 32-bit code: ask it, and keep its own words.
if ! answer=$("$loader" --version 2>&1) || [[ "$answer" != wine-* ]]; then
    reason=${answer##*: }
    [ -n "$reason" ] || reason="it printed no version"
    if [ ! -e "$loader" ]; then
        reason="$loader is not installed"
    fi
    if [ "${LINTORA_REQUIRE_I686:-0}" = 1 ]; then
        echo "FAIL: 32-bit Windows programs cannot run on this machine ($loader: $reason)," \
            "and LINTORA_REQUIRE_I686=1 asks for them" >&2
        exit 1
    fi
    echo "SKIP: 32-bit Windows programs cannot run on this machine ($loader: $reason)" >&2
    exit 77
fi
if [ "${1:-}" = --version ]; then
    echo "$answer"
    exit 0
fi
exec "$loader" "$@"
