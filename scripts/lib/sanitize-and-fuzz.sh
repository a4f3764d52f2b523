#!/usr/bin/env bash
# The sanitizer stage of scripts/test: the whole suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (leaks reported), then each fuzz target for a short while.
#   KELVO_FUZZ_SECONDS  seconds per fuzz target (default 20)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
source "$KELVO_ROOT/scripts/lib/sanitizer-env.sh"

say() { printf 'sanitizers: %s\n' "$*"; }
build=${KELVO_ASAN_BUILD:-$KELVO_ROOT/build-asan}
started=$SECONDS

# Test discovery runs the test programs during the build, so the sanitizers' settings apply from here on.
kelvo_sanitizer_env
kelvo_configure sanitize "$build"
cmake --build "$build" -j"$(nproc)" >/dev/null
say "built in $((SECONDS - started))s"

tested=$SECONDS
(cd "$build" && ctest --output-on-failure -j"$(nproc)" --timeout 900)
say "suite clean under ASan+UBSan in $((SECONDS - tested))s"

fuzzed=$SECONDS
"$KELVO_ROOT/scripts/fuzz" "${KELVO_FUZZ_SECONDS:-20}"
say "fuzzing done in $((SECONDS - fuzzed))s; whole stage $((SECONDS - started))s"
