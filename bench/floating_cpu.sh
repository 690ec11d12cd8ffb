#!/bin/bash
# CPU time and peak memory of Lumora's floating player (one-fourth screen, moving every 50 ms and
# every 1 ms) against its full-screen player, on the same 1080p clip and a fresh virtual X server
# for each run, with that server's own CPU time. See bench/README.md.
#
# Usage: bench/floating_cpu.sh [SECONDS]      (default 20; LUMORA=path overrides build/lumora)
set -eu

seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}
. "$here/common.sh"

need_tools ffmpeg Xvfb xdotool /usr/bin/time
need_program "$lumora"

work=$(mktemp -d /tmp/lumora-floating.XXXXXX)
cleanup_on_exit cleanup

# A clip like those of playback_cpu.sh: no audio track, so only decoding and drawing are compared.
clip=$work/clip.mp4
echo "making a 20 s 1920x1080 30 fps h264 clip..."
pattern_clip "$clip" 1920 1080 30 20

# The pointer rests in the bottom-left corner and moves right along the bottom edge: the floating
# player starts at 8,8 and drifts right and down, so at 50 ms it is nowhere near for a minute, and
# at 1 ms it touches a corner only at the moment it bounces there.
park_x=2 park_y=1077

# Runs lumora /s with the settings in $work/$name for $seconds on a fresh server, then ends it as a
# user would: mouse movement, then a key if the movement did not end it, and only then a signal.
# Leaves "user sys maxrss_kb" in $work/$name.time and "xvfb_s gui_s ending" in $work/$name.extra.
measure() {
    local name=$1
    # A fresh server per run, so its CPU time belongs to that run alone, clear of the displays the
    # other benchmarks take.
    start_xvfb 140 149
    xdotool mousemove "$park_x" "$park_y"
    local xvfb_before
    xvfb_before=$(cpu_of "/proc/$xvfb_pid/stat")
    XDG_CONFIG_HOME=$work/$name /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$lumora" /s \
        >"$work/$name.log" 2>&1 &
    local timer=$!
    sleep "$seconds"
    local child ending=killed gui=0
    child=$(pgrep -P "$timer" || true)
    if [ -z "$child" ]; then
        echo "warning: $name ended before $seconds s (see its output below)" >&2
        cat "$work/$name.log" >&2
        ending=early
    else
        # The GUI thread is the one whose id is the process id: it paints, moves and flushes.
        gui=$(cpu_of "/proc/$child/task/$child/stat")
        ended() { ! kill -0 "$child" 2>/dev/null; }
        wait_end() { for _ in $(seq "$1"); do ended && return 0; sleep 0.1; done; ended; }
        for round in 1 2 3; do
            xdotool mousemove "$park_x" "$park_y"
            for step in 1 2 3; do xdotool mousemove_relative -- 50 0; sleep 0.2; done
            if wait_end 20; then ending=mouse; break; fi
        done
        if [ "$ending" = killed ]; then
            xdotool key x
            wait_end 50 && ending=key
        fi
        if [ "$ending" = killed ]; then
            echo "warning: $name did not end on mouse movement nor on a key; terminated" >&2
            kill "$child"
        fi
    fi
    wait "$timer" || true
    local xvfb_after
    xvfb_after=$(cpu_of "/proc/$xvfb_pid/stat")
    stop_xvfb
    echo "$(awk -v a="$xvfb_after" -v b="$xvfb_before" 'BEGIN { printf "%.2f", a - b }') $gui $ending" \
        >"$work/$name.extra"
    # /usr/bin/time writes a "Command terminated by signal" line first when the program was killed.
    tail -1 "$work/$name.time" >"$work/$name.last"
}

settings_file full AbsoluteFullScreenDisplayMode=True OneEighthScreenDisplayMode=False PlaySingleFile=True \
    "VideoFile=$clip"
floating=(AbsoluteFullScreenDisplayMode=False OneEighthScreenDisplayMode=False OneFourthScreenDisplayMode=True
    MovieWillFloat=1)
settings_file float50 "${floating[@]}" MovingMovieSpeed=50 PlaySingleFile=True "VideoFile=$clip"
settings_file float1 "${floating[@]}" MovingMovieSpeed=1 PlaySingleFile=True "VideoFile=$clip"

echo "lumora /s full screen for $seconds s..."
measure full
echo "lumora /s floating one-fourth, a move every 50 ms, for $seconds s..."
measure float50
echo "lumora /s floating one-fourth, a move every 1 ms, for $seconds s..."
measure float1

for name in full float50 float1; do
    read -r u s m <"$work/$name.last"
    read -r x g e <"$work/$name.extra"
    echo "$name $u $s $m $x $g $e"
done | awk -v n="$seconds" '
{ label[NR] = $1; cpu[NR] = $2 + $3; rss[NR] = $4 / 1024; xs[NR] = $5; gui[NR] = $6; end[NR] = $7 }
function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
END {
    name["full"] = "full screen"; name["float50"] = "floating 50 ms"; name["float1"] = "floating 1 ms"
    printf "\n%s s of 1920x1080 30 fps h264 on Xvfb 1920x1080 (a fresh server per run)\n", n
    printf "%-16s %8s %8s %13s %14s %12s  %s\n", "lumora", "CPU s", "CPU %", "peak RSS MiB",
        "Xvfb CPU s", "GUI thr. s", "ended by"
    for (i = 1; i <= NR; i++)
        printf "%-16s %8.2f %8.1f %13.1f %14.2f %12.2f  %s\n", name[label[i]], cpu[i], 100 * cpu[i] / n,
            rss[i], xs[i], gui[i], end[i]
    printf "\n%-30s %8s %8s %13s %14s\n", "ratio", "CPU", "", "peak RSS", "Xvfb CPU"
    printf "%-30s %8s %8s %13s %14s   (target: CPU <= 1.0)\n", "floating 50 ms / full screen",
        ratio(cpu[2], cpu[1]), "", ratio(rss[2], rss[1]), ratio(xs[2], xs[1])
    printf "%-30s %8s %8s %13s %14s   (target: CPU <= 1.5)\n", "floating 1 ms / 50 ms",
        ratio(cpu[3], cpu[2]), "", ratio(rss[3], rss[2]), ratio(xs[3], xs[2])
    printf "\nCPU s, CPU %% and peak RSS are lumora'\''s own (user+system, start to exit); Xvfb CPU s is the\n"
    printf "X server'\''s user+system time over the same run; GUI thr. s is lumora'\''s main thread up to the end.\n"
}'
