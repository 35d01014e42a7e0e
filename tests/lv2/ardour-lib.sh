# What the Ardour tests share (sourced by tests/lv2/ardour-test and
# tests/vst3/ardour-test): the inputs, the parameter names, the factory
# bank, and the steps of a case: build and save a session with
# ardour-session.lua in ardour7-lua, show what the reopened session holds,
# render it with ardour7-export and compare with zvdelay-render.
#
# The caller sets before sourcing: here (this folder), render, wavcmp,
# factory (the bank's INI file), and may set for session(): plugin_type
# ("LV2" or "VST3"), switch_port (the host bypass control's index), wait_ms
# (the engine runs this long after the values are set), labels_env (preset
# labels to look up, "|"-separated).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Ardour's settings and caches stay in the test's own folder.
export HOME="$work/home"
mkdir -p "$HOME"
block=1024
# Ardour runs the plug-in before the export begins, so its delay lines hold
# what the input's offset of 1e-30 left there while the renderer's are still
# clear: where the input is exactly 0 and a line still reads from before the
# start, the outputs differ by about 1e-33 (the loud signal is bit for bit).
tolerance=1e-29

# 16-bit values as floats, so that sox's split into one file per channel
# (what Ardour reads) keeps every sample exact.
sox -R -D -n -r 48000 -c 2 -b 16 "$work/s16.wav" synth 1.0 pinknoise tremolo 5 80 gain -8 2>/dev/null
sox -R -D -n -r 48000 -c 1 -b 16 "$work/m16.wav" synth 1.0 pinknoise tremolo 3 60 gain -8 2>/dev/null
sox "$work/s16.wav" -b 32 -e floating-point "$work/stereo.wav"
sox "$work/s16.wav" -b 32 -e floating-point "$work/left.wav" remix 1
sox "$work/s16.wav" -b 32 -e floating-point "$work/right.wav" remix 2
sox "$work/m16.wav" -b 32 -e floating-point "$work/mono.wav"
frames=48000

# Parameter names in port order (the parameter table's order).
names=(DelayL FactorL FeedbkL XfeedL MixL DelayR FactorR FeedbkR XfeedR MixR DiffTime DiffAmnt
       LowFreq LowQ HighFreq HighQ Output TempoSync Tempo Link Listen)
port_of() { local i; for i in "${!names[@]}"; do [ "${names[$i]}" = "$1" ] && echo "$i" && return; done; return 1; }
# "Name=Value ..." into "Port=Value ..." for the session script.
to_ports() { local s out=(); for s in "$@"; do out+=("$(port_of "${s%%=*}")=${s#*=}"); done; echo "${out[*]}"; }

# The factory bank: "Bank / Name" labels and Data strings, in file order.
labels=(); datas=()
while IFS='|' read -r label data; do labels+=("$label"); datas+=("$data"); done < <(
  awk -F= '/^\[Preset[0-9]+\]/ { if (n) print b " / " nm "|" d; n = 1; b = nm = d = "" }
           /^Bank=/ { b = $2 } /^Name=/ { nm = $2 } /^Data=/ { d = $2 }
           END { if (n) print b " / " nm "|" d }' "$factory" | tr -d '\r')
data_of() { local i; for i in "${!labels[@]}"; do [ "${labels[$i]}" = "$1" ] && echo "${datas[$i]}" && return; done; return 1; }

failed=0
ok() { echo "ok: $1"; }
bad() { echo "FAILED: $1"; failed=1; }

# session CASE URI INPUTS SET PRESET STOP BYPASS: builds, sets and saves the
# session, then shows what the reopened session holds (in $work/CASE.show).
# ardour7-lua, like ardour7-export, now and then dies by itself (a signal):
# the session is then built again from the start, up to three times.
session() {
  local name=$1 step try status=0
  for try in 1 2 3; do
    rm -rf "${work:?}/$name"
    for step in create plug-in show; do
      ZV_STEP=$step ZV_DIR="$work/$name" ZV_NAME="$name" ZV_URI="$2" ZV_INPUTS="$3" ZV_FRAMES=$frames \
        ZV_SET="$4" ZV_PRESET="$5" ZV_STOP_ENGINE="$6" ZV_BYPASS="$7" ZV_TYPE="${plugin_type:-LV2}" \
        ZV_SWITCH="${switch_port:-}" ZV_WAIT="${wait_ms:-}" ZV_LABELS="${labels_env:-}" \
        timeout 90 ardour7-lua "$here/ardour-session.lua" >"$work/$name.$step" 2>"$work/$name.$step.err"
      status=$?
      [ "$status" -eq 0 ] || break
    done
    [ "$status" -gt 128 ] || break
    echo "  $name: ardour7-lua died by signal $((status - 128)) at step $step (try $try of 3); building the session again"
  done
  if [ "$status" -ne 0 ]; then
    bad "$name: ardour7-lua, step $step"; cat "$work/$name.$step" "$work/$name.$step.err"; return 1
  fi
  grep -hE '^(preset|value|active|switch): ' "$work/$name.plug-in" "$work/$name.show" >"$work/$name.out"
}

# compare CASE REFERENCE-INPUT RENDER-ARGS...: Ardour's render of the
# reopened session against the renderer's.
compare() {
  local name=$1 input=$2
  shift 2
  if ! "$here/ardour-export" "$work/$name-ardour.wav" "$work/$name" "$name" "$work/$name.export"; then
    bad "$name: ardour7-export"; cat "$work/$name.export"; return 1
  fi
  "$render" "$input" "$work/$name-ref.wav" --block $block "$@" >/dev/null
  if "$wavcmp" "$work/$name-ardour.wav" "$work/$name-ref.wav" --within "$tolerance"; then
    ok "$name: Ardour's export equals the renderer's (within $tolerance)"
  else bad "$name: Ardour's export differs from the renderer's"; fi
}

# shown CASE NAME=VALUE...: the reopened session shows these control values.
shown() {
  local name=$1 s
  shift
  for s in "$@"; do
    grep -qx "value: $(port_of "${s%%=*}") ${s#*=}" "$work/$name.out" || { bad "$name: Ardour shows no ${s}"; return; }
  done
  ok "$name: Ardour shows the values set"
}

# listed CASE: the plug-in step listed the factory bank's labels.
listed() {
  if diff <(printf '%s\n' "${labels[@]}" | sort) <(sed -n 's/^preset: //p' "$work/$1.out" | sort); then
    ok "$1: Ardour lists the ${#labels[@]} factory presets by \"Bank / Name\""
  else bad "$1: Ardour's list of presets differs from the factory bank"; fi
}

# bypassed CASE VALUE: Ardour keeps the plug-in running with its bypass
# control at VALUE, and the output is the input.
bypassed() {
  if grep -qx "switch: $2" "$work/$1.out" && grep -qx "active: 1" "$work/$1.out"; then
    ok "$1: Ardour keeps the plug-in running and its bypass control at $2"
  else bad "$1: Ardour does not bypass through the plug-in's control"; cat "$work/$1.out"; fi
  if "$here/ardour-export" "$work/$1-ardour.wav" "$work/$1" "$1" "$work/$1.export" &&
     "$wavcmp" "$work/$1-ardour.wav" "$work/stereo.wav"; then
    ok "$1: the output is the input"
  else bad "$1: the output is not the input"; fi
}
