#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12 packages, only those that
# are missing: a second run installs nothing), then configures and builds.
#
#   scripts/setup.sh [BUILD_DIR]      default: build
#
# TERVO_WITH_WINDOW=OFF builds without Qt (and does not install it).
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir="${1:-build}"
with_window="${TERVO_WITH_WINDOW:-ON}"

packages=(cmake g++ make pkg-config libgtest-dev zlib1g-dev libpng-dev libcli11-dev unzip libxml2-utils locales)
if [[ "$with_window" == "ON" ]]; then
  packages+=(qt6-base-dev)
fi

scripts/install_packages.sh "${packages[@]}"

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVO_WITH_WINDOW="$with_window" \
  -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-OFF}" >&2
cmake --build "$build_dir" -j2 >&2
