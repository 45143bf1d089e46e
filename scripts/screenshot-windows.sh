#!/bin/sh
# Photographs a window of a 64-bit Windows program run by Wine on a private
# virtual display (Xvfb):
#   scripts/screenshot-windows.sh [PROGRAM [TITLE [OUT.png]]]
# By default the Win32 composer of build-win64, "KAVRI SMS", into
# docs/composer-windows.png. PROGRAM may also be a Wine built-in (notepad).
# shellcheck disable=SC1003 # backslashes of registry paths, not escapes
set -eu
cd "$(dirname "$0")/.."
program=${1:-$(find build-win64 -name quorvel-composer.exe -not -path '*/wineprefix*' 2>/dev/null | head -n 1)}
[ -n "$program" ] || { echo "No quorvel-composer.exe in build-win64: build it first" >&2; exit 1; }
title=${2:-KAVRI SMS}
out=${3:-docs/composer-windows.png}
timeout=${QUORVEL_SCREENSHOT_TIMEOUT:-120}

for tool in Xvfb xwininfo xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing: run scripts/deps.sh" >&2; exit 1; }
done
case "$program" in
  */*) [ -f "$program" ] || { echo "No $program: build build-win64 first" >&2; exit 1; } ;;
esac

work=$(mktemp -d)
xvfb="" app=""
# A prefix of its own (in the build folder, kept for the next run), so that
# running tests never share its Wine server.
WINEPREFIX=$PWD/build-win64/wineprefix-screenshot
export WINEPREFIX
cleanup() {
  [ -z "$app" ] || kill "$app" 2>/dev/null || true
  # Ends this prefix's Wine server (and with it the program's processes).
  if [ -n "$xvfb" ]; then
    /usr/lib/wine/wineserver -k 2>/dev/null || wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# waits SECONDS COMMAND...: retries COMMAND while it fails with status 1,
# for at most SECONDS seconds; any other failure ends the wait at once.
waits() {
  limit=$(($(date +%s) + $1))
  shift
  while :; do
    rc=0
    "$@" || rc=$?
    [ "$rc" = 1 ] || return "$rc"
    [ "$(date +%s)" -lt "$limit" ] || return 1
    sleep 0.2
  done
}

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
waits 30 test -s "$work/display" || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=:$(cat "$work/display")
export DISPLAY

# Without a window manager on the display, Wine draws the window frames and
# captions itself, as Windows does.
scripts/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$work/wine.log" 2>&1
# Debian's Wine finds its own fonts (fonts-wine) only once they are listed
# in the system's font table: Tahoma for the texts, Marlett for the caption
# buttons, as on Windows.
fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
for font in "Marlett:marlett" "Tahoma:tahoma" "Tahoma Bold:tahomabd"; do
  file=/usr/share/wine/fonts/${font#*:}.ttf
  [ -f "$file" ] || continue
  scripts/wine-run.sh reg add "$fonts" /v "${font%%:*} (TrueType)" /d "Z:$(echo "$file" | tr / '\\')" /f \
    >>"$work/wine.log" 2>&1
done

scripts/wine-run.sh "$program" >>"$work/wine.log" 2>&1 &
app=$!

find_window() {
  # A program that ended has no window to wait for.
  kill -0 "$app" 2>/dev/null || { echo "$program ended before showing \"$title\"" >&2; return 2; }
  xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | awk '{ print $1; exit }' >"$work/window"
  [ -s "$work/window" ]
}
if ! waits "$timeout" find_window; then
  echo "No window \"$title\" (waited at most $timeout s); windows on the display:" >&2
  xwininfo -root -tree >&2 || true
  cat "$work/wine.log" >&2
  exit 1
fi
# A short settle: the window is mapped, its first paint may still be queued.
sleep 1
xwd -silent -id "$(cat "$work/window")" >"$work/shot.xwd"
mkdir -p "$(dirname "$out")"
xwdtopnm "$work/shot.xwd" 2>/dev/null | pnmtopng >"$out" 2>/dev/null
echo "$out"
