#!/usr/bin/env bash
# Sets up and builds like run.sh, then makes the Debian package with cpack:
#   scripts/package.sh [OUTPUT_DIR]     (default: build/)
# and prints where the .deb is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build}

"$root/scripts/setup.sh"
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Only this run's package is reported, not one left from an earlier version.
stamp=$(mktemp)
trap 'rm -f "$stamp"' EXIT
(cd "$root/build" && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"

deb=$(find "$out" -maxdepth 1 -name 'lumora_*.deb' -newer "$stamp" -print | sort | tail -n 1)
[ -n "$deb" ] || { echo "package.sh: cpack made no lumora_*.deb in $out" >&2; exit 1; }
echo
echo "Package: $deb"
sudo="sudo "
[ "$(id -u)" -ne 0 ] || sudo=""
echo "Install it with: ${sudo}apt-get install $deb"
