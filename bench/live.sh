#!/usr/bin/env bash
# The live run's benchmark: builds the converter in Release form into
# build-bench (as bench/run.sh does) and prints, each with its target met or
# missed:
#   - the CPU one refresh takes after ten minutes and after a day at 10 Hz
#     (tervo_live_bench: a simulated day handed to the run in process, on the
#     log's own clock);
#   - the CPU share of the whole program over a simulated hour at 10 Hz with a
#     2 s refresh, fed 20 times faster than real time with a refresh 20 times
#     shorter (the same refreshes and bytes as the real hour), and the time from
#     a fix sent to the KMZ file holding it, in real time (bench/live_bench.py).
#
#   bash bench/live.sh [--hours H]    H: the long run of the refresh cost (default 24)
#
# The machine should be otherwise idle.
set -euo pipefail
cd "$(dirname "$0")/.."
hours=24
if [[ "${1:-}" == "--hours" ]]; then hours="$2"; fi

release=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DBUILD_TESTING=OFF)
cmake -S . -B build-bench "${release[@]}" -DTERVO_WITH_WINDOW=OFF >/dev/null
cmake --build build-bench -j2 --target tervo_live_bench tervoconverter simulate_log >&2

work="$(mktemp -d "${TMPDIR:-/tmp}/tervo-live-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir "$work/day" "$work/hour"
build-bench/bench/tervo_live_bench build-bench/tools/simulate_log "$work/day" "$hours"
echo
python3 bench/live_bench.py "$PWD/build-bench/app/tervoconverter" "$PWD/build-bench/tools/simulate_log" "$work/hour"
