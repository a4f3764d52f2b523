# Shared by the whole-command benchmarks (bench-batch.sh, bench-slice.sh, bench-jpeg-results.sh): their options,
# their release build and their working folder. Source it after setup.sh; it defines functions only.

# bench_options <usage> <default rounds> [arguments…]: sets `rounds` and `work` from --rounds N and --folder PATH.
bench_options() {
  local usage=$1
  rounds=$2
  work=
  shift 2
  while [ $# -gt 0 ]; do
    case $1 in
      --rounds) rounds=$2; shift 2 ;;
      --folder) work=$2; shift 2 ;;
      *) echo "usage: $usage [--rounds N] [--folder PATH]" >&2; exit 2 ;;
    esac
  done
}

# bench_build <target…>: the release build with the benchmarks (KELVO_BENCH_BUILD, default build-bench/), those
# targets built; sets `build` and `gray`.
bench_build() {
  build=${KELVO_BENCH_BUILD:-$KELVO_ROOT/build-bench}
  cmake -S "$KELVO_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_BENCH=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "$@" >/dev/null
  gray=$build/bin/kelvo-gray
}

# bench_workspace: `work` made, a fresh temporary folder (removed at the end) where --folder gave none.
bench_workspace() {
  if [ -z "$work" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
  fi
  mkdir -p "$work"
}
