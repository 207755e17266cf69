#!/usr/bin/env bash
# Sets everything up, converts the bundled sample log into a KMZ file and says
# where it is. Only the program is built, with the build settings of the test
# command (scripts/run_tests.sh), which then builds no more than the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
log="build/sample-build.log"
echo "Building tervoconverter (this takes a few minutes the first time)..." >&2
TERVO_BUILD_LOG="$log" scripts/setup.sh build tervoconverter
mkdir -p out
out_dir="$(pwd)/out"
echo "Converting samples/sample.nmea..." >&2
if ! messages="$(build/app/tervoconverter "$(pwd)/samples/sample.nmea" "$out_dir/sample.kmz" 2>&1)"; then
  echo "$messages" >&2
  echo "The conversion failed." >&2
  exit 1
fi
echo "The KMZ file is at: $out_dir/sample.kmz"
