#!/bin/bash
# options-agree.sh PROGRAM MANUAL COMPLETION...
# The options' table gives --help; the manual page and each shell's completion name the same options, and a
# completion no option that is not there.
set -u
options=$("$1" --help | grep -oE '^ +(-[[:alnum:]], )?--[a-z-]+' | grep -oE -- '--[a-z-]+$' | sort -u)
[ "$(echo "$options" | wc -l)" -gt 10 ] || { echo "no options in --help"; exit 1; }
# The manual writes \-\-name, fish -l name.
offered() { sed -e 's/\\-/-/g' -e 's/-l \([a-z-]*\)/--\1/g' "$1" | grep -oE -- '--[a-z][a-z-]*' | sort -u; }
for file in "${@:2}"; do
  missing=$(comm -23 <(echo "$options") <(offered "$file"))
  [ -z "$missing" ] || { echo "$file lacks:" $missing; exit 1; }
done
for file in "${@:3}"; do
  unknown=$(comm -13 <(echo "$options") <(offered "$file"))
  [ -z "$unknown" ] || { echo "$file offers:" $unknown; exit 1; }
done
