# Installs with apt-get the Debian packages named in the arguments that are missing; a name
# with an architecture (wine32:i386) first adds that architecture to dpkg.
# Sourced by the other scripts: install_missing PACKAGE...
install_missing() {
    local missing=() package arch refresh=
    for package in "$@"; do
        if [[ "$package" == *:* ]]; then
            arch=${package#*:}
            if [ "$arch" != "$(dpkg --print-architecture)" ] &&
                ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
                dpkg --add-architecture "$arch"
                refresh=1
            fi
        fi
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    local index_missing=
    if [ ${#missing[@]} -gt 0 ] || [ -n "$refresh" ]; then
        # A mirror caught mid-sync serves an index of the wrong size; a later try may get a
        # whole one.
        local try
        for try in 1 2 3; do
            if apt-get update -q -o Acquire::Retries=3; then
                index_missing=
                break
            fi
            index_missing=1
            echo "apt-get update failed (try $try of 3)" >&2
            [ "$try" = 3 ] || sleep 20
        done
    fi
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" && return 0
    [ -n "$index_missing" ] || return 1
    # Without one architecture's security index, the other architecture's security versions
    # have no partner, and a Multi-Arch: same library (libssl3, zlib1g) must be the same
    # version in both. The point release has every architecture at one version: prefer it.
    echo "apt-get install failed with an index missing; installing from the point release," \
        "where every architecture has the same versions" >&2
    local preferences status=0
    preferences=$(mktemp -d)
    cp /etc/apt/preferences.d/* "$preferences" 2>/dev/null || true
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' \
        >"$preferences/point-release-first.pref"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-remove \
        -o Dir::Etc::PreferencesParts="$preferences" "${missing[@]}" || status=$?
    rm -rf "$preferences"
    return $status
}
