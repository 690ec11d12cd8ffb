#!/bin/bash
# How long the screen saver outlives its window after a key ends /s: the window is unmapped, then the
# process must be gone. Over RUNS starts (default 50) at random moments of the clip, against mpv
# playing the same clip full screen and quitting on the same key. See bench/README.md.
#
# Usage: bench/exit_after_close.sh [RUNS]      (LUMORA=path overrides build/lumora)
set -eu

runs=${1:-50}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}
. "$here/common.sh"
need_tools ffmpeg Xvfb xdotool mpv c++
need_program "$lumora"

work=$(mktemp -d /tmp/lumora-bench.XXXXXX)
cleanup_on_exit cleanup

c++ -O2 -std=c++17 -o "$work/key_exit" "$here/key_exit.cpp" -lXtst -lX11
# A clip with sound, as people's are: the sound output is part of what has to end.
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=30:duration=10 \
    -f lavfi -i sine=frequency=440:duration=10 -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac \
    -shortest "$work/clip.mp4"
settings_file cfg AbsoluteFullScreenDisplayMode=True OneEighthScreenDisplayMode=False PlaySingleFile=True \
    "VideoFile=$work/clip.mp4"
printf 'SPACE quit\n' >"$work/input.conf"

display=
for n in $(seq 60 89); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "$display" ] || { echo "no free display" >&2; exit 2; }
# -noreset: otherwise the server starts over each time its last client has gone, between two runs,
# and drops a program that connects meanwhile.
Xvfb "$display" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display XDG_CONFIG_HOME="$work/cfg" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

one() { # name title command...: prints "key-to-exit close-to-exit" in ms
    local title=$1; shift
    "$@" >/dev/null 2>&1 &
    running=$!
    local win
    win=$(xdotool search --sync --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
    sleep "0.$((RANDOM % 9 + 1))"
    # One that missed the key is ended here, and counted.
    "$work/key_exit" "$running" 10 "$win" || { echo "timeout timeout"; kill -9 "$running" 2>/dev/null; }
    wait "$running" 2>/dev/null || true
    running=
}

stats() { # file: worst and median of the second column, and how many runs missed the key
    echo "$(grep -c timeout "$1") missed the key;"
    grep -v timeout "$1" | sort -n -k2 | awk '{v[NR]=$2} END {printf "worst %.1f ms, median %.1f ms, over %d runs", v[NR], v[int((NR+1)/2)], NR}'
}

: >"$work/lumora.txt"
: >"$work/mpv.txt"
for i in $(seq "$runs"); do
    one "Screen Saver Main Form" "$lumora" /s >>"$work/lumora.txt"
    one "peer" mpv --no-config --fs --title=peer --ao=null --loop=inf --input-conf="$work/input.conf" \
        "$work/clip.mp4" >>"$work/mpv.txt"
done
echo "window closed to process gone, lumora: $(stats "$work/lumora.txt" | tr '\n' ' ')"
echo "window closed to process gone, mpv:    $(stats "$work/mpv.txt" | tr '\n' ' ')"
lw=$(grep -v timeout "$work/lumora.txt" | sort -n -k2 | tail -n 1 | awk '{print $2}')
mw=$(grep -v timeout "$work/mpv.txt" | sort -n -k2 | tail -n 1 | awk '{print $2}')
awk -v l="$lw" -v m="$mw" 'BEGIN { printf "worst case lumora/mpv: %.2f (goal: lumora under 150 ms)\n", (m > 0 ? l / m : 0) }'
