#!/bin/sh
# The Windows part of scripts/test.sh: builds Quorvel for Windows, 64-bit and
# 32-bit, with MinGW-w64, runs its tests under Wine (32-bit ones are skipped,
# with the reason, where this machine cannot run 32-bit programs) and packs it.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc)
# Wine opens windows on an X display: without one (and always under CI), a
# virtual one.
with_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${CI:-}" != true ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}
start=$(date +%s)
# Both builds are tested and packed even when one's tests fail; the status
# says whether any failed.
status=0
for arch in x86_64:win64 i686:win32; do
  dir=build-${arch#*:}
  scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-${arch%%:*}-w64-mingw32.cmake"
  (cd "$dir" && with_display ctest --output-on-failure -j"$jobs") || status=1
  # ctest shows no output of skipped tests: their reasons, once each.
  grep -h '^SKIPPED: ' "$dir/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u | sed "s|^|$dir: |" || true
done
# The packages, once the Windows build makes the add-in library.
if cmake --build build-win64 --target help | grep -q '^\.\.\. Quorvel$'; then
  scripts/package-windows.sh
else
  echo "Not packed: the Windows build has no Quorvel.dll yet."
fi
echo "The Windows build, its tests and packages took $(($(date +%s) - start)) s."
exit $status
