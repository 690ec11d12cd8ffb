#!/bin/bash
# What Lumora costs while every monitor is off, against playing: the full-screen player on a 1080p
# clip, the program's CPU and the X server's per 10 s, once playing and once with the monitors "off".
# No X server that runs here can power a monitor off, so the program is told through its test seam,
# LUMORA_TEST_MONITOR_POWER_FILE, a file it reads as the monitors' power state. Each round is one run
# of the program on a fresh Xvfb; the rounds alternate which of the two is measured first. See
# bench/README.md.
#
# Usage: bench/monitors_off_cpu.sh [SECONDS]    (default 10: length of each measurement, 5 or more;
#                                               LUMORA=path overrides build/lumora, ROUNDS=n the 3
#                                               rounds, KEEP=1 keeps the logs)
set -eu

seconds=${1:-10}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}
. "$here/common.sh"
rounds=${ROUNDS:-3}
need_whole SECONDS "$seconds" 5
need_whole ROUNDS "$rounds" 1
need_tools ffmpeg Xvfb xdotool
need_program "$lumora"

work=$(mktemp -d /tmp/lumora-monitors-off.XXXXXX)
cleanup_on_exit cleanup

take_program "$work/program"

# As in playback_cpu.sh: no sound, so only decoding and drawing count.
echo "making a 10 s 1920x1080 30 fps h264 clip..."
pattern_clip "$work/clip.mp4" 1920 1080 30 10
settings_file cfg AbsoluteFullScreenDisplayMode=True OneEighthScreenDisplayMode=False PlaySingleFile=True \
    "VideoFile=$work/clip.mp4"
power=$work/monitor-power

# CPU seconds of the program and of the server over $seconds, scaled to 10 s: "program x-server".
measure() {
    local p0 x0 p1 x1
    p0=$(cpu_of "/proc/$running/stat")
    x0=$(cpu_of "/proc/$xvfb_pid/stat")
    sleep "$seconds"
    p1=$(cpu_of "/proc/$running/stat")
    x1=$(cpu_of "/proc/$xvfb_pid/stat")
    awk -v a="$p0" -v b="$p1" -v c="$x0" -v d="$x1" -v s="$seconds" \
        'BEGIN { printf "%.3f %.3f\n", (b - a) * 10 / s, (d - c) * 10 / s }'
}

# One run: playing and "off", in the order given, each measured after 3 s to settle (the start, or
# the change of power state). Appends "round state program x-server" lines to $work/runs.txt.
run_round() { # round first-state second-state
    local round=$1 state
    echo on >"$power"
    # A fresh server for each round, so its CPU time belongs to that round alone.
    start_xvfb 170 179 -br
    xdotool mousemove 960 540
    XDG_CONFIG_HOME=$work/cfg LUMORA_TEST_MONITOR_POWER_FILE=$power "$lumora" /s >"$work/round-$round.log" 2>&1 &
    running=$!
    for state in "$2" "$3"; do
        if [ "$state" = off ]; then echo off >"$power"; else echo on >"$power"; fi
        sleep 3
        kill -0 "$running" 2>/dev/null || { echo "lumora ended early (round $round):" >&2; tail -5 "$work/round-$round.log" >&2; exit 1; }
        echo "$round $state $(measure)" >>"$work/runs.txt"
    done
    # Ended as a user would, by a key, while resting or playing.
    end_by_key "$running" 30 "round $round"
    wait "$running" 2>/dev/null || true
    running=
    grep -m1 "^lumora: rendering" "$work/round-$round.log" >>"$work/render.txt" || true
    stop_xvfb
}

echo "X server: Xvfb 1920x1080x24, a fresh one each round"
start_note
for round in $(seq "$rounds"); do
    if [ $((round % 2)) = 1 ]; then order="playing off"; else order="off playing"; fi
    echo "round $round of $rounds: $order ($seconds s each)..."
    # shellcheck disable=SC2086
    run_round "$round" $order
done

results_note
echo "CPU s per 10 s, median of $rounds rounds (user+sys from /proc: lumora, Xvfb, both)"
printf "%-24s %8s %8s %8s   %s\n" state lumora Xvfb total "every round (lumora+Xvfb)"
declare -A total
for state in playing off; do
    rows=$(awk -v s="$state" '$2 == s { print $3, $4, $3 + $4 }' "$work/runs.txt")
    total[$state]=$(median 3 <<<"$rows")
    printf "%-24s %8s %8s %8s   %s\n" "$state" "$(median 1 <<<"$rows")" "$(median 2 <<<"$rows")" \
        "${total[$state]}" "$(awk '{ printf "%s%.3f+%.3f", n++ ? "  " : "", $1, $2 }' <<<"$rows")"
done

echo
end_note
echo
echo "goals                                          value    goal"
# Three decimals: the goal is two hundredths.
goal_row "CPU incl. X, off / playing" "$(ratio "${total[off]}" "${total[playing]}" 3)" "<=" 0.02
