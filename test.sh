#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite; the end-to-end tests get an Xvfb of their own.
# --sanitize builds instead into build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the unit and widget tests there; every other argument goes to ctest.
set -euo pipefail
cd "$(dirname "$0")"

sanitize=0
args=()
for a in "$@"; do
  if [ "$a" = "--sanitize" ]; then sanitize=1; else args+=("$a"); fi
done

if [ "$sanitize" = 0 ]; then
  scripts/setup.sh
  build_dir=build
else
  # The packages setup.sh installs, checked without building build/: only a missing one runs it in full.
  eval "$(sed -n '/^packages=(/,/)/p' scripts/setup.sh)"
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || { scripts/setup.sh; break; }
  done
  build_dir=build-asan
  [ -f "$build_dir/build.ninja" ] ||
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_SANITIZE=ON
  cmake --build "$build_dir" --parallel "$(nproc)"

  # Any report stops the test with a stack; leaks only the system libraries own are listed in lsan.supp.
  supp="$PWD/tests"
  export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0:print_summary=1:suppressions=$supp/asan.supp"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:print_summary=1:suppressions=$supp/ubsan.supp"
  export LSAN_OPTIONS="detect_leaks=1:print_suppressions=0:suppressions=$supp/lsan.supp"
  # Unit and widget tests unless the caller names labels of their own.
  label_given=0
  for a in ${args[@]+"${args[@]}"}; do
    case "$a" in -L|--label-regex|-L*|--label-regex=*) label_given=1 ;; esac
  done
  [ "$label_given" = 1 ] || args=(-L 'unit|gui' ${args[@]+"${args[@]}"})
fi

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
cd "$build_dir"
ctest --output-on-failure --timeout 300 ${args[@]+"${args[@]}"}
