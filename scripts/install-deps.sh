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
    if [ ${#missing[@]} -gt 0 ] || [ -n "$refresh" ]; then
        # A mirror caught mid-sync serves an index of the wrong size; a later try usually gets
        # a whole one (the architectures must agree on versions for wine32:i386 to install).
        local try
        for try in 1 2 3 4 5; do
            apt-get update -q -o Acquire::Retries=3 && break
            echo "apt-get update failed (try $try of 5); trying again in 30 s" >&2
            sleep 30
        done
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
    fi
}
