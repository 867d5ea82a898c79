#!/usr/bin/env bash
# Uses the real Windows window under Wine on a virtual display, as a user would:
#   try-window.sh PROGRAM-FOLDER SCREENSHOT.png
# Starts hideaway100k.exe from the folder, with its GBP.dll (the simulated phone) in a folder of
# its own, then clicks Check, uploads a file into slot 1 and downloads it again through the real
# file dialogs, and clicks Check once more. Fails unless the downloaded file is the uploaded one
# and Wine's registry holds no trace of the folder the files were in. Leaves a picture of the
# window at the end.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
programs="$(cd "$1" && pwd)"
shot="$(realpath -m "$2")"

work="$(mktemp -d)"
pids=()
finish() {
    WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "try-window: $*" >&2
    [ ! -s "$work/window.log" ] || { echo "the program's output:" && tail -20 "$work/window.log"; } >&2
    exit 1
}
windows_path() { local p="$1"; echo "Z:${p//\//\\}"; }

mkdir -p "$work/phone"
printf 'A note kept in slot 1 of the simulated phone.\n' >"$work/note.txt"

# A display of our own, and a window manager, which gives the dialogs the keyboard.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 30 number <&3 || fail "Xvfb did not start"
export DISPLAY=":$number"
openbox >/dev/null 2>&1 &
pids+=($!)

# A fresh Wine prefix, so that what the run leaves in the registry is its own.
(cd "$programs" && HIDEAWAY_PHONE_DIR="$(windows_path "$work/phone")" \
    "$here/wine-run.sh" "$work/wine" "" ./hideaway100k.exe >"$work/window.log" 2>&1) &
pids+=($!)

# Waits for a window with the title and gives its id. xdotool's own --sync gives up with BadWindow
# when a window vanishes while it looks, as Wine's start-up windows do.
window() {
    local deadline=$((SECONDS + ${2:-120})) id
    while ((SECONDS < deadline)); do
        id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)"
        [ -z "$id" ] || { echo "$id"; return 0; }
        sleep 0.5
    done
    return 1
}
# Waits up to a minute for a condition, given as a command.
wait_for() {
    local tries=120
    until "$@"; do
        ((--tries > 0)) || return 1
        sleep 0.5
    done
}
# Positions in the window's client area, in pixels, from its layout.
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
check() { click 364 57; }
upload_1() { click 120 136; }
download_1() { click 48 136; }
answer_dialog() {
    local dialog
    dialog="$(window "^$1\$" 60)" || fail "no $1 dialog"
    xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
    xdotool type --delay 10 "$2"
    xdotool key Return
}
same_file() { [ -f "$2" ] && cmp -s "$1" "$2"; }

main="$(window '^Hideaway100K ')" || fail "the window did not open"
check
sleep 3
upload_1
answer_dialog Open "$(windows_path "$work/note.txt")"
wait_for same_file "$work/note.txt" "$work/phone/nvm-18-09.bin" || fail "slot 1 does not hold the file"
download_1
answer_dialog 'Save As' "$(windows_path "$work/back.txt")"
wait_for same_file "$work/note.txt" "$work/back.txt" || fail "the download differs from the upload"
check
sleep 3
mkdir -p "$(dirname "$shot")"
import -window "$main" "$shot"

WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true
WINEPREFIX="$work/wine" wineserver -w 2>/dev/null || true
if grep -rqsF "$(basename "$work")" "$work/wine"/*.reg; then
    fail "Wine's registry records the folder of the files"
fi
echo "try-window: Check, an upload and a download worked; the window is in $shot"
