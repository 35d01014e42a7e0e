# shellcheck shell=bash
# Progress lines for the long steps of tools/check, tools/demo, tools/build
# and tools/install-deps; sourced by them. A step that runs for minutes shows
# one line per tenth of its way (a build's percentage, a test count, the
# package manager's percentage), the lines that need a reader (diagnostics,
# failures), and a reminder when nothing was printed for a while, never the
# screens of output in between.
#
#   some-command | progress_filter LABEL PARSER
#       PARSER reads one line of the command's output: progress_build (cmake
#       --build, Make's "[ 45%]" or Ninja's "[12/300]"), progress_ctest or
#       progress_apt (apt's status lines, APT::Status-Fd).
#   with_heartbeat LABEL LOG COMMAND...
#       runs COMMAND with its output in LOG, a line now and then while it
#       runs; returns its exit status.
#
# ZV_PROGRESS_SECONDS (default 30): the longest silence before a reminder.

progress_time() { # progress_time SECONDS: "45s" or "3m05s"
  if (($1 >= 60)); then printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); else printf '%ds' "$1"; fi
}

# Parsers: read "$1", set `percent` (when the line tells it), `phase` (a new
# phase counts its tenths afresh), `doing` (what is under way) and `pass` (a
# line to show as it is).
progress_build() {
  case "$1" in
    \[*%\]*)
      percent=${1#\[}
      percent=${percent%%%\]*}
      percent=${percent// /}
      doing=${1#*\] } ;;
    \[[0-9]*/[0-9]*\]*)
      local count=${1#\[} total
      total=${count#*/}
      total=${total%%\]*}
      count=${count%%/*}
      ((total > 0)) && percent=$((count * 100 / total))
      doing=${1#*\] } ;;
    *error*|*Error*|*warning*) pass=$1 ;;
  esac
  # "Building CXX object editor/CMakeFiles/zv_editor.dir/Page.cpp.obj" is
  # editor/Page.cpp.
  if [[ $doing =~ ^Building\ [A-Za-z]+\ object\ (.*/)?CMakeFiles/[^/]+\.dir/(.*)\.(o|obj)$ ]]; then
    doing="${BASH_REMATCH[1]}${BASH_REMATCH[2]}"
  fi
}

# A failed test is shown with its output; a retry of it (ctest --repeat)
# that passes is shown too, and it no longer counts as failed.
progress_ctest_done=0 progress_ctest_total=0
declare -gA progress_ctest_failed=()
progress_ctest() {
  if [[ $1 =~ ^\ *Start\ +[0-9]+:\ (.*)$ ]]; then
    doing="running ${BASH_REMATCH[1]}"
  elif [[ $1 =~ ^\ *(([0-9]+)/([0-9]+)\ +)?Test\ +#\ *[0-9]+:\ +([^ ]+) ]]; then
    local name=${BASH_REMATCH[4]}
    if [ -n "${BASH_REMATCH[1]}" ]; then
      progress_ctest_done=${BASH_REMATCH[2]}
      progress_ctest_total=${BASH_REMATCH[3]}
      percent=$((progress_ctest_done * 100 / progress_ctest_total))
    fi
    if [[ $1 != *" Passed "* ]]; then
      progress_ctest_failed[$name]=1
      pass=$1
    elif [ -n "${progress_ctest_failed[$name]:-}" ]; then
      unset "progress_ctest_failed[$name]"
      pass=$1
    fi
    doing="$progress_ctest_done of $progress_ctest_total done, ${#progress_ctest_failed[@]} failed"
  elif [[ $1 != "Test project "* ]]; then
    pass=$1  # a failed test's output, the summary
  fi
}

progress_apt() {
  local kind rest
  kind=${1%%:*}
  rest=${1#*:}
  rest=${rest#*:}
  case "$kind" in
    dlstatus) phase=downloading ;;
    pmstatus) phase=installing ;;
    *) return ;;
  esac
  percent=${rest%%:*}
  percent=${percent%%.*}
  doing="$phase: ${rest#*:}"
}

progress_filter() { # progress_filter LABEL PARSER
  local label=$1 parser=$2 line partial="" got percent=-1 shown=-10 phase="" shown_phase="" doing="" pass
  local every=${ZV_PROGRESS_SECONDS:-30} start=$SECONDS last=$SECONDS tick
  tick=$((every < 5 ? every : 5))
  while :; do
    got=0
    if IFS= read -r -t "$tick" line; then
      got=1
    elif (($? > 128)); then
      partial+=$line  # a time-out keeps what it read of an unfinished line
    elif [ -n "$partial$line" ]; then
      got=2  # the last line, without its newline
    else
      break
    fi
    if ((got)); then
      line=$partial$line
      partial=""
      pass=""
      "$parser" "$line"
      if [ -n "$pass" ]; then
        printf '%s\n' "$pass"
        last=$SECONDS
      fi
      [ "$phase" = "$shown_phase" ] || { shown=-10; shown_phase=$phase; }
      if ((percent >= 0 && (percent / 10 > shown / 10 || (percent == 100 && shown < 100)))); then
        printf '  %s %3d%%  %s  %s\n' "$label" "$percent" "$(progress_time $((SECONDS - start)))" "$doing"
        shown=$percent
        last=$SECONDS
      fi
      ((got == 2)) && break
    fi
    if ((SECONDS - last >= every)); then
      printf '  %s %4s  %s  still at it: %s\n' "$label" "$( ((percent >= 0)) && echo "$percent%")" \
        "$(progress_time $((SECONDS - start)))" "${doing:-started}"
      last=$SECONDS
    fi
  done
  return 0
}

with_heartbeat() { # with_heartbeat LABEL LOG COMMAND...
  local label=$1 log=$2 pid status=0 every=${ZV_PROGRESS_SECONDS:-30} start=$SECONDS last=$SECONDS
  shift 2
  "$@" >"$log" 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    if ((SECONDS - last >= every)) && kill -0 "$pid" 2>/dev/null; then
      echo "  $label: still at it ($(progress_time $((SECONDS - start))))"
      last=$SECONDS
    fi
  done
  wait "$pid" || status=$?
  return "$status"
}
