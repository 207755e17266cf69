#!/usr/bin/env bash
# Builds the converter in Release form into build-bench, simulates an hour and a
# day of NMEA and BINR logs (1 Hz, 12 satellites) and prints the benchmark table
# with each target met or missed, the plots' times, and what the track in time
# and the exports cost the day (bench/time_exports.sh).
#
#   bash bench/run.sh [--runs N] [--with-peer] [--with-window] [--with-globe [--globe-timeout S]]
#
# --runs N       conversions per case, medians reported (default 3)
# --with-peer    install gpsbabel with apt-get when it is missing; without this
#                flag an installed gpsbabel is used, and none is installed
# --with-window  also build the window (Qt) into build-bench-window and measure
#                what it costs a BINR run, offscreen
# Besides, a day of a receiver beside its truth (simulate_log --truth) is
# converted plain and against that truth (bench/accuracy_bench.py): what the
# accuracy costs.
# --with-globe   also simulates an hour at 10 Hz, converts the NMEA logs plain
#                and with --viewer (and with the peer, when there is one) and
#                loads each KMZ into CesiumJS in headless Chromium
#                (bench/globe_bench.py, bench/globe.sh): a second table and the
#                globe targets
# --globe-timeout S  seconds each KMZ may take to load (default 1800: the plain
#                day takes minutes in software rendering)
#
# The machine should be otherwise idle: the converter uses every core.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
with_peer=0
with_window=0
with_globe=0
globe_timeout=1800
while (($#)); do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --with-peer) with_peer=1; shift ;;
    --with-window) with_window=1; shift ;;
    --with-globe) with_globe=1; shift ;;
    --globe-timeout) globe_timeout="$2"; shift 2 ;;
    *)
      echo "usage: bash bench/run.sh [--runs N] [--with-peer] [--with-window]" \
        "[--with-globe [--globe-timeout S]]" >&2
      exit 2
      ;;
  esac
done

peer=""
if command -v gpsbabel >/dev/null 2>&1; then
  peer="$(command -v gpsbabel)"
elif ((with_peer)); then
  scripts/install_packages.sh gpsbabel
  peer="$(command -v gpsbabel)"
fi

# -O2 as the packaged builds use; the warnings stay warnings here.
release=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DBUILD_TESTING=OFF)
cmake -S . -B build-bench "${release[@]}" -DTERVO_WITH_WINDOW=OFF >/dev/null
targets=(tervo_bench tervo_plots_bench simulate_log simulate_binr tervoconverter)
cmake --build build-bench -j2 --target "${targets[@]}" >&2

work="$(mktemp -d "${TMPDIR:-/tmp}/tervo-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
echo "Simulating the logs in $work" >&2
for hours in 1 24; do
  build-bench/tools/simulate_log --hours "$hours" --satellites 12 --seed 11 --out "$work/${hours}h.nmea"
  build-bench/tools/simulate_binr --hours "$hours" --satellites 12 --seed 11 --out "$work/${hours}h.binr"
done
build-bench/tools/simulate_log --hours 24 --satellites 12 --seed 11 --error-sigma 2 \
  --truth "$work/24h-truth.nmea" --out "$work/24h-receiver.nmea"
if ((with_globe)); then
  build-bench/tools/simulate_log --hours 1 --rate 10 --satellites 12 --seed 11 --out "$work/1h-10hz.nmea"
fi

peer_args=()
if [[ -n "$peer" ]]; then peer_args=(--peer "$peer"); fi
build-bench/bench/tervo_bench --runs "$runs" --work "$work" "${peer_args[@]}" \
  "nmea:1h:3600:$work/1h.nmea" "nmea:24h:86400:$work/24h.nmea" \
  "binr:1h:3600:$work/1h.binr" "binr:24h:86400:$work/24h.binr"
echo
build-bench/bench/tervo_plots_bench --runs "$runs"
python3 bench/accuracy_bench.py --converter "$PWD/build-bench/app/tervoconverter" --work "$work" --runs "$runs" \
  "24h:$work/24h-receiver.nmea:$work/24h-truth.nmea"
echo
bash bench/time_exports.sh build-bench/app/tervoconverter "$work/24h.nmea" "$runs"

if ((with_window)); then
  cmake -S . -B build-bench-window "${release[@]}" -DTERVO_WITH_WINDOW=ON >/dev/null
  cmake --build build-bench-window -j2 --target tervo_window_bench >&2
  echo
  QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build-bench-window/bench/tervo_window_bench \
    --runs "$runs" --format binr "$work/24h.binr" 2>/dev/null
fi

if ((with_globe)); then
  # The 1 Hz logs shortest first: the globe targets take the first and the last.
  python3 bench/globe_bench.py --converter "$PWD/build-bench/app/tervoconverter" --work "$work" \
    --runs "$runs" --timeout "$globe_timeout" "${peer_args[@]}" \
    "1h:1:$work/1h.nmea" "24h:1:$work/24h.nmea" "1h-10hz:10:$work/1h-10hz.nmea"
fi
