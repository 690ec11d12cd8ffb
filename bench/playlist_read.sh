#!/bin/bash
# Wall time and peak memory of the play-list reader on junk and on a full list, against wc -l and
# head -n reading the same files in the same run. See bench/README.md.
#
# Usage: bench/playlist_read.sh [MiB]      (default 300: size of the junk files;
#                                          READER=path overrides build/playlist_read)
set -eu

mib=${1:-300}
runs=5
here=$(cd "$(dirname "$0")" && pwd)
reader=${READER:-$here/../build/playlist_read}

for tool in /usr/bin/time wc head tr yes awk; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install time)" >&2; exit 2; }
done
[ -x "$reader" ] || {
    echo "no $reader: build it first (cmake --build build --target playlist_read)" >&2
    exit 2
}

work=$(mktemp -d /tmp/lumora-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM

echo "making the files ($mib MiB of junk twice, a 32,767-entry list)..."
# Random bytes without a line end: the reader has to pass over the whole line to find its end.
head -c "${mib}M" /dev/urandom | tr -d '\n' >"$work/one-line"
# Short lines whose second line announces the most entries a list may hold: the reader takes the
# header, the count and 32,767 lines of junk as entries, and stops there.
yes '32767 lines of junk that are no media paths, one after another, for ever and ever' |
    head -c "${mib}M" >"$work/junk-lines"
{
    printf '1000\r\n 32767 \r\n'
    for ((i = 0; i < 32767; i++)); do printf '/home/someone/Videos/holidays %d/clip %05d.mpg\r\n' $((i / 100)) "$i"; done
} >"$work/list"
: >"$work/empty"

# Runs "$@" $runs times under /usr/bin/time; leaves the best run's "seconds peak_kib" in $work/last
# (the elapsed time from bash's clock in microseconds, as %e only has hundredths) and its output in
# $work/out.
measure() {
    local best_us= best_kib= us start out
    for ((r = 0; r < runs; r++)); do
        start=${EPOCHREALTIME/./}
        # The peers' output goes nowhere, so head -n does not pay for writing a file.
        if [ "$1" = "$reader" ]; then out=$work/out.$r; else out=/dev/null; fi
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$out" 2>/dev/null
        us=$((${EPOCHREALTIME/./} - start))
        read -r _ kib <"$work/time"
        if [ -z "$best_us" ] || [ "$us" -lt "$best_us" ]; then
            best_us=$us best_kib=$kib
            [ "$out" = /dev/null ] || cp "$out" "$work/out"
        fi
    done
    echo "$best_us $best_kib" >"$work/last"
}

# One table row per reader/peer pair: name, reader figures, peer name, peer figures.
rows=()
compare() {
    local name=$1 file=$2 peer=$3
    shift 3
    measure "$reader" "$file"
    local gave
    gave=$(cat "$work/out")
    read -r rus rkib <"$work/last"
    measure "$@" "$file"
    read -r pus pkib <"$work/last"
    rows+=("$name|$rus|$rkib|$peer|$pus|$pkib|$gave")
}

echo "reading, best of $runs runs each..."
compare "empty file (start-up)" "$work/empty" "wc -l" wc -l
compare "$mib MiB, one line" "$work/one-line" "wc -l" wc -l
compare "$mib MiB, junk lines" "$work/junk-lines" "wc -l" wc -l
compare "$mib MiB, junk lines" "$work/junk-lines" "head -n 32769" head -n 32769
compare "32,767 entries" "$work/list" "wc -l" wc -l

printf '\n%-22s %10s %9s   %-14s %10s %9s   %8s %8s\n' "" "reader ms" "peak MiB" "peer" "peer ms" \
    "peak MiB" "time x" "memory x"
for row in "${rows[@]}"; do
    IFS='|' read -r name rus rkib peer pus pkib gave <<<"$row"
    awk -v n="$name" -v ru="$rus" -v rk="$rkib" -v p="$peer" -v pu="$pus" -v pk="$pkib" 'BEGIN {
        printf "%-22s %10.1f %9.1f   %-14s %10.1f %9.1f   %8.2f %8.2f\n", n, ru / 1000, rk / 1024, p,
            pu / 1000, pk / 1024, ru / pu, rk / pk
    }'
done
echo
echo "what the reader gave:"
for row in "${rows[@]}"; do
    IFS='|' read -r name _ _ _ _ _ gave <<<"$row"
    printf '  %-22s %s\n' "$name" "$gave"
done

# The goals, from the rows above: process time and peak memory on the junk, and for the full list
# both the process time (library loading included) and the reader's own time.
row() { printf '%s\n' "${rows[@]}" | sed -n "${1}p"; }
awk -v line="$(row 2)" -v lines="$(row 3)" -v list="$(row 5)" 'BEGIN {
    split(line, a, "|"); split(lines, b, "|"); split(list, c, "|"); split(c[7], own, " ")
    ok = a[2] < 1e6 && b[2] < 1e6 && a[3] < 50 * 1024 && b[3] < 50 * 1024
    printf "\ngoal: junk under 1 s and 50 MiB: one line %.2f s, %.1f MiB; junk lines %.2f s, %.1f MiB: %s\n",
        a[2] / 1e6, a[3] / 1024, b[2] / 1e6, b[3] / 1024, ok ? "met" : "NOT met"
    printf "goal: 32,767 entries under 100 ms: %.1f ms the process, %.1f ms in the reader: %s\n",
        c[2] / 1000, own[1], c[2] < 1e5 ? "met" : "NOT met"
}'
