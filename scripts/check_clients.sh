#!/usr/bin/env bash
# Checks that KMZ files open in real clients, one line per file per client:
#   cesium  CesiumJS in headless Chromium (bench/globe/driver.mjs, as
#           bench/globe.sh uses it): fails on a load error, a console error, a
#           request off this machine, or a count of placemark entities other
#           than the number of <Placemark> elements in the KML;
#   gdal    GDAL's LIBKML driver (ogrinfo -ro -al -so): fails on an error, on
#           another driver opening the file, or on a total feature count other
#           than the number of <Placemark> elements.
# A browser that cannot start is a failure. Exits non-zero on any failure.
#
#   scripts/check_clients.sh [--timeout S] KMZ...
#
# --timeout S  seconds per file in CesiumJS (default TERVO_GLOBE_TIMEOUT or 900)
#
# Installs what is missing first: gdal-bin and unzip through
# scripts/install_packages.sh, and what bench/globe/prepare.sh installs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

timeout_args=()
if [[ "${1:-}" == "--timeout" ]]; then
  timeout_args=(--timeout "$2")
  shift 2
fi
if (($# == 0)); then
  echo "usage: scripts/check_clients.sh [--timeout S] KMZ..." >&2
  exit 2
fi

# Under bench/globe/prepare.sh's lock: one install at a time.
(
  flock 9
  "$root/scripts/install_packages.sh" gdal-bin unzip
) 9>"${TMPDIR:-/tmp}/tervo-globe-prepare.lock"

# The number of <Placemark> elements in the KMZ's KML document (its first .kml
# entry), or nothing when there is none.
placemarks() {
  local entries kml
  entries="$(unzip -Z1 "$1" 2>/dev/null)" || return 0
  kml="$(grep -m1 -i '\.kml$' <<<"$entries")" || return 0
  unzip -p "$1" "$kml" | grep -o -E '<(kml:)?Placemark[[:space:]/>]' | wc -l || true
}

failed=0
expect_args=()
for kmz in "$@"; do
  n="$(placemarks "$kmz")"
  if [[ -z "$n" ]]; then
    echo "kmz     $kmz  FAIL: no KML document in it (or no such file)"
    failed=1
    n=0
  fi
  expect_args+=(--expect "$n" "$kmz")
done

# CesiumJS. prepare.sh failing (no browser, no npm packages) is a failure too.
if ! "$root/bench/globe/prepare.sh"; then
  for kmz in "$@"; do echo "cesium  $kmz  FAIL: the browser and CesiumJS could not be set up"; done
  failed=1
elif ! node "$root/bench/globe/driver.mjs" check "${timeout_args[@]}" "${expect_args[@]}"; then
  failed=1
fi

# GDAL, made to use LIBKML: with -if where ogrinfo has it (GDAL 3.7 on),
# otherwise by skipping the plain KML driver; the driver named in ogrinfo's
# report is checked either way.
if ! grep -q 'LIBKML' <<<"$(ogrinfo --formats)"; then
  for kmz in "$@"; do echo "gdal    $kmz  FAIL: this GDAL has no LIBKML driver"; done
  exit 1
fi
force=()
if grep -q -- '\[-if ' <<<"$(ogrinfo --help 2>&1)"; then force=(-if LIBKML); fi
for ((i = 1; i < ${#expect_args[@]}; i += 3)); do
  n="${expect_args[i]}"
  kmz="${expect_args[i + 1]}"
  report="$(OGR_SKIP=KML ogrinfo -ro -al -so "${force[@]}" "$kmz" 2>&1)" && status=0 || status=$?
  errors="$(grep -A1 -E '^(ERROR|FAILURE)' <<<"$report" | tr '\n' ' ' | cut -c1-300 || true)"
  features="$(awk '/^Feature Count:/ { n += $3 } END { print n + 0 }' <<<"$report")"
  layers="$(grep -c '^Layer name:' <<<"$report" || true)"
  if ((status != 0)) || [[ -n "$errors" ]]; then
    echo "gdal    $kmz  FAIL: ogrinfo exited with $status: ${errors:-$(head -n1 <<<"$report")}"
    failed=1
  elif ! grep -q "using driver \`LIBKML' successful" <<<"$report"; then
    echo "gdal    $kmz  FAIL: not opened by the LIBKML driver: $(grep -m1 'using driver' <<<"$report")"
    failed=1
  elif ((features != n)); then
    echo "gdal    $kmz  FAIL: $features features in $layers layers for $n <Placemark> elements"
    failed=1
  else
    echo "gdal    $kmz  ok: $features features in $layers layers (LIBKML)"
  fi
done
exit "$failed"
