#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs the whole test suite; the end-to-end tests get an Xvfb
# of their own.
# --sanitize builds instead into build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the unit, widget, players-on-X (platform_x11) and end-to-end tests there; the end-to-end tests
# start that sanitized build of the program.
# --tsan builds into build-tsan/ with ThreadSanitizer and runs the tests of the threads: the render
# loops and the file check (platform_x11, platform_gui), the folder walk and the searches on it.
# Every other argument goes to ctest.
set -euo pipefail
cd "$(dirname "$0")"

mode=plain
args=()
for a in "$@"; do
  case "$a" in
    --sanitize) mode=asan ;;
    --tsan) mode=tsan ;;
    *) args+=("$a") ;;
  esac
done

label_given=0
for a in ${args[@]+"${args[@]}"}; do
  case "$a" in -L|--label-regex|-L*|--label-regex=*|-R|--tests-regex|-R*|--tests-regex=*) label_given=1 ;; esac
done

if [ "$mode" = plain ]; then
  LUMORA_WERROR=ON scripts/setup.sh
  build_dir=build
else
  # The packages setup.sh installs, checked without building build/: only a missing one runs it in full.
  eval "$(sed -n '/^run_packages=(/,/)/p;/^test_packages=(/,/)/p' scripts/setup.sh)"
  packages=("${run_packages[@]}" "${test_packages[@]}")
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || { scripts/setup.sh; break; }
  done
  supp="$PWD/tests"
  if [ "$mode" = asan ]; then
    build_dir=build-asan
    flag=-DLUMORA_SANITIZE=ON
  else
    build_dir=build-tsan
    flag=-DLUMORA_TSAN=ON
  fi
  # Warnings are errors here too: the sanitizers' instrumentation must not hide a new warning.
  if [ -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -DLUMORA_WERROR=ON >/dev/null
  else
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_WERROR=ON "$flag"
  fi
  if [ "$mode" = asan ]; then
    cmake --build "$build_dir" --parallel "$(nproc)"
  else
    # Only what the threads' tests need: the program and the end-to-end tests do not run here.
    cmake --build "$build_dir" --parallel "$(nproc)" --target platform_x11 platform_gui base_unit playlist_gui
  fi

  # Reports go to files as well as failing their process: the program the end-to-end tests start may
  # report after the test has looked, so the files are checked once ctest is done.
  logs="$PWD/$build_dir/sanitizer-reports"
  rm -rf "$logs"
  mkdir -p "$logs"
  # Open to every user, as /tmp is: the Wayland and hack tests run the program as nobody.
  chmod 1777 "$logs"
  if [ "$mode" = asan ]; then
    # Any report stops the process with a stack; leaks only the system libraries own are in lsan.supp.
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0:print_summary=1:suppressions=$supp/asan.supp:log_path=$logs/asan:log_exe_name=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:print_summary=1:suppressions=$supp/ubsan.supp:log_path=$logs/ubsan:log_exe_name=1"
    export LSAN_OPTIONS="detect_leaks=1:print_suppressions=0:suppressions=$supp/lsan.supp"
    # Every end-to-end test but those whose subject is time passing or a desktop around the program,
    # not a path of its own through the code: those paths run under the sanitizers in other tests,
    # and the minute and a half they take would put CI over its limit. The whole suite
    # runs them all.
    skipped=(
      'install\.e2e'                                 # the package and its installation
      'ThePictureStaysUpFromLoopToLoopAndItemToItem'  # half a minute of the rotation PlayListInOrder runs
      'MonitorSleep\.'                               # idle time growing while a run stands, CPU of a resting run
      'HackMode\.LeavesTheMonitorFreeToSleep'        # the same, in hack mode
      'OnADesktop\..*/(Xfwm4|Marco)'                  # the Openbox cases run the same program paths
    )
    [ "$label_given" = 1 ] ||
      args=(-L 'unit|gui|e2e' -E "$(IFS='|'; echo "${skipped[*]}")" ${args[@]+"${args[@]}"})
  else
    # Races in libraries that are not built with ThreadSanitizer, which it cannot follow, are in tsan.supp.
    # The clip maker runs ffmpeg from a process with threads; the child only execs, so it may fork.
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:print_suppressions=0:suppressions=$supp/tsan.supp:log_path=$logs/tsan:log_exe_name=1"
    [ "$label_given" = 1 ] ||
      args=(-R '^(platform_x11\.|platform_gui\.|base_unit\.FolderWalk|playlist_gui\.SearchTest)' ${args[@]+"${args[@]}"})
  fi
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
rc=0
ctest --output-on-failure --timeout 300 ${args[@]+"${args[@]}"} || rc=$?

if [ "$mode" != plain ]; then
  reports=("$logs"/*)
  if [ -e "${reports[0]}" ]; then
    for r in "${reports[@]}"; do echo "=== $r"; cat "$r"; done
    echo "sanitizer reports: ${#reports[@]} (in $logs)" >&2
    [ "$rc" != 0 ] || rc=1
  fi
fi
exit "$rc"
