#!/usr/bin/env bash
# Runs kelvo-gray the way a user would, on a small folder: two colour JPEGs, one in a subfolder, a broken JPEG
# and a text file. Checks the exit status (1: one file failed), the one failure line, the grey of every result
# and that nothing else was written. Then, on a folder of larger pictures: a glob run twice converts nothing the
# second time, and a run killed outright half way through --overwrite leaves only whole results, and nothing
# that the next run does not take away. Last, one list of pictures in nested folders shared out by GNU parallel
# over three runs (--slice) gives the very tree one run gives, even with one share killed half way and the whole
# job run again. A run to be killed has the disk stop answering once its first result has its name (the
# failing calls' "hang"), so that it is still there to be killed, however fast the machine.
#
#   run-gray-e2e.sh --program <kelvo-gray> --pictures <kelvo_e2e_pictures> --work <folder>
#                   --failing-calls <libkelvo_failing_calls.so>
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/arguments.sh"
read_arguments "run-gray-e2e.sh --program <kelvo-gray> --pictures <kelvo_e2e_pictures> --work <folder> \
--failing-calls <libkelvo_failing_calls.so>" "$@"

fail() {
  printf 'FAIL: %s\n' "$*"
  exit 1
}

# Becomes the command given, with the disk hanging once its first result has its name (the failing calls'
# "hang"); under the address sanitizer, its runtime need not come first for that.
exec_with_hang() {
  LD_PRELOAD=$FAILING_CALLS KELVO_FAIL=hang ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0 exec "$@"
}

export LC_ALL=C.UTF-8
PROGRAM=$(readlink -f "$(command -v "$PROGRAM")") || fail "no program $PROGRAM"
PICTURES=$(readlink -f "$PICTURES") || fail "no picture checker $PICTURES"
FAILING_CALLS=$(readlink -e "$FAILING_CALLS") || fail "no failing calls library ${FAILING_CALLS:-given}"
rm -rf "$WORK" && mkdir -p "$WORK/相册/旧照片" || fail "cannot make $WORK"
cd "$WORK" || fail "cannot enter $WORK"
"$PICTURES" make-source 相册/海边.jpg 173 97 || fail "cannot make a source picture"
"$PICTURES" make-source 相册/旧照片/合影.jpg 64 80 || fail "cannot make a source picture"
head -c 400 相册/海边.jpg >相册/坏.jpg
echo '不是图片' >相册/说明.txt

"$PROGRAM" --version | grep -q '^kelvo-gray ' || fail "--version does not name the command"
"$PROGRAM" -r 相册 </dev/null >stdout.txt 2>stderr.txt
status=$?
[ "$status" -eq 1 ] || fail "exit status $status, expected 1 (one broken file): $(cat stderr.txt)"
grep -qxF 'kelvo-gray: 相册/坏.jpg: 加载失败: 无效图片' stderr.txt || fail "no failure line for the broken file: $(cat stderr.txt)"
[ "$(grep -c '失败: ' stderr.txt)" -eq 1 ] || fail "more than one failure reported: $(cat stderr.txt)"
grep -q '^完成: 转换 2 个' stderr.txt || fail "no summary line: $(cat stderr.txt)"
[ ! -s stdout.txt ] || fail "something on standard output: $(cat stdout.txt)"

"$PICTURES" check-grey 相册/海边.jpg 相册/海边-黑白.bmp || fail "相册/海边-黑白.bmp is not the grey of its source"
"$PICTURES" check-grey 相册/旧照片/合影.jpg 相册/旧照片/合影-黑白.bmp || fail "合影-黑白.bmp is not the grey of its source"
files=$(cd 相册 && find . -type f | sort | tr '\n' ' ')
expected='./坏.jpg ./旧照片/合影-黑白.bmp ./旧照片/合影.jpg ./海边-黑白.bmp ./海边.jpg ./说明.txt '
[ "$files" = "$expected" ] || fail "the folder holds $files, expected $expected"

# find -print0's list read as lines (-0 forgotten) names no file: refused, and never cut short at its NUL into
# the source's own name; started with its standard streams closed, the run writes its messages nowhere.
source_sum=$(sha1sum <相册/海边.jpg)
printf '%s\0' 相册/海边.jpg | "$PROGRAM" --overwrite --files-from - 2>nul.txt
status=$?
[ "$status" -eq 1 ] || fail "a NUL-separated list read as lines ended with status $status: $(cat nul.txt)"
grep -q -- '-0' nul.txt || fail "no hint to read the list with -0: $(cat nul.txt)"
[ "$(sha1sum <相册/海边.jpg)" = "$source_sum" ] || fail "a NUL-separated list read as lines wrote over its source"
mkdir -p 关闭 && cp 相册/海边.jpg 相册/坏.jpg 关闭/
"$PROGRAM" 关闭 <&- >&- 2>&-
"$PICTURES" check-grey 关闭/海边.jpg 关闭/海边-黑白.bmp || fail "a run with its streams closed spoilt a result"

# Every result in 批量/ is the whole grey of its source, and nothing else is there but the sources.
check_batch() {
  local source
  for source in 批量/p*[0-9].jpg; do
    "$PICTURES" check-grey "$source" "${source%.jpg}-黑白.bmp" || fail "${source%.jpg}-黑白.bmp after $1"
  done
  files=$(find 批量 -type f ! -name '.kelvo-*.part' | wc -l)
  [ "$files" -eq $((2 * PICTURES_IN_BATCH)) ] || fail "批量/ holds $files files after $1: $(ls -A 批量)"
}
PICTURES_IN_BATCH=16
mkdir 批量 || fail "cannot make 批量"
for i in $(seq 10 $((9 + PICTURES_IN_BATCH))); do
  "$PICTURES" make-source "批量/p$i.jpg" 1600 1200 || fail "cannot make a source picture"
done
(cd 批量 && "$PROGRAM" -q ./*) || fail "the first run over a glob failed"
(cd 批量 && "$PROGRAM" ./* 2>../again.txt) || fail "the second run over a glob failed: $(cat again.txt)"
grep -q "^完成: 转换 0 个, 跳过 $((2 * PICTURES_IN_BATCH)) 个, 失败 0 个" again.txt ||
  fail "the second run over a glob did not pass over everything: $(cat again.txt)"

touch killed-after
(cd 批量 && exec_with_hang "$PROGRAM" --overwrite -j 2 ./*) 2>/dev/null &
run=$!
# Killed once the first result has been replaced; the others wait for the disk.
until [ -n "$(find 批量 -name '*-黑白.bmp' -newer killed-after | head -n 1)" ] || ! kill -0 $run 2>/dev/null; do
  sleep 0.01
done
kill -KILL $run 2>/dev/null
wait $run
status=$?
[ "$status" -eq 137 ] || fail "the --overwrite run ended with status $status before it could be killed"
check_batch "a run killed half way"
(cd 批量 && "$PROGRAM" -q ./*) || fail "the run after the killed one failed"
leftovers=$(find 批量 -name '.*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "the run after the killed one left hidden files: $(ls -A 批量)"
check_batch "the run after the killed one"

# One list, three shares side by side into one output tree. Among the pictures: IMG_0001.jpg in every folder,
# and a.jpg beside a.bmp, two inputs that meet in one name and must be told apart as one run tells them.
command -v parallel >/dev/null || fail "GNU parallel is missing (scripts/test installs it)"
for folder in 档案/2019/春 档案/2019/夏 档案/2020; do
  mkdir -p "$folder" || fail "cannot make $folder"
  for name in IMG_0001 IMG_0002 IMG_0003 a; do
    "$PICTURES" make-source "$folder/$name.jpg" 1600 1200 || fail "cannot make a source picture"
  done
done
"$PROGRAM" -f bmp -o 档案/2020 -q 档案/2020/a.jpg && mv 档案/2020/a-黑白.bmp 档案/2020/a.bmp ||
  fail "cannot make a source bitmap"
find 档案 -type f | sort >list.txt
"$PROGRAM" -q --files-from list.txt -o 单独 || fail "the single run over the list failed"

share() { # share <index> <output folder> [kill]: with "kill", killed outright once its first result is there
  if [ -z "${3:-}" ]; then
    "$PROGRAM" -q -j 1 --files-from list.txt --slice "$1/3" -o "$2"
    return
  fi
  exec_with_hang "$PROGRAM" -q -j 1 --files-from list.txt --slice "$1/3" -o "$2" &
  local run=$! result
  until ! kill -0 $run 2>/dev/null; do
    while read -r result; do [ -e "$2/$result" ] && break 2; done <share-results.txt
    sleep 0.01
  done
  kill -KILL $run 2>/dev/null
  wait $run
  echo $? >killed-share.status
}
export -f share fail exec_with_hang
export PROGRAM FAILING_CALLS
SHELL=/bin/bash parallel -j 3 share {} 分担 ::: 0 1 2 || fail "a share failed"
diff -r 单独 分担 >/dev/null || fail "three shares gave another tree than one run: $(diff -r 单独 分担 | head -5)"

# Share 1 alone first, to learn its results; then the job with share 1 killed outright as soon as the first of
# them is there, and the whole job run again.
share 1 一份 && (cd 一份 && find . -type f) >share-results.txt || fail "share 1 alone failed"
[ "$(wc -l <share-results.txt)" -ge 3 ] || fail "share 1 has too few pictures to be killed half way"
SHELL=/bin/bash parallel -j 3 share {} 重来 '$([ {} = 1 ] && echo kill)' ::: 0 1 2
[ "$(cat killed-share.status)" = 137 ] || fail "the share to be killed ended first, status $(cat killed-share.status)"
SHELL=/bin/bash parallel -j 3 share {} 重来 ::: 0 1 2 || fail "a share failed when the job ran again"
diff -r 单独 重来 >/dev/null || fail "the job run again gave another tree than one run: $(diff -r 单独 重来 | head -5)"
[ -z "$(find 重来 -name '.*')" ] || fail "the job run again left hidden files: $(find 重来 -name '.*')"

printf 'PASS: kelvo-gray converted two pictures, reported the broken one and ended with status 1; a glob run\n'
printf '      twice converted nothing new; a run killed half way left only whole results; three shares of a list,\n'
printf '      one of them killed and the job run again, gave the tree of one run\n'
