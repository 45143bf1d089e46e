#!/bin/sh
# Configures and builds one build folder: scripts/build.sh DIR [cmake options...]
# Uses ccache when it is installed, so rebuilds of several trees share work.
set -eu
cd "$(dirname "$0")/.."
dir=$1; shift
launcher=""
if command -v ccache >/dev/null 2>&1; then
  launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
