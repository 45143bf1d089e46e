#!/bin/sh
# Runs the test host against a registered Quorvel.dll in the build's Wine prefix, with the bundled
# gateway (of the Linux build) on a free loopback port, and checks that the one reminder that
# should be texted arrived there, and nothing else.
# Usage: testhostTest.sh QUORVEL_DLL TESTHOST_EXE (environment from quorvel_add_wine_test, and
# QUORVEL_LINUX_BUILD).
set -eu
dll=$1
host=$2
wine=$QUORVEL_SOURCE_DIR/scripts/wine-run.sh
gateway=${QUORVEL_LINUX_BUILD:-$QUORVEL_SOURCE_DIR/build}/gateway/quorvel-gateway

if [ ! -x "$gateway" ]; then
  echo "SKIPPED: no gateway at $gateway (build the Linux target quorvel-gateway, or set QUORVEL_LINUX_BUILD)" >&2
  exit 77
fi

# Runs a Wine program; a skip (77) ends the whole test as skipped.
w() {
  rc=0
  "$wine" "$@" || rc=$?
  [ "$rc" -ne 77 ] || exit 77
  return "$rc"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-testhost.XXXXXX")
gateway_pid=""
cleanup() {
  [ -z "$gateway_pid" ] || kill "$gateway_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The gateway on a port of its choosing, with its own store; its first line names the port.
mkfifo "$work/out"
"$gateway" serve --listen 127.0.0.1:0 --db "$work/gateway.sqlite" >"$work/out" 2>"$work/err" &
gateway_pid=$!
exec 3<"$work/out"
if ! read -r listening <&3; then
  echo "FAILED: the gateway did not start: $(cat "$work/err")" >&2
  exit 1
fi
# The rest of its output goes on being read, so that it never blocks on a full pipe.
cat <&3 >"$work/gateway.log" &
url=${listening#Listening on }
url=${url%/kavri}
echo "gateway: $url"

path=$(w winepath -w "$dll" | tr -d '\r')
w regsvr32 /s "$path" || { echo "FAILED: regsvr32 /s $path" >&2; exit 1; }
status=0
timeout 240 "$wine" "$host" "$url" || status=$?
w regsvr32 /u /s "$path" || true
# The composer's settings of this run go, so that later tests find the defaults.
w reg delete 'HKCU\Software\Kavri\Nemora\Outlook' /f >/dev/null 2>&1 || true
[ "$status" -ne 77 ] || exit 77
if [ "$status" -ne 0 ]; then
  echo "FAILED: the test host ended with status $status; the gateway said:" >&2
  cat "$work/err" "$work/gateway.log" >&2
  "$gateway" messages --db "$work/gateway.sqlite" >&2 || true
  exit 1
fi

# Exactly the important appointment's text, to the notification number.
messages=$("$gateway" messages --db "$work/gateway.sqlite")
echo "$messages"
expected='+36201234567	accepted	1	1	March 05 (Friday), 14:30-15:00 Review (Room 2)  Review'
count=$(printf '%s\n' "$messages" | tail -n +2 | wc -l)
if [ "$count" -ne 1 ]; then
  echo "FAILED: $count messages at the gateway, expected 1" >&2
  exit 1
fi
line=$(printf '%s\n' "$messages" | tail -n 1 | cut -f4-8)
if [ "$line" != "$expected" ]; then
  printf 'FAILED: the reminder text\nexpected: %s\nactual:   %s\n' "$expected" "$line" >&2
  exit 1
fi
echo "test host checks passed"
