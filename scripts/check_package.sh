#!/usr/bin/env bash
# Builds the Debian package and checks it as a user would get it: the program,
# its desktop entry, icons, manual page, bash completion and log type, the
# libraries it depends on, and that the packed program runs.
#
#   scripts/check_package.sh      the package is left in build-package/
#
# Install it with: apt install ./build-package/tervoconverter_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build-package

packages=(cmake g++ make pkg-config zlib1g-dev libpng-dev libcli11-dev libgeographiclib-dev libcairo2-dev
  fonts-dejavu-core qt6-base-dev qt6-qpa-plugins dpkg-dev file desktop-file-utils groff-base shared-mime-info
  libxml2-utils)
scripts/install_packages.sh "${packages[@]}"

# Only what the package holds is built: no tests, tools or benchmarks, and
# installing does not build everything first. -O2 as Debian builds its packages;
# the warnings stay warnings here (the test build fails on them).
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
  "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" -DBUILD_TESTING=OFF -DTERVO_WITH_WINDOW=ON \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DTERVO_WARNINGS_AS_ERRORS="${TERVO_WARNINGS_AS_ERRORS:-OFF}" >&2
cmake --build "$dir" -j2 --target tervoconverter desktop_icons >&2
rm -f "$dir"/tervoconverter_*.deb
(cd "$dir" && cpack -G DEB) >&2
debs=("$dir"/tervoconverter_*.deb)
if ((${#debs[@]} != 1)) || [[ ! -f "${debs[0]}" ]]; then
  echo "check_package: expected one package in $dir, found: ${debs[*]}" >&2
  exit 1
fi
deb="${debs[0]}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg-deb -c "$deb" > "$scratch/listing"
dpkg -x "$deb" "$root"
share="$root/usr/share"

# A grep at the end of a pipe reads to its end: "grep -q" leaves at the first
# match, and under pipefail the writer's broken pipe would fail the check.
passed=0
failed=0
check() {
  local what="$1"
  shift
  if "$@" > "$scratch/check.out" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "check_package: FAILED: $what" >&2
    sed 's/^/  /' "$scratch/check.out" >&2
  fi
}

listed() { grep -q " \./usr/$1\$" "$scratch/listing"; }

png_of_size() {
  file -b "$1" | grep "^PNG image data, $2 x $2," > /dev/null
}

man_page_renders() {
  local err
  err="$(groff -man -Tutf8 -ww "$share/man/man1/tervoconverter.1" 2>&1 > "$scratch/man.txt")"
  [[ -z "$err" ]] || { echo "$err"; return 1; }
  # Bold and italics come as overstrikes: a character, a backspace, a character.
  sed 's/.\x08//g' "$scratch/man.txt" | grep "^EXIT STATUS" > /dev/null
}

completes() {
  local line="$1" expected="$2"
  bash -c 'source "$1"; read -ra COMP_WORDS <<< "$2"; [[ "$2" == *" " ]] && COMP_WORDS+=("");
           COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tervoconverter; echo "${COMPREPLY[*]}"' \
    _ "$share/bash-completion/completions/tervoconverter" "$line" > "$scratch/completed"
  local got
  got="$(cat "$scratch/completed")"
  [[ "$got" == "$expected" ]] || { echo "'$line' gave '$got'"; return 1; }
}

log_type_registers() {
  mkdir -p "$scratch/mime/packages"
  cp "$share/mime/packages/tervoconverter.xml" "$scratch/mime/packages/"
  update-mime-database "$scratch/mime" && grep -q "^50:text/x-nmea:\*\.nmea$" "$scratch/mime/globs2"
}

depends_on() { dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -E "^ *$1" > /dev/null; }

version_runs() {
  local version
  version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tervoconverter" --version)"
  [[ "$version" == "tervoconverter $(dpkg-deb -f "$deb" Version)" ]] || { echo "$version"; return 1; }
}

check "the program in bin/" test -x "$root/usr/bin/tervoconverter"
check "the program listed" listed "bin/tervoconverter"
entry="$share/applications/tervoconverter.desktop"
check "the desktop entry valid" desktop-file-validate "$entry"
check "the desktop entry opens a file" grep -qx "Exec=tervoconverter %f" "$entry"
check "the desktop entry names the log type" grep -qx "MimeType=text/x-nmea;" "$entry"
for size in 48 128 256; do
  check "the ${size}-pixel icon" png_of_size "$share/icons/hicolor/${size}x${size}/apps/tervoconverter.png" \
    "$size"
done
check "the manual page renders without warnings" man_page_renders
check "completion of an option" completes "tervoconverter --fo" "--format"
check "completion of a format" completes "tervoconverter --format " "nmea binr"
check "the log type well-formed" xmllint --noout "$share/mime/packages/tervoconverter.xml"
check "the log type registers *.nmea" log_type_registers
check "Depends names Qt 6" depends_on "libqt6widgets6"
check "Depends names zlib" depends_on "zlib1g"
check "Depends names libpng" depends_on "libpng16-16"
check "Depends names Qt's platform plugins" depends_on "qt6-qpa-plugins"
check "the packed program prints its version" version_runs

if ((failed > 0)); then
  echo "check_package: $failed of $((passed + failed)) checks of $deb failed" >&2
  exit 1
fi
echo "check_package: all $passed checks of $deb passed"
