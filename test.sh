#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite; the end-to-end tests get an Xvfb of their own.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/tmp/lumora-xvfb.log 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done

export LUMORA_E2E_DISPLAY="$display"
cd build
ctest --output-on-failure --timeout 300 "$@"
