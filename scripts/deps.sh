#!/bin/sh
# Installs the Debian packages the build, the tests and the program need.
# Installs nothing when everything is present, so reruns are quick.
set -eu
PACKAGES="cmake make g++ pkg-config
  qt6-base-dev libcurl4-openssl-dev libssl-dev libsqlite3-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev libical-dev
  python3 openssl curl fonts-dejavu-core ccache
  kannel kannel-extras"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "Need root (or sudo) to install:$missing" >&2; exit 1; }
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
