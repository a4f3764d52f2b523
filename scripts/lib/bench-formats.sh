#!/usr/bin/env bash
# The per-format rows of scripts/bench --batch: the same 24 photo-like pictures of 6 MP in PNG, TIFF (LZW),
# WebP (lossy), GIF, HEIC and AVIF, made before the clock starts, each format's conversion to bitmaps timed
# beside its floor and its peer, side by side in one run, their order turning from round to round:
#   kelvo-decode-floor, 2 at a time   the format's own library decoding the files, written out as PPM files as
#                                     they come (as djpeg -ppm is the JPEG's floor), no grey at all
#   Pillow, 2 processes               convert('L'), saved as a 24-bit bitmap (it reads no HEIC or AVIF)
#   kelvo-gray -j 2                   to 24-bit bitmaps
# Usage: bench-formats.sh BUILD FOLDER ROUNDS (from bench-batch.sh, whose build and folder it shares).
# The exit status is 0 when every figure met its target.
set -euo pipefail

build=$1 work=$2 rounds=$3
gray=$build/bin/kelvo-gray
floor=$build/bin/kelvo-decode-floor
python=/usr/bin/python3
formats=(png tif webp gif heic avif)
mkdir -p "$work/times"

# encode <format> <jpeg> <target>: one photo in a format, by that format's own encoder where Debian has one.
encode() {
  case $1 in
    png) convert "$2" "$3" ;;
    tif) convert "$2" -compress lzw "$3" ;;
    webp) cwebp -quiet -q 90 "$2" -o "$3" ;;
    gif) convert "$2" "$3" ;;
    heic) heif-enc -q 90 -p preset=ultrafast "$2" -o "$3" >/dev/null ;;
    avif) heif-enc -A -q 80 "$2" -o "$3" >/dev/null ;;
  esac
}
export -f encode
for format in "${formats[@]}"; do
  folder=$work/formats/$format
  [ "$(find "$folder" -name "*.$format" 2>/dev/null | wc -l)" -eq 24 ] && continue
  echo "making the $format pictures" >&2
  rm -rf "$folder" && mkdir -p "$folder"
  for photo in "$work"/photos/*.jpg; do
    printf '%s\0%s\0%s\0' "$format" "$photo" "$folder/$(basename "$photo" .jpg).$format"
  done | xargs -0 -n 3 -P "$(nproc)" bash -c 'encode "$@"' encode
done

cat >"$work/pillow-formats.py" <<'PY'
import os, sys
from multiprocessing import Pool
from PIL import Image

def grey(job):
    source, target = job
    Image.open(source).convert('L').convert('RGB').save(target, 'BMP')

if __name__ == '__main__':
    folder, out = sys.argv[1:3]
    jobs = [(os.path.join(folder, n), os.path.join(out, os.path.splitext(n)[0] + '.bmp'))
            for n in sorted(os.listdir(folder))]
    with Pool(2) as pool:
        pool.map(grey, jobs, chunksize=1)
PY

# timed <name> <command…>: wall time, peak resident memory and processor time into $work/times/<name>.
timed() {
  local name=$1
  shift
  rm -rf "$work/out" && mkdir -p "$work/out"
  sync
  /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { cat "$work/stderr.txt" >&2; echo "bench: $name failed" >&2; exit 3; }
  cat "$work/time.txt" >>"$work/times/$name"
}

rm -f "$work"/times/format-*
for ((round = 0; round < rounds; ++round)); do
  for format in "${formats[@]}"; do
    folder=$work/formats/$format
    order=(floor gray pillow)
    for ((i = 0; i < round % 3; ++i)); do order=("${order[@]:1}" "${order[0]}"); done
    for contender in "${order[@]}"; do
      case $contender in
        floor) timed "format-floor-$format" sh -c 'find "$1" -type f -print0 | xargs -0 -n 12 -P 2 "$2" "$3"' sh \
          "$folder" "$floor" "$work/out" ;;
        gray) timed "format-gray-$format" "$gray" -q -j 2 -o "$work/out" "$folder" ;;
        pillow)
          [ "$format" = heic ] || [ "$format" = avif ] ||
            timed "format-pillow-$format" "$python" "$work/pillow-formats.py" "$folder" "$work/out" ;;
      esac
    done
  done
done
rm -rf "$work/out"

middle() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
figure() { [ -f "$work/times/$1" ] && cut -d' ' -f"$2" "$work/times/$1" | middle || echo 0; }
spread() { [ -f "$work/times/$1" ] && cut -d' ' -f1 "$work/times/$1" | sort -g | tr '\n' ' ' || true; }
ok=1
printf '24 pictures of 6 MP in each format to BMP, -j 2, medians of %d rounds (load %s):\n' "$rounds" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
for format in "${formats[@]}"; do
  awk -v format="$format" -v gray="$(figure "format-gray-$format" 1)" -v floor="$(figure "format-floor-$format" 1)" \
    -v pillow="$(figure "format-pillow-$format" 1)" -v peak="$(figure "format-gray-$format" 2)" \
    -v grays="$(spread "format-gray-$format")" -v floors="$(spread "format-floor-$format")" '
    BEGIN {
      met = gray <= 1.25 * floor && (pillow == 0 || gray < pillow) && peak / 1024 <= 2 * 2.2 * 3000 * 2000 * 4 / 1048576 + 64
      printf "  %-5s kelvo-gray %5.2f s [%s] floor %5.2f s [%s] = %.2f (<= 1.25)", format, gray, grays, floor, floors,
        gray / floor
      if (pillow > 0) printf ", Pillow %5.2f s = %.2f (< 1)", pillow, gray / pillow
      printf ", peak %.0f MiB %s\n", peak / 1024, met ? "met" : "MISSED"
      exit met ? 0 : 1
    }' || ok=0
done
[ "$ok" = 1 ]
