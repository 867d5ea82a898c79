#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: wine-run.sh PREFIX DLL-FOLDERS PROGRAM [ARGS...]
# PREFIX is the build's own Wine prefix (made at first use), DLL-FOLDERS the Unix folders, joined
# by '|', where Windows looks for the DLLs the program needs beyond its own folder.
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
exec wine "$@"
