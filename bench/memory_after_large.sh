#!/bin/bash
# Lumora's resident memory before, during and a minute after a 7680x4320 clip in a play list of
# 1280x720 clips: full screen in order, and floating one-fourth at random. The peer is the same run
# with the large clip replaced by an ordinary one of the same length. See bench/README.md.
#
# Usage: bench/memory_after_large.sh [AFTER_SECONDS]   (default 60; LUMORA=path overrides build/lumora)
set -eu

after=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
lumora=${LUMORA:-$here/../build/lumora}
. "$here/common.sh"
need_whole AFTER_SECONDS "$after" 10
goal_mib=50

need_tools ffmpeg Xvfb xdotool
need_program "$lumora"

work=$(mktemp -d /tmp/lumora-memory.XXXXXX)
cleanup_on_exit cleanup

# A copy, with its data folder linked beside it: the play list lives in the program's folder, and a
# rebuild meanwhile would mix two programs in one run.
take_program "$work/bin"
echo "lumora: $origin ($origin_id), run from a copy"

echo "making the clips (the 7680x4320 one takes a few seconds)..."
x264=(-c:v libx264 -preset ultrafast -pix_fmt yuv420p)
ordinary() { # name hue seconds
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$3" \
        -vf "hue=h=$2" "${x264[@]}" "$work/$1.mp4"
}
ordinary o1 0 10
ordinary o2 120 10
ordinary o3 240 10
# The peer's stand-in for the large clip: as long, ordinary size.
ordinary same 60 3
nice ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=7680x4320:rate=24:duration=3 \
    "${x264[@]}" "$work/large.mp4"

# The play list file in the program's layout: a header, the count, one entry a line, CR LF.
playlist() { # entries...
    {
        printf '1000\r\n %d \r\n' $#
        for entry in "$@"; do printf '%s\r\n' "$work/$entry.mp4"; done
    } >"$work/bin/lumoraplus.ini"
}
# With VideoFile stored, a list in order starts at entry 1: two ordinary clips (20 s), the large
# one, then 70 s of ordinary ones. At random the first item is entry 0, then one in ten is large.
in_order=(o1 o2 o3 BIG o1 o2 o3 o1 o2 o3 o1)
at_random=(o1 o2 o3 o1 o2 o3 o1 o2 o3 BIG)
common=(PlaySingleFile=False PlayMultipleFiles=True "VideoFile=$work/o1.mp4" FileNotToRepeat=)
settings_file full AbsoluteFullScreenDisplayMode=True OneEighthScreenDisplayMode=False PlayInRandomOrder=False \
    "${common[@]}"
settings_file floating AbsoluteFullScreenDisplayMode=False OneEighthScreenDisplayMode=False \
    OneFourthScreenDisplayMode=True MovieWillFloat=1 MovingMovieSpeed=50 PlayInRandomOrder=True "${common[@]}"

start_xvfb 160 169
# Out of the way of the floating player, which ends on a move.
xdotool mousemove 1919 1079

# Runs lumora /s with settings NAME on the play list given, where the entry BIG stands for CLIP
# (the large clip, or the peer's stand-in). Samples every 0.25 s "seconds rss_kib open" into
# $work/NAME-TAG.rss, `open` 1 while CLIP is open in the program. Ends AFTER seconds after CLIP
# was first closed, once CLIP is not open (or after 6 minutes); `open` is read from the
# program's open files, so the large clip's time is what the program really spent on it.
measure() { # name tag clip entries...
    local name=$1 tag=$2 clip=$3
    shift 3
    local entries=("${@/#BIG/$clip}")
    playlist "${entries[@]}"
    XDG_CONFIG_HOME=$work/$name "$lumora" /s >"$work/$name-$tag.log" 2>&1 &
    running=$!
    local pid=$running start closed= now opened rss out="$work/$name-$tag.rss"
    start=$(date +%s%N)
    : >"$out"
    while kill -0 "$pid" 2>/dev/null; do
        now=$((($(date +%s%N) - start) / 1000000))
        rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) || break
        opened=0
        find "/proc/$pid/fd" -lname "$work/$clip.mp4" 2>/dev/null | grep -q . && opened=1
        echo "$now ${rss:-0} $opened" >>"$out"
        [ "$opened" = 1 ] && [ -z "$closed" ] && closed=open
        [ "$opened" = 0 ] && [ "$closed" = open ] && closed=$now
        if [ -n "$closed" ] && [ "$closed" != open ] && [ "$opened" = 0 ] &&
            [ $((now - closed)) -ge $((after * 1000)) ]; then break; fi
        [ "$now" -ge 360000 ] && break
        sleep 0.25
    done
    kill "$running" 2>/dev/null || true
    wait "$running" 2>/dev/null || true
    running=
}

# Figures of one run: before (the last sample before the clip first opened), peak (the most over
# the run), after (the last sample: AFTER seconds after the clip first closed), and how often the
# clip was opened. Missing figures print as "-".
figures() { # file
    awk '
    { t[NR] = $1; r[NR] = $2 / 1024; o[NR] = $3; if (r[NR] > peak) peak = r[NR] }
    o[NR] && !first { first = NR }
    o[NR] && !o[NR - 1] { opens++ }
    END {
        before = first > 1 ? sprintf("%.0f", r[first - 1]) : "-"
        printf "%s %.0f %s %d %.0f\n", before, peak, first ? sprintf("%.0f", r[NR]) : "-", opens, t[NR] / 1000
    }' "$1"
}

echo "full screen, in order: the list with the 7680x4320 clip..."
measure full large large "${in_order[@]}"
echo "full screen, in order: the same list with an ordinary clip in its place..."
measure full peer same "${in_order[@]}"
echo "floating one-fourth, at random: the list with the 7680x4320 clip..."
measure floating large large "${at_random[@]}"
echo "floating one-fourth, at random: the same list with an ordinary clip in its place..."
measure floating peer same "${at_random[@]}"

echo
echo "resident memory (VmRSS) of lumora /s, MiB; 'after' is $after s after the clip first ended"
printf '%-40s %8s %8s %8s %7s %8s\n' "run" before peak after opened "run s"
results=()
for name in full floating; do
    label="full screen, in order"
    [ "$name" = floating ] && label="floating one-fourth, random"
    read -r b p a n s < <(figures "$work/$name-large.rss")
    read -r pb pp pa pn ps < <(figures "$work/$name-peer.rss")
    printf '%-40s %8s %8s %8s %7s %8s\n' "$label, 7680x4320" "$b" "$p" "$a" "$n" "$s"
    printf '%-40s %8s %8s %8s %7s %8s\n' "$label, peer" "$pb" "$pp" "$pa" "$pn" "$ps"
    results+=("$label|$b|$a|$pa")
done

echo
printf '%-44s %10s %10s   %s\n' "goal: after - before <= $goal_mib MiB" "after-bef." "after/peer" ""
for r in "${results[@]}"; do
    IFS='|' read -r label b a pa <<<"$r"
    if [ "$b" = - ] || [ "$a" = - ]; then
        printf '%-44s %10s %10s   %s\n' "$label" - - "NOT met (the large clip never played)"
        continue
    fi
    awk -v l="$label" -v b="$b" -v a="$a" -v pa="$pa" -v g="$goal_mib" 'BEGIN {
        d = a - b
        printf "%-44s %10.0f %10s   %s\n", l, d, (pa > 0 ? sprintf("%.2f", a / pa) : "-"), (d <= g ? "met" : "NOT met")
    }'
done
lines=$(grep -hv '^lumora: rendering' "$work"/*.log 2>/dev/null | sort -u | head -5 || true)
[ -z "$lines" ] || printf '\nthe program said:\n%s\n' "$lines"
