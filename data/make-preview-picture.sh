#!/bin/sh
# Makes the 152 x 112 preview picture: a frame of the default media file (or, without it, the same
# kind of soft gradient from ffmpeg's synthetic sources) between two strips of film perforations.
#
# Usage: make-preview-picture.sh OUTPUT [CLIP]
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 OUTPUT [CLIP]" >&2
    exit 2
fi
output=$1
clip=${2:-}
width=152
height=112

mkdir -p "$(dirname "$output")"
tmp="$output.part.png"
trap 'rm -f "$tmp"' EXIT INT TERM

# Two dark strips with a row of light holes each.
strips="drawbox=x=0:y=8:w=$width:h=18:color=black@0.55:t=fill"
strips="$strips,drawbox=x=0:y=$((height - 26)):w=$width:h=18:color=black@0.55:t=fill"
x=8
while [ $((x + 8)) -le $width ]; do
    strips="$strips,drawbox=x=$x:y=13:w=8:h=8:color=white@0.8:t=fill"
    strips="$strips,drawbox=x=$x:y=$((height - 21)):w=8:h=8:color=white@0.8:t=fill"
    x=$((x + 16))
done
filter="scale=$width:$height:flags=bicubic,$strips,format=rgb24"

picture() {
    rm -f "$tmp"
    ffmpeg -nostdin -hide_banner -loglevel error -y "$@" -frames:v 1 -vf "$filter" -f image2 -c:v png "$tmp" &&
        [ -s "$tmp" ]
}

gradient="gradients=s=640x480:r=25:n=4:c0=0x1b2a6b:c1=0x2a9d8f:c2=0x7b4fa0:c3=0xf4a582:speed=0.03:seed=7"
if [ -n "$clip" ] && [ -f "$clip" ]; then
    # Three seconds in, where the colours have turned; a shorter clip gives its first frame.
    picture -ss 3 -i "$clip" 2>/dev/null || picture -i "$clip"
else
    picture -f lavfi -i "$gradient"
fi
mv -f "$tmp" "$output"
trap - EXIT INT TERM
