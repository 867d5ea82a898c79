#!/bin/sh
# Stands in for wine in the bridge's native tests: Wine's own set-up (wineboot, reg) does
# nothing (reg ends with HIDEAWAY_TEST_REG_STATUS when set), and `wine gbp-host.exe LIBRARY` runs
# the host HIDEAWAY_TEST_HOST names on LIBRARY.
case "$1" in
wineboot) exit 0 ;;
reg) exit "${HIDEAWAY_TEST_REG_STATUS:-0}" ;;
esac
shift
exec "$HIDEAWAY_TEST_HOST" "$@"
