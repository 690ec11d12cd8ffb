# Shell functions the benchmarks share; sourced by them (bash), never run on its own.

clk_tck=$(getconf CLK_TCK)

# Exits (2) unless VALUE is a whole number, MIN or more; NAME says which in the message.
need_whole() { # name value min
    if ! [[ $2 =~ ^[0-9]+$ ]] || [ "$2" -lt "$3" ]; then
        echo "$1 must be a whole number, $3 or more (got '$2')" >&2
        exit 2
    fi
}

# Exits (2) at the first of the tools that is not installed.
need_tools() { # tool...
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
    done
}

# Runs FUNCTION (such as cleanup, below) on the way out, however the script ends: a signal ends the
# run (a trap alone would run the cleanup and go on), and the cleanup comes on exit.
cleanup_on_exit() { # function
    # shellcheck disable=SC2064 # the function's name, now
    trap "$1" EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# Ends a process that this script started, when there is one, and waits for it.
stop_pid() { # pid or ""
    [ -n "$1" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null
    return 0
}
# The same for a program under GNU time, which does not pass a signal on: what it runs goes first.
stop_timed() { # pid of time or ""
    # shellcheck disable=SC2046
    [ -n "$1" ] && kill $(pgrep -P "$1") "$1" 2>/dev/null && wait "$1" 2>/dev/null
    return 0
}
# The work folder goes, unless KEEP is set.
# shellcheck disable=SC2154 # $work is the script's
remove_work() {
    if [ -n "${KEEP:-}" ]; then echo "logs kept in $work" >&2; else rm -rf "$work"; fi
}

# What a script has running at a time, when it has: the program ($running, under GNU time or not),
# the frame counter ($counter) and the X server ($xvfb_pid, start_xvfb).
running=
counter=
xvfb_pid=
# On the way out, only what the script started: the program of an interrupted run, its frame
# counter, the X server; then the work folder.
cleanup() {
    # Every step, whatever the one before gave (set -e holds here too).
    set +e
    stop_timed "$running"
    stop_pid "$counter"
    stop_xvfb
    remove_work
}

# User+system CPU seconds of a process or one of its threads so far, from its /proc stat file
# (fields 14 and 15; the command name in field 2 may hold blanks, so count from its closing
# parenthesis); 0 when it is gone.
cpu_of() { # /proc/PID/stat or /proc/PID/task/TID/stat
    local stat
    stat=$(cat "$1" 2>/dev/null) || { echo 0; return; }
    stat=${stat##*) }
    awk -v t="$clk_tck" '{ printf "%.2f", ($12 + $13) / t }' <<<"$stat"
}

# Size and modification time of a file, to tell whether it was rebuilt meanwhile.
binary_id() { stat -L -c '%s bytes, modified %y' "$1" 2>/dev/null || echo "missing"; }

# Someone else may be rebuilding the program: one being written (missing, or changed in the last
# few seconds) is waited for, up to two minutes. Fails when there is none after that.
wait_for_binary() { # path
    for _ in $(seq 24); do
        [ -x "$1" ] && [ $(($(date +%s) - $(stat -L -c %Y "$1" 2>/dev/null || date +%s))) -ge 5 ] && return 0
        sleep 5
    done
    [ -x "$1" ]
}

# The program as it is now, copied into FOLDER (created): a rebuild while a benchmark runs would
# otherwise mix two programs' figures in one run. Its data folder goes along as a link, so it finds
# what it would beside the original.
copy_program() { # path folder
    mkdir -p "$2"
    cp -L "$1" "$2/lumora"
    [ -d "$(dirname "$1")/data" ] && ln -s "$(cd "$(dirname "$1")" && pwd)/data" "$2/data"
    return 0
}

# Exits (2) when there is no program at PATH, after waiting for one being rebuilt.
need_program() { # path
    wait_for_binary "$1" || { echo "no $1: build it first" >&2; exit 2; }
}
# The program at $lumora copied into FOLDER, and $lumora the copy from then on; $origin and
# $origin_id tell the original and what it was.
take_program() { # folder
    origin=$lumora
    origin_id=$(binary_id "$origin")
    copy_program "$origin" "$1"
    lumora=$1/lumora
}
# What the figures were measured with: the load, the cores and the program.
start_note() {
    echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
    echo "lumora: $origin ($origin_id), run from a copy"
}
# The load at the end, and whether the original was rebuilt meanwhile.
end_note() {
    echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
    [ "$(binary_id "$origin")" = "$origin_id" ] ||
        echo "($origin was rebuilt during the run, now $(binary_id "$origin"); the figures are of the copy taken at the start)"
}

# The program's settings for a run with XDG_CONFIG_HOME=$work/NAME: the section [lumora] with the
# lines given.
settings_file() { # name line...
    local name=$1
    shift
    mkdir -p "$work/$name/larkspur"
    {
        echo "[lumora]"
        printf '%s\n' "$@"
    } >"$work/$name/larkspur/lumora.ini"
}

# A fresh Xvfb at 1920x1080x24 on the first free display from FIRST to LAST, with the further Xvfb
# arguments given; sets xvfb_pid and DISPLAY, or exits (1) when none starts. -noreset: by default the
# server starts over whenever its last client has gone (xdotool here, or a program between two runs)
# and drops a client that connects meanwhile. Its output goes to $work/xvfb.log.
start_xvfb() { # first last [Xvfb arguments]
    local first=$1 last=$2 d
    shift 2
    for d in $(seq "$first" "$last"); do
        [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
        Xvfb ":$d" -screen 0 1920x1080x24 -noreset -nolisten tcp "$@" >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=:$d
        for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
        if kill -0 "$xvfb_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1; then return 0; fi
        stop_xvfb
    done
    echo "no Xvfb started on a free display from :$first to :$last" >&2
    exit 1
}
stop_xvfb() {
    stop_pid "$xvfb_pid"
    xvfb_pid=
}

# The rest of a run of SECONDS with the program under GNU time ($running) and the frame counter
# ($counter) started: the wait, the counter's end, and in $child the program's pid; $child empty,
# with a warning naming WHAT and the end of LOG, when the program ended early.
after_run() { # seconds log what
    sleep "$1"
    wait "$counter" || true
    counter=
    child=$(pgrep -P "$running" || true)
    if [ -z "$child" ]; then
        echo "warning: $3 ended before $1 s:" >&2
        tail -5 "$2" >&2
    fi
}

# Ends the program as a user would, by a key (its stats come on the way out); terminates it when it
# is still there after TENTHS tenths of a second. WHAT, when given, goes into the warning.
end_by_key() { # pid tenths [what]
    xdotool key space
    for _ in $(seq "$2"); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -0 "$1" 2>/dev/null || return 0
    echo "warning: lumora did not end on a key${3:+ ($3)}; terminated" >&2
    kill "$1"
}

bench_x264=(-c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p)
# A testsrc2 test pattern, H.264 without sound.
pattern_clip() { # output width height fps seconds
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=$2x$3:rate=$4:duration=$5" \
        "${bench_x264[@]}" "$1"
}
# A testsrc2 test pattern, H.264 without sound, whose top sixteenth carries each frame's number for
# frames_shown: 18 blocks, the number's 9 bits (lowest first, white for 1), then the same inverted.
numbered_clip() { # output width height fps seconds
    # The strip: at least the top sixteenth, an even number of rows for 4:2:0 chroma.
    local bit='st(0,floor(X*18/W));st(1,mod(floor(N/pow(2,if(lt(ld(0),9),ld(0),ld(0)-9))),2))'
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=$2x$3:rate=$4:duration=$5" \
        -f lavfi -i "color=c=black:size=$2x$(($3 / 16 / 2 * 2 + 2)):rate=$4:duration=$5" \
        -filter_complex "[1:v]format=yuv420p,geq=lum='$bit;16+219*if(lt(ld(0),9),ld(1),1-ld(1))':cb=128:cr=128[n];[0:v][n]overlay=0:0" \
        "${bench_x264[@]}" "$1"
}

# The head of the results: all of them from this run, and how the program said it rendered
# ($work/render.txt, its "lumora: rendering" lines).
results_note() {
    echo
    echo "Every figure below was measured in this run."
    [ -s "$work/render.txt" ] && echo "lumora said: $(sort -u "$work/render.txt" | paste -sd';')"
    echo
}

# The median of a column of the lines on stdin; "-" when one is "-", "?" when there are none or
# one is not a number.
median() { # column
    awk -v k="$1" '{ if ($k == "-") dash = 1; else if ($k !~ /^-?[0-9.]+$/) bad = 1; v[++n] = $k }
        END {
            if (dash) { print "-"; exit }
            if (!n || bad) { print "?"; exit }
            for (i = 2; i <= n; i++) { x = v[i]; for (j = i - 1; j > 0 && v[j] > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
            print (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }'
}
# The mean of a column, one decimal; "?" when there are none or one is not a number.
mean() { awk -v k="$1" '$k ~ /^[0-9.]+$/ { t += $k; n++; next } { bad = 1 } END { if (!n || bad) print "?"; else printf "%.1f", t / n }'; }
# Two decimals, or the value as it is when it is no number.
two() { awk -v v="$1" 'BEGIN { if (v ~ /^-?[0-9.]+$/) printf "%.2f", v; else printf "%s", v }'; }
ratio() { # a b [decimals]
    awk -v a="$1" -v b="$2" -v d="${3:-2}" 'BEGIN { if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && b > 0) printf "%.*f", d, a / b; else print "?" }'
}
# "met" or "NOT met" ("?" for no number): value <= goal, >= goal, or = goal within a tolerance.
verdict() { # value op goal [tolerance in per cent, for "="]
    awk -v v="$1" -v op="$2" -v g="$3" -v t="${4:-0}" 'BEGIN {
        if (v !~ /^[0-9.]+$/) { print "?"; exit }
        print ((op == "<=" && v <= g) || (op == ">=" && v >= g) || (op == "=" && v >= g * (1 - t / 100) - 1e-9 && v <= g * (1 + t / 100) + 1e-9)) ? "met" : "NOT met" }'
}
# A goal line: name, value, "<=" or ">=", goal.
goal_row() { printf "%-44s %8s    %-10s  %s\n" "$1" "$2" "$3 $4" "$(verdict "$2" "$3" "$4")"; }
# Equal within a tolerance: name, value, goal, per cent ("value = 1.00 +-1%").
near_row() { printf "%-44s %8s    %-10s  %s\n" "$1" "$2" "$3 +-$4%" "$(verdict "$2" = "$3" "$4")"; }
