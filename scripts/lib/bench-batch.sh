#!/usr/bin/env bash
# scripts/bench --batch: kelvo-gray on whole folders, timed as whole processes beside its peers in the same run:
#   djpeg -bmp, 2 files at a time        libjpeg-turbo's own decode and bitmap write, no grey at all: the floor
#   Pillow, 2 processes                  convert('L'), back to RGB, saved as a 24-bit bitmap
# on 24 photo-like JPEGs of 6 MP, then kelvo-gray alone on 400 files of 0.3 MP and 2 of 100 MP.
# Options: --rounds N (default 3; medians are taken), --folder PATH (default: a fresh temporary folder).
# The exit status is 0 when every figure met its target.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

rounds=3
work=
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --folder) work=$2; shift 2 ;;
    *) echo "usage: scripts/bench --batch [--rounds N] [--folder PATH]" >&2; exit 2 ;;
  esac
done

# The peers, from Debian; Pillow is the system python's, not whatever python3 comes first on the PATH.
kelvo_install_missing "${KELVO_PACKAGES[@]}" python3-pil libjpeg-turbo-progs time
python=/usr/bin/python3
build=${KELVO_BENCH_BUILD:-$KELVO_ROOT/build-bench}
cmake -S "$KELVO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelvo-bench kelvo-gray >/dev/null
gray=$build/bin/kelvo-gray
export QT_QPA_PLATFORM=offscreen

if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

pictures() { # folder count size
  [ "$(find "$1" -name '*.jpg' 2>/dev/null | wc -l)" -eq "$2" ] && return 0
  rm -rf "$1" && mkdir -p "$1"
  "$build/bin/kelvo-bench" --write-jpegs "$1" "$2" "$3"
}
echo "making the pictures in $work" >&2
pictures "$work/photos" 24 3000x2000
pictures "$work/small" 400 640x480
pictures "$work/huge" 2 12240x8160

cat >"$work/pillow.py" <<'PY'
import os, sys
from multiprocessing import Pool
from PIL import Image

def grey(names):
    source, target = names
    Image.open(source).convert('L').convert('RGB').save(target, 'BMP')

if __name__ == '__main__':
    folder, out = sys.argv[1], sys.argv[2]
    jobs = [(os.path.join(folder, n), os.path.join(out, n[:-4] + '.bmp'))
            for n in sorted(os.listdir(folder)) if n.endswith('.jpg')]
    with Pool(2) as pool:
        pool.map(grey, jobs, chunksize=1)
PY

# seconds <name> <command…>: runs the command into a fresh output folder, records its wall time, peak
# resident memory (of the largest process) and processor time in $work/times/<name>.
mkdir -p "$work/times"
seconds() {
  local name=$1
  shift
  rm -rf "$work/out" && mkdir -p "$work/out"
  sync
  /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { cat "$work/stderr.txt" >&2; echo "bench: $name failed" >&2; exit 3; }
  cat "$work/time.txt" >>"$work/times/$name"
}
# djpeg's arguments for every picture, made before the clock starts: djpeg alone is timed, not a shell a file.
djpeg_arguments() {
  local picture
  for picture in "$1"/*.jpg; do
    printf '%s\0%s\0%s\0' -outfile "$work/out/$(basename "$picture" .jpg).bmp" "$picture"
  done
}
djpeg_arguments "$work/photos" >"$work/djpeg-arguments"

rm -f "$work"/times/*
for ((round = 0; round < rounds; ++round)); do
  # The order turns every round, so that no contender always runs after the same one.
  order=(djpeg pillow gray2 gray1)
  for ((i = 0; i < round % 4; ++i)); do order=("${order[@]:1}" "${order[0]}"); done
  for contender in "${order[@]}"; do
    case $contender in
      djpeg) seconds djpeg xargs -0 -n 3 -P 2 -a "$work/djpeg-arguments" djpeg -bmp ;;
      pillow) seconds pillow "$python" "$work/pillow.py" "$work/photos" "$work/out" ;;
      gray2) seconds gray2 "$gray" -q -j 2 -o "$work/out" "$work/photos" ;;
      gray1) seconds gray1 "$gray" -q -j 1 -o "$work/out" "$work/photos" ;;
    esac
  done
  seconds small "$gray" -q -j 2 -o "$work/out" "$work/small"
  seconds huge "$gray" -q -j 2 -o "$work/out" "$work/huge"
done

# median <name> <column>: the median over the rounds of a column of $work/times/<name>.
middle() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
median() { cut -d' ' -f"$2" "$work/times/$1" | middle; }
# The processor time (user and system) of a contender: beside the wall time, what a busy machine disturbs less.
cpu() { awk '{ print $3 + $4 }' "$work/times/$1" | middle; }
djpeg=$(median djpeg 1)
pillow=$(median pillow 1)
gray2=$(median gray2 1)
gray1=$(median gray1 1)
small=$(median small 1)
huge=$(median huge 1)
peak6=$(median gray2 2)
peakHuge=$(median huge 2)

awk -v cdjpeg="$(cpu djpeg)" -v cpillow="$(cpu pillow)" -v cg1="$(cpu gray1)" -v cg2="$(cpu gray2)" \
  -v djpeg="$djpeg" -v pillow="$pillow" -v g2="$gray2" -v g1="$gray1" -v small="$small" -v huge="$huge" \
  -v peak6="$peak6" -v peakHuge="$peakHuge" -v rounds="$rounds" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '
function mib(kib) { return kib / 1024 }
function limit(jobs, w, h) { return jobs * 2.2 * w * h * 4 / 1048576 + 64 }
BEGIN {
  ok = 1
  faster = djpeg < pillow ? djpeg : pillow
  peer = djpeg < pillow ? "djpeg" : "Pillow"
  printf "24 JPEGs of 6 MP to 24-bit BMP, medians of %d rounds (load %s):\n", rounds, load
  printf "  djpeg -bmp, 2 at a time   %6.2f s (processor %.2f s)\n", djpeg, cdjpeg
  printf "  Pillow, 2 processes       %6.2f s (processor %.2f s)\n", pillow, cpillow
  printf "  kelvo-gray -j 1           %6.2f s (processor %.2f s)\n", g1, cg1
  printf "  kelvo-gray -j 2           %6.2f s (processor %.2f s)\n", g2, cg2
  r = g2 / faster; t = r <= 0.8
  printf "  -j 2 / %s               %6.2f  (target <= 0.80) %s\n", peer, r, t ? "met" : "MISSED"; ok = ok && t
  r = g1 / g2; t = r >= 1.8
  printf "  -j 1 / -j 2               %6.2f  (target >= 1.80) %s\n", r, t ? "met" : "MISSED"; ok = ok && t
  l = limit(2, 3000, 2000); t = mib(peak6) <= l
  printf "  peak memory, -j 2         %6.0f MiB (limit %.0f) %s\n", mib(peak6), l, t ? "met" : "MISSED"; ok = ok && t
  printf "400 JPEGs of 0.3 MP, -j 2   %6.2f s (%.1f ms a file)\n", small, small * 1000 / 400
  l = limit(2, 12240, 8160); t = mib(peakHuge) <= l
  printf "2 JPEGs of 100 MP, -j 2     %6.2f s, peak %.0f MiB (limit %.0f) %s\n", huge, mib(peakHuge), l,
    t ? "met" : "MISSED"; ok = ok && t
  exit ok ? 0 : 1
}'
