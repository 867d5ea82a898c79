#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks that it holds what an installed
# Hideaway100K needs. Usage: check_package.sh <cpack> <build folder> <program folder> <hardening>
# where <hardening> is "hardened" when the build has Debian's hardening flags, "unhardened" when
# not (HIDEAWAY_DEBIAN_HARDENING off, as in a sanitizer build): the flags are checked only then.
# Exits 77 (skipped) where the Debian tools that cpack needs for the package are missing.
set -euo pipefail
cpack=$1 build=$2 program_dir=$3 hardening=$4
case $hardening in
    hardened | unhardened) ;;
    *) echo "the fourth argument is hardened or unhardened, not '$hardening'"; exit 2 ;;
esac

for tool in dpkg-deb dpkg-shlibdeps file readelf; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! (cd "$build" && "$cpack" -G DEB -B "$out" >"$out/cpack.log" 2>&1); then
    cat "$out/cpack.log"
    exit 1
fi

debs=("$out"/hideaway100k_*_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "expected one hideaway100k_<version>_<arch>.deb in:"
    ls "$out"
    exit 1
fi
deb=${debs[0]}

failed=0
fail() { echo "FAIL: $*"; failed=1; }

contents=$(dpkg-deb -c "$deb")
for path in \
    "usr/$program_dir/hideaway100k" \
    "usr/$program_dir/hideaway100k-cli" \
    "usr/$program_dir/libGBP.so" \
    usr/share/applications/hideaway100k.desktop \
    usr/share/icons/hicolor/48x48/apps/hideaway100k.png \
    usr/share/icons/hicolor/64x64/apps/hideaway100k.png \
    usr/share/icons/hicolor/128x128/apps/hideaway100k.png \
    usr/share/icons/hicolor/256x256/apps/hideaway100k.png \
    usr/share/doc/hideaway100k/user-guide.md \
    usr/share/doc/hideaway100k/copyright \
    usr/share/doc/hideaway100k/changelog.gz \
    usr/share/metainfo/io.github.hideaway100k.Hideaway100K.metainfo.xml; do
    grep -q " \./$path\$" <<<"$contents" || fail "the package lacks /$path"
done
# The Wine bridge, where the build made it.
if [ -f "$build/bin/wine-bridge/libGBP.so" ]; then
    for path in "usr/$program_dir/wine-bridge/libGBP.so" "usr/$program_dir/wine-bridge/gbp-host.exe"; do
        grep -q " \./$path\$" <<<"$contents" || fail "the package lacks /$path"
    done
    recommends=$(dpkg-deb -f "$deb" Recommends)
    for package in wine wine32; do
        grep -Eq "(^|, )$package(\$|,| )" <<<"$recommends" ||
            fail "Recommends lacks $package: $recommends"
    done
fi
for program in hideaway100k hideaway100k-cli; do
    grep -q " \./usr/bin/$program -> \.\./$program_dir/$program\$" <<<"$contents" ||
        fail "the package lacks the link /usr/bin/$program to the program"
done

depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends names no Qt library: $depends"
# The command line's doctor lists the serial devices through Qt Serial Port.
grep -q 'libqt6serialport6' <<<"$depends" || fail "Depends lacks Qt Serial Port: $depends"
# The window's layout fits only with the Liberation fonts; a mere recommendation is not installed
# everywhere.
grep -Eq '(^|, )fonts-liberation($|,| )' <<<"$depends" ||
    fail "Depends lacks fonts-liberation: $depends"

# Installed binaries are stripped, and the copyright file is machine-readable.
dpkg-deb -x "$deb" "$out/root"
while IFS= read -r binary; do
    name=$(basename "$binary")
    # The bridge's host is a Windows program, stripped when it was linked.
    if [[ $name == *.exe ]]; then
        file "$binary" | grep -q 'PE32 executable' || fail "$name is not a Windows program"
        continue
    fi
    file -L "$binary" | grep -q ', stripped' || fail "$name is not stripped"
    # Hardened as Debian builds packages: relocations resolved at start, then read-only.
    dynamic=$(readelf -d "$binary")
    if [ "$hardening" = hardened ]; then
        grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' <<<"$dynamic" ||
            fail "$name is not linked with BIND_NOW"
    fi
    # The switches that let tests stop a run midway are built into the tests' twin only.
    if grep -aq 'HIDEAWAY_TEST_' "$binary"; then
        fail "$name reads a test switch: $(grep -ao 'HIDEAWAY_TEST_[A-Z_]*' "$binary" | head -n1)"
    fi
    # libGBP is loaded by its full path and Qt lives in the system's folders: no run path.
    if grep -Eq '\((RPATH|RUNPATH)\)' <<<"$dynamic"; then
        fail "$name carries a run path: $(grep -E '\((RPATH|RUNPATH)\)' <<<"$dynamic")"
    fi
done < <(find "$out/root/usr/$program_dir" -type f)
head -n1 "$out/root/usr/share/doc/hideaway100k/copyright" |
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "the copyright file is not machine-readable"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$out"/root/usr/share/metainfo/*.metainfo.xml >/dev/null ||
        fail "the metainfo file does not validate"
fi

if [ "$hardening" = unhardened ]; then
    echo "not checked: Debian's hardening (BIND_NOW), which this build leaves off" \
        "(HIDEAWAY_DEBIAN_HARDENING=OFF, as HIDEAWAY_SANITIZE=ON makes it)"
fi
[ $failed -eq 0 ] && echo "$(basename "$deb") holds all that an installed Hideaway100K needs"
exit $failed
