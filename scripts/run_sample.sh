#!/usr/bin/env bash
# Sets everything up, converts the bundled sample log into a KMZ file and says
# where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
mkdir -p out
out_dir="$(pwd)/out"
build/app/tervoconverter "$(pwd)/samples/sample.nmea" "$out_dir/sample.kmz"
echo "The KMZ file is at: $out_dir/sample.kmz"
