#!/usr/bin/env bash
# A broken or missing file in the package fails the build of the setup
# program, and good files pass:
#   package-check-test.sh OBJDUMP MAKENSIS SETUP_SOURCE_DIR DLL CHM INI OTHER_EXE OTHER_DLL VERSION WORK_DIR
# OTHER_EXE: a Windows program that is not a DLL; OTHER_DLL: a DLL that is
# not a COM server.
set -uo pipefail
if [ $# -ne 10 ]; then
  echo "usage: package-check-test.sh OBJDUMP MAKENSIS SETUP_SOURCE_DIR DLL CHM INI OTHER_EXE OTHER_DLL VERSION WORK_DIR" >&2
  exit 2
fi
objdump=$1 makensis=$2 source=$3 dll=$4 chm=$5 ini=$6 other_exe=$7 other_dll=$8 version=$9 work=${10}
rm -rf "$work"
mkdir -p "$work"
failures=0

check_package() { # check_package DLL CHM INI: the exit code of the check
  cmake -DOBJDUMP="$objdump" -DDLL="$1" -DCHM="$2" -DINI="$3" -P "$source/CheckPackage.cmake" >"$work/log" 2>&1
}
expect_pass() {
  if check_package "$@"; then echo "ok: accepted $*"; else echo "FAIL: refused $*"; cat "$work/log"; failures=$((failures + 1)); fi
}
expect_refusal() { # expect_refusal WHAT DLL CHM INI
  local what=$1
  shift
  if check_package "$@"; then
    echo "FAIL: accepted $what"
    failures=$((failures + 1))
  else
    echo "ok: refused $what: $(sed -n '/CheckPackage:/,/^$/p' "$work/log" | tr -s ' \n' ' ')"
  fi
}

head -c 65536 "$dll" >"$work/truncated.dll"
printf 'MZ not really\n' >"$work/text.dll"
: >"$work/empty.chm"
head -c 4096 "$chm" >"$work/short.chm"
printf '[Plug-in]\nCLSID={6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}\n[Preset1]\n' >"$work/other.ini"

expect_pass "$dll" "$chm" "$ini"
expect_refusal "a missing DLL" "$work/missing.dll" "$chm" "$ini"
expect_refusal "a truncated DLL" "$work/truncated.dll" "$chm" "$ini"
expect_refusal "a text file as DLL" "$work/text.dll" "$chm" "$ini"
expect_refusal "a program that is not a DLL" "$other_exe" "$chm" "$ini"
expect_refusal "a DLL that is not a COM server" "$other_dll" "$chm" "$ini"
expect_refusal "a missing help file" "$dll" "$work/missing.chm" "$ini"
expect_refusal "an empty help file" "$dll" "$work/empty.chm" "$ini"
expect_refusal "a DLL as help file" "$dll" "$dll" "$ini"
expect_refusal "a missing preset bank" "$dll" "$chm" "$work/missing.ini"
expect_refusal "a preset bank with the bare class id" "$dll" "$chm" "$work/other.ini"

# The CLAP file (ZV_SETUP_CLAP, from CTest): the built one passes; the COM
# server (other exports) and a program are refused.
if [ -n "${ZV_SETUP_CLAP:-}" ]; then
  check_clap() { cmake -DOBJDUMP="$objdump" -DDLL="$dll" -DCHM="$chm" -DINI="$ini" -DCLAP="$1" \
                   -P "$source/CheckPackage.cmake" >"$work/log" 2>&1; }
  if check_clap "$ZV_SETUP_CLAP"; then echo "ok: accepted $ZV_SETUP_CLAP"; else echo "FAIL: refused the built .clap"; cat "$work/log"; failures=$((failures + 1)); fi
  for wrong in "$dll" "$other_exe"; do
    if check_clap "$wrong"; then echo "FAIL: accepted $wrong as the .clap"; failures=$((failures + 1)); else echo "ok: refused $wrong as the .clap"; fi
  done
fi

# makensis itself refuses a package file that is not there, and writes no
# setup program.
if "$makensis" -V1 -DVERSION="$version" -DDLL="$work/missing.dll" -DCHM="$chm" -DINI="$ini" -DCLAP="$dll" \
     -DOUTFILE="$work/setup.exe" "$source/zvDelayDX.nsi" >"$work/log" 2>&1; then
  echo "FAIL: makensis accepted a missing DLL"
  failures=$((failures + 1))
elif [ -e "$work/setup.exe" ]; then
  echo "FAIL: makensis wrote a setup program without the DLL"
  failures=$((failures + 1))
else
  echo "ok: makensis refused a missing DLL"
fi

rm -rf "$work"
echo "$failures failed"
[ "$failures" -eq 0 ]
