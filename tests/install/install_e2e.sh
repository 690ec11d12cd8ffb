#!/usr/bin/env bash
# The installed program and the Debian package, end to end:
#   install_e2e.sh BUILD_DIR SOURCE_DIR
# 1. "cmake --install" with DESTDIR lays out every file, and each one is what its reader accepts.
# 2. The installed copy plays its own default clip under X and ends on a mouse move.
# 3. cpack makes a .deb lintian finds no error in; as root it installs, runs from the PATH and goes.
# The X display comes from LUMORA_E2E_DISPLAY (test.sh) or DISPLAY.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
export DISPLAY=${LUMORA_E2E_DISPLAY:-${DISPLAY:-}}
[ -n "$DISPLAY" ] || { echo "FAIL: no X display (LUMORA_E2E_DISPLAY or DISPLAY)"; exit 1; }

work=$(mktemp -d /tmp/lumora-install-e2e.XXXXXX)
pids=()
package_installed_here=0
failures=0

cleanup() {
  for p in ${pids[@]+"${pids[@]}"}; do
    kill "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  if [ "$package_installed_here" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=120 lumora >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { # check DESCRIPTION COMMAND... : passes when the command succeeds
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# --- X helpers ---------------------------------------------------------------------------------------

screen_size() { xwininfo -root | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w, h}'; }
read -r screen_w screen_h < <(screen_size)

# Mapped top-level windows of process PID, one "id width height x y" line each.
windows_of() {
  local pid=$1 id info
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
    xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -qx "_NET_WM_PID(CARDINAL) = $pid" || continue
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    awk -v id="$id" '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
                     /^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print id, w, h, x, y}' <<<"$info"
  done
}

# Waits up to SECONDS for a mapped window of PID with this size, centred on the screen (to a pixel).
wait_centred_window() {
  local pid=$1 want_w=$2 want_h=$3 seconds=$4 end id w h x y
  end=$((SECONDS + seconds))
  while [ $SECONDS -lt "$end" ]; do
    while read -r id w h x y; do
      [ -n "$id" ] || continue
      if [ "$w" = "$want_w" ] && [ "$h" = "$want_h" ] &&
         [ $(((screen_w - w) / 2 - x)) -ge -1 ] && [ $(((screen_w - w) / 2 - x)) -le 1 ] &&
         [ $(((screen_h - h) / 2 - y)) -ge -1 ] && [ $(((screen_h - h) / 2 - y)) -le 1 ]; then
        return 0
      fi
    done < <(windows_of "$pid")
    kill -0 "$pid" 2>/dev/null || return 1
    # The step of the polling.
    sleep 0.2
  done
  return 1
}

shot() { xwd -root -silent | convert xwd:- "png:$1"; }

# "mean stddev colours" of a region WxH+X+Y of a picture: how bright, how varied, how many colours.
region_stats() {
  convert "$1" -crop "$2" +repage -format '%[fx:mean] %[fx:standard_deviation] %k' info:
}

# Waits up to SECONDS for PID to end; its exit status, or 124 when it is still running.
wait_end() {
  local pid=$1 seconds=$2 end
  end=$((SECONDS + seconds))
  while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt "$end" ]; do sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then return 124; fi
  wait "$pid"
}

forget_pid() {
  local keep=() p
  for p in ${pids[@]+"${pids[@]}"}; do [ "$p" = "$1" ] || keep+=("$p"); done
  pids=(${keep[@]+"${keep[@]}"})
}

# --- 1. The install layout -------------------------------------------------------------------------

root=$work/root
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  fail "cmake --install"
  exit 1
fi
usr=$root/usr

check "the program is installed and executable" test -x "$usr/bin/lumora" -a -f "$usr/bin/lumora"
for f in lumora.mpg preview.png lumora.svg; do
  check "data folder has $f" test -s "$usr/share/lumora/$f"
done
check "the default clip is a video" sh -c "file -b '$usr/share/lumora/lumora.mpg' | grep -qi mpeg"

hack=$usr/libexec/xscreensaver/lumora
check "the xscreensaver hack is a symbolic link" test -L "$hack"
check "the hack link is relative: ../../bin/lumora" test "$(readlink "$hack")" = "../../bin/lumora"
check "the hack link resolves to the program" test "$(readlink -f "$hack")" = "$(readlink -f "$usr/bin/lumora")"
saver=$usr/libexec/lumora/saver_lumora
check "xsecurelock's saver is a symbolic link" test -L "$saver"
check "the saver link is relative: ../../bin/lumora" test "$(readlink "$saver")" = "../../bin/lumora"
check "the saver link resolves to the program" test "$(readlink -f "$saver")" = "$(readlink -f "$usr/bin/lumora")"

for size in 16 22 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/lumora.png
  check "icon ${size}x${size} is a ${size}x${size} PNG" \
    test "$(identify -format '%m %wx%h' "$png" 2>/dev/null)" = "PNG ${size}x${size}"
done
check "scalable icon is the drawing" cmp -s "$usr/share/icons/hicolor/scalable/apps/lumora.svg" \
  "$source_dir/data/lumora.svg"

# The desktop entries: valid, and each runs what it says.
menu_entry=$usr/share/applications/lumora.desktop
saver_entry=$usr/share/applications/screensavers/lumora.desktop
for entry in "$menu_entry" "$saver_entry"; do
  if out=$(desktop-file-validate "$entry" 2>&1) && ! grep -q 'error:' <<<"$out"; then
    pass "desktop-file-validate accepts ${entry#$root}"
  else
    fail "desktop-file-validate rejects ${entry#$root}: $out"
  fi
done
check "the menu entry opens the configuration" grep -qx 'Exec=lumora /c' "$menu_entry"
check "the menu entry's icon is installed" grep -qx 'Icon=lumora' "$menu_entry"
check "the MATE entry runs the hack" grep -qx 'Exec=lumora --root' "$saver_entry"
check "the MATE entry is a screen saver" grep -qx 'Categories=Screensaver;' "$saver_entry"
check "the MATE entry is not hidden from MATE's list" sh -c "! grep -q '^NoDisplay=true' '$saver_entry'"

# The xscreensaver settings page: well-formed, and it offers exactly the hack options --help lists.
config=$usr/share/xscreensaver/config/lumora.xml
check "xmllint accepts the xscreensaver settings page" xmllint --noout "$config"
check "the page runs the hack with --root" \
  test "$(xmllint --xpath 'string(/screensaver/command/@arg)' "$config" 2>/dev/null)" = "--root"
check "the page is named after the hack" \
  test "$(xmllint --xpath 'string(/screensaver/@name)' "$config" 2>/dev/null)" = "lumora"
help=$("$usr/bin/lumora" --help)
offered=$(xmllint --xpath '//*[not(self::command)]/@arg | //@arg-set' "$config" 2>/dev/null |
          grep -o '="--[a-z-]*' | sed 's/^="//' | sort -u)
# Options of a run only: the set-up option --add-to-xscreensaver is not one for the settings page.
listed=$(grep -o '^  --[a-z-]*' <<<"$help" | sed 's/^  //' | grep -vx -e --root -e --window-id -e --help -e --add-to-xscreensaver | sort -u)
[ -n "$listed" ] || fail "lumora --help lists no options"
check "lumora --help lists --root" grep -q '^  --root ' <<<"$help"
for o in $offered; do
  grep -qx -- "$o" <<<"$listed" || fail "the settings page offers $o, which lumora --help does not list"
done
for o in $listed; do
  grep -qx -- "$o" <<<"$offered" || fail "lumora --help lists $o, which the settings page does not offer"
done
[ "$offered" = "$listed" ] && pass "the settings page offers every option: $(echo $offered)"
check "the file option is a file picker" \
  test "$(xmllint --xpath 'string(//file/@arg)' "$config" 2>/dev/null)" = "--file %"
check "the speed is a number from 1 to 1000" \
  test "$(xmllint --xpath 'concat(//number/@arg, " ", //number/@low, " ", //number/@high)' "$config")" \
       = "--speed % 1 1000"
modes=$(xmllint --xpath '//select[@id="mode"]/option/@arg-set' "$config" 2>/dev/null | grep -o -- '--mode [a-z-]*' | sed 's/--mode //' | tr '\n' ' ')
check "the size choice has every mode" test "$modes" = "full three-quarters one-half one-fourth one-eighth one-sixteenth "
uses=$(xmllint --xpath '//select[@id="monitors"]/option/@arg-set' "$config" 2>/dev/null | grep -o -- '--monitors [a-z]*' | sed 's/--monitors //' | tr '\n' ' ')
check "the monitors choice has every use" test "$uses" = "primary same each "

# The manual page: gzipped, renders without a warning, and names the folders of its prefix.
man=$usr/share/man/man1/lumora.1.gz
check "the manual page is gzipped" sh -c "gzip -t '$man' && file -b '$man' | grep -q '^gzip'"
warnings=$(zcat "$man" | groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] && pass "groff renders the manual page without warnings" || fail "groff: $warnings"
warnings=$(MANWIDTH=80 man --warnings -l "$man" 2>&1 >"$work/man.txt")
[ -z "$warnings" ] && pass "man -l renders the manual page without warnings" || fail "man -l: $warnings"
for section in NAME SYNOPSIS DESCRIPTION SWITCHES OPTIONS FILES ENVIRONMENT "MAKING LUMORA THE SCREEN SAVER"; do
  grep -q "^$section" "$work/man.txt" || fail "the manual page has no $section section"
done
for word in /s /c /p /a --root --window-id $listed XSCREENSAVER_WINDOW LUMORA_STATS \
            larkspur/lumora.ini lumoraplus.ini /usr/share/lumora/ /usr/libexec/xscreensaver/lumora \
            /usr/libexec/lumora/saver_lumora \
            "xss-lock -- lumora /s"; do
  grep -q -- "$word" "$work/man.txt" || fail "the manual page does not mention $word"
done
check "the manual page has no placeholder left" sh -c "! zcat '$man' | grep -q '@[A-Z_]*@'"

check "copyright file is machine-readable" \
  sh -c "head -1 '$usr/share/doc/lumora/copyright' | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/'"
check "changelog is gzipped without a name or time" \
  sh -c "gzip -t '$usr/share/doc/lumora/changelog.Debian.gz' && ! file '$usr/share/doc/lumora/changelog.Debian.gz' | grep -q 'was\|last modified'"

# Another prefix: the link still resolves and the manual page names that prefix's folders.
other=$work/other
if DESTDIR=$other cmake --install "$build" --prefix /opt/lumora >"$work/install2.log" 2>&1; then
  check "under /opt/lumora the hack link resolves" \
    test "$(readlink -f "$other/opt/lumora/libexec/xscreensaver/lumora")" = "$(readlink -f "$other/opt/lumora/bin/lumora")"
  check "under /opt/lumora the saver link resolves" \
    test "$(readlink -f "$other/opt/lumora/libexec/lumora/saver_lumora")" = "$(readlink -f "$other/opt/lumora/bin/lumora")"
  check "under /opt/lumora the manual page names /opt/lumora/share/lumora" \
    sh -c "zcat '$other/opt/lumora/share/man/man1/lumora.1.gz' | grep -q '/opt/lumora/share/lumora/'"
else
  cat "$work/install2.log"
  fail "cmake --install --prefix /opt/lumora"
fi
rm -rf "$other"

# --- 2. The installed program plays its own default clip -------------------------------------------

home=$work/home
mkdir -p "$home"
xdotool mousemove 3 3
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR HOME="$home" "$usr/bin/lumora" /s \
  >"$work/run.log" 2>&1 &
run=$!
pids+=("$run")
# Three seconds of running: it is not to end by itself within them.
sleep 3
if ! kill -0 "$run" 2>/dev/null; then
  fail "the installed lumora /s ended by itself"
  cat "$work/run.log"
else
  # The clip it has open is the one of the installed data folder, not the build's.
  check "it plays $(basename "$usr")/share/lumora/lumora.mpg" \
    sh -c "ls -l /proc/$run/fd | grep -q -- '-> $usr/share/lumora/lumora.mpg\$'"
  check "it covers the screen" sh -c "xdotool search --onlyvisible --name '^Screen Saver Main Form\$' >/dev/null"
  shot "$work/shot1.png"
  # A second apart: the picture is to move between the two.
  sleep 1
  shot "$work/shot2.png"
  # With no settings the player takes more than half of each side, so the middle 100x100 is always
  # inside it wherever it floats: a soft gradient there, neither black nor one flat colour, and moving.
  centre="100x100+$((screen_w / 2 - 50))+$((screen_h / 2 - 50))"
  read -r mean sd colours < <(region_stats "$work/shot1.png" "$centre")
  echo "centre of the screen: mean $mean, standard deviation $sd, $colours colours"
  check "the centre is not black" awk -v m="$mean" 'BEGIN {exit !(m > 0.1)}'
  check "the centre is not a flat colour" awk -v s="$sd" -v c="$colours" 'BEGIN {exit !(s > 0.005 && c > 50)}'
  change=$(compare -metric RMSE "$work/shot1.png" "$work/shot2.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  echo "change in a second: $change (RMSE)"
  check "the picture moves" awk -v d="$change" 'BEGIN {exit !(d > 0.01)}'

  # Movement over the background ends it; the floating player itself lets the pointer pass. A corner
  # the player does not cover: the first move is recorded, the next one of 20 pixels ends it.
  corner=""
  for c in "3 3 +0+0" "$((screen_w - 30)) 3 +$((screen_w - 40))+0" \
           "3 $((screen_h - 4)) +0+$((screen_h - 10))" "$((screen_w - 30)) $((screen_h - 4)) +$((screen_w - 40))+$((screen_h - 10))"; do
    read -r cx cy off <<<"$c"
    read -r mean _ _ < <(region_stats "$work/shot2.png" "40x10$off")
    if awk -v m="$mean" 'BEGIN {exit !(m < 0.02)}'; then corner="$cx $cy"; break; fi
  done
  if [ -z "$corner" ]; then
    fail "no corner of the screen is black to move the pointer over"
  else
    read -r cx cy <<<"$corner"
    xdotool mousemove "$cx" "$cy"
    # The first place is where the pointer rests; the move is the next.
    sleep 0.3
    xdotool mousemove "$((cx + 20))" "$cy"
    wait_end "$run" 5
    status=$?
    if [ $status -eq 124 ]; then
      fail "the installed lumora /s did not end on a mouse move at $cx,$cy"
    else
      check "it ended on a mouse move, with status 0" test "$status" = 0
      forget_pid "$run"
      check "its window is gone" sh -c "! xdotool search --onlyvisible --name '^Screen Saver Main Form\$' >/dev/null"
    fi
  fi
fi
xdotool mousemove 3 3

# --- 3. The Debian package -------------------------------------------------------------------------

debs=$work/debs
mkdir -p "$debs"
if (cd "$build" && cpack -G DEB -B "$debs") >"$work/cpack.log" 2>&1; then
  deb=$(ls "$debs"/lumora_*.deb 2>/dev/null | head -n 1)
else
  cat "$work/cpack.log"
  deb=""
fi
if [ -z "$deb" ]; then
  fail "cpack -G DEB made no lumora_*.deb"
else
  pass "cpack made $(basename "$deb")"
  arch=$(dpkg --print-architecture)
  version=$(dpkg-deb -f "$deb" Version)
  check "the file name is lumora_<version>_<arch>.deb" test "$(basename "$deb")" = "lumora_${version}_${arch}.deb"
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for lib in libmpv libqt6widgets6 libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends does not name $lib (dpkg-shlibdeps)"
  done
  check "Section is x11" test "$(dpkg-deb -f "$deb" Section)" = "x11"
  contents=$(dpkg-deb -c "$deb")
  for path in ./usr/bin/lumora ./usr/share/lumora/lumora.mpg ./usr/share/man/man1/lumora.1.gz \
              ./usr/share/doc/lumora/copyright ./usr/share/doc/lumora/changelog.Debian.gz \
              ./usr/share/xscreensaver/config/lumora.xml ./usr/share/applications/screensavers/lumora.desktop; do
    grep -q " $path\$" <<<"$contents" || fail "the package has no $path"
  done
  check "the hack link is in the package, relative" grep -q ' ./usr/libexec/xscreensaver/lumora -> ../../bin/lumora$' <<<"$contents"
  check "the saver link is in the package, relative" grep -q ' ./usr/libexec/lumora/saver_lumora -> ../../bin/lumora$' <<<"$contents"
  check "every file belongs to root" test "$(awk '{print $2}' <<<"$contents" | sort -u)" = "root/root"
  check "the program is 0755" grep -q '^-rwxr-xr-x root/root .* ./usr/bin/lumora$' <<<"$contents"
  mkdir -p "$work/unpacked"
  dpkg-deb -x "$deb" "$work/unpacked"
  check "the packaged program is stripped" sh -c "file -b '$work/unpacked/usr/bin/lumora' | grep -q ', stripped'"

  lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
  echo "lintian says:"
  sed 's/^/  /' "$work/lintian.log"
  if grep -q '^E:' "$work/lintian.log"; then fail "lintian finds errors"; else pass "lintian finds no error"; fi

  # Installing it touches the system: only as root, and never over a copy someone else installed.
  if [ "$(id -u)" -ne 0 ]; then
    echo "skip: installing the package needs root"
  elif dpkg-query -W -f='${Status}' lumora 2>/dev/null | grep -q 'install ok installed'; then
    echo "skip: a lumora package is already installed on this machine; it is left alone"
  elif ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=120 "$deb" \
         >"$work/apt.log" 2>&1; then
    cat "$work/apt.log"
    fail "apt-get install $(basename "$deb")"
  else
    package_installed_here=1
    pass "apt-get installed the package"
    check "lumora is on the PATH" test "$(env PATH=/usr/bin:/bin sh -c 'command -v lumora')" = /usr/bin/lumora

    mkdir -p "$work/home-deb"
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$work/home-deb" PATH=/usr/bin:/bin \
      lumora /c >"$work/deb-run.log" 2>&1 &
    run=$!
    pids+=("$run")
    if wait_centred_window "$run" 506 327 15; then
      pass "the packaged lumora /c shows its 506x327 splash centred"
    else
      fail "the packaged lumora /c showed no centred 506x327 splash; its windows: $(windows_of "$run" | tr '\n' ';')"
      cat "$work/deb-run.log"
    fi
    kill "$run" 2>/dev/null
    wait_end "$run" 10 >/dev/null
    [ $? -eq 124 ] && fail "the packaged lumora did not end on SIGTERM"
    forget_pid "$run"

    if DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=120 lumora \
         >"$work/apt-remove.log" 2>&1; then
      package_installed_here=0
      pass "apt-get removed the package"
    else
      cat "$work/apt-remove.log"
      fail "apt-get remove lumora"
    fi
    check "/usr/bin/lumora is gone" test ! -e /usr/bin/lumora
    check "the hack link is gone" test ! -e /usr/libexec/xscreensaver/lumora -a ! -L /usr/libexec/xscreensaver/lumora
    check "the saver link is gone" test ! -e /usr/libexec/lumora -a ! -L /usr/libexec/lumora/saver_lumora
    check "the data folder is gone" test ! -e /usr/share/lumora
  fi
fi

echo
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
