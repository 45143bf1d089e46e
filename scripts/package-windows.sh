#!/bin/sh
# Builds Quorvel.dll for 32-bit and 64-bit Office (Release, stripped) and
# packs each with its README and the licences of the runtime linked into it:
#   dist/Quorvel-<version>-win32.zip and dist/Quorvel-<version>-win64.zip
# Each zip's file list is checked against the expected one.
# shellcheck disable=SC1003 # backslashes of registry paths, not escapes
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh

launcher=""
if command -v ccache >/dev/null 2>&1; then
  launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi

# The class id the library registers; the per-user commands name it.
clsid=$(sed -n 's/.*CLSID_VaskAddin_ = makeGuid("\([0-9A-F-]*\)").*/{\1}/p' src/addin/VaskAddin_TLB.h)
[ -n "$clsid" ] || { echo "No class id found in src/addin/VaskAddin_TLB.h" >&2; exit 1; }

# pack TRIPLE BITS: builds the library in build-winBITS and zips it.
pack() {
  triple=$1 bits=$2
  dir=build-win$bits
  # shellcheck disable=SC2086
  cmake -S . -B "$dir" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release $launcher \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$triple.cmake" >/dev/null
  cmake --build "$dir" --target Quorvel -j"$(nproc)"
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
  dll=$(find "$dir" -name Quorvel.dll -not -path "*/wineprefix/*")
  if [ -z "$dll" ] || [ "$(echo "$dll" | wc -l)" != 1 ]; then
    echo "Expected one Quorvel.dll in $dir: $dll" >&2
    exit 1
  fi

  name=Quorvel-$version-win$bits
  stage=dist/$name
  rm -rf "$stage" "dist/$name.zip"
  mkdir -p "$stage/licenses"
  "$triple-strip" -o "$stage/Quorvel.dll" "$dll"
  check_dll "$triple" "$bits" "$stage/Quorvel.dll"
  # CRLF line ends, for Notepad on every Windows version.
  # The title's underline as long as the title, whatever the version.
  sed -e "s/@VERSION@/$version/g" -e "s/@BITS@/$bits/g" -e "s/@CLSID@/$clsid/g" \
    packaging/windows/README.txt |
    awk 'NR == 2 { gsub(/./, "=", title); print title; next } { title = $0; print }' |
    sed 's/$/\r/' >"$stage/README.txt"
  doc=/usr/share/doc
  sed 's/$/\r/' "$doc/mingw-w64-$(echo "$triple" | cut -d- -f1 | tr _ -)-dev/copyright" \
    >"$stage/licenses/MinGW-w64.txt"
  sed 's/$/\r/' "$doc/gcc-mingw-w64-base/copyright" >"$stage/licenses/GCC-runtime.txt"
  sed 's/$/\r/' /usr/share/common-licenses/GPL-3 >"$stage/licenses/GPL-3.txt"
  check_readme_commands "$dir" "$stage"
  (cd dist && zip -q -r -X "$name.zip" "$name")
  rm -rf "$stage"
  check_zip "dist/$name.zip" "$name"
  echo "dist/$name.zip"
}

# check_dll TRIPLE BITS FILE: the right machine, and no runtime DLL that a
# user would have to install beside it (the runtime is linked in).
check_dll() {
  format=$("$1-objdump" -f "$3" | sed -n 's/.*file format //p')
  case "$2:$format" in
    32:pei-i386 | 64:pei-x86-64) ;;
    *) echo "$3 is $format, not a $2-bit Windows library" >&2; exit 1 ;;
  esac
  runtime=$("$1-objdump" -p "$3" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    grep -i -E '^(libstdc\+\+|libgcc|libwinpthread)' || true)
  [ -z "$runtime" ] || { echo "$3 needs runtime DLLs: $runtime" >&2; exit 1; }
}

# check_readme_commands DIR STAGE: the README's per-user commands, run as
# written by Wine's cmd in the unpacked folder, register the library there and
# its removal commands take every key away again.
check_readme_commands() {
  # One prefix of its own for both packages: 64-bit reg.exe writes both views.
  WINEPREFIX=$PWD/build-win64/wineprefix-readme
  export WINEPREFIX
  mkdir -p "$WINEPREFIX"
  readme=$2/README.txt
  { printf 'cd /d "%%~dp0"\r\n'; grep '^    reg add ' "$readme" | sed 's/^    //'; } >"$2/add.cmd"
  grep '^    reg delete ' "$readme" | sed 's/^    //' >"$2/delete.cmd"
  status=0
  scripts/wine-run.sh cmd /c "$(winepath_of "$2/add.cmd")" >"$1/readme-add.log" 2>&1 || status=$?
  rm -f "$2/add.cmd"
  if [ "$status" = 77 ]; then
    echo "Not checked: the README's commands (Wine cannot run here)"
    rm -f "$2/delete.cmd"
    return
  fi
  key='HKCU\Software\Classes\CLSID\'"$clsid"'\InprocServer32'
  addin='HKCU\Software\Microsoft\Office\Outlook\AddIns\VaskAddin.VaskAddin_'
  query=$(scripts/wine-run.sh reg query "$key" 2>&1; scripts/wine-run.sh reg query "$addin" 2>&1)
  expect_in "$query" "$(winepath_of "$2/Quorvel.dll")" "$1/readme-add.log"
  expect_in "$query" "LoadBehavior    REG_DWORD    0x3" "$1/readme-add.log"
  scripts/wine-run.sh cmd /c "$(winepath_of "$2/delete.cmd")" >"$1/readme-delete.log" 2>&1 || true
  rm -f "$2/delete.cmd"
  left=0
  if scripts/wine-run.sh reg query "$addin" >/dev/null 2>&1 ||
      scripts/wine-run.sh reg query 'HKCU\Software\Classes\CLSID\'"$clsid" >/dev/null 2>&1; then
    left=1
  fi
  # Nothing of Wine stays running behind the script (its server lingers).
  "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -w || true
  if [ "$left" = 1 ]; then
    echo "The README's removal commands left keys behind (log: $1/readme-delete.log)" >&2
    exit 1
  fi
}

# winepath_of FILE: the file's name as Wine's programs see it (drive Z:).
winepath_of() {
  echo "Z:$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'
}

# expect_in TEXT PART LOG: fails, showing TEXT and LOG, when PART is missing.
expect_in() {
  case "$1" in
    *"$2"*) ;;
    *) echo "The README's per-user commands did not write \"$2\"; registry:" >&2
       echo "$1" >&2
       cat "$3" >&2
       exit 1 ;;
  esac
}

# check_zip ZIP NAME: exactly the expected files, nothing more or less.
check_zip() {
  expected=$(printf '%s\n' Quorvel.dll README.txt licenses/GCC-runtime.txt licenses/GPL-3.txt \
    licenses/MinGW-w64.txt | sed "s|^|$2/|" | sort)
  actual=$(unzip -Z1 "$1" | grep -v '/$' | sort)
  if [ "$expected" != "$actual" ]; then
    echo "$1 holds:" >&2
    echo "$actual" >&2
    echo "expected:" >&2
    echo "$expected" >&2
    exit 1
  fi
}

mkdir -p dist
pack i686-w64-mingw32 32
pack x86_64-w64-mingw32 64
