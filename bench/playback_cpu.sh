#!/bin/bash
# Lumora's full-screen player against a stand-alone mpv on the same clips and the same virtual X
# server: CPU including the X server's, frames shown and dropped, the user-interface thread's
# lateness, key-to-exit latency and start-up time to the first frame. See bench/README.md.
#
# Usage: bench/playback_cpu.sh [SECONDS]      (default 20: length of each CPU run; LUMORA=path
#                                              overrides build/lumora, LUMORA_RENDER is passed on)
set -eu

seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}
key_runs=10
start_runs=5

for tool in ffmpeg Xvfb xdotool mpv /usr/bin/time c++ pkg-config; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$lumora" ] || { echo "no $lumora: build it first" >&2; exit 2; }
[ -f /usr/include/X11/extensions/XTest.h ] || { echo "missing: libxtst-dev (XTest.h)" >&2; exit 2; }

work=$(mktemp -d /tmp/lumora-bench.XXXXXX)
xvfb_pid=
running=
cleanup() {
    # Only what this script started: the program of an interrupted run, then the X server.
    [ -n "$running" ] && kill "$running" 2>/dev/null && wait "$running" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

echo "building the helpers..."
c++ -O2 -std=c++17 -o "$work/first_frame" "$here/first_frame.cpp" $(pkg-config --cflags --libs xcb)
c++ -O2 -std=c++17 -o "$work/key_exit" "$here/key_exit.cpp" -lXtst -lX11

# No audio track in the clips: under Xvfb Lumora has no sound device, and mpv gets --ao=null; the
# comparison is about decoding and drawing the picture.
echo "making the clips..."
clip() { # name lavfi-source
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$2:rate=30:duration=10" \
        -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p "$work/$1.mp4"
}
clip c1080 testsrc2=size=1920x1080
clip c720 testsrc2=size=1280x720
# One solid colour no desktop shows, so the poller knows the clip's first frame when it sees it.
clip magenta color=c=magenta:size=1920x1080
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i sine=frequency=440:duration=60 "$work/sine.wav"

settings() { # name file
    mkdir -p "$work/$1/larkspur"
    printf '[lumora]\nAbsoluteFullScreenDisplayMode=True\nOneEighthScreenDisplayMode=False\nPlaySingleFile=True\nVideoFile=%s\n' \
        "$2" >"$work/$1/larkspur/lumora.ini"
}
settings cfg_c1080 "$work/c1080.mp4"
settings cfg_c720 "$work/c720.mp4"
settings cfg_magenta "$work/magenta.mp4"
settings cfg_sine "$work/sine.wav"

# mpv counts the frames it shows only indirectly: the playback position advances a frame at a time
# (across loops too), and the drop counters say how many of those never reached the screen.
cat >"$work/frames.lua" <<'LUA'
local passed, last, fps, duration = 0, nil, 0, 0
local drops, decoder_drops, delayed = 0, 0, 0
local function keep(name, set) mp.observe_property(name, "number", function(_, v) if v then set(v) end end) end
keep("container-fps", function(v) fps = v end)
keep("duration", function(v) duration = v end)
keep("frame-drop-count", function(v) drops = v end)
keep("decoder-frame-drop-count", function(v) decoder_drops = v end)
keep("vo-delayed-frame-count", function(v) delayed = v end)
keep("time-pos", function(t)
    if last ~= nil then
        if t >= last then passed = passed + (t - last) else passed = passed + (duration - last) + t end
    end
    last = t
end)
-- Properties are gone by shutdown, hence the copies above.
mp.register_event("shutdown", function()
    local through = last and math.floor(passed * fps + 0.5) + 1 or 0
    local f = io.open(mp.get_opt("frames-out"), "w")
    f:write(string.format("mpv-stats: frames-shown %d decoder-drops %d output-drops %d delayed %d\n",
        through - drops - decoder_drops, decoder_drops, drops, delayed))
    f:close()
end)
LUA

# A display below 10: mpv takes :10 and above for a remote one and leaves out shared memory.
display=
for d in 5 6 7 8 9; do
    [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
    # -br: a black root window, which a closed player uncovers.
    Xvfb ":$d" -screen 0 1920x1080x24 -br -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$d
    for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
    if kill -0 "$xvfb_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1; then display=$d; break; fi
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
done
[ -n "$display" ] || { echo "no free display among :5 to :9" >&2; exit 1; }
xdotool mousemove 960 540
clk_tck=$(getconf CLK_TCK)
xvfb_cpu() { awk -v hz="$clk_tck" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$xvfb_pid/stat"; }

mpv_args=(--no-config --fs --loop=inf --ao=null --vo=x11 --hwdec=auto-safe --stop-screensaver=no)
# --really-quiet rather than --no-terminal: without a terminal mpv dies of SIGTERM unhandled and
# its scripts never see the shutdown.
mpv_quiet=(--really-quiet)

# Without --loop: with it, --frames never ends playback.
timeout -s TERM 30 mpv -v --no-config --fs --ao=null --vo=x11 --hwdec=auto-safe --stop-screensaver=no --frames=15 \
    "$work/c1080.mp4" >"$work/shm.log" 2>&1 </dev/null || true
if grep -q "Shared memory" "$work/shm.log"; then
    shm="no: $(grep -m1 "Shared memory" "$work/shm.log")"
elif grep -q "XShm" "$work/shm.log"; then
    shm="yes (mpv -v: $(grep -m1 -o "Waiting for XShm.*" "$work/shm.log"))"
elif grep -q "vo/x11" "$work/shm.log"; then
    shm="yes (mpv -v said neither 'Shared memory not supported' nor 'Shared memory error')"
else
    shm="unknown (mpv's x11 output did not start)"
fi
echo "X server: Xvfb :$display 1920x1080x24, pid $xvfb_pid; mpv --vo=x11 uses X shared memory: $shm"
echo "LUMORA_RENDER=${LUMORA_RENDER-<unset>}; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# One CPU run of SECONDS: "$@" under GNU time; the X server's CPU read around it. Appends to
# $work/cpu.txt: case side program-cpu x-cpu peak-rss-kb frames-shown decoder-drops output-drops
# ui-p99 ui-max.
cpu_run() {
    local case=$1 side=$2
    shift 2
    local log=$work/$case-$side.log tfile=$work/time.txt x0 x1
    rm -f "$work/frames.txt" "$tfile"
    x0=$(xvfb_cpu)
    /usr/bin/time -f "%U %S %M" -o "$tfile" "$@" >"$log" 2>&1 &
    running=$!
    sleep "$seconds"
    local child
    child=$(pgrep -P "$running" || true)
    if [ -z "$child" ]; then
        echo "warning: $side ended before $seconds s:" >&2
        tail -5 "$log" >&2
    elif [ "$side" = lumora ]; then
        # Ended as a user would, by a key; its stats come on the way out.
        xdotool key space
        for _ in $(seq 100); do kill -0 "$child" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$child" 2>/dev/null && { echo "warning: lumora did not end on a key; terminated" >&2; kill "$child"; }
    else
        # SIGTERM, not SIGKILL: the frame counter writes on mpv's shutdown.
        kill -TERM "$child"
    fi
    wait "$running" || true
    running=
    x1=$(xvfb_cpu)
    [ "$side" = mpv ] && [ -f "$work/frames.txt" ] && cat "$work/frames.txt" >>"$log"
    grep -m1 "^lumora: rendering" "$log" >>"$work/render.txt" || true
    # GNU time puts "Command exited with non-zero status" or a signal line first.
    local u s m
    read -r u s m < <(tail -1 "$tfile")
    awk -v c="$case" -v side="$side" -v u="$u" -v s="$s" -v m="$m" -v x="$(awk -v a="$x0" -v b="$x1" 'BEGIN { print b - a }')" '
        /^(lumora|mpv)-stats: frames-(drawn|shown)/ { f += $3; dd += $5; od += $7; players++ }
        /^lumora-stats: ui-late/ { p99 = $3; mx = $5 }
        END {
            if (!players) f = dd = od = "?"
            if (p99 == "") p99 = mx = "-"
            print c, side, u + s, x, m, f, dd, od, p99, mx
        }' "$log" >>"$work/cpu.txt"
}

cases=(c1080 c720)
declare -A case_name=([c1080]="1920x1080 clip on 1920x1080" [c720]="1280x720 clip scaled to 1920x1080")
for c in "${cases[@]}"; do
    for round in 1 2 3; do
        echo "CPU, ${case_name[$c]}, round $round of 3: lumora, mpv ($seconds s each)..."
        XDG_CONFIG_HOME=$work/cfg_$c LUMORA_STATS=1 cpu_run "$c" lumora "$lumora" /s
        cpu_run "$c" mpv mpv "${mpv_args[@]}" "${mpv_quiet[@]}" --script="$work/frames.lua" \
            --script-opts=frames-out="$work/frames.txt" "$work/$c.mp4"
    done
done

# Key to exit: the same program playing the 1080p clip, and with a file that has no picture at all
# (a sine wave), alternately; the key goes in after 3 s, when playback has settled.
echo "key-to-exit, $key_runs runs each, alternating playing / no video..."
for i in $(seq "$key_runs"); do
    for kind in c1080 sine; do
        XDG_CONFIG_HOME=$work/cfg_$kind "$lumora" /s >"$work/key-$kind.log" 2>&1 &
        running=$!
        sleep 3
        if ! kill -0 "$running" 2>/dev/null; then
            echo "warning: lumora with $kind ended before the key:" >&2
            tail -5 "$work/key-$kind.log" >&2
        elif ms=$("$work/key_exit" "$running" 10); then
            echo "$kind $ms" >>"$work/key.txt"
        else
            kill "$running" 2>/dev/null || true
        fi
        wait "$running" || true
        running=
    done
done

# Start-up: from starting the program to the magenta clip's first frame at the screen's centre;
# the helper waits for a black centre first, so each run starts from an empty screen.
echo "start-up, $start_runs runs each, alternating lumora / mpv..."
for i in $(seq "$start_runs"); do
    if ms=$(XDG_CONFIG_HOME=$work/cfg_magenta "$work/first_frame" ff00ff "$lumora" /s 2>>"$work/start-lumora.log"); then
        echo "lumora $ms" >>"$work/start.txt"
    else
        tail -3 "$work/start-lumora.log" >&2
    fi
    if ms=$("$work/first_frame" ff00ff mpv "${mpv_args[@]}" "${mpv_quiet[@]}" "$work/magenta.mp4" 2>>"$work/start-mpv.log"); then
        echo "mpv $ms" >>"$work/start.txt"
    else
        tail -3 "$work/start-mpv.log" >&2
    fi
done

median() { # column number, then lines on stdin; "?" when there are none or a value is not a number
    awk -v k="$1" '{ if ($k == "-") dash = 1; else if ($k !~ /^-?[0-9.]+$/) bad = 1; v[++n] = $k }
        END {
            if (dash) { print "-"; exit }
            if (!n || bad) { print "?"; exit }
            for (i = 2; i <= n; i++) { x = v[i]; for (j = i - 1; j > 0 && v[j] > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
            print (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }'
}
two() { awk -v v="$1" 'BEGIN { if (v ~ /^-?[0-9.]+$/) printf "%.2f", v; else printf "%s", v }'; }
pick() { grep "^$1 $2 " "$work/cpu.txt" || true; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b > 0) printf "%.2f", a / b; else print "?" }'; }

echo
echo "Every figure below was measured in this run."
[ -s "$work/render.txt" ] && echo "lumora said: $(sort -u "$work/render.txt" | paste -sd';')"
echo
echo "CPU over $seconds s runs, median of 3 each (alternated); CPU s = program user+sys + Xvfb user+sys during the run"
printf "%-36s %-7s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n" case side "CPU s" program Xvfb "RSS MiB" shown "dec.drop" "out.drop" "ui p99" "ui max"
declare -A total frames p99
for c in "${cases[@]}"; do
    for side in lumora mpv; do
        rows=$(pick "$c" "$side")
        prog=$(median 3 <<<"$rows"); xcpu=$(median 4 <<<"$rows")
        tot=$(awk '{ print $3 + $4 }' <<<"$rows" | median 1)
        total[$c-$side]=$tot
        frames[$c-$side]=$(median 6 <<<"$rows")
        p99[$c-$side]=$(median 9 <<<"$rows")
        printf "%-36s %-7s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n" "${case_name[$c]}" "$side" "$(two "$tot")" "$(two "$prog")" "$(two "$xcpu")" \
            "$(awk '{ printf "%.1f\n", $5 / 1024 }' <<<"$rows" | median 1)" "${frames[$c-$side]}" \
            "$(median 7 <<<"$rows")" "$(median 8 <<<"$rows")" "${p99[$c-$side]}" "$(median 10 <<<"$rows")"
    done
done
echo "  (shown: lumora's frames drawn; mpv's frames played through less its drops; ui: lumora's 10 ms timer lateness, ms)"
for c in "${cases[@]}"; do
    echo "  every run, $c (program+Xvfb CPU s/shown): $(awk -v c="$c" '$1 == c { printf "%s %.2f+%.2f/%s  ", $2, $3, $4, $6 }' "$work/cpu.txt")"
done

echo
key_play=$(grep "^c1080 " "$work/key.txt" 2>/dev/null | median 2)
key_none=$(grep "^sine " "$work/key.txt" 2>/dev/null | median 2)
echo "key-to-exit (XTest space to process end), median of $key_runs: playing 1080p $key_play ms, no video $key_none ms"
echo "  playing: $(grep "^c1080 " "$work/key.txt" 2>/dev/null | cut -d' ' -f2 | paste -sd' ')"
echo "  no video: $(grep "^sine " "$work/key.txt" 2>/dev/null | cut -d' ' -f2 | paste -sd' ')"
start_lu=$(grep "^lumora " "$work/start.txt" 2>/dev/null | median 2)
start_mpv=$(grep "^mpv " "$work/start.txt" 2>/dev/null | median 2)
echo "start-up to the first frame at the centre, median of $start_runs: lumora $start_lu ms, mpv $start_mpv ms"
echo "  lumora: $(grep "^lumora " "$work/start.txt" 2>/dev/null | cut -d' ' -f2 | paste -sd' ')"
echo "  mpv: $(grep "^mpv " "$work/start.txt" 2>/dev/null | cut -d' ' -f2 | paste -sd' ')"

verdict() { # value op goal
    awk -v v="$1" -v op="$2" -v g="$3" 'BEGIN {
        if (v !~ /^[0-9.]+$/) { print "?"; exit }
        print ((op == "<=" && v <= g) || (op == ">=" && v >= g)) ? "met" : "NOT met" }'
}
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "goals                                        value    goal"
row() { printf "%-42s %8s    %-8s  %s\n" "$1" "$2" "$3 $4" "$(verdict "$2" "$3" "$4")"; }
row "CPU incl. X, lumora/mpv, 1080p" "$(ratio "${total[c1080-lumora]}" "${total[c1080-mpv]}")" "<=" 1.0
row "CPU incl. X, lumora/mpv, 720p scaled" "$(ratio "${total[c720-lumora]}" "${total[c720-mpv]}")" "<=" 1.0
# Not a goal of its own: it says whether a lower CPU figure came from showing fewer frames.
info() { printf "%-42s %8s    %-8s  %s\n" "$1" "$2" "-" "(lower: lumora showed fewer frames)"; }
info "frames shown, lumora/mpv, 1080p" "$(ratio "${frames[c1080-lumora]}" "${frames[c1080-mpv]}")"
info "frames shown, lumora/mpv, 720p scaled" "$(ratio "${frames[c720-lumora]}" "${frames[c720-mpv]}")"
row "ui-late p99 ms, 1080p" "${p99[c1080-lumora]}" "<=" 5
row "ui-late p99 ms, 720p scaled" "${p99[c720-lumora]}" "<=" 5
row "key-to-exit, playing/no video" "$(ratio "$key_play" "$key_none")" "<=" 1.2
row "start-up, lumora/mpv" "$(ratio "$start_lu" "$start_mpv")" "<=" 1.1
