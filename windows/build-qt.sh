#!/usr/bin/env bash
# Builds Qt for 32-bit Windows from Debian's own qt6-base source, with Debian's MinGW, and installs
# it into the folder given as $1 (outside the clone, so later builds on this machine reuse it).
# Debian's installed Qt of the same version serves as the host tools (moc, rcc, uic).
# Takes about 35 minutes on two cores; a stamp file marks a finished install, so an interrupted
# build starts again instead of leaving half a Qt that looks whole.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="$1"
stamp="$prefix/.hideaway-complete"
[ -f "$stamp" ] && exit 0

host_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
work="$prefix.work"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"
echo "build-qt: fetching Debian's qt6-base source ($host_version)"
apt-get source --download-only -qq "qt6-base=$host_version" >source.log 2>&1 || {
    cat source.log >&2
    echo "build-qt: cannot fetch the source of qt6-base $host_version (no deb-src entry?)" >&2
    exit 1
}
dpkg-source --no-check -x qt6-base_*.dsc src >/dev/null 2>&1

# The feature list keeps what the programs and their tests use. OpenGL is off as an input, which
# also turns off its dynamic loading, whose code the Windows platform plugin would otherwise
# build. tabletevent is off because Debian's source leaves out the tablet header (wintab.h) the
# Windows platform plugin needs.
cmake -G Ninja -S src -B build \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_tabletevent=OFF >configure.log 2>&1 || {
    tail -40 configure.log >&2
    exit 1
}
echo "build-qt: building Qt for Windows into $prefix (about 35 minutes on two cores)"
# Qt's own warnings would bury ours: the log stays in the work folder, its end is shown on failure.
cmake --build build --parallel "$(nproc)" >build.log 2>&1 || {
    grep -A5 -m5 'error:' build.log >&2 || tail -40 build.log >&2
    exit 1
}
cmake --install build >/dev/null
touch "$stamp"
cd /
rm -rf "$work"
echo "build-qt: Qt for Windows is in $prefix"
