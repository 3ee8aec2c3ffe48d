# Installs the Debian packages named as arguments that are not installed yet, as root or through
# sudo. Sourced by tools/run and tools/test.
install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Run as root or install sudo first." >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}

# Where the scripts build; a folder of its own per configuration.
zelk_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
zelk_jobs=$(nproc 2>/dev/null || echo 2)
