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

packages=(cmake g++ make pkg-config libgtest-dev zlib1g-dev libpng-dev unzip libxml2-utils locales)
if [[ "$with_window" == "ON" ]]; then
  packages+=(qt6-base-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVO_WITH_WINDOW="$with_window" \
  -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-OFF}" >&2
cmake --build "$build_dir" -j2 >&2
