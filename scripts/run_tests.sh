#!/usr/bin/env bash
# Sets everything up and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
TERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-ON}" scripts/setup.sh build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2
