#!/bin/sh
# Installs what is missing, builds, and starts Quorvel.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
if [ -x build/src/composer/quorvel-composer ]; then
  exec build/src/composer/quorvel-composer "$@"
fi
echo "Quorvel is built; the composer is not part of this build yet."
