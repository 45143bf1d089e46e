#!/bin/sh
# Runs a program of the Windows build under Wine: wine64 for the 64-bit
# build, the 32-bit loader for the 32-bit one. Exits with 77 (a skipped
# test) and says why when this machine cannot run the program at all.
set -eu
arch=${QUORVEL_WINE_ARCH:-x86_64}
export WINEDEBUG="${WINEDEBUG:--all}"
# No downloads of Mono or Gecko when a prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}

case "$arch" in
  x86_64)
    loader=$(command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64)
    [ -x "$loader" ] || skip "wine64 is not installed"
    ;;
  *)
    loader=/usr/lib/wine/wine
    [ -x "$loader" ] || skip "wine32 is not installed (it is installed only where 32-bit programs run)"
    # Some kernels cannot run 32-bit programs at all.
    if ! out=$("$loader" --version 2>&1); then
      case "$out" in
        *"Exec format error"*) skip "this kernel cannot run 32-bit programs ($out)" ;;
      esac
    fi
    ;;
esac
exec "$loader" "$@"
