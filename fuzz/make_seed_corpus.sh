#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets: logs of our simulators in each
# of their forms, our sample and test logs, the shared receiver logs when that
# folder exists (each cut to the fuzzers' input limit), a few settings files, and
# logs and settings files that ask for extras.
#
#   fuzz/make_seed_corpus.sh TOOLS_DIR OUT_DIR
#
# TOOLS_DIR holds simulate_log and simulate_binr; OUT_DIR gets nmea/, binr/ and
# settings/. A second run rewrites the same files.
set -euo pipefail

tools="$1"
out="$2"
here="$(cd "$(dirname "$0")/.." && pwd)"
shared="$here/../shared/testdata"
# The fuzzers run with -max_len of this many bytes.
limit=16384

mkdir -p "$out/nmea" "$out/binr" "$out/settings"

for version in 2.2 2.3 4.1; do
  for epochs in 1 4 12; do
    "$tools/simulate_log" --epochs "$epochs" --seed "$epochs" --nmea "$version" \
      --out "$out/nmea/sim-$version-$epochs.nmea"
  done
done
"$tools/simulate_log" --epochs 6 --seed 9 --whole-seconds --out "$out/nmea/sim-whole-seconds.nmea"
"$tools/simulate_log" --epochs 8 --seed 5 --rate 5 --out "$out/nmea/sim-5hz.nmea"
head -c "$limit" "$here/samples/sample.nmea" > "$out/nmea/sample.nmea"
head -c "$limit" "$here/tests/data/kml/mixed_epochs.nmea" > "$out/nmea/mixed-epochs.nmea"
if [[ -d "$shared/nmea" ]]; then
  for log in "$shared"/nmea/*.nmea; do
    head -c "$limit" "$log" > "$out/nmea/shared-$(basename "$log")"
  done
fi

# Logs that ask for extras: a log's last two bytes choose them, XORed with the
# format's usual ending (ExtrasFromLastBytes in fuzz/extras_checks.h).
#   with_extras LOG OUT MASK BEFORE LAST   BEFORE and LAST: the usual ending's bytes
with_extras() {
  local high low
  high=$(printf '%02x' $((($3 >> 8) ^ $4)))
  low=$(printf '%02x' $((($3 & 0xFF) ^ $5)))
  { head -c $((limit - 2)) "$1"; printf "\\x$high\\x$low"; } > "$2"
}
viewer=$((0x204F))   # the preset, thinning of each kind, a budget of 2, regions
report=$((0x0E80))   # the summary in the description, the plots, the window's summary, quality colours
dates=$((0x1120))    # dates from ZDA, speed colours, lines within 1 m
accuracy=$((0xC180)) # the track in time, the filters, the accuracy against the mean, error colours
for mask in viewer report dates accuracy; do
  with_extras "$out/nmea/sim-4.1-12.nmea" "$out/nmea/extras-$mask-sim.nmea" "${!mask}" 0x0D 0x0A
  with_extras "$out/nmea/sample.nmea" "$out/nmea/extras-$mask-sample.nmea" "${!mask}" 0x0D 0x0A
done

for epochs in 1 3 12; do
  "$tools/simulate_binr" --epochs "$epochs" --seed "$epochs" --out "$out/binr/sim-$epochs.binr"
done
"$tools/simulate_binr" --epochs 6 --seed 2 --acquire 3 --out "$out/binr/sim-acquire.binr"
for week in 0 1022 1023; do
  "$tools/simulate_binr" --epochs 2 --seed 4 --week "$week" --out "$out/binr/sim-week-$week.binr"
done
head -c "$limit" "$here/tests/data/binr/cold_start.binr" > "$out/binr/cold-start.binr"
for mask in viewer report dates accuracy; do
  with_extras "$out/binr/sim-12.binr" "$out/binr/extras-$mask-sim.binr" "${!mask}" 0x10 0x03
done

printf '[Settings]\r\nCheckBox1=1\r\nMaskEdit1=2013-04-07\r\nShapeStyleTrack=255\r\nShapeFullTrack=32768\r\nEdit3=5\r\nCheckBox2=1\r\nCheckBox4=0\r\nShapeRightPoint=16711680\r\nShapeIncorPoint=65535\r\nCheckBox3=1\r\nEdit4=0.5\r\nShapeDTrack=65280\r\nEdit7=7\r\nLeft=426\r\nTop=199\r\n' \
  > "$out/settings/full.ini"
printf '; comment\n[other]\nEdit3=9\n\n[ settings ]\nshapestyletrack = $FF\nEdit4 = "1.5"\nCheckBox2=-1\nEdit7=\n' \
  > "$out/settings/mixed.ini"
printf '[Settings]\nShapeDTrack=0x00FF00\nCheckBox1=0\nMaskEdit1=  -  -  \nEdit3=<&]]>' > "$out/settings/odd.ini"
printf '[Settings]\r\nCheckBox2=1\r\n[Extras]\r\nViewer=1\r\nThinSeconds=0.5\r\nMaxPlacemarks=2\r\nLineTolerance=0\r\nRegions=1\r\nSummaryInKml=1\r\nPlots=1\r\nColourBy=speed\r\nDateFromZda=1\r\nShowSummary=1\r\n' \
  > "$out/settings/extras.ini"
printf '[Extras]\nThinDegrees=180\nThinMetres=1e7\nMaxPlacemarks=1000000000\nLineTolerance=1000000\nColourBy=QUALITY\nSummary=1\nSummaryJson=1\n' \
  > "$out/settings/extras-ends.ini"
printf '[Extras]\r\nReferencePoint=mean\r\nColourBy=error\r\nTimeTrack=1\r\nMinQuality=single\r\nMaxHdop=5\r\nMinSatellites=4\r\nSummaryJson=1\r\n' \
  > "$out/settings/accuracy.ini"
