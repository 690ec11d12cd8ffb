#!/usr/bin/env bash
# Installs what Lumora needs on Debian 12 and builds it into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libmpv-dev libxcb1-dev
          googletest libgtest-dev ffmpeg xvfb xdotool x11-utils libxcb-xfixes0-dev
          clang libclang-rt-dev xdg-user-dirs desktop-file-utils
          xscreensaver xprintidle x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy
          librsvg2-bin gzip dpkg-dev file lintian libxml2-utils man-db groff-base
          imagemagick x11-apps libgl1-mesa-dri libglx-mesa0 libxcb-shm0-dev libxtst-dev
          dbus-x11)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
