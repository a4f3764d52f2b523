#!/usr/bin/env bash
# scripts/bench --slice: one share of a list of millions, as each machine of 64 runs it. Lists of one, two and
# three million generated paths (the files need not exist: every entry of the share fails to load, which costs
# little beside the reading of the whole list) with --slice 0/64; the wall time and the peak resident memory of
# each, so that time and memory can be seen to grow in line with the list.
# Options: --rounds N (default 3; medians are taken), --folder PATH (default: a fresh temporary folder).
# The exit status is 0 when the three million entries took at most 300 MB and the time grew in line (the
# three-million run within 3.6 times the one-million run).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

source "$(dirname "${BASH_SOURCE[0]}")/bench-common.sh"
bench_options "scripts/bench --slice" 3 "$@"

kelvo_install_missing "${KELVO_PACKAGES[@]}" time
bench_build kelvo-gray

bench_workspace
cd "$work"

# An archive's layout: twenty years, three thousand albums, photos numbered through.
for millions in 1 2 3; do
  [ -s "list$millions.txt" ] ||
    awk -v n=$((millions * 1000000)) 'BEGIN { for (i = 0; i < n; ++i)
      printf "archive/%d/album%04d/IMG_%07d.jpg\n", 2000 + i % 20, int(i / 100) % 3000, i }' >"list$millions.txt"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-22s %10s %10s %10s %10s\n' entries 'median s' 'min s' 'max s' 'peak MB'
for millions in 1 2 3; do
  : >"times$millions"
  for ((round = 0; round < rounds; ++round)); do
    rm -rf out
    /usr/bin/time -f '%e %M' -o time.txt "$gray" -q --files-from "list$millions.txt" --slice 0/64 -o out \
      >/dev/null 2>&1 || true
    tail -1 time.txt >>"times$millions" # after the line that tells the status
  done
  seconds=$(cut -d' ' -f1 "times$millions" | median)
  printf '%-22s %10s %10s %10s %10d\n' "$((millions)),000,000 (--slice 0/64)" "$seconds" \
    "$(cut -d' ' -f1 "times$millions" | sort -n | head -1)" "$(cut -d' ' -f1 "times$millions" | sort -n | tail -1)" \
    "$(($(cut -d' ' -f2 "times$millions" | sort -n | tail -1) / 1024))"
  eval "seconds$millions=$seconds peak$millions=$(cut -d' ' -f2 "times$millions" | sort -n | tail -1)"
done
awk -v one="$seconds1" -v three="$seconds3" -v peak="$peak3" 'BEGIN { exit !(peak <= 300 * 1024 && three <= 3.6 * one) }'
