#!/bin/bash
# Frames drawn and dropped, and how late the user-interface thread's timer fired (LUMORA_STATS), for
# the full-screen player on each surface (LUMORA_RENDER=software and opengl) on the same 1080p clip
# and a fresh Xvfb at 1920x1080 per run. See bench/README.md.
#
# Usage: bench/render_stats.sh [SECONDS]    (default 15; LUMORA=path overrides build/lumora,
#                                           FIRST_DISPLAY=n the first X display number tried, 160)
set -eu

seconds=${1:-15}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}

for tool in ffmpeg Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$lumora" ] || { echo "no $lumora: build it first" >&2; exit 2; }

work=$(mktemp -d /tmp/lumora-render.XXXXXX)
xvfb_pid=
stop_xvfb() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    xvfb_pid=
}
trap 'stop_xvfb; rm -rf "$work"' EXIT INT TERM

clip=$work/clip.mp4
echo "making a 20 s 1920x1080 30 fps h264 clip..."
ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=20 \
    -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p "$clip"

mkdir -p "$work/config/larkspur"
cat >"$work/config/larkspur/lumora.ini" <<INI
[lumora]
AbsoluteFullScreenDisplayMode=True
OneEighthScreenDisplayMode=False
PlaySingleFile=True
VideoFile=$clip
INI

for surface in software opengl; do
    display=${FIRST_DISPLAY:-160}
    while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
    xdotool mousemove 960 540
    echo "lumora /s with LUMORA_RENDER=$surface for $seconds s..."
    XDG_CONFIG_HOME=$work/config LUMORA_STATS=1 LUMORA_RENDER=$surface "$lumora" /s >"$work/$surface.log" 2>&1 &
    pid=$!
    sleep "$seconds"
    # The screen saver ends on the user's first real mouse movement, and prints its figures then.
    for _ in 1 2 3; do xdotool mousemove_relative -- 50 0; sleep 0.2; done
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && { echo "warning: it did not end on mouse movement" >&2; kill "$pid"; }
    wait "$pid" || true
    stop_xvfb
    grep -E '^lumora(-stats)?: ' "$work/$surface.log" | sed "s/^/  /"
done
