#!/usr/bin/env bash
# Builds the converter and its tests with ThreadSanitizer (the `tsan` preset, in
# build-tsan, without the window) and runs every test that starts threads: those
# labelled `threads` (the chunked deflate, whole conversions with the waypoint
# folder written on its own thread, day-long logs in both formats, the 100 MB
# logs, the program's batch runs). Any race report ends the test that made it (exit code 66), and
# with it the script; it ends with ctest's summary.
#
# TERVO_WARNINGS_AS_ERRORS  default ON, as for the other builds of scripts/run_tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libtsan2 libgtest-dev zlib1g-dev libpng-dev unzip libxml2-utils locales)
scripts/install_packages.sh "${packages[@]}"

cmake --preset tsan -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-ON}" >&2
cmake --build --preset tsan >&2
# The preset adds halt_on_error=1 exitcode=66 to TSAN_OPTIONS for every test,
# and so for the programs and simulators the tests start.
ctest --preset tsan
