#!/bin/bash
# The searches' folder walk against find on the same tree with the same patterns, in one run: the
# time of each, their ratio, what each found (must be equal), and how soon Stop ends a walk.
#
# Usage: bench/search.sh [RUNS]        (default 5, the best run of each side counts;
#                                     BUILD=dir picks the build folder, default build/)
set -eu

runs=${1:-5}
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD:-$here/../build}

command -v find >/dev/null || { echo "missing: find" >&2; exit 2; }
[ -d "$build" ] || { echo "no build folder $build: configure one first (cmake -S . -B build)" >&2; exit 2; }
cmake --build "$build" --target search_bench >/dev/null
bench=$build/search_bench

work=$(mktemp -d /tmp/lumora-search-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
tree=$work/tree

echo "making the tree..."
"$bench" make "$tree"

# The same rules as the walk: names compared without case, hidden files and folders left out, only
# files (or links to files), one file system.
patterns=()
while IFS= read -r p; do
    [ ${#patterns[@]} -eq 0 ] || patterns+=(-o)
    patterns+=(-iname "$p")
done < <("$bench" patterns)
run_find() {
    find "$tree" -xdev -mindepth 1 -name '.*' -prune -o \( "${patterns[@]}" \) \( -type f -o -xtype f \) -print
}

echo "warming the cache..."
run_find >/dev/null
"$bench" walk "$tree" 1 >/dev/null

echo "timing, best of $runs runs each..."
read -r walk_ms walk_found walk_unreadable < <("$bench" walk "$tree" "$runs")
best_us=
for ((r = 0; r < runs; r++)); do
    start=${EPOCHREALTIME/./}
    find_found=$(run_find | wc -l)
    us=$((${EPOCHREALTIME/./} - start))
    if [ -z "$best_us" ] || [ "$us" -lt "$best_us" ]; then best_us=$us; fi
done
# For scale: find walking the same tree and matching nothing, which is all the work a walk cannot avoid.
plain_us=
for ((r = 0; r < runs; r++)); do
    start=${EPOCHREALTIME/./}
    find "$tree" -xdev >/dev/null
    us=$((${EPOCHREALTIME/./} - start))
    if [ -z "$plain_us" ] || [ "$us" -lt "$plain_us" ]; then plain_us=$us; fi
done
read -r stop_median stop_worst stopped stop_found < <("$bench" stop "$tree" "$runs")

awk -v w="$walk_ms" -v f="$best_us" -v p="$plain_us" -v wn="$walk_found" -v fn="$find_found" -v u="$walk_unreadable" \
    -v sm="$stop_median" -v sw="$stop_worst" -v st="$stopped" -v sf="$stop_found" -v n="$runs" 'BEGIN {
    fm = f / 1000
    printf "\n%-34s %10s %10s\n", "", "ms", "matches"
    printf "%-34s %10.1f %10d\n", "walk (FolderWalk, handed over)", w, wn
    printf "%-34s %10.1f %10d\n", "find -xdev -iname ... | wc -l", fm, fn
    printf "%-34s %10.1f\n", "find -xdev (no patterns)", p / 1000
    printf "%-34s %10.2f\n", "walk / find", w / fm
    printf "%-34s %10.2f\n", "walk / find without patterns", w / (p / 1000)
    printf "\nstop: a walk of the whole tree stopped 20 ms after its start ends in %.2f ms (median),\n", sm
    printf "      %.2f ms at worst; %d of %d walks were still running when stopped, %d matches each on average\n",
        sw, st, n, sf
    ok = 1
    if (wn != fn) { printf "\nMATCH COUNTS DIFFER\n"; ok = 0 }
    if (u != 0) { printf "\n%d folders could not be read\n", u; ok = 0 }
    printf "\ngoal: walk at least as fast as find: %s\n", w <= fm ? "met" : "NOT met"
    printf "goal: stop ends a walk within 50 ms: %s\n", sw <= 50 ? "met" : "NOT met"
    exit ok ? 0 : 1
}'
