#!/bin/sh
# Installs what is missing, builds, and starts Quorvel: the add-in registered
# and loaded by the host program quorvel-outlook.
#   scripts/run.sh [--as word|excel|powerpoint] [FILE.ics...]   the host
#   scripts/run.sh composer                                      the composer alone
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build

# The composer's default server is a gateway on this machine: when nothing
# answers there, start ours, and stop it again when the program closes.
start_gateway() {
  url=http://127.0.0.1:9333/kavri
  if curl -s -o /dev/null --max-time 2 "$url"; then
    return
  fi
  log="${XDG_DATA_HOME:-$HOME/.local/share}/quorvel/gateway.log"
  # The folder and the log (failed sign-ins name logins and addresses) are
  # the user's alone, like everything the gateway makes there.
  saved_umask=$(umask)
  umask 077
  mkdir -p "$(dirname "$log")"
  build/gateway/quorvel-gateway serve >"$log" 2>&1 &
  gateway=$!
  umask "$saved_umask"
  trap 'kill "$gateway" 2>/dev/null || true' EXIT
  trap 'exit 130' INT TERM
  tries=0
  until curl -s -o /dev/null --max-time 1 "$url"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 50 ] || ! kill -0 "$gateway" 2>/dev/null; then
      echo "The local gateway did not start (log: $log):" >&2
      cat "$log" >&2
      break
    fi
    sleep 0.1
  done
  sed 's/^/gateway: /' "$log"
}

composer=build/src/composer/quorvel-composer
host=build/platform/office/quorvel-outlook
addin=build/src/addin/libQuorvel.so
regsvr=build/platform/com/quorvel-regsvr

if [ "${1:-}" = composer ]; then
  shift
  [ -x "$composer" ] || { echo "The composer is not part of this build." >&2; exit 1; }
  start_gateway
  "$composer" "$@"
  exit
fi

if [ ! -x "$host" ]; then
  echo "Quorvel is built; the host program is not part of this build yet." >&2
  exit 1
fi
# Registering again is harmless and keeps the registration pointing at this
# build (the COM class keys and the Outlook add-in key).
if [ -f "$addin" ] && [ -x "$regsvr" ]; then
  "$regsvr" /s "$addin" || echo "The add-in could not be registered: $regsvr $addin" >&2
else
  echo "The add-in library ($addin) is not part of this build: the host starts without it." >&2
fi
start_gateway
# Not exec: the trap above stops the gateway when the host ends.
"$host" "$@"
