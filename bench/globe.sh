#!/usr/bin/env bash
# Loads each KMZ file into CesiumJS in headless Chromium and prints a table:
# file, size, seconds to loaded, seconds to the first complete frame, entities,
# billboards, polylines, console errors, requests blocked. Exits non-zero when a
# file fails to load. What is timed is described at the top of
# bench/globe/globe.js.
#
#   bash bench/globe.sh [--timeout S] [--screenshots DIR] KMZ...
#
# --timeout S        seconds per file (default TERVO_GLOBE_TIMEOUT or 900)
# --screenshots DIR  save each file's first complete frame there as a PNG
#
# Installs what is missing first (Chromium, Node.js, the npm packages of
# bench/globe). The page is served on 127.0.0.1 and nothing else is reached:
# every other request is blocked and counted.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/globe/prepare.sh"
exec node "$here/globe/driver.mjs" bench "$@"
