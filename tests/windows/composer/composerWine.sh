#!/bin/sh
# Runs a composer test program under Wine in a prefix of the composer tests'
# own, set to Wine's headless display driver: the window exists without an X
# server, and no desktop process of another test's session can refuse it.
# Usage: composerWine.sh PROGRAM [ARGS...] (QUORVEL_SOURCE_DIR and
# QUORVEL_BINARY_DIR come from the test's environment).
set -eu
run="$QUORVEL_SOURCE_DIR/scripts/wine-run.sh"
export WINEPREFIX="$QUORVEL_BINARY_DIR/wineprefix-composer"
if ! grep -qs '"Graphics"="null"' "$WINEPREFIX/user.reg"; then
  "$run" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The driver is chosen when a session starts: this one ends first.
  wineserver -w
fi
exec "$run" "$@"
