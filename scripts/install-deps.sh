#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the program, its tests and its Debian
# package need and the machine lacks: Qt Serial Port lists the serial devices for the command
# line's doctor, MinGW's i686 compiler builds the Wine bridge's Windows host (whose tests run
# with a native host where Wine does not), the window's layout is drawn for the Liberation fonts,
# xvfb starts the program where there is no display, and dpkg-dev and file let cpack work out the
# package's dependencies and hardening flags. Safe to run again: it installs nothing that is
# already there.
set -euo pipefail

packages=(
    g++ make cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev libxcb1-dev
    g++-mingw-w64-i686-posix
    fonts-liberation fonts-dejavu-core fonts-dejavu-extra
    xvfb
    dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
    sudo=sudo
fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
