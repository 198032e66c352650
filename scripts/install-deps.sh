#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the wall screen need, when missing.
# Runs apt-get as root, or through sudo for an ordinary user.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git clang libclang-rt-dev
    libsdl2-dev libx11-dev libfreetype-dev libfontconfig-dev libsqlite3-dev libpng-dev
    libpq-dev postgresql  # the server driver, and the server its tests start
    fonts-wine fonts-dejavu-core
    googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
    xvfb x11-utils xdotool
    dpkg-dev file  # the package test: dpkg-shlibdeps for Depends:, file to check what it holds
    pngquant       # the README's screenshot commands, which its test runs
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "These Debian packages are missing and this needs root (or sudo) to install them:" >&2
        echo "  ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
