#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: wine-run.sh PREFIX DLL-FOLDERS PROGRAM [ARGS...]
# PREFIX is a Wine prefix of the build's own, made at first use with a home of its own, so that
# Wine links no folder of the real home into it. DLL-FOLDERS are the Unix folders, joined by '|',
# where Windows looks for the DLLs the program needs beyond its own folder.
set -euo pipefail
prefix="$1"
folders="$2"
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install Mono or Gecko, which nothing here needs.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
path=""
IFS='|' read -r -a dirs <<<"$folders"
for d in "${dirs[@]}"; do
    [ -n "$d" ] && path="${path:+$path;}Z:${d//\//\\}"
done
export WINEPATH="$path"
# With no console (as under ctest), Qt sends its messages and a test's log to the debugger, where
# nobody reads them; this keeps them on the streams.
export QT_FORCE_STDERR_LOGGING=1

# Wine hands no QT_ variable to a Windows program, so they go into the prefix's registry, which
# every program started in it reads. One kind of run per prefix: the tests all share theirs.
qt_environment="$(env | grep '^QT_' | sort || true)"
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    # Wine's server outlives this script, so no Wine program gets the lock's descriptor.
    if [ ! -f "$prefix/system.reg" ]; then
        mkdir -p "$prefix-home"
        # Waiting for the server writes system.reg before the next run looks for it.
        HOME="$prefix-home" wineboot --init 9>&- && wineserver -w 9>&-
    fi
    written="$prefix/hideaway-qt-environment"
    if [ "$(cat "$written" 2>/dev/null || true)" != "$qt_environment" ]; then
        if [ -f "$written" ]; then
            while IFS='=' read -r name _; do
                wine reg delete 'HKCU\Environment' /v "$name" /f >/dev/null 2>&1 9>&- || true
            done <"$written"
        fi
        while IFS='=' read -r name value; do
            [ -z "$name" ] || wine reg add 'HKCU\Environment' /v "$name" /d "$value" /f >/dev/null 9>&-
        done <<<"$qt_environment"
        printf '%s\n' "$qt_environment" >"$written"
    fi
) 9>"$prefix.lock"

exec wine "$@"
