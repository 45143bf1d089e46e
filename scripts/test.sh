#!/bin/sh
# Installs what is missing, builds, and runs every test: once in the normal
# build, once under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded tests once more under ThreadSanitizer; then the Windows build,
# 64-bit and 32-bit, cross-built with MinGW-w64 and tested under Wine, and its
# packages.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$jobs")

scripts/build.sh build-asan -DQUORVEL_SANITIZE=address -DQUORVEL_BENCH=OFF
(cd build-asan && ctest --output-on-failure -j"$jobs")

scripts/build.sh build-tsan -DQUORVEL_SANITIZE=thread -DQUORVEL_BENCH=OFF
(cd build-tsan && ctest --output-on-failure -j"$jobs" -L threads --no-tests=ignore)

scripts/test-windows.sh
echo "All tests passed."
