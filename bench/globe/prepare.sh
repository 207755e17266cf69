#!/usr/bin/env bash
# Makes driver.mjs runnable, installing only what is missing: Chromium, and
# Node.js and npm when there is no node or npm, through
# scripts/install_packages.sh; then `npm ci` here when node_modules is missing
# or was installed from another package-lock.json. Playwright downloads no
# browser: driver.mjs runs Debian's /usr/bin/chromium (or TERVO_CHROMIUM).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

# One at a time: two runs must not install packages or npm ci together.
exec 9>"${TMPDIR:-/tmp}/tervo-globe-prepare.lock"
flock 9

packages=()
if [[ -z "${TERVO_CHROMIUM:-}" ]]; then packages+=(chromium); fi
if ! command -v node >/dev/null 2>&1; then packages+=(nodejs); fi
if ! command -v npm >/dev/null 2>&1; then packages+=(npm); fi
if ((${#packages[@]})); then "$here/../../scripts/install_packages.sh" "${packages[@]}"; fi

if (($(node -p 'process.versions.node.split(".")[0]') < 20)); then
  echo "bench/globe needs Node.js 20 or later (for playwright-core); this is $(node --version)" >&2
  exit 1
fi

cd "$here"
if ! cmp -s package-lock.json node_modules/.tervo-package-lock.json; then
  echo "Installing bench/globe's npm packages (npm ci)" >&2
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >&2
  cp package-lock.json node_modules/.tervo-package-lock.json
fi
