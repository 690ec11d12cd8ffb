#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each from its seed corpus for a while.
#   tests/fuzz/run.sh [seconds per target, default 60] [target ...]   (targets: playlist settings)
# Build folder: $LUMORA_FUZZ_BUILD, else build-fuzz/. Inputs found along the way go to its corpus/<target>/,
# a crashing input to its artifacts/<target>/; the seed corpora in tests/fuzz/corpus/ are only read.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

seconds=${1:-60}
[ $# -gt 0 ] && shift
# libFuzzer takes 0 as "for ever"; that is not a run that ends.
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: seconds must be a whole number above 0, not '$seconds'" >&2; exit 2; }
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(playlist settings)
build=${LUMORA_FUZZ_BUILD:-build-fuzz}

command -v clang++ >/dev/null || { echo "fuzz: clang++ is not installed (scripts/setup.sh installs it)" >&2; exit 1; }

[ -f "$build/build.ninja" ] ||
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_FUZZ=ON >/dev/null
present=()
for t in "${targets[@]}"; do
  if [ -f "tests/fuzz/${t}_fuzz.cpp" ]; then present+=("$t"); else echo "fuzz: no target $t, skipped"; fi
done
[ ${#present[@]} -gt 0 ] || { echo "fuzz: nothing to run" >&2; exit 1; }
cmake --build "$build" --parallel "$(nproc)" --target "${present[@]/%/_fuzz}"

# Leaks count as findings, with the same system-library exceptions as the sanitized suite.
export ASAN_OPTIONS="detect_leaks=1:suppressions=$root/tests/asan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/ubsan.supp"
export LSAN_OPTIONS="print_suppressions=0:suppressions=$root/tests/lsan.supp"

failed=()
summary=()
for t in "${present[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/artifacts/$t"
  log="$build/fuzz-$t.log"
  echo "fuzz: $t for ${seconds} s (log $log)"
  if "$build/tests/fuzz/${t}_fuzz" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout=25 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" "$build/corpus/$t" "tests/fuzz/corpus/$t" \
      >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    summary+=("$t ${runs:-?} runs")
  else
    echo "---- $t: last lines of $log"
    tail -n 60 "$log"
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]} (crashing inputs in $build/artifacts/)"
  exit 1
fi
echo "fuzz: no crash in ${seconds} s each: $(IFS=,; echo "${summary[*]}" | sed 's/,/, /g')"
