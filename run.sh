#!/usr/bin/env bash
# Sets up, builds and runs the screen saver with the given switch (/s run, /c configure, /p id, /a id).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh --run
exec build/lumora "$@"
