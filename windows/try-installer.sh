#!/usr/bin/env bash
# Installs and uninstalls the Windows installer under Wine, as a user would, silently:
#   try-installer.sh INSTALLER.exe
# Fails unless the uninstall entry's icon is the installed program and uninstalling leaves no
# registry key of the vendor behind.
set -euo pipefail
installer="$(realpath "$1")"
work="$(mktemp -d)"
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
finish() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "try-installer: $*" >&2
    exit 1
}
mkdir -p "$work/home"
export HOME="$work/home"
wineboot --init >/dev/null 2>&1
query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hideaway100K'

wine "$installer" /S
wineserver -w
icon="$(query "$entry" /v DisplayIcon | sed -n 's/.*DisplayIcon *REG_SZ *//p')"
case "$icon" in
*\\hideaway100k.exe) ;;
*) fail "the uninstall entry's icon is '$icon', not the program" ;;
esac
[ -f "$(winepath -u "$icon")" ] || fail "the uninstall entry's icon $icon is not installed"
uninstaller="${icon%\\*}\\Uninstall.exe"

wine "$uninstaller" /S
wineserver -w
# The uninstaller runs on from a copy of itself; give it time to finish.
for _ in $(seq 60); do
    query "$entry" >/dev/null || break
    sleep 1
done
if query 'HKLM\Software\Hideaway100K developers' >/dev/null; then
    fail "uninstalling left the key HKLM\\Software\\Hideaway100K developers"
fi
echo "try-installer: installed with the program as its icon, uninstalled without a trace"
