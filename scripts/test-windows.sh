#!/bin/sh
# The Windows part of scripts/test.sh: builds Quorvel for Windows, 64-bit and
# 32-bit, with MinGW-w64, runs its tests under Wine (32-bit ones are skipped,
# with the reason, where this machine cannot run 32-bit programs) and packs it.
# No display is needed: the tests' Wine prefix uses Wine's null display driver.
# The Windows test host sends through the gateway of the Linux build in build/
# and is skipped without it.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc)
start=$(date +%s)
# Both builds are tested and packed even when one's tests fail; the status
# says whether any failed.
status=0
for arch in x86_64:win64 i686:win32; do
  dir=build-${arch#*:}
  scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-${arch%%:*}-w64-mingw32.cmake"
  (cd "$dir" && ctest --output-on-failure -j"$jobs") || status=1
  # ctest shows no output of skipped tests: their reasons, once each.
  grep -h '^SKIPPED: ' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u | sed "s|^|$dir: |" || true
done
scripts/package-windows.sh
echo "The Windows build, its tests and packages took $(($(date +%s) - start)) s."
exit $status
