#!/bin/sh
# Builds one fuzz target with clang into build-fuzz and runs it:
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# The seed corpus tests/fuzz/corpus/TARGET is read, never written: new inputs
# go to build-fuzz/corpus/TARGET, crashes to build-fuzz/crashes/TARGET/.
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
  echo "targets: $(ls tests/fuzz/corpus | tr '\n' ' ')" >&2
  exit 2
fi
target=$1; seconds=$2; shift 2
seeds=tests/fuzz/corpus/$target
[ -d "$seeds" ] || { echo "no fuzz target named $target (no $seeds)" >&2; exit 2; }

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzzing needs clang with libFuzzer: apt-get install clang libclang-rt-14-dev" >&2
  exit 2
fi

launcher=""
if command -v ccache >/dev/null 2>&1; then
  launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQUORVEL_FUZZ=ON -DQUORVEL_BENCH=OFF $launcher >/dev/null
cmake --build build-fuzz --target "fuzz_$target" -j"$(nproc)"

work=build-fuzz/corpus/$target
crashes=build-fuzz/crashes/$target
mkdir -p "$work" "$crashes"
dict=""
[ -f "tests/fuzz/$target.dict" ] && dict="-dict=tests/fuzz/$target.dict"
# The gateway target keeps its store in the temporary folder: a private one,
# in memory when possible, removed afterwards (a crash leaves the store behind).
shm=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && shm=/dev/shm
TMPDIR=$(mktemp -d "$shm/quorvel-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT INT TERM
status=0
# shellcheck disable=SC2086
"build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$crashes/" $dict "$@" "$work" "$seeds" || status=$?
exit $status
