#!/bin/sh
# Stands in for wine in the bridge's native tests: Wine's own set-up (wineboot, reg) does
# nothing (reg ends with HIDEAWAY_TEST_REG_STATUS when set), and `wine gbp-host.exe LIBRARY` runs
# the host HIDEAWAY_TEST_HOST names on LIBRARY, beside a helper, as Wine's own, when
# HIDEAWAY_TEST_HELPER is set.
case "$1" in
wineboot) exit 0 ;;
reg) exit "${HIDEAWAY_TEST_REG_STATUS:-0}" ;;
esac
shift
[ -z "$HIDEAWAY_TEST_HELPER" ] || sleep 600 </dev/null >/dev/null 2>&1 &
exec "$HIDEAWAY_TEST_HOST" "$@"
