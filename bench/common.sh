# Shell functions the benchmarks share; sourced by them (bash), never run on its own.

clk_tck=$(getconf CLK_TCK)

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

bench_x264=(-c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p)
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
