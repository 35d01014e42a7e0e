#!/usr/bin/env bash
# The setup program under Wine, in a fresh private prefix per case:
#   setup-test.sh CASE SETUP_EXE PROBE_EXE DLL CHM INI VERSION PREFIX_ROOT [DRIVER_EXE ICON PICTURE]
# CASE:
#   default  silent install into the default folder; silent uninstall (no
#            file or key of ours left); install again; then an install into
#            another folder moves the install and carries the user's presets.
#   upgrade  silent install into a chosen folder; an upgrade while a host
#            has the DLL loaded fails and leaves the install registered and
#            working; an older, registered install holding a user-edited
#            preset file is upgraded (the file stays byte-identical, the
#            factory bank goes beside it, the DLL is replaced); silent
#            uninstall leaves only the user's file;
#            install and uninstall once more; failing installs report a
#            non-zero exit code and register nothing.
#   wizard   on an X display (DISPLAY), zvdelay-setup-driver clicks through
#            the wizard as a user does: Cancel on the welcome page; every
#            page with Back, a Cancel taken back and a folder with spaces,
#            to the finish page; then the uninstaller from the uninstall
#            entry, keeping the user's presets, deleting them, and without
#            a question over the untouched factory bank. The driver checks
#            each page (texts that fit, the default button, the product
#            icon and picture). ZV_SETUP_SHOTS=FOLDER keeps a picture of
#            each page there (tools/setup-screenshots).
# ZV_SETUP_CLAP: the built zvDelay.clap, which an install puts into
# C:\Program Files\Common Files\CLAP and an uninstall removes.
# With ZV_VST3_MODULE set (the built zvDelay.vst3), every install must also
# have put the VST3 bundle into %CommonProgramFiles%\VST3, and a complete
# uninstall must have taken it away.
# The prefix lives in PREFIX_ROOT/CASE and is deleted at the end.
set -uo pipefail
if [ $# -ne 8 ] && [ $# -ne 11 ]; then
  echo "usage: setup-test.sh CASE SETUP_EXE PROBE_EXE DLL CHM INI VERSION PREFIX_ROOT [DRIVER_EXE ICON PICTURE]" >&2
  exit 2
fi
case_name=$1 setup_exe=$2 probe_exe=$3 dll=$4 chm=$5 factory_ini=$6 version=$7 prefix_root=$8
driver_exe=${9:-} icon=${10:-} picture=${11:-}

prefix="$prefix_root/$case_name"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv="
# Only the wizard opens windows; without a display Wine starts faster.
if [ "$case_name" = wizard ]; then
  if [ -z "${DISPLAY:-}" ] || [ -z "$driver_exe" ]; then
    echo "FAIL: the wizard case needs DRIVER_EXE ICON PICTURE and an X display (tools/check starts one)"
    exit 1
  fi
else
  unset DISPLAY
fi

started=$(date +%s)
checks=0
failures=0
say() { echo "[$(($(date +%s) - started))s] $case_name: $*"; }
ok() { checks=$((checks + 1)); }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "  FAIL: $*"; }
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then ok; else fail "$what"; fi
}

cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w >/dev/null 2>&1
  rm -rf "$prefix" "$out_file"
}
trap cleanup EXIT

# The Unix path of a C: path of the prefix.
unix_path() {
  local p=${1#C:\\}
  echo "$prefix/drive_c/${p//\\//}"
}
# The Windows path (drive Z:) of an absolute Unix path.
windows_path() {
  local p=$1
  echo "Z:${p//\//\\}"
}

# Output of Wine programs goes through files, not pipes: a Wine server
# started by a command would hold the pipe open for seconds after it.
out_file="$prefix_root/$case_name.out"

run_setup() { # run_setup [/D=FOLDER]: silent install; the exit code
  timeout 120 wine "$setup_exe" /S "$@" </dev/null >"$out_file" 2>&1
}

# The quiet uninstall command; the uninstaller hands over to a copy of
# itself and returns at once, so wait for every process of the prefix.
run_uninstaller() { # run_uninstaller FOLDER
  timeout 120 wine "$1\\uninstall.exe" /S </dev/null >"$out_file" 2>&1
  local rc=$?
  timeout 60 wineserver -w
  return $rc
}

# The values of one registry key (64-bit view), CR removed; fails when the
# key is not there.
reg_values() {
  local rc
  timeout 60 wine reg query "$1" /reg:64 >"$out_file" 2>&1
  rc=$?
  tr -d '\r' <"$out_file"
  return $rc
}
reg_has() { timeout 60 wine reg query "$1" /reg:64 >"$out_file" 2>&1; }
value_of() { # value_of "DUMP" NAME
  printf '%s\n' "$1" | sed -n "s/^    $2    REG_[A-Z_]*    //p" | head -n 1
}
expect_value() { # expect_value "DUMP" KEY NAME EXPECTED
  local got
  got=$(value_of "$1" "$3")
  if [ "$got" = "$4" ]; then ok; else fail "$2 \"$3\" is \"$got\", expected \"$4\""; fi
}

clsid_filter='{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}'
clsid_page='{6A1F3B81-D27E-4C95-8E14-3B7D0A5C92E6}'
class_key="HKLM\\Software\\Classes\\CLSID\\$clsid_filter"
page_key="HKLM\\Software\\Classes\\CLSID\\$clsid_page"
filter_key="HKLM\\Software\\Classes\\Filter\\$clsid_filter"
instance_key="HKLM\\Software\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\$clsid_filter"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zvDelayDX'
default_folder='C:\Program Files\Brasquin Tavrin\zvDelayDX'
clap_file='C:\Program Files\Common Files\CLAP\zvDelay.clap'
vst3_module=${ZV_VST3_MODULE:-}
vst3_bundle='C:\Program Files\Common Files\VST3\zvDelay.vst3'

# The fingerprint the setup records for a preset file: "size:FNV-1a hash".
fingerprint() {
  python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
h = 0x811C9DC5
for b in data:
    h = ((h ^ b) * 16777619) & 0xFFFFFFFF
print("%d:%08X" % (len(data), h))' "$1"
}

same_file() { cmp -s "$1" "$2"; }
absent() { [ ! -e "$1" ]; }

# Everything an install into FOLDER must leave: files, registration, the
# uninstall entry; then the probe, inside Wine, creates the filter and
# finds the presets through the registry.
check_installed() {
  local folder=$1 dir dump
  dir=$(unix_path "$folder")
  check "zvDelayDX.dll in $folder is the built DLL" same_file "$dir/zvDelayDX.dll" "$dll"
  check "TavrinzvDelay.chm in $folder is the built help file" same_file "$dir/TavrinzvDelay.chm" "$chm"
  check "uninstall.exe in $folder" test -f "$dir/uninstall.exe"
  check "a preset file zvDelayDX.ini in $folder" test -f "$dir/zvDelayDX.ini"
  if [ -n "${ZV_SETUP_CLAP:-}" ]; then
    check "$clap_file is the built .clap" same_file "$(unix_path "$clap_file")" "$ZV_SETUP_CLAP"
  fi

  dump=$(reg_values "$class_key") || fail "$class_key missing"
  expect_value "$dump" "$class_key" "(Default)" "Tavrin:zv Delay"
  expect_value "$dump" "$class_key" "PluginPath" "$folder"
  dump=$(reg_values "$class_key\\InprocServer32") || fail "$class_key\\InprocServer32 missing"
  expect_value "$dump" "InprocServer32" "(Default)" "$folder\\zvDelayDX.dll"
  expect_value "$dump" "InprocServer32" "ThreadingModel" "Both"
  dump=$(reg_values "$page_key\\InprocServer32") || fail "$page_key\\InprocServer32 missing"
  expect_value "$dump" "property page InprocServer32" "(Default)" "$folder\\zvDelayDX.dll"
  dump=$(reg_values "$filter_key") || fail "$filter_key missing"
  expect_value "$dump" "$filter_key" "(Default)" "Tavrin:zv Delay"
  check "$class_key\\Pins\\In" reg_has "$class_key\\Pins\\In"
  dump=$(reg_values "$instance_key") || fail "$instance_key missing"
  expect_value "$dump" "filter category instance" "FriendlyName" "Tavrin:zv Delay"
  expect_value "$dump" "filter category instance" "CLSID" "$clsid_filter"

  dump=$(reg_values "$uninstall_key") || fail "$uninstall_key missing"
  expect_value "$dump" "uninstall entry" "DisplayName" "zvDelayDX (Tavrin:zv Delay)"
  expect_value "$dump" "uninstall entry" "DisplayVersion" "$version"
  expect_value "$dump" "uninstall entry" "Publisher" "Brasquin Tavrin"
  expect_value "$dump" "uninstall entry" "InstallLocation" "$folder"
  expect_value "$dump" "uninstall entry" "DisplayIcon" "$folder\\uninstall.exe,0"
  expect_value "$dump" "uninstall entry" "UninstallString" "\"$folder\\uninstall.exe\""
  expect_value "$dump" "uninstall entry" "QuietUninstallString" "\"$folder\\uninstall.exe\" /S"
  expect_value "$dump" "uninstall entry" "NoModify" "0x1"
  expect_value "$dump" "uninstall entry" "NoRepair" "0x1"
  local size
  size=$(value_of "$dump" EstimatedSize)
  if [ -n "$size" ] && [ $((size)) -ge 1000 ]; then ok; else fail "EstimatedSize is \"$size\" (KB)"; fi

  if [ -n "$vst3_module" ]; then
    check "the VST3 bundle in Common Files holds the built module" \
      same_file "$(unix_path "$vst3_bundle")/Contents/x86_64-win/zvDelay.vst3" "$vst3_module"
  fi

  local probe_out
  timeout 120 wine "$probe_exe" "$folder" "$version" >"$out_file" 2>&1
  probe_out=$(tr -d '\r' <"$out_file")
  if printf '%s\n' "$probe_out" | grep -q "^probe passed$"; then
    ok
  else
    fail "the probe in Wine:"
    printf '%s\n' "$probe_out" | sed 's/^/    /'
  fi
}

# No key of ours, no file of ours in FOLDER (a user's preset file may stay).
check_removed() {
  local folder=$1 dir key
  dir=$(unix_path "$folder")
  for key in "$class_key" "$page_key" "$filter_key" "$instance_key" "$uninstall_key"; do
    if reg_has "$key"; then fail "$key is still there"; else ok; fi
  done
  for f in zvDelayDX.dll TavrinzvDelay.chm zvDelayDX-factory.ini uninstall.exe; do
    check "$folder\\$f removed" absent "$dir/$f"
  done
  check "$clap_file removed, and its folder with nothing else in it" absent "$(dirname "$(unix_path "$clap_file")")"
}

# The VST3 bundle gone with a complete uninstall (the shared VST3 folder
# stays).
check_vst3_removed() {
  [ -n "$vst3_module" ] || return 0
  check "the VST3 bundle removed" absent "$(unix_path "$vst3_bundle")"
  check "the shared VST3 folder kept" test -d "$(dirname "$(unix_path "$vst3_bundle")")"
}

# Removed from FOLDER, but for the user's preset file, kept byte for byte as
# COPY holds it: the only file left there.
check_removed_but_presets() {
  local folder=$1 copy=$2 dir left
  dir=$(unix_path "$folder")
  check_removed "$folder"
  check "the user's zvDelayDX.ini kept byte-identical" same_file "$dir/zvDelayDX.ini" "$copy"
  left=$(ls -A "$dir" 2>/dev/null | tr '\n' ' ')
  check "only the user's file left in the folder (found: $left)" test "$left" = "zvDelayDX.ini "
}

# ---------------------------------------------------------------------------
rm -rf "$prefix"
mkdir -p "$prefix_root"
say "creating a fresh Wine prefix in $prefix"
timeout 180 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
if [ ! -f "$prefix/system.reg" ]; then
  echo "FAIL: wineboot did not create the prefix"
  exit 1
fi
if [ "$case_name" = wizard ]; then
  # Without a window manager each closing window waits about 2 s unless Wine
  # manages none of them.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >"$out_file" 2>&1
fi

case "$case_name" in
default)
  say "silent install into the default folder"
  run_setup
  check "setup exit code 0" test $? -eq 0
  check_installed "$default_folder"
  dir=$(unix_path "$default_folder")
  check "zvDelayDX.ini is the factory bank" same_file "$dir/zvDelayDX.ini" "$factory_ini"
  check "no zvDelayDX-factory.ini on a fresh install" absent "$dir/zvDelayDX-factory.ini"
  expect_value "$(reg_values "$uninstall_key")" "uninstall entry" "PresetFileFingerprint" "$(fingerprint "$factory_ini")"

  say "silent uninstall"
  run_uninstaller "$default_folder"
  check "uninstaller exit code 0" test $? -eq 0
  check_removed "$default_folder"
  check_vst3_removed
  check "the untouched factory preset file removed" absent "$dir/zvDelayDX.ini"
  check "the install folder removed" absent "$dir"
  check "the maker's folder removed" absent "$(dirname "$dir")"

  say "install again"
  run_setup
  check "setup exit code 0" test $? -eq 0
  check_installed "$default_folder"
  check "zvDelayDX.ini is the factory bank" same_file "$dir/zvDelayDX.ini" "$factory_ini"

  say "install into another folder over an install holding the user's presets"
  printf '\r\n[Preset17]\r\nVersion=3\r\nName=My Echo\r\nBank=\r\nData=2500,12,20,0,30, 2500,12,20,0,30, 40,0,81,71,250,71,-10, 0,1200,1,0\r\n' \
    >>"$dir/zvDelayDX.ini"
  cp "$dir/zvDelayDX.ini" "$prefix_root/$case_name-user.ini"
  other='C:\Studio Plugins\zv Delay'
  # /D= comes last and unquoted: Wine quotes a word with spaces, so the path
  # goes as separate words.
  # shellcheck disable=SC2086
  run_setup /D=$other
  check "setup exit code 0" test $? -eq 0
  check_installed "$other"
  odir=$(unix_path "$other")
  check "the user's presets copied to the new folder" same_file "$odir/zvDelayDX.ini" "$prefix_root/$case_name-user.ini"
  check "the factory bank beside them" same_file "$odir/zvDelayDX-factory.ini" "$factory_ini"
  check "the user's presets kept in the old folder" same_file "$dir/zvDelayDX.ini" "$prefix_root/$case_name-user.ini"
  for f in zvDelayDX.dll TavrinzvDelay.chm uninstall.exe; do
    check "the old folder's $f removed" absent "$dir/$f"
  done
  rm -f "$prefix_root/$case_name-user.ini"
  ;;

upgrade)
  folder='C:\Audio Plug-Ins\zvDelayDX'
  dir=$(unix_path "$folder")
  say "silent install into a chosen folder"
  # shellcheck disable=SC2086
  run_setup /D=$folder
  check "setup exit code 0" test $? -eq 0
  check_installed "$folder"
  check "nothing in the default folder" absent "$(unix_path "$default_folder")"

  say "an upgrade while a host holds the DLL fails and keeps the install working"
  hold_out="$prefix_root/$case_name.hold"
  timeout 120 wine "$probe_exe" --hold 6 </dev/null >"$hold_out" 2>&1 &
  holder=$!
  for _ in $(seq 100); do
    grep -q "^holding" "$hold_out" 2>/dev/null && break
    sleep 0.1
  done
  check "a host process holds the DLL" grep -q "^holding" "$hold_out"
  run_setup
  rc=$?
  check "setup unable to replace the loaded DLL: exit code 3 (got $rc)" test "$rc" -eq 3
  wait "$holder"
  rm -f "$hold_out"
  check_installed "$folder"

  say "making it an older install holding the user's presets"
  # Bytes after the last section: the DLL still loads and stays registered,
  # but is no longer the built one.
  head -c 4096 /dev/zero >>"$dir/zvDelayDX.dll"
  timeout 60 wine reg add "$uninstall_key" /v DisplayVersion /d 0.9.0.0 /f /reg:64 >"$out_file" 2>&1
  printf '\r\n[Preset17]\r\nVersion=3\r\nName=My Echo\r\nBank=Mine\r\nData=2500,12,20,0,30, 2500,12,20,0,30, 40,0,81,71,250,71,-10, 0,1200,1,0\r\n' \
    >>"$dir/zvDelayDX.ini"
  user_copy="$prefix_root/$case_name-user.ini"
  cp "$dir/zvDelayDX.ini" "$user_copy"

  say "upgrade: silent install without /D= (goes to the earlier folder)"
  run_setup
  check "setup exit code 0" test $? -eq 0
  check_installed "$folder"
  check "the user's zvDelayDX.ini byte-identical" same_file "$dir/zvDelayDX.ini" "$user_copy"
  check "zvDelayDX-factory.ini is the factory bank" same_file "$dir/zvDelayDX-factory.ini" "$factory_ini"
  check "nothing in the default folder" absent "$(unix_path "$default_folder")"

  say "silent uninstall"
  run_uninstaller "$folder"
  check "uninstaller exit code 0" test $? -eq 0
  check_removed_but_presets "$folder" "$user_copy"
  check_vst3_removed

  say "install and uninstall again beside the user's presets"
  # shellcheck disable=SC2086
  run_setup /D=$folder
  check "setup exit code 0" test $? -eq 0
  check_installed "$folder"
  check "the user's zvDelayDX.ini byte-identical" same_file "$dir/zvDelayDX.ini" "$user_copy"
  check "zvDelayDX-factory.ini is the factory bank" same_file "$dir/zvDelayDX-factory.ini" "$factory_ini"
  run_uninstaller "$folder"
  check "uninstaller exit code 0" test $? -eq 0
  check_removed "$folder"
  check "the user's zvDelayDX.ini kept byte-identical" same_file "$dir/zvDelayDX.ini" "$user_copy"
  rm -f "$user_copy"

  say "failing installs report a non-zero exit code"
  echo "not a folder" >"$prefix/drive_c/blocked"
  run_setup '/D=C:\blocked\zvDelayDX'
  rc=$?
  check "setup into a folder under a file: exit code 7 (got $rc)" test "$rc" -eq 7
  mkdir -p "$prefix/drive_c/Locked/zvDelayDX/zvDelayDX.dll"
  run_setup '/D=C:\Locked\zvDelayDX'
  rc=$?
  check "setup unable to write the DLL: exit code 3 (got $rc)" test "$rc" -eq 3
  check "nothing installed in the default folder" absent "$(unix_path "$default_folder")"
  for key in "$class_key" "$uninstall_key"; do
    if reg_has "$key"; then fail "a failed install wrote $key"; else ok; fi
  done
  ;;

wizard)
  setup_title="zvDelayDX $version Setup"
  uninstall_title="zvDelayDX $version Uninstall"
  welcome="page=Welcome to zvDelayDX $version Setup"
  folder='C:\Studio Plug-Ins\zv Delay'
  dir=$(unix_path "$folder")
  shots=-
  if [ -n "${ZV_SETUP_SHOTS:-}" ]; then
    mkdir -p "$ZV_SETUP_SHOTS"
    shots=$(windows_path "$ZV_SETUP_SHOTS")
  fi
  # drive TITLE STEP...: zvdelay-setup-driver on the wizard titled TITLE;
  # its report is shown, and its failures count as one.
  drive() {
    timeout 300 wine "$driver_exe" "$(windows_path "$icon")" "$(windows_path "$picture")" "$shots" "$@" \
      </dev/null >"$out_file" 2>&1
    local rc=$?
    tr -d '\r' <"$out_file" | sed 's/^/    /'
    check "the driver's checks (exit code $rc)" test "$rc" -eq 0
  }

  say "the wizard: Cancel on the welcome page, confirmed"
  drive "$setup_title" "run=$(windows_path "$setup_exe")" "$welcome" 'press=Cancel' \
    'ask=Are you sure you want to quit' 'default=No' 'press=Yes' 'exit=1'
  for key in "$class_key" "$uninstall_key"; do
    if reg_has "$key"; then fail "a cancelled setup wrote $key"; else ok; fi
  done
  check "a cancelled setup installed nothing" absent "$(unix_path "$default_folder")"

  say "the wizard: every page, Back, Cancel taken back, a folder with spaces"
  drive "$setup_title" "run=$(windows_path "$setup_exe")" \
    "$welcome" 'default=Next >' shot=1-welcome 'press=Next >' \
    "page=$default_folder" 'default=Install' shot=2-folder 'press=< Back' \
    "$welcome" 'press=Next >' \
    "page=$default_folder" "folder=$folder" shot=3-folder-with-spaces 'press=Cancel' \
    'ask=Are you sure you want to quit' 'default=No' shot=4-cancel-question 'press=No' \
    "page=$folder" 'press=Install' \
    'page=Installation Complete' 'default=Next >' shot=5-installed 'press=Next >' \
    "page=Completing zvDelayDX $version Setup" 'default=Finish' shot=6-finish 'press=Finish' 'exit=0' \
    entry-icon
  check_installed "$folder"
  check "zvDelayDX.ini is the factory bank" same_file "$dir/zvDelayDX.ini" "$factory_ini"

  say "the uninstaller from the uninstall entry: Cancel leaves the install"
  drive "$uninstall_title" uninstall "page=Uninstall zvDelayDX $version" 'press=Cancel' 'exit=1'
  check "uninstall.exe still there" test -f "$dir/uninstall.exe"
  check "the uninstall entry still there" reg_has "$uninstall_key"

  say "the uninstaller keeps the user's presets"
  printf '\r\n[Preset17]\r\nVersion=3\r\nName=My Echo\r\nBank=\r\nData=2500,12,20,0,30, 2500,12,20,0,30, 40,0,81,71,250,71,-10, 0,1200,1,0\r\n' \
    >>"$dir/zvDelayDX.ini"
  user_copy="$prefix_root/$case_name-user.ini"
  cp "$dir/zvDelayDX.ini" "$user_copy"
  drive "$uninstall_title" uninstall \
    "page=Uninstall zvDelayDX $version" "page=$folder\\" 'default=Uninstall' shot=7-uninstall 'press=Uninstall' \
    'ask=Keep your presets?' 'default=Yes' shot=8-keep-presets-question 'press=Yes' \
    'page=Uninstallation Complete' 'default=Close' shot=9-uninstalled 'press=Close' 'exit=0'
  check_removed_but_presets "$folder" "$user_copy"

  say "the uninstaller deletes the user's presets when told to"
  # shellcheck disable=SC2086
  run_setup /D=$folder
  check "setup exit code 0" test $? -eq 0
  drive "$uninstall_title" uninstall "page=Uninstall zvDelayDX $version" 'press=Uninstall' \
    'ask=Keep your presets?' 'press=No' 'page=Uninstallation Complete' 'press=Close' 'exit=0'
  check_removed "$folder"
  check "the user's presets deleted, with the folder" absent "$dir"
  rm -f "$user_copy"

  say "the uninstaller asks nothing over the untouched factory bank"
  run_setup
  check "setup exit code 0" test $? -eq 0
  drive "$uninstall_title" uninstall "page=Uninstall zvDelayDX $version" 'press=Uninstall' \
    'page=Uninstallation Complete' 'press=Close' 'exit=0'
  check_removed "$default_folder"
  check "the install folder removed" absent "$(unix_path "$default_folder")"
  ;;

*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac

say "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
