#!/usr/bin/env bash
# Installs, from Debian's packages, what the Windows cross-build needs and the machine lacks:
# MinGW for 32-bit Windows, Wine with its 32-bit half (the i386 architecture), NSIS, Ninja, a
# source entry for the release, from which Qt for Windows is built, and, for trying the real
# window, a virtual display, a window manager, a robot to click and type and a screen grabber.
# Safe to run again.
set -euo pipefail

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "windows: need root (or sudo) to install packages" >&2; exit 1; }
    sudo=sudo
fi

update=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    update=true
fi

# Qt for Windows is built from the source of the very qt6-base that is installed. Its source
# entry repeats the machine's own binary entries for the release (the same URIs, suites,
# components and keys), so apt fetches the source from wherever this machine gets its packages.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources &&
    ! grep -qs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
    suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
    entries="$(bash "$(dirname "${BASH_SOURCE[0]}")/deb-src-entries.sh" "$suite")"
    if [ -z "$entries" ]; then
        echo "windows: no binary entry for $suite among apt's sources, so no source entry for" \
            "Qt's source could be made; add a deb-src line for $suite yourself" >&2
        exit 1
    fi
    echo "$entries" | $sudo tee /etc/apt/sources.list.d/hideaway100k-deb-src.sources >/dev/null
    update=true
fi

packages=(g++-mingw-w64-i686-posix wine wine32:i386 nsis ninja-build dpkg-dev
    xvfb openbox xdotool imagemagick)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ] || $update; then
    echo "windows: installing ${missing[*]:-nothing new; reading the new package lists}"
    $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
