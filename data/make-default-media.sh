#!/bin/sh
# Makes the default media file: a few seconds of slowly turning soft colour gradients with a quiet
# A-minor chord, MPEG-2 in an MPEG program stream. Everything comes from ffmpeg's synthetic
# sources, so the file carries no third-party footage.
#
# Usage: make-default-media.sh OUTPUT
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTPUT" >&2
    exit 2
fi
output=$1
seconds=8
fade=1.5

mkdir -p "$(dirname "$output")"
tmp="$output.part.mpg"
trap 'rm -f "$tmp"' EXIT INT TERM

# The chord swells gently and fades in and out, so the loop point is silent rather than a click.
chord="(0.10*sin(2*PI*220*t)+0.07*sin(2*PI*261.63*t)+0.07*sin(2*PI*329.63*t))"
chord="$chord*(0.8+0.2*sin(2*PI*0.25*t))*min(1\,t/$fade)*min(1\,($seconds-t)/$fade)"

ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "gradients=s=640x480:r=25:n=4:c0=0x1b2a6b:c1=0x2a9d8f:c2=0x7b4fa0:c3=0xf4a582:speed=0.03:seed=7,hue=h=20*sin(2*PI*t/$seconds),format=yuv420p" \
    -f lavfi -i "aevalsrc=$chord:s=44100:c=stereo" \
    -t "$seconds" \
    -c:v mpeg2video -b:v 2500k -maxrate 4000k -bufsize 1835k -g 25 \
    -c:a mp2 -b:a 160k \
    -f mpeg "$tmp"
mv -f "$tmp" "$output"
trap - EXIT INT TERM
