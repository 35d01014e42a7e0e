#!/usr/bin/env bash
# tools/progress.sh: what the long steps of tools/check and tools/demo print.
#   progress-test.sh PROGRESS_SH
set -uo pipefail
# shellcheck source=tools/progress.sh
. "$1"
failures=0
expect() { # expect WHAT OUTPUT PATTERN [COUNT]: lines of OUTPUT matching PATTERN (grep -E), COUNT of them (default: some)
  local n
  n=$(printf '%s\n' "$2" | grep -cE -- "$3")
  if { [ $# -eq 4 ] && [ "$n" -ne "$4" ]; } || { [ $# -eq 3 ] && [ "$n" -eq 0 ]; }; then
    echo "FAIL: $1: $n lines match \"$3\" in:"
    printf '%s\n' "$2" | sed 's/^/    /'
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

# A Make build: one line per tenth, the diagnostics, nothing of the rest.
make_output() {
  for p in 0 3 7 12 15 22 29 33 48 55 61 77 80 93 100; do
    printf '[%3d%%] Building CXX object editor/CMakeFiles/zv_editor.dir/controls/Slider.cpp.obj\n' "$p"
    echo "cd /work/build && /usr/bin/c++ -O2 -c Slider.cpp"
    [ "$p" = 48 ] && echo "Slider.cpp:3:1: warning: unused variable 'x'"
  done
  printf '[100%%] Built target zvDelayDX'
}
out=$(make_output | progress_filter native progress_build)
expect "Make: a line at each tenth" "$out" '^  native +[0-9]+%' 11
expect "Make: the source being compiled" "$out" '^  native  48% .* editor/controls/Slider\.cpp$' 1
expect "Make: warnings shown" "$out" "warning: unused variable" 1
expect "Make: no compiler command lines" "$out" "c\+\+ -O2" 0

# Ninja counts targets.
out=$(printf '[%d/40] Building CXX object a/CMakeFiles/t.dir/b.cpp.o\n' $(seq 1 40) | progress_filter win64 progress_build)
expect "Ninja: a line at each tenth" "$out" '^  win64 +[0-9]+%' 11
expect "Ninja: 50 % at target 20" "$out" '^  win64  50% .* a/b\.cpp$' 1

# A line cut by the reader's time-out is joined, not lost.
out=$( (printf '[ 5'; sleep 1.5; printf '0%%] Linking CXX executable t\n') | ZV_PROGRESS_SECONDS=1 progress_filter slow progress_build)
expect "a line across a time-out" "$out" '^  slow  50% .*Linking CXX executable t$' 1

# CTest: passes counted, failures shown with their output, the summary kept.
ctest_output() {
  echo "Test project /work/build/native"
  for i in $(seq 1 20); do
    printf '      Start %2d: Suite.Case%d\n' "$i" "$i"
    if [ "$i" = 7 ]; then
      printf ' 7/20 Test  #7: Suite.Case7 ......................***Failed    0.02 sec\n'
      echo "Expected equality of these values: 3 and 4"
    else
      printf '%2d/20 Test %3s: Suite.Case%d ......................   Passed    0.01 sec\n' "$i" "#$i" "$i"
    fi
  done
  echo "95% tests passed, 1 tests failed out of 20"
}
out=$(ctest_output | progress_filter "native tests" progress_ctest)
expect "CTest: a line at each tenth" "$out" '^  native tests +[0-9]+%' 11
expect "CTest: the count of done and failed" "$out" '^  native tests 100% .* 20 of 20 done, 1 failed$' 1
expect "CTest: the failed test" "$out" '\*\*\*Failed' 1
expect "CTest: its output" "$out" '^Expected equality of these values' 1
expect "CTest: the summary" "$out" '^95% tests passed, 1 tests failed out of 20$' 1
expect "CTest: no start or pass lines" "$out" 'Start|Passed|Test project' 0

# A test that passes when tried again (ctest --repeat until-pass) shows
# both results and no longer counts as failed.
out=$(printf '%s\n' "    Start 44: setup_wizard" "1/2 Test #44: setup_wizard .......***Failed    0.01 sec" \
  "    Start 44: setup_wizard" "    Test #44: setup_wizard .......   Passed   30.2 sec" \
  "2/2 Test #45: setup_package_check .......   Passed    1.66 sec" | progress_filter "win64 tests" progress_ctest)
expect "CTest: a retry that passes" "$out" '^    Test #44: setup_wizard .* Passed' 1
expect "CTest: no failure left after it" "$out" '^  win64 tests 100% .* 2 of 2 done, 0 failed$' 1

# apt: each phase counts its own tenths.
apt_output() {
  for p in 0 25 50 75 100; do echo "dlstatus:$p:$p.0000:Retrieving file $p of 100"; done
  echo "Unpacking wine64 (8.0) ..."
  for p in 0 40 80; do echo "pmstatus:wine64:$p.0000:Installing wine64 (amd64)"; done
}
out=$(apt_output | progress_filter packages progress_apt)
expect "apt: download tenths" "$out" '^  packages +[0-9]+% .* downloading: Retrieving' 5
expect "apt: install tenths" "$out" '^  packages +[0-9]+% .* installing: Installing wine64' 3
expect "apt: its other output hidden" "$out" 'Unpacking' 0

# Silence gets a reminder, from the filter and around a command; the
# command's exit status comes back.
out=$( (echo "[ 10%] Building C object x/CMakeFiles/y.dir/z.c.o"; sleep 2.5) | ZV_PROGRESS_SECONDS=1 progress_filter quiet progress_build)
expect "a reminder in a silent build" "$out" '^  quiet  10% .* still at it: x/z\.c$'
out=$(ZV_PROGRESS_SECONDS=1 with_heartbeat wineboot /dev/null bash -c 'sleep 2.5; exit 3')
status=$?
expect "a reminder while a command runs" "$out" '^  wineboot: still at it \([0-9]s\)$'
if [ "$status" -eq 3 ]; then echo "ok: the command's exit status"; else echo "FAIL: exit status $status, expected 3"; failures=$((failures + 1)); fi

echo "$failures failed"
[ "$failures" -eq 0 ]
