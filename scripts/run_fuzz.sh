#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a while.
#
#   scripts/run_fuzz.sh [SECONDS_PER_TARGET]      default: 600
#
# FUZZ_TARGETS   the targets to run (default: "nmea_fuzzer binr_fuzzer settings_fuzzer")
# FUZZ_JOBS      parallel fuzzing processes per target (default: 1)
# FUZZ_DIR       build and work directory (default: build-fuzz)
#
# The corpus each run grows is kept in FUZZ_DIR/corpus/<target> and reused by
# the next run; the seeds are made afresh in FUZZ_DIR/seeds. An input that
# crashes a target or breaks a check of its document is written to
# FUZZ_DIR/artifacts/<target>/; replay it with
#   LSAN_OPTIONS=suppressions=tests/lsan.supp FUZZ_DIR/fuzz/<target> FUZZ_DIR/artifacts/<target>/crash-...
# The script ends with status 1 when any target found one.
set -euo pipefail

cd "$(dirname "$0")/.."
seconds="${1:-600}"
targets="${FUZZ_TARGETS:-nmea_fuzzer binr_fuzzer settings_fuzzer}"
jobs="${FUZZ_JOBS:-1}"
dir="${FUZZ_DIR:-build-fuzz}"

# The report layer is configured with the rest, so its libraries must be found too.
packages=(cmake make clang libclang-rt-14-dev zlib1g-dev libpng-dev pkg-config libgeographiclib-dev libcairo2-dev)
scripts/install_packages.sh "${packages[@]}"

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVO_FUZZ=ON \
  -DBUILD_TESTING=OFF -DTERVO_WITH_WINDOW=OFF \
  -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-OFF}" >&2
# shellcheck disable=SC2086
cmake --build "$dir" -j2 --target $targets simulate_log simulate_binr >&2
fuzz/make_seed_corpus.sh "$dir/tools" "$dir/seeds"

# An input's document is checked whole, so inputs are kept short enough for
# hundreds of runs a second; 16 KB still spans many read blocks and epochs.
max_len=16384
work="$(cd "$dir" && pwd)"
here="$(pwd)"
shopt -s nullglob
parallel=()
if ((jobs > 1)); then parallel=(-jobs="$jobs" -workers="$jobs"); fi
# The plots draw their texts through the system's font library, whose caches
# live until the process ends: the same suppressions as the sanitizer tests.
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
failed=()
for target in $targets; do
  case "$target" in
    nmea_fuzzer) kind=nmea ;;
    binr_fuzzer) kind=binr ;;
    settings_fuzzer) kind=settings ;;
    *) echo "unknown target $target" >&2; exit 2 ;;
  esac
  mkdir -p "$work/corpus/$target" "$work/artifacts/$target"
  log="$work/artifacts/$target/last-run.log"
  status=0
  # With several jobs libFuzzer writes one fuzz-N.log per job into the current directory.
  # An input whose extras draw the plots takes several times as long as one
  # without: the schedule gives the quicker inputs more of the time.
  (cd "$work/artifacts/$target" && rm -f fuzz-*.log &&
    "$work/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
      -entropic_scale_per_exec_time=1 "${parallel[@]}" -print_final_stats=1 -artifact_prefix="$work/artifacts/$target/" \
      -dict="$here/fuzz/$kind.dict" "$work/corpus/$target" "$work/seeds/$kind") > "$log" 2>&1 || status=$?
  logs=("$log" "$work/artifacts/$target"/fuzz-*.log)
  runs=$(awk '/stat::number_of_executed_units/ {sum += $2} END {print sum + 0}' "${logs[@]}")
  corpus=$(find "$work/corpus/$target" -type f | wc -l)
  if ((status != 0)); then
    failed+=("$target")
    echo "$target: FAILED after $runs executions; see $log" >&2
    grep -hE 'KML of|ERROR|runtime error|Test unit written|did not|changed key' "${logs[@]}" | head -5 >&2 || true
  else
    echo "$target: $runs executions in ${seconds}s, nothing found; corpus $corpus inputs" >&2
  fi
done

if ((${#failed[@]})); then
  echo "Fuzzing found failures in: ${failed[*]}" >&2
  exit 1
fi
