#!/usr/bin/env bash
# Runs kelvo-gray the way a user would, on a small folder: two colour JPEGs, one in a subfolder, a broken JPEG
# and a text file. Checks the exit status (1: one file failed), the one failure line, the grey of every result
# and that nothing else was written.
#
#   run-gray-e2e.sh --program <kelvo-gray> --pictures <kelvo_e2e_pictures> --work <folder>
set -uo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/arguments.sh"
read_arguments "run-gray-e2e.sh --program <kelvo-gray> --pictures <kelvo_e2e_pictures> --work <folder>" "$@"

fail() {
  printf 'FAIL: %s\n' "$*"
  exit 1
}

export LC_ALL=C.UTF-8
PROGRAM=$(readlink -f "$(command -v "$PROGRAM")") || fail "no program $PROGRAM"
PICTURES=$(readlink -f "$PICTURES") || fail "no picture checker $PICTURES"
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
printf 'PASS: kelvo-gray converted two pictures, reported the broken one and ended with status 1\n'
