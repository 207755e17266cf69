#!/usr/bin/env bash
# Checks the exports and the track in time of KMZ files made with
# --time-track --export gpx,csv,geojson in the clients that read them, one line
# per file per client:
#   xmllint       NAME.gpx is valid against the GPX 1.1 schema
#                 (../shared/schemas/gpx-1.1.xsd beside the repository; the
#                 check is skipped, and says so, where that file is absent)
#   gdal-gpx      GDAL's GPX driver reads a track point per <trkpt>
#   gpsbabel      GPSBabel reads the GPX file with the same count
#   csv           Python's csv module reads NAME.csv: a header, every row as
#                 wide as it, every time ISO 8601 with its zone
#   gdal-csv      GDAL's CSV driver reads as many points as Python reads rows
#   gdal-geojson  GDAL's GeoJSON driver reads a feature per feature of the file
#   gdal-track    GDAL's LIBKML driver reads the folder "Track in time" as one
#                 feature, a line with a vertex per <when> of the track
#   cesium-time   CesiumJS puts the track's entity at the fixes of NAME.csv at
#                 their times (tests/clients/time_track/check.mjs)
# Exits non-zero on any failure.
#
#   scripts/check_exports.sh KMZ...
#
# Installs what is missing first: gdal-bin, gpsbabel, libxml2-utils, unzip and
# python3 through scripts/install_packages.sh, and what bench/globe/prepare.sh
# installs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
schema="$root/../shared/schemas/gpx-1.1.xsd"

if (($# == 0)); then
  echo "usage: scripts/check_exports.sh KMZ..." >&2
  exit 2
fi
(
  flock 9
  "$root/scripts/install_packages.sh" gdal-bin gpsbabel libxml2-utils unzip python3
) 9>"${TMPDIR:-/tmp}/tervo-globe-prepare.lock"

failed=0
say() { # CLIENT FILE ok|FAIL TEXT
  echo "$(printf '%-13s' "$1") $2  $3: $4"
  if [[ "$3" == FAIL ]]; then failed=1; fi
}
# The feature count ogrinfo reports for a file (all layers, or the named one).
features() {
  awk '/^Feature Count:/ { n += $3 } END { print n + 0 }' <<<"$1"
}

for kmz in "$@"; do
  base="${kmz%.*}"
  gpx="$base.gpx" csv="$base.csv" geojson="$base.geojson"
  missing=0
  for f in "$kmz" "$gpx" "$csv" "$geojson"; do
    if [[ ! -f "$f" ]]; then
      say files "$f" FAIL "no such file"
      missing=1
    fi
  done
  ((missing == 0)) || continue

  # GPX.
  trkpts="$(grep -c '<trkpt ' "$gpx" || true)"
  if [[ ! -f "$schema" ]]; then
    say xmllint "$gpx" ok "skipped: no schema at $schema"
  elif out="$(xmllint --noout --schema "$schema" "$gpx" 2>&1)"; then
    say xmllint "$gpx" ok "valid GPX 1.1"
  else
    say xmllint "$gpx" FAIL "$(head -n1 <<<"$out")"
  fi
  report="$(ogrinfo -ro -so "$gpx" track_points 2>&1)" || true
  n="$(features "$report")"
  if ! grep -q "using driver \`GPX' successful" <<<"$report"; then
    say gdal-gpx "$gpx" FAIL "not opened by the GPX driver: $(head -n1 <<<"$report")"
  elif ((n != trkpts)); then
    say gdal-gpx "$gpx" FAIL "$n track points for $trkpts <trkpt> elements"
  else
    say gdal-gpx "$gpx" ok "$n track points"
  fi
  if out="$(gpsbabel -t -i gpx -f "$gpx" -o unicsv -F - 2>&1)"; then
    n=$(($(wc -l <<<"$out") - 1))
    if ((n == trkpts)); then say gpsbabel "$gpx" ok "$n track points"; else
      say gpsbabel "$gpx" FAIL "$n track points for $trkpts <trkpt> elements"
    fi
  else
    say gpsbabel "$gpx" FAIL "$(head -n1 <<<"$out")"
  fi

  # CSV.
  if rows="$(python3 - "$csv" <<'PY'
import csv, sys
from datetime import datetime
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f))
header, body = rows[0], rows[1:]
for i, row in enumerate(body, 2):
    if len(row) != len(header):
        sys.exit(f"row {i} has {len(row)} fields for a header of {len(header)}")
    time = row[header.index("time")]
    if time and datetime.fromisoformat(time.replace("Z", "+00:00")).tzinfo is None:
        sys.exit(f"row {i}: {time} has no zone")
print(len(body))
PY
  )"; then
    say csv "$csv" ok "$rows rows of $(head -n1 "$csv" | tr -cd ',' | wc -c | awk '{ print $1 + 1 }') fields"
  else
    say csv "$csv" FAIL "${rows:-the csv module could not read it}"
    rows=-1
  fi
  report="$(ogrinfo -ro -so -oo X_POSSIBLE_NAMES=longitude -oo Y_POSSIBLE_NAMES=latitude \
    -oo KEEP_GEOM_COLUMNS=NO "$csv" "$(basename "$base")" 2>&1)" || true
  n="$(features "$report")"
  if ! grep -q "using driver \`CSV' successful" <<<"$report" || ! grep -q '^Geometry: Point' <<<"$report"; then
    say gdal-csv "$csv" FAIL "not read as points by the CSV driver: $(head -n1 <<<"$report")"
  elif ((n != rows)); then
    say gdal-csv "$csv" FAIL "$n features for $rows rows"
  else
    say gdal-csv "$csv" ok "$n points"
  fi

  # GeoJSON.
  expected="$(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["features"]))' "$geojson" 2>&1)" ||
    expected=-1
  report="$(ogrinfo -ro -al -so "$geojson" 2>&1)" || true
  n="$(features "$report")"
  if ! grep -q "using driver \`GeoJSON' successful" <<<"$report"; then
    say gdal-geojson "$geojson" FAIL "not opened by the GeoJSON driver: $(head -n1 <<<"$report")"
  elif ((n != expected)); then
    say gdal-geojson "$geojson" FAIL "$n features for $expected in the file"
  else
    say gdal-geojson "$geojson" ok "$n features"
  fi

  # The track in time: GDAL's LIBKML driver, then CesiumJS.
  kml="$(unzip -Z1 "$kmz" | awk 'tolower($0) ~ /\.kml$/ && !n++')"
  whens="$(unzip -p "$kmz" "$kml" | sed -n '/<name>Track in time<\/name>/,/<\/Folder>/p' | grep -c '<when>' || true)"
  force=()
  if grep -q -- '\[-if ' <<<"$(ogrinfo --help 2>&1)"; then force=(-if LIBKML); fi
  report="$(OGR_SKIP=KML ogrinfo -ro "${force[@]}" "$kmz" "Track in time" 2>&1)" || true
  # The vertices of the (multi)line: the points of each innermost parenthesis.
  vertices="$(python3 -c '
import re, sys
wkt = [l for l in sys.stdin if re.match(r"\s+(MULTI)?LINESTRING", l)]
print(sum(len(p.split(",")) for p in re.findall(r"\(([^()]*)\)", wkt[0])) if wkt else 0)' <<<"$report")"
  if ! grep -q "using driver \`LIBKML' successful" <<<"$report"; then
    say gdal-track "$kmz" FAIL "not opened by the LIBKML driver: $(head -n1 <<<"$report")"
  elif (($(features "$report") != 1)) || ((vertices != whens)); then
    say gdal-track "$kmz" FAIL "$(features "$report") features, $vertices vertices for $whens <when> elements"
  else
    say gdal-track "$kmz" ok "one track of $vertices vertices"
  fi
  if ! "$root/bench/globe/prepare.sh"; then
    say cesium-time "$kmz" FAIL "the browser and CesiumJS could not be set up"
  elif ! node "$root/tests/clients/time_track/check.mjs" check "$kmz" "$csv"; then
    failed=1
  fi
done
exit "$failed"
