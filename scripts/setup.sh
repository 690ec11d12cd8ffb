#!/usr/bin/env bash
# Installs what Lumora needs on Debian 12 and builds it into build/: with --run only what building
# and running it need, otherwise what the tests need too.
set -euo pipefail
cd "$(dirname "$0")/.."

# What building and running the screen saver need.
run_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libmpv-dev libxcb1-dev libxcb-shm0-dev
              libxcb-dpms0-dev ffmpeg xdg-user-dirs gzip libgl1-mesa-dri libglx-mesa0
              qt6-wayland qt6-wayland-dev qt6-base-private-dev libwayland-dev wayland-protocols)
# What the tests, the benchmarks and the package's checks need besides: the X servers, desktops,
# lockers and tools they run the program under.
test_packages=(googletest libgtest-dev xvfb xdotool x11-utils libxcb-xfixes0-dev
               clang libclang-rt-dev desktop-file-utils
               xscreensaver xprintidle x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy
               librsvg2-bin dpkg-dev file lintian libxml2-utils man-db groff-base
               imagemagick x11-apps libxtst-dev
               openbox picom xfwm4 tint2 marco mate-settings-daemon-common xterm dbus-daemon
               sway swayidle grim wtype dbus-x11 xsecurelock)
# --run (./run.sh): only what running needs; the tests are then not built.
packages=("${run_packages[@]}")
[ "${1:-}" = --run ] || packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  # Another apt-get, or the system's own updates, may hold the package database for a while: wait
  # for it rather than fail. apt-get install waits by itself; update only says the lists are locked.
  for tries in $(seq 120); do
    if err=$($sudo apt-get update -qq -o DPkg::Lock::Timeout=600 2>&1 >/dev/null); then break; fi
    if ! grep -qi "could not get lock\|unable to lock" <<<"$err" || [ "$tries" = 120 ]; then
      echo "$err" >&2
      exit 1
    fi
    [ "$tries" = 1 ] && echo "Waiting for another package manager to finish..."
    sleep 5
  done
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=1800 "${missing[@]}"
fi

# LUMORA_WERROR=ON (test.sh sets it) makes any compiler warning fail the build.
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_WERROR="${LUMORA_WERROR:-OFF}"
elif [ -n "${LUMORA_WERROR:-}" ]; then
  cmake -S . -B build -DLUMORA_WERROR="$LUMORA_WERROR" >/dev/null
fi
cmake --build build --parallel "$(nproc)"
