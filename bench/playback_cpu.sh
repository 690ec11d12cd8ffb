#!/bin/bash
# CPU time and peak memory of Lumora's full-screen player against a stand-alone mpv playing the
# same 1080p clip full screen on the same virtual X server. See bench/README.md.
#
# Usage: bench/playback_cpu.sh [SECONDS]      (default 20; LUMORA=path overrides build/lumora,
#                                              CODEC=h264|mpeg2 picks the clip's codec)
set -eu

seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}
codec=${CODEC:-h264}

for tool in ffmpeg Xvfb xdotool mpv /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$lumora" ] || { echo "no $lumora: build it first" >&2; exit 2; }

work=$(mktemp -d /tmp/lumora-bench.XXXXXX)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# No audio track: under Xvfb Lumora has no sound device, and mpv gets --ao=null; the comparison
# is about decoding and drawing the picture.
case $codec in
    h264) clip=$work/clip.mp4; encode=(-c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p) ;;
    mpeg2) clip=$work/clip.mpg; encode=(-c:v mpeg2video -q:v 4) ;;
    *) echo "CODEC must be h264 or mpeg2" >&2; exit 2 ;;
esac
echo "making a 20 s 1920x1080 30 fps $codec clip..."
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=20 "${encode[@]}" "$clip"

display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "Xvfb did not start on $DISPLAY" >&2; exit 1; }

# Runs "$@" under /usr/bin/time for $seconds, then ends it with the given action; leaves
# "user sys maxrss_kb" in $work/$name.time.
measure() {
    local name=$1 ending=$2
    shift 2
    xdotool mousemove 960 540
    /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 &
    local timer=$!
    sleep "$seconds"
    local child
    child=$(pgrep -P "$timer" || true)
    if [ -z "$child" ]; then
        echo "warning: $name ended before $seconds s (see its output below)" >&2
        cat "$work/$name.log" >&2
    elif [ "$ending" = mouse ]; then
        # The screen saver ends on the user's first real mouse movement.
        for step in 1 2 3; do xdotool mousemove_relative -- 50 0; sleep 0.2; done
        for _ in $(seq 50); do kill -0 "$child" 2>/dev/null || break; sleep 0.1; done
        if kill -0 "$child" 2>/dev/null; then
            echo "warning: $name did not end on mouse movement; terminated" >&2
            kill "$child"
        fi
    else
        kill "$child"
    fi
    wait "$timer" || true
}

config=$work/config
mkdir -p "$config/larkspur"
cat >"$config/larkspur/lumora.ini" <<INI
[lumora]
AbsoluteFullScreenDisplayMode=True
OneEighthScreenDisplayMode=False
PlaySingleFile=True
VideoFile=$clip
INI

echo "lumora /s for $seconds s..."
XDG_CONFIG_HOME=$config measure lumora mouse "$lumora" /s
echo "mpv --fs --loop for $seconds s..."
measure mpv kill mpv --no-config --no-terminal --fs --loop=inf --ao=null --vo=x11 --hwdec=auto-safe \
    --stop-screensaver=no "$clip"

read -r lu ls lm <"$work/lumora.time" || true
read -r mu ms mm <"$work/mpv.time" || true
# /usr/bin/time writes a "Command terminated by signal" line first when the program was killed.
[ "$(wc -l <"$work/lumora.time")" -gt 1 ] && read -r lu ls lm < <(tail -1 "$work/lumora.time")
[ "$(wc -l <"$work/mpv.time")" -gt 1 ] && read -r mu ms mm < <(tail -1 "$work/mpv.time")

awk -v lu="$lu" -v ls="$ls" -v lm="$lm" -v mu="$mu" -v ms="$ms" -v mm="$mm" -v n="$seconds" -v c="$codec" 'BEGIN {
    lc = lu + ls; mc = mu + ms
    printf "\n%s s of 1920x1080 30 fps %s, full screen on Xvfb\n", n, c
    printf "%-8s %12s %10s %14s\n", "", "CPU s", "CPU %", "peak RSS MiB"
    printf "%-8s %12.2f %10.1f %14.1f\n", "lumora", lc, 100 * lc / n, lm / 1024
    printf "%-8s %12.2f %10.1f %14.1f\n", "mpv", mc, 100 * mc / n, mm / 1024
    if (mc > 0 && mm > 0) printf "%-8s %12.2f %10s %14.2f\n", "ratio", lc / mc, "", lm / mm
}'
