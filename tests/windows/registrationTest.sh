#!/bin/sh
# Registers Quorvel.dll with regsvr32 in the build's Wine prefix and reads the registry back:
# exactly the class, programmatic id, type library and Outlook add-in keys; registering twice
# changes nothing; unregistering removes all of it, values others added included.
# Usage: registrationTest.sh QUORVEL_DLL REGCHECK_EXE (environment from quorvel_add_wine_test).
set -eu
dll=$1
regcheck=$2
wine=$QUORVEL_SOURCE_DIR/scripts/wine-run.sh

clsid='{BC2445F7-9514-49B2-90E6-C22FA2A94F1C}'
libid='{200F7626-ECEC-4B36-9A67-7F1257096C01}'
progid='VaskAddin.VaskAddin_'
addin="HKCU\\Software\\Microsoft\\Office\\Outlook\\AddIns\\$progid"
failures=0

fail() {
  printf 'FAILED: %s\n' "$*" >&2
  failures=$((failures + 1))
}

# Runs a Wine program; a skip (77) ends the whole test as skipped.
w() {
  rc=0
  "$wine" "$@" || rc=$?
  [ "$rc" -ne 77 ] || exit 77
  return "$rc"
}

# `reg query KEY /s` without carriage returns, the server path replaced by PATH.
query() {
  w reg query "$1" /s 2>/dev/null | tr -d '\r' | sed 's/^\(    (Default)    REG_SZ    \)[A-Za-z]:\\.*/\1PATH/'
}

expect_query() {
  actual=$(query "$1") || true
  if [ "$actual" != "$2" ]; then
    fail "registry under $1:"
    printf 'expected:\n%s\nactual:\n%s\n' "$2" "$actual" >&2
  fi
}

expect_absent() {
  if w reg query "$1" >/dev/null 2>&1; then fail "$1 is still there"; fi
}

# A copy of the library in a folder whose name has a blank, so its short form gets registered.
dir="$QUORVEL_BINARY_DIR/tests/windows/reg test"
rm -rf "$dir"
# Gone however the test ends (a skip included): the packaging takes the one
# Quorvel.dll of the build tree.
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir"
cp "$dll" "$dir/Quorvel.dll"
path=$(w winepath -w "$dir/Quorvel.dll" | tr -d '\r')

# A clean start: nothing of an earlier run is left.
w regsvr32 /u /s "$path" || true

w "$regcheck" exports "$path" || fail "exports of Quorvel.dll"
w regsvr32 /s "$path" || fail "regsvr32 /s $path"

D='    (Default)    REG_SZ    '
expect_query "HKCR\\CLSID\\$clsid" "
HKEY_CLASSES_ROOT\\CLSID\\$clsid
$D

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32
${D}PATH
    ThreadingModel    REG_SZ    Apartment

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ProgID
$D$progid

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\TypeLib
$D$libid

HKEY_CLASSES_ROOT\\CLSID\\$clsid\\Version
${D}1.0"
expect_query "HKCR\\$progid" "
HKEY_CLASSES_ROOT\\$progid
$D

HKEY_CLASSES_ROOT\\$progid\\Clsid
$D$clsid"
# (Wine lists a key's values by name.)
expect_query "$addin" "
HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook\\AddIns\\$progid
    CommandLineSafe    REG_DWORD    0x0
    Description    REG_SZ    
    FriendlyName    REG_SZ    Zuzever EZA
    LoadBehavior    REG_DWORD    0x3"
# Outlook only: no key for the other hosts.
for host in Word Excel PowerPoint Access; do
  expect_absent "HKCU\\Software\\Microsoft\\Office\\$host\\AddIns\\$progid"
done
w "$regcheck" inproc "$path" || fail "the registered server path"
w "$regcheck" typelib || fail "the registered type library"

# Registering again writes the same content.
keys="HKCR\\CLSID\\$clsid HKCR\\$progid HKCR\\TypeLib\\$libid $addin"
snapshot() {
  i=0
  for key in $keys; do
    i=$((i + 1))
    w reg export "$key" "$(w winepath -w "$dir/$1-$i.reg" | tr -d '\r')" /y >/dev/null ||
      fail "reg export $key"
  done
}
snapshot before
w regsvr32 /s "$path" || fail "second regsvr32 /s"
snapshot after
i=0
for key in $keys; do
  i=$((i + 1))
  cmp -s "$dir/before-$i.reg" "$dir/after-$i.reg" || fail "registering twice changed $key"
done

# Unregistering removes the add-in key with what others put into it.
w reg add "$addin" /v Extra /t REG_SZ /d "someone else's" /f >/dev/null
w reg add "$addin\\Sub" /v Inner /t REG_DWORD /d 1 /f >/dev/null
w regsvr32 /u /s "$path" || fail "regsvr32 /u /s"
for key in $keys; do expect_absent "$key"; done
w "$regcheck" typelib-gone || fail "the type library is still registered"
# The folder of the Office keys is none of the add-in's business: it stays.
w reg query "HKCU\\Software\\Microsoft\\Office\\Outlook\\AddIns" >/dev/null 2>&1 ||
  fail "unregistering removed Outlook's AddIns key"

rm -rf "$dir"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "registration checks passed"
