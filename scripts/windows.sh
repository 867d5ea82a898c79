#!/usr/bin/env bash
# Builds Hideaway100K for 32-bit Windows on Debian 12 and tests it under Wine.
#
# Installs what it needs from Debian's packages, builds Qt for Windows once per machine (about 35
# minutes on two cores) into a cache outside the clone, and leaves under build-windows/:
#   Hideaway100K/          the programs with the simulated phone as GBP.dll and every DLL they need
#   Hideaway100K-*.zip     that folder packed
#   Hideaway100K-*.exe     an installer for it
#   window-under-wine.png  the real window under Wine after Check, an upload and a download
# Then it runs the test suite, built for Windows, under Wine, tries the real window there, and
# installs and uninstalls the installer.
# Before all that it runs the tests of the native programs' Wine bridge, which need MinGW and Wine.
# The cache is $HIDEAWAY_CACHE_DIR, by default ~/.cache/hideaway100k.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build-windows"
jobs="$(nproc)"

bash "$root/scripts/install-deps.sh"
bash "$root/windows/install-deps.sh"

qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/[+~-].*//')"
cache="${HIDEAWAY_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/hideaway100k}"
qt="$cache/qt-$qt_version-windows-i686"
# Each phase's time goes into the closing line, which is how the README's durations are measured.
phase_start=$SECONDS
timings=""
phase_done() {
    timings="${timings:+$timings, }$1 $((SECONDS - phase_start)) s"
    phase_start=$SECONDS
}
phase_done "Debian packages"

# With MinGW and Wine now in place, the native build makes the Wine bridge too; its tests run
# there, on the native programs.
bridge_status=0
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build" -R bridge --output-on-failure ||
    bridge_status=1
phase_done "Wine bridge tests"

bash "$root/windows/build-qt.sh" "$qt"
phase_done "Qt"

# The pictures are drawn at build time by a program of this machine's own.
cmake -S "$root" -B "$out/host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$out/host" --target hideaway_artwork -j"$jobs"

"$qt/bin/qt-cmake" -S "$root" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/windows/mingw-i686.cmake" \
    -DHIDEAWAY_HOST_ARTWORK="$out/host/art/hideaway_artwork" >/dev/null
cmake --build "$out/build" -j"$jobs"
phase_done "build"

rm -rf "$out/Hideaway100K"
cmake --install "$out/build" --prefix "$out/Hideaway100K" >/dev/null
(cd "$out/build" && cpack -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
# The switches that let tests stop a run midway are built into the tests' twin only.
if found=$(grep -la 'HIDEAWAY_TEST_' "$out"/Hideaway100K/*.exe); then
    echo "windows: a test switch is built into $found"
    exit 1
fi
phase_done "ZIP and installer"
echo "windows: made $out/Hideaway100K and $(cd "$out" && ls Hideaway100K-*.zip Hideaway100K-*.exe | tr '\n' ' ')"

status=$bridge_status
# Wine runs these 32-bit programs only where the kernel runs 32-bit programs at all; a machine
# that switched that off (Linux's ia32_emulation) gets the build and the packages, and is told.
rm -f "$out/skipped-tests.txt"
if ! wine_error="$(wine --version 2>&1 >/dev/null)"; then
    count="$(ctest --test-dir "$out/build" -N | sed -n 's/^Total Tests: //p')"
    echo "$count tests of the Windows build under Wine, the real window and the installer did" \
        "not run: wine cannot run 32-bit programs on this machine (${wine_error%%$'\n'*}); the" \
        "kernel's 32-bit emulation (ia32_emulation) and Debian's wine32:i386 are needed" \
        >"$out/skipped-tests.txt"
    echo "windows: SKIPPED: $(cat "$out/skipped-tests.txt")"
    echo "windows: $timings; $SECONDS s in all"
    exit $status
fi
ctest --test-dir "$out/build" --output-on-failure -j"$jobs" || status=$?
phase_done "tests under Wine"
# The installed folder as a user gets it, in the real window on a virtual display.
bash "$root/windows/try-window.sh" "$out/Hideaway100K" "$out/window-under-wine.png" || status=1
phase_done "the real window"
# The installer as a user runs it: what it registers and what uninstalling leaves.
bash "$root/windows/try-installer.sh" "$(ls "$out"/Hideaway100K-*.exe | head -1)" || status=1
phase_done "the installer"
echo "windows: $timings; $SECONDS s in all"
exit $status
