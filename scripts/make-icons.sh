#!/usr/bin/env bash
# Renders the program's icon into the hicolor theme's PNG sizes:
#   make-icons.sh SOURCE.svg OUTPUT_DIR [SIZE...]
# writes OUTPUT_DIR/<size>x<size>/apps/lumora.png for each size.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 SOURCE.svg OUTPUT_DIR [SIZE...]" >&2
  exit 2
fi
src=$1
out=$2
shift 2
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(16 22 24 32 48 64 128 256)

[ -f "$src" ] || { echo "$0: no icon at $src" >&2; exit 1; }
command -v rsvg-convert >/dev/null || { echo "$0: rsvg-convert is missing (Debian package librsvg2-bin)" >&2; exit 1; }

for s in "${sizes[@]}"; do
  case "$s" in ''|*[!0-9]*) echo "$0: \"$s\" is not a size in pixels" >&2; exit 2 ;; esac
  mkdir -p "$out/${s}x${s}/apps"
  # Written beside the target and moved in, so an interrupted run leaves no half-written picture.
  rsvg-convert --width "$s" --height "$s" --keep-aspect-ratio --format png \
    --output "$out/${s}x${s}/apps/lumora.png.tmp" "$src"
  mv -f "$out/${s}x${s}/apps/lumora.png.tmp" "$out/${s}x${s}/apps/lumora.png"
done
