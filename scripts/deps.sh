#!/bin/sh
# Installs the Debian packages the build, the tests and the program need.
# Installs nothing when everything is present, so reruns are quick.
set -eu
PACKAGES="cmake make g++ pkg-config
  qt6-base-dev libcurl4-openssl-dev libssl-dev libsqlite3-dev libcpp-httplib-dev libmicrohttpd-dev libgnutls28-dev
  libgtest-dev libgmock-dev libbenchmark-dev libical-dev
  python3 openssl curl fonts-dejavu-core ccache
  kannel kannel-extras
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64
  wine wine64 fonts-wine xvfb xauth x11-apps x11-utils netpbm zip unzip"

# The Windows build's 32-bit tests need wine32, which only helps where this
# kernel runs 32-bit programs: link a tiny i386 program and try it.
runs_i386() {
  command -v as >/dev/null 2>&1 && command -v ld >/dev/null 2>&1 || return 1
  dir=$(mktemp -d)
  # shellcheck disable=SC2016 # assembler text, nothing to expand
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/t.s"
  ok=1
  if as --32 -o "$dir/t.o" "$dir/t.s" 2>/dev/null && ld -m elf_i386 -o "$dir/t" "$dir/t.o" 2>/dev/null \
      && "$dir/t" 2>/dev/null; then
    ok=0
  fi
  rm -rf "$dir"
  return $ok
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

as_root() {
  if [ "$(id -u)" = 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "Need root (or sudo) to run: $*" >&2
    exit 1
  fi
}

install() {
  echo "Installing: $*"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

missing=""
for p in $PACKAGES; do
  installed "$p" || missing="$missing $p"
done
# shellcheck disable=SC2086
[ -z "$missing" ] || install $missing

# Checked after the rest is in, as the assembler and linker come with it.
if ! installed wine32:i386 && runs_i386; then
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  install wine32:i386
fi
