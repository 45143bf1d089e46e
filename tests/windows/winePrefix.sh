#!/bin/sh
# Makes (or brings up to date) the Wine prefix of a build folder, once before the Wine tests.
# Windows get Wine's headless "null" display driver: tests run where no X server is, and no
# desktop process started without a display can leave later tests unable to make windows.
set -eu
wine=$QUORVEL_SOURCE_DIR/scripts/wine-run.sh
"$wine" wineboot -i
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null
# A crashing program prints its backtrace and ends, instead of waiting in a crash dialog.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
# The prefix's processes (and its desktop process with them) end before any test starts.
server=$(command -v wineserver 2>/dev/null || echo /usr/lib/wine/wineserver)
"$server" -w
