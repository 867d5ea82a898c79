#!/bin/sh
# Stands in for wine in the bridge's native tests: Wine's own set-up (wineboot, reg) does
# nothing, and `wine gbp-host.exe LIBRARY` runs the host HIDEAWAY_TEST_HOST names on LIBRARY.
case "$1" in
wineboot | reg) exit 0 ;;
esac
shift
exec "$HIDEAWAY_TEST_HOST" "$@"
