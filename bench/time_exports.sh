#!/usr/bin/env bash
# What the track in time and the three exports cost a conversion: converts LOG
# RUNS times plain and RUNS times with --time-track --export gpx,csv,geojson,
# alternating, each run a process of its own, and prints the median wall and
# CPU times, the wall times' ratio with the target (at most 1.3 times the plain
# run) met or missed, and the size of each output. On a machine that is not
# idle the CPU times' ratio is the steadier of the two.
#
#   bash bench/time_exports.sh CONVERTER LOG [RUNS]
#
# CONVERTER is a built tervoconverter (bench/run.sh passes its Release build);
# RUNS defaults to 3. The machine should be otherwise idle.
set -euo pipefail
converter="$1"
log="$2"
runs="${3:-3}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tervo-exports.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# "WALL CPU" seconds of one conversion into $work/NAME.kmz with the given options.
convert() { # NAME OPTION...
  local name="$1" TIMEFORMAT="%R %U %S"
  shift
  { time "$converter" "$@" "$log" "$work/$name.kmz" 2>/dev/null; } 2>&1 | awk '{ print $1, $2 + $3 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

plain=()
extras=()
for ((i = 0; i < runs; i++)); do
  plain+=("$(convert plain)")
  extras+=("$(convert extras --time-track --export gpx,csv,geojson)")
done
p="$(printf '%s\n' "${plain[@]}" | cut -d' ' -f1 | median)"
e="$(printf '%s\n' "${extras[@]}" | cut -d' ' -f1 | median)"
pc="$(printf '%s\n' "${plain[@]}" | cut -d' ' -f2 | median)"
ec="$(printf '%s\n' "${extras[@]}" | cut -d' ' -f2 | median)"
ratio="$(echo "scale=3; $e / $p" | bc)"
verdict="$(echo "$ratio <= 1.3" | bc)"
size() { awk '{ printf "%.2f MB", $1 / 1e6 }' <<<"$(stat -c %s "$1")"; }
echo "Track in time and exports of $(basename "$log") (median of $runs runs each):"
printf '  plain                                  %6.2f s (CPU %6.2f s)  KMZ %s\n' "$p" "$pc" "$(size "$work/plain.kmz")"
printf '  --time-track --export gpx,csv,geojson  %6.2f s (CPU %6.2f s)  KMZ %s, GPX %s, CSV %s, GeoJSON %s\n' \
  "$e" "$ec" \
  "$(size "$work/extras.kmz")" "$(size "$work/extras.gpx")" "$(size "$work/extras.csv")" \
  "$(size "$work/extras.geojson")"
echo "  with them: $ratio times the plain run's wall time, $(echo "scale=3; $ec / $pc" | bc) times its CPU" \
  "(target <= 1.3 of the wall time: $([[ "$verdict" == 1 ]] && echo met || echo MISSED))"
