#!/usr/bin/env bash
# Checks that the link file of a live run opens in CesiumJS and follows the
# run: a simulated 10 Hz receiver is fed to `tervoconverter --live -` on
# standard input, 3,200 epochs at once (so that a stretch is closed and linked
# from the index) and then ten a second, with a placemark every second; once
# the first stretch is written,
# bench/globe/driver.mjs loads the link file from its directory, counts the
# placemarks, waits through several refreshes and counts again. Fails unless the
# count grew, and on a console error or a request off this machine.
#
#   scripts/check_live_client.sh PROGRAM SIMULATE_LOG [SCREENSHOT.png]
#
# Installs what bench/globe/prepare.sh installs when it is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if (($# < 2)); then
  echo "usage: scripts/check_live_client.sh PROGRAM SIMULATE_LOG [SCREENSHOT.png]" >&2
  exit 2
fi
program="$(realpath "$1")"
simulate="$(realpath "$2")"
screenshot=()
if (($# > 2)); then screenshot=(--screenshot "$(realpath "$3")"); fi

"$root/bench/globe/prepare.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/tervo-live-client.XXXXXX")"
live_pid=""
cleanup() {
  if [[ -n "$live_pid" ]]; then kill -INT "$live_pid" 2>/dev/null || true; wait "$live_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$simulate" --epochs 4200 --rate 10 --seed 11 --out "$work/sent.nmea"
# The feeder: the first 3,200 epochs at once, then ten epochs a second.
feed() {
  python3 - "$work/sent.nmea" <<'PY'
import re, sys, time
# Without the differential fixes: the check follows the placemarks of the fixes,
# a few of them (--thin-seconds), so that the software renderer keeps up.
log = b"".join(l for l in open(sys.argv[1], "rb").read().splitlines(True) if not l.startswith(b"$TVLDR"))
starts = [m.start() for m in re.finditer(rb"\$GPGGA,", log)] + [len(log)]
out = sys.stdout.buffer
try:
    out.write(log[:starts[3200]])
    out.flush()
    for i in range(3200, len(starts) - 1):
        time.sleep(0.1)
        out.write(log[starts[i]:starts[i + 1]])
        out.flush()
except BrokenPipeError:
    pass  # the check is over and the run ended
PY
}
cd "$work"
feed | "$program" --live - drive.kmz --refresh 1 --thin-seconds 1 2>"$work/live.err" &
live_pid=$!
for _ in $(seq 100); do
  [[ -f drive-live/stretch-000001.kmz ]] && break
  sleep 0.2
done
if [[ ! -f drive-live/stretch-000001.kmz ]]; then
  echo "cesium  live link  FAIL: the live run wrote no stretch: $(head -c 500 "$work/live.err")"
  exit 1
fi
node "$root/bench/globe/driver.mjs" watch --timeout 120 --wait 10 "${screenshot[@]}" "$work/drive-live.kml"
