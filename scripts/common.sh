# What the README's two commands share: the packages they need and the three builds.
# Sourced, not run.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs whichever of the named Debian packages are missing; apt-get update runs only then.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]}; run as root or install them" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    # Wine's 32-bit half comes from the i386 architecture.
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

build_packages=(cmake make g++ libgtest-dev clang-tidy cppcheck clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64)
# Wine runs the real executables; qemu-user-static stands in for a kernel without 32-bit support.
wine_packages=(wine wine64 wine32:i386 libc6:i386 xvfb qemu-user-static imagemagick)

# Configures and builds one preset quietly; shows the log when it fails.
build_preset() {
    local preset=$1 log
    log=$(mktemp)
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j "$(nproc)"; } >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        echo "build of preset $preset failed" >&2
        return 1
    fi
    rm -f "$log"
}
