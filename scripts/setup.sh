#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12 packages, only those that
# are missing: a second run installs nothing), then configures and builds.
#
#   scripts/setup.sh [BUILD_DIR [TARGET...]]      default: build, every target
#
# TERVO_WITH_WINDOW=OFF builds without Qt (and does not install it).
# TERVO_WARNINGS_AS_ERRORS=OFF lets warnings pass (default ON). The sample and
# the test command both build through here with the same values, so that one
# reuses what the other built.
# TERVO_BUILD_LOG=FILE (relative to the checkout) sends the configure and
# compiler output to FILE instead of standard error; FILE is named only when
# the build fails.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir="${1:-build}"
targets=("${@:2}")
with_window="${TERVO_WITH_WINDOW:-ON}"

packages=(cmake g++ make pkg-config libgtest-dev zlib1g-dev libpng-dev libcli11-dev unzip libxml2-utils locales
  python3 python3-gdal gdal-bin
  libgeographiclib-dev libcairo2-dev fonts-dejavu-core
  # The live sources' tests: a pseudo-terminal pair, and gpsd fed by gpsfake.
  socat gpsd gpsd-clients)
if [[ "$with_window" == "ON" ]]; then
  packages+=(qt6-base-dev)
fi

scripts/install_packages.sh "${packages[@]}"

target_args=()
if ((${#targets[@]})); then
  target_args=(--target "${targets[@]}")
fi
build() {
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVO_WITH_WINDOW="$with_window" \
    -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-ON}"
  cmake --build "$build_dir" -j2 "${target_args[@]}"
}

if [[ -z "${TERVO_BUILD_LOG:-}" ]]; then
  build >&2
else
  mkdir -p "$(dirname "$TERVO_BUILD_LOG")"
  if ! build > "$TERVO_BUILD_LOG" 2>&1; then
    echo "The build failed; its output is in $(realpath "$TERVO_BUILD_LOG")" >&2
    exit 1
  fi
fi
