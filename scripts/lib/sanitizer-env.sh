# How the sanitized builds run: every error fatal, leaks reported, except the ones that Qt and the system
# libraries under it keep on purpose until the process ends (lsan-suppressions.txt). Source it.

kelvo_sanitizer_env() {
  local lib
  lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1
  export LSAN_OPTIONS=suppressions=$lib/lsan-suppressions.txt:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  if command -v llvm-symbolizer >/dev/null; then
    ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
    export ASAN_SYMBOLIZER_PATH
  fi
}
