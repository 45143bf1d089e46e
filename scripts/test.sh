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
# Wine opens windows on an X display: without one (CI), a virtual one.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}
start=$(date +%s)
for arch in x86_64:win64 i686:win32; do
  dir=build-${arch#*:}
  scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-${arch%%:*}-w64-mingw32.cmake"
  (cd "$dir" && with_display ctest --output-on-failure -j"$jobs")
done
# The packages, once the Windows build makes the add-in library.
if cmake --build build-win64 --target help | grep -q '^\.\.\. Quorvel$'; then
  scripts/package-windows.sh
else
  echo "Not packed: the Windows build has no Quorvel.dll yet."
fi
echo "The Windows build and its tests took $(($(date +%s) - start)) s."
echo "All tests passed."
