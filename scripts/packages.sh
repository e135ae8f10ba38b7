#!/usr/bin/env bash
# Makes what a user installs, from the builds of scripts/test-all.sh, and checks it: the two
# Windows zips (the program, its licence document, the read-me and notices; the program from
# each opens the document from its menu under Wine; the 32-bit one made again in a second build
# folder gives the same bytes), the Debian package (lintian reports no
# error or warning; installed, its tool runs, its manual page renders, it lists disks; removed
# again). Every package gets a SHA-256 file; SOURCE_DATE_EPOCH is the last commit's time.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-deps.sh
install_missing lintian man-db unzip xvfb xauth
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
again=$(mktemp -d /var/tmp/lintora-again.XXXXXX)
trap 'rm -rf "$again"; dpkg -r lintora >/dev/null 2>&1 || true' EXIT

for preset in mingw-i686 mingw-x86_64 release; do
    (cd "build/$preset" && cpack >/dev/null) || fail "cpack in build/$preset"
done
version=$(sed -n 's/^project(lintora LANGUAGES CXX VERSION \([0-9.]*\))$/\1/p' CMakeLists.txt)
for bits in 32 64; do
    preset=mingw-i686
    [ "$bits" = 64 ] && preset=mingw-x86_64
    zip=build/$preset/packages/Lintora-$version-win$bits.zip
    (cd "$(dirname "$zip")" && sha256sum -c --quiet "$(basename "$zip").sha256") ||
        fail "$zip does not match its SHA-256 file"
    listing=$(unzip -Z1 "$zip")
    for name in Lintora.exe "EULA FOR LINTORA.rtf" "EULA FOR LINTORA.txt" README.txt \
        "THIRD-PARTY NOTICES.txt"; do
        grep -qxF "Lintora-$version-win$bits/$name" <<<"$listing" || fail "$zip lacks $name"
    done
    unzip -p "$zip" "Lintora-$version-win$bits/README.txt" | head -c 3 | od -An -tx1 |
        grep -q "ef bb bf" || fail "the read-me in $zip has no byte-order mark"
    unzip -p "$zip" "Lintora-$version-win$bits/README.txt" | grep -q $'\r$' ||
        fail "the read-me in $zip has no CRLF line ends"
done

# The program unpacked from each zip opens its licence document from its menu: the shipped
# 32-bit one under 32-bit Wine, the 64-bit one under 64-bit Wine.
# Where 32-bit programs cannot run, the 32-bit zip's check says so and is skipped.
for build in "mingw-i686 32 $(pwd)/cmake/wine32.sh" "mingw-x86_64 64 /usr/lib/wine/wine64"; do
    read -r preset bits loader <<<"$build"
    if ! probe=$("$loader" --version 2>&1); then
        echo "$probe" >&2
        [ "${LINTORA_REQUIRE_I686:-0}" != 1 ] || fail "the licence item of the win$bits zip"
        echo "skipped: the licence item of the win$bits zip (the program cannot run here)"
        continue
    fi
    xvfb-run -a -s "-screen 0 1024x768x24" app/testing/licence_menu_test.sh "$loader" \
        "build/$preset/packages/Lintora-$version-win$bits.zip" \
        "build/$preset/app/LintoraDemoDriver.exe" || fail "the licence item of the win$bits zip"
done

# The same source in a second build folder: the same zip, byte for byte.
cmake --preset mingw-i686 -B "$again" >/dev/null
cmake --build "$again" >/dev/null
(cd "$again" && cpack >/dev/null)
cmp "build/mingw-i686/packages/Lintora-$version-win32.zip" \
    "$again/packages/Lintora-$version-win32.zip" ||
    fail "a second build of the 32-bit zip differs"

deb=build/release/packages/lintora_${version}_amd64.deb
(cd "$(dirname "$deb")" && sha256sum -c --quiet "$(basename "$deb").sha256") ||
    fail "$deb does not match its SHA-256 file"
report=$(lintian --allow-root "$deb" 2>&1) || fail "lintian: $report"
! grep -qE "^[EW]: " <<<"$report" || fail "lintian: $report"
dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb"
[ "$(/usr/bin/lintora --version)" = "lintora $version" ] || fail "the installed tool's version"
MANWIDTH=80 man -l /usr/share/man/man1/lintora.1.gz 2>/dev/null | grep -q "EXIT STATUS" ||
    fail "the installed manual page does not render"
/usr/bin/lintora list >/dev/null 2>&1 || [ $? = 1 ] || fail "the installed tool cannot list disks"
dpkg -r lintora >/dev/null || fail "dpkg -r lintora"
[ ! -e /usr/bin/lintora ] || fail "the tool is left after removing the package"
echo "packages: two zips (the 32-bit one reproduced), a Debian package lintian accepts"
