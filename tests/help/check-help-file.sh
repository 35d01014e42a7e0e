#!/usr/bin/env bash
# Reads the compiled help file back and checks it against its sources: every
# file the help project lists (pages, style sheet, picture), its contents and
# index files are inside, byte for byte as in the sources, and the file's
# system record carries the project's title and default topic.
#   check-help-file.sh <compiled .chm> <help source folder> <project .hhp name>
# Needs extract_chmLib (Debian's libchm-bin).
set -uo pipefail
chm="$1"; src="$2"; project="$3"
fail=0
bad() { echo "FAIL: $*"; fail=1; }

command -v extract_chmLib >/dev/null || { echo "FAIL: extract_chmLib not found (libchm-bin)"; exit 1; }
[ -s "$chm" ] || { echo "FAIL: no help file at $chm"; exit 1; }
hhp="$src/$project"
[ -f "$hhp" ] || { echo "FAIL: no help project at $hhp"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
extract_chmLib "$chm" "$work/out" >/dev/null 2>&1 || bad "extract_chmLib could not read $chm"

# The project's options and its [FILES] section (CRLF tolerated).
option() { sed -n "s/^$1=//p" "$hhp" | tr -d '\r' | head -n 1; }
title=$(option Title)
topic=$(option "Default topic")
expected=("$(option "Contents file")" "$(option "Index file")")
while IFS= read -r line; do
  line=${line%$'\r'}
  [ -n "$line" ] && expected+=("$line")
done < <(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;p}' "$hhp")

((${#expected[@]} > 3)) || bad "the project lists no pages"
for f in "${expected[@]}"; do
  if [ ! -f "$work/out/$f" ]; then
    bad "$f is not in the help file"
  elif ! cmp -s "$work/out/$f" "$src/$f"; then
    bad "$f in the help file differs from its source"
  fi
done

# Every page the contents file names is in the help file.
while IFS= read -r page; do
  [ -f "$work/out/$page" ] || bad "contents entry $page is not in the help file"
done < <(grep -o 'name="Local" value="[^"#]*' "$src/$(option "Contents file")" | sed 's/.*value="//' | sort -u)

system="$work/out/#SYSTEM"
if [ -f "$system" ]; then
  grep -aqF "$title" "$system" || bad "the title \"$title\" is not in the help file's system record"
  grep -aqF "$topic" "$system" || bad "the default topic $topic is not in the help file's system record"
else
  bad "the help file has no system record"
fi

if ((fail)); then exit 1; fi
echo "help file OK: ${#expected[@]} files, title \"$title\", default topic $topic"
