#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the formatting check, the normal build, then the
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# tests that start threads under ThreadSanitizer, then each fuzz target for a
# short while.
#
# TERVO_FUZZ_SECONDS  seconds per fuzz target (default 30; 0 leaves fuzzing out)
set -euo pipefail
cd "$(dirname "$0")/.."
# The code's layout first: it takes seconds.
scripts/check_format.sh
# The build settings of the sample command (scripts/run_sample.sh): what it
# built is reused.
scripts/setup.sh build
export QT_QPA_PLATFORM=offscreen
summary="$(mktemp)"
trap 'rm -f "$summary"' EXIT
ctest --test-dir build --output-on-failure -j2 | tee -a "$summary"

# Without the window: the sanitizers are for our code, not Qt's.
cmake --preset sanitize -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-ON}" >&2
cmake --build --preset sanitize >&2
ctest --preset sanitize -j2 | tee -a "$summary"

# The tests that start threads, under ThreadSanitizer.
scripts/run_tsan.sh | tee -a "$summary"

fuzz_seconds="${TERVO_FUZZ_SECONDS:-30}"
if ((fuzz_seconds > 0)); then
  TERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-ON}" scripts/run_fuzz.sh "$fuzz_seconds"
fi

# One closing line for the three suites (each ctest above stops the script on a failure).
awk '/tests passed, 0 tests failed out of/ { n += $NF } END { printf "%d passed, 0 failed\n", n }' "$summary"
