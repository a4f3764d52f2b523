#!/usr/bin/env bash
# scripts/bench --jpeg-results: kelvo-gray's grey JPEGs of the same photos, timed as whole processes, in turn.
# On 8 photo-like JPEGs of 6 MP at quality 90, and the same photos saved again at quality 75:
#   kelvo-gray -j 2 -f jpg              decoded, turned grey by the rule, encoded at the source's own quality
#   kelvo-gray -j 2 -f jpg --keep-luma  the source's coded luminance, without a decode or an encode
# and the bytes of each result beside those of its sources.
# Options: --rounds N (default 5; medians are taken), --folder PATH (default: a fresh temporary folder).
# The exit status is 0 when --keep-luma is at least 1.3 times as fast and gives fewer bytes than the re-encoded grey.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

source "$(dirname "${BASH_SOURCE[0]}")/bench-common.sh"
bench_options "scripts/bench --jpeg-results" 5 "$@"

kelvo_install_missing "${KELVO_PACKAGES[@]}" libjpeg-turbo-progs time bc
bench_build kelvo-bench kelvo-gray
export QT_QPA_PLATFORM=offscreen

bench_workspace
if [ "$(find "$work/q90" -name '*.jpg' 2>/dev/null | wc -l)" -ne 8 ]; then
  rm -rf "$work/q90" "$work/q75" && mkdir -p "$work/q90" "$work/q75"
  "$build/bin/kelvo-bench" --write-jpegs "$work/q90" 8 3000x2000
  for photo in "$work/q90"/*.jpg; do
    djpeg "$photo" | cjpeg -quality 75 >"$work/q75/$(basename "$photo")"
  done
fi

bytes() { find "$1" -type f -name '*.jpg' -printf '%s\n' | awk '{ sum += $1 } END { print sum }'; }
# seconds <name> <folder> <kelvo-gray options…>: one run into a fresh output folder, its wall time appended to
# $work/<name>.times, its results' bytes to $work/<name>.bytes.
seconds() {
  local name=$1 folder=$2
  shift 2
  rm -rf "$work/out" && mkdir -p "$work/out"
  sync
  /usr/bin/time -f '%e' -o "$work/time.txt" "$gray" -q -j 2 -f jpg -o "$work/out" "$@" "$folder"
  cat "$work/time.txt" >>"$work/$name.times"
  bytes "$work/out" >"$work/$name.bytes"
}
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The ratio of two runs side by side, round by round, whose median holds when the machine's speed drifts.
pairedRatio() { paste "$1" "$2" | awk '{ print $1 / $2 }' >"$work/ratios" && median "$work/ratios"; }
spread() { sort -g "$1" | awk '{ v[NR] = $1 } END { printf "%.2f–%.2f", v[1], v[NR] }'; }

rm -f "$work"/*.times
for ((round = 0; round < rounds; ++round)); do
  for quality in 90 75; do
    # The order turns from round to round, so that neither always runs on the caches the other left.
    if ((round % 2 == 0)); then
      seconds "reencoded$quality" "$work/q$quality"
      seconds "luma$quality" "$work/q$quality" --keep-luma
    else
      seconds "luma$quality" "$work/q$quality" --keep-luma
      seconds "reencoded$quality" "$work/q$quality"
    fi
  done
done

met=0
printf '| photos | re-encoded grey JPEG | --keep-luma | time ratio (paired) | bytes: sources, re-encoded, --keep-luma |\n'
printf '|---|---|---|---|---|\n'
for quality in 90 75; do
  slow=$(median "$work/reencoded$quality.times")
  fast=$(median "$work/luma$quality.times")
  source=$(bytes "$work/q$quality")
  reencoded=$(cat "$work/reencoded$quality.bytes")
  luma=$(cat "$work/luma$quality.bytes")
  printf '| 8 × 6 MP, quality %s | %s s (%s) | %s s (%s) | %.2f | %d MB, %.2f ×, %.2f × |\n' "$quality" "$slow" \
    "$(spread "$work/reencoded$quality.times")" "$fast" "$(spread "$work/luma$quality.times")" \
    "$(pairedRatio "$work/luma$quality.times" "$work/reencoded$quality.times")" $((source / 1000000)) "$(echo "$reencoded / $source" | bc -l)" \
    "$(echo "$luma / $source" | bc -l)"
  if (($(echo "$(pairedRatio "$work/luma$quality.times" "$work/reencoded$quality.times") * 1.3 > 1" | bc -l))) ||
    ((luma >= reencoded)); then
    met=1
  fi
done
exit $met
