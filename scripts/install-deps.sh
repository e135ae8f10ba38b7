# Installs with apt-get the Debian packages named in the arguments that are missing.
# Sourced by the other scripts: install_missing PACKAGE...
install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
    fi
}
