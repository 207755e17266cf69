#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets: logs of our simulators in each
# of their forms, our sample and test logs, the shared receiver logs when that
# folder exists (each cut to the fuzzers' input limit), and a few settings files.
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

for epochs in 1 3 12; do
  "$tools/simulate_binr" --epochs "$epochs" --seed "$epochs" --out "$out/binr/sim-$epochs.binr"
done
"$tools/simulate_binr" --epochs 6 --seed 2 --acquire 3 --out "$out/binr/sim-acquire.binr"
for week in 0 1022 1023; do
  "$tools/simulate_binr" --epochs 2 --seed 4 --week "$week" --out "$out/binr/sim-week-$week.binr"
done
head -c "$limit" "$here/tests/data/binr/cold_start.binr" > "$out/binr/cold-start.binr"

printf '[Settings]\r\nCheckBox1=1\r\nMaskEdit1=2013-04-07\r\nShapeStyleTrack=255\r\nShapeFullTrack=32768\r\nEdit3=5\r\nCheckBox2=1\r\nCheckBox4=0\r\nShapeRightPoint=16711680\r\nShapeIncorPoint=65535\r\nCheckBox3=1\r\nEdit4=0.5\r\nShapeDTrack=65280\r\nEdit7=7\r\nLeft=426\r\nTop=199\r\n' \
  > "$out/settings/full.ini"
printf '; comment\n[other]\nEdit3=9\n\n[ settings ]\nshapestyletrack = $FF\nEdit4 = "1.5"\nCheckBox2=-1\nEdit7=\n' \
  > "$out/settings/mixed.ini"
printf '[Settings]\nShapeDTrack=0x00FF00\nCheckBox1=0\nMaskEdit1=  -  -  \nEdit3=<&]]>' > "$out/settings/odd.ini"
