#!/usr/bin/env bash
# Checks that every C++ file of ours matches .clang-format (Debian's
# clang-format, installed when missing). The generated arrow template is left
# as its generator writes it.
#
#   scripts/check_format.sh          report the files that differ, exit 1 if any
#   scripts/check_format.sh --fix    format them in place
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_packages.sh clang-format
mapfile -t files < <(git ls-files '*.cc' '*.h' | grep -v '^kml/arrow_template\.cc$')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
differ=()
for f in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    differ+=("$f")
  fi
done
if ((${#differ[@]})); then
  echo "These files differ from .clang-format (bash scripts/check_format.sh --fix formats them):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "All ${#files[@]} C++ files match .clang-format." >&2
