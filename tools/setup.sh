# Installs the Debian packages named as arguments that are not installed yet, as root or through
# sudo. Sourced by the scripts in tools/.
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

# clang with libFuzzer and the sanitizer runtimes of its own version (libclang-rt-<major>-dev):
# Debian 12 has clang 14, Debian 13 clang 19.
install_clang() {
    install_missing clang
    local major
    major=$(clang -dumpversion | cut -d. -f1)
    install_missing "libclang-rt-$major-dev"
}

# What the window needs at run time beyond Qt itself: Qt's own translations, so that its buttons
# and dialogs speak the desktop's language, and faces with the metrics of Arial and Courier New,
# for which the layout was made.
zelk_window_packages=(qt6-translations-l10n fonts-liberation2)

zelk_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
zelk_jobs=$(nproc 2>/dev/null || echo 2)
