#!/bin/sh
# The registry round trip seen from outside: the program leaves its keys,
# Wine's own "reg query" must list them, and a second full run removes them.
# Usage: registryRegQuery.sh WINE_RUN PROGRAM
set -u
run=$1 program=$2
key='HKCU\Software\QuorvelWineTest'

"$run" "$program" --keep
rc=$?
[ "$rc" -eq 77 ] && exit 77
[ "$rc" -eq 0 ] || { echo "round trip (keeping its keys) failed: $rc"; exit 1; }

# reg writes to a pipe in the console's OEM code page, 437 in the C locale;
# Greek letters have no place there and come out as "?".
listing=$(LC_ALL=C "$run" reg query "$key" /s 2>&1 | tr -d '\r' | iconv -f CP437 -t UTF-8)
echo "$listing"
for expected in 'Round trip ü\Child' 'Count    REG_DWORD    0x2a' 'Empty    REG_SZ' \
    'Text    REG_SZ    Grüße' 'User    REG_SZ    Jürgen'; do
  case "$listing" in
    *"$expected"*) ;;
    *) echo "reg query does not list: $expected"; exit 1 ;;
  esac
done

"$run" "$program" || { echo "round trip failed"; exit 1; }
if "$run" reg query "$key" >/dev/null 2>&1; then
  echo "the keys are still there after the tree was deleted"
  exit 1
fi
exit 0
