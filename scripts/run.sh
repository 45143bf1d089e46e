#!/bin/sh
# Installs what is missing, builds, and starts Quorvel.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
if [ -x build/src/composer/quorvel-composer ]; then
  # The composer's default server is a gateway on this machine: when nothing
  # answers there, start ours, and stop it again when the composer closes.
  url=http://127.0.0.1:9333/kavri
  if ! curl -s -o /dev/null --max-time 2 "$url"; then
    log="${XDG_DATA_HOME:-$HOME/.local/share}/quorvel/gateway.log"
    mkdir -p "$(dirname "$log")"
    build/gateway/quorvel-gateway serve >"$log" 2>&1 &
    gateway=$!
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
  fi
  build/src/composer/quorvel-composer "$@"
  exit
fi
echo "Quorvel is built; the composer is not part of this build yet."
