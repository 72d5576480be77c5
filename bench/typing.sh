#!/usr/bin/env bash
# Typing benchmark: types three texts through SendKeys (XTest) into a real xterm on a
# private Xvfb and compares what arrives with what was sent; types the first two with
# xdotool as well, into the same kind of receiver; then the receiver matrix: the three
# texts into xterm and into GTK 3, Tk and Qt 6 receivers (tests/e2e/receivers). Then the
# same through the Wayland virtual keyboard on a headless sway, into foot and into xterm
# on Xwayland, against wtype; then on a headless GNOME (mutter) and KDE Plasma (KWin)
# into GTK 3 and Qt 6 windows on the Wayland platform.
#   bench/typing.sh [runs]     (default 1; with more, rates are averaged, errors summed)
# Uses the build in build/ (scripts/test makes it; KEST_BUILD_DIR names another one);
# ends with four summary lines: X11, the receivers, Wayland, GNOME and KDE.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-1}
build=${KEST_BUILD_DIR:-build}
bench=$build/bench/typing_bench
[ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target typing_bench kest_qt_receiver >/dev/null
export LC_ALL=C.UTF-8 LANG=C.UTF-8

source scripts/xvfb.sh
work=$(mktemp -d)
xterm_pid=""
stop_receiver() {
  if [ -n "$xterm_pid" ]; then
    kill "$xterm_pid" 2>/dev/null || true
    wait "$xterm_pid" 2>/dev/null || true
  fi
  xterm_pid=""
}
cleanup() {
  stop_receiver
  stop_private_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
start_private_xvfb

now() { date +%s.%N; }
size() { stat -L -c %s "$1" 2>/dev/null || echo 0; }

# The receiver: an xterm whose terminal, in raw mode, copies every byte it gets to
# $work/out; or (receiver=gtk, tk or qt) one of the test receivers, which appends what
# its text field gets to $work/out and says "focus" once the field has the focus.
receiver=xterm
start_receiver() {
  rm -rf "$work/out" "$work/ready" "$work/r"
  mkdir "$work/r"
  case $receiver in
    xterm) xterm -u8 -title KestBench -e sh -c "stty raw -echo; : > '$work/ready'; exec cat > '$work/out'" & ;;
    gtk|tk) ln -s "$work/r/received" "$work/out"
      /usr/bin/python3 "tests/e2e/receivers/${receiver}_receiver.py" KestBench "$work/r" & ;;
    qt) ln -s "$work/r/received" "$work/out"
      "$build/tests/e2e/kest_qt_receiver" -platform xcb KestBench "$work/r" & ;;
  esac
  xterm_pid=$!
  local deadline=$(( $(date +%s) + 20 ))
  until [ -e "$work/ready" ] || grep -qs ready "$work/r/status"; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "$receiver did not start" >&2; exit 1; }
    sleep 0.05
  done
  xdotool search --sync --name '^KestBench$' windowfocus --sync >/dev/null
  [ "$receiver" = xterm ] && return
  until grep -qs focus "$work/r/status"; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "$receiver did not take the focus" >&2; exit 1; }
    sleep 0.05
  done
}

# The receiver that measure starts; the Wayland part below brings its own.
starter=start_receiver

# measure EXPECTED.utf8 COMMAND...: prints "rate errors". The time runs from the start
# of the command until the receiver has every byte (or, the command ended, stops getting
# any for 3 s).
measure() {
  local expected=$1
  shift
  "$starter"
  local want t0 t_last last cur
  want=$(size "$expected")
  t0=$(now)
  # The typist runs beside the polling: what it does after the last key (a device
  # giving its spare keycodes back at exit) is not typing time.
  "$@" >&2 &
  local typist=$!
  last=-1
  t_last=$(now)
  while :; do
    cur=$(size "$work/out")
    if [ "$cur" != "$last" ]; then
      last=$cur
      t_last=$(now)
    fi
    [ "$cur" -ge "$want" ] && break
    # Quiet counts once the typist has ended (gone, or a zombie until the wait below):
    # on a loaded machine it may stall for a while in the middle.
    awk -v a="$(now)" -v b="$t_last" 'BEGIN { exit !(a - b > 3) }' &&
      [[ "$(ps -o stat= -p "$typist")" != [^Z]* ]] && break
    sleep 0.01
  done
  wait "$typist" || echo "the typist failed" >&2
  local chars errors
  chars=$(wc -m <"$expected")
  errors=$("$bench" compare "$expected" "$work/out")
  stop_receiver
  awk -v c="$chars" -v t0="$t0" -v t1="$t_last" -v e="$errors" \
    'BEGIN { printf "%.0f %d\n", c / (t1 - t0), e }'
}

declare -A rate errs
add() {  # add KEY "rate errors"
  local r e
  read -r r e <<<"$2"
  rate[$1]=$(awk -v a="${rate[$1]:-0}" -v b="$r" 'BEGIN { print a + b }')
  errs[$1]=$(( ${errs[$1]:-0} + e ))
  echo "  $1: $r chars/s, $e errors" >&2
}
avg() { awk -v s="${rate[$1]}" -v n="$runs" 'BEGIN { printf "%.0f", s / n }'; }

# "desktops" as the second argument: only GNOME and KDE Plasma (at the end).
if [ "${2:-}" != desktops ]; then
for run in $(seq 1 "$runs"); do
  echo "run $run of $runs" >&2
  for kind in ascii accented cp1252; do
    "$bench" make "$kind" "$run" "$work/$kind.cp1252" "$work/$kind.utf8"
    add "$kind" "$(measure "$work/$kind.utf8" "$bench" type "$work/$kind.cp1252")"
    if [ "$kind" != cp1252 ]; then
      add "xdotool-$kind" "$(measure "$work/$kind.utf8" timeout 300 xdotool type --delay 0 --file "$work/$kind.utf8")"
    fi
  done
done

ratio=$(awk -v a="$(avg ascii)" -v b="$(avg xdotool-ascii)" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }')
echo "typing: ascii $(avg ascii) chars/s ${errs[ascii]} errors," \
  "xdotool $(avg xdotool-ascii) chars/s ${errs[xdotool-ascii]} errors, ratio $ratio;" \
  "accented $(avg accented) chars/s ${errs[accented]} errors," \
  "xdotool $(avg xdotool-accented) chars/s ${errs[xdotool-accented]} errors;" \
  "all-cp1252 $(avg cp1252) chars/s ${errs[cp1252]} errors"

# The receiver matrix: the three texts into xterm and the GTK 3, Tk and Qt 6 receivers.
for run in $(seq 1 "$runs"); do
  echo "receivers, run $run of $runs" >&2
  for receiver in xterm gtk tk qt; do
    for kind in ascii accented cp1252; do
      "$bench" make "$kind" "$run" "$work/$kind.cp1252" "$work/$kind.utf8"
      add "$receiver-$kind" "$(measure "$work/$kind.utf8" "$bench" type "$work/$kind.cp1252")"
    done
  done
done
receiver_errors() { echo $(( ${errs[$1-ascii]} + ${errs[$1-accented]} + ${errs[$1-cp1252]} )); }
echo "receivers: xterm $(receiver_errors xterm) errors, gtk $(receiver_errors gtk) errors," \
  "tk $(receiver_errors tk) errors, qt $(receiver_errors qt) errors;" \
  "cp1252 into gtk $(avg gtk-cp1252) chars/s"

receiver=xterm

# --- Wayland: the virtual keyboard on a headless sway, into foot and into xterm on a
# rootful Xwayland, against wtype into foot. Rates are from the ascii text, errors
# from the ascii and the all-cp1252 texts. sway refuses to run as root: as root the
# compositor runs as nobody, in folders of its own.
wl=$work/wayland
mkdir -p "$wl/run" "$wl/home" "$wl/client"
chmod 711 "$work"
chmod 700 "$wl/run" "$wl/client"
as_sway_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$wl/run" "$wl/home"
  as_sway_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --pdeathsig=SIGTERM)
fi
printf 'output HEADLESS-1 resolution 1280x800\nxwayland disable\n' >"$wl/config"
chmod 644 "$wl/config"
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$wl/home" XDG_RUNTIME_DIR="$wl/run" \
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  "${as_sway_user[@]}" sway -d -c "$wl/config" >"$wl/sway.log" 2>&1 &
sway_pid=$!
xwayland_pid=""
stop_wayland() {
  stop_receiver
  [ -n "$xwayland_pid" ] && kill "$xwayland_pid" 2>/dev/null
  swaymsg -s "$(ls "$wl"/run/sway-ipc.* 2>/dev/null | head -1)" exit >/dev/null 2>&1 || true
  wait "$sway_pid" 2>/dev/null || true
}
trap 'stop_wayland; cleanup' EXIT
deadline=$(( $(date +%s) + 20 ))
until [ -S "$wl/run/wayland-1" ] && ls "$wl"/run/sway-ipc.* >/dev/null 2>&1; do
  [ "$(date +%s)" -lt "$deadline" ] || { echo "sway did not start" >&2; exit 1; }
  sleep 0.05
done
x_display=${DISPLAY:-}
unset DISPLAY
export WAYLAND_DISPLAY=$wl/run/wayland-1 XDG_RUNTIME_DIR=$wl/client
sway_has() { swaymsg -s "$(ls "$wl"/run/sway-ipc.* | head -1)" -t get_tree | grep -q "\"name\": \"$1\""; }

start_foot() {
  rm -f "$work/out" "$work/ready"
  foot --title KestBench sh -c "stty raw -echo; : > '$work/ready'; exec cat > '$work/out'" \
    >/dev/null 2>&1 &
  xterm_pid=$!
  local deadline=$(( $(date +%s) + 20 ))
  until [ -e "$work/ready" ] && sway_has KestBench; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "foot did not start" >&2; exit 1; }
    sleep 0.05
  done
}

# Rootful: the X screen is one window in sway, which has the focus once foot is gone.
start_xwayland_xterm() { DISPLAY=$xwayland start_receiver; }

# wayland_run KEY RUN: both texts through the virtual keyboard into the receiver that
# $starter starts, as KEY-ascii and KEY-cp1252.
wayland_run() {
  for kind in ascii cp1252; do
    "$bench" make "$kind" "$2" "$work/$kind.cp1252" "$work/$kind.utf8"
    add "$1-$kind" "$(measure "$work/$kind.utf8" "$bench" type-wayland "$work/$kind.cp1252")"
  done
}

for run in $(seq 1 "$runs"); do
  echo "wayland run $run of $runs" >&2
  starter=start_foot
  wayland_run wl-foot "$run"
  add wtype "$(measure "$work/ascii.utf8" timeout 300 wtype -- "$(cat "$work/ascii.utf8")")"
done
xwayland_number=$work/xwayland-number
Xwayland -displayfd 5 -nolisten tcp -noreset 5>"$xwayland_number" 2>/dev/null &
xwayland_pid=$!
deadline=$(( $(date +%s) + 20 ))
until [ -s "$xwayland_number" ]; do
  [ "$(date +%s)" -lt "$deadline" ] || { echo "Xwayland did not start" >&2; exit 1; }
  sleep 0.05
done
xwayland=:$(cat "$xwayland_number")
for run in $(seq 1 "$runs"); do
  echo "xwayland run $run of $runs" >&2
  starter=start_xwayland_xterm
  wayland_run wl-xterm "$run"
done
disconnects=$(grep -c "error in client communication" "$wl/sway.log" || true)
[ "$disconnects" -eq 0 ] || echo "sway threw $disconnects clients off" >&2
export DISPLAY=$x_display
wl_ratio=$(awk -v a="$(avg wl-foot-ascii)" -v b="$(avg wtype)" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }')
echo "wayland: foot $(avg wl-foot-ascii) chars/s $(( ${errs[wl-foot-ascii]} + ${errs[wl-foot-cp1252]} )) errors," \
  "wtype $(avg wtype) chars/s ${errs[wtype]} errors, ratio $wl_ratio;" \
  "xwayland-xterm $(avg wl-xterm-ascii) chars/s $(( ${errs[wl-xterm-ascii]} + ${errs[wl-xterm-cp1252]} )) errors"
fi

# --- GNOME and KDE Plasma: a headless mutter (its remote desktop) and a headless KWin
# (its fake input), each on a session bus of its own with a US layout, typing into GTK 3
# and Qt 6 windows on the Wayland platform. Rates are from the ascii text; GTK's errors
# from all three texts (it takes Unicode input for what the layout lacks), Qt's from the
# ascii one (without an input method it takes only what the layout has).
unset WAYLAND_DISPLAY
desktop_pids=()
stop_desktops() {
  stop_receiver
  for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${desktop_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  desktop_pids=()
}
trap 'stop_desktops; declare -F stop_wayland >/dev/null && stop_wayland; cleanup' EXIT
# start_desktop NAME: a private bus, runtime directory and compositor in $work/NAME;
# exports what its clients need.
start_desktop() {
  local d=$work/$1
  mkdir -p "$d/run" "$d/client" "$d/share/applications" "$d/config"
  chmod 700 "$d/run" "$d/client"
  dbus-daemon --session --nofork --address="unix:path=$d/bus" >/dev/null 2>&1 &
  desktop_pids+=($!)
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$d/bus
  until [ -S "$d/bus" ]; do sleep 0.05; done
  if [ "$1" = gnome ]; then
    # mutter takes its layout from localed, which a small service stands in for.
    /usr/bin/python3 tests/e2e/support/locale1_service.py "$DBUS_SESSION_BUS_ADDRESS" us >/dev/null &
    desktop_pids+=($!)
    XDG_RUNTIME_DIR=$d/run DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS HOME=$d \
      GSETTINGS_BACKEND=memory mutter --headless --wayland --no-x11 \
      --virtual-monitor 1024x768 --wayland-display=wayland-kest >"$d/log" 2>&1 &
  else
    # KWin grants its fake input to the programs its menu entries name; Debian's
    # kwin_wayland carries a file capability that containers refuse, a copy does not.
    cp /usr/bin/kwin_wayland "$d/kwin_wayland"
    printf '[Desktop Entry]\nType=Application\nName=typing_bench\nExec=%s\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n' \
      "$(realpath "$bench")" >"$d/share/applications/kest-bench.desktop"
    printf '[Layout]\nLayoutList=us\nUse=true\n' >"$d/config/kxkbrc"
    XDG_RUNTIME_DIR=$d/run XDG_CONFIG_HOME=$d/config XDG_CACHE_HOME=$d/cache HOME=$d \
      XDG_DATA_DIRS=$d/share:/usr/share "$d/kwin_wayland" --virtual --socket wayland-kest \
      --no-lockscreen --no-global-shortcuts --no-kactivities >"$d/log" 2>&1 &
  fi
  desktop_pids+=($!)
  local deadline=$(( $(date +%s) + 30 ))
  until [ -S "$d/run/wayland-kest" ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "$1 did not start" >&2; exit 1; }
    sleep 0.05
  done
  export WAYLAND_DISPLAY=$d/run/wayland-kest XDG_RUNTIME_DIR=$d/client GDK_BACKEND=wayland \
    NO_AT_BRIDGE=1
}
# mutter's headless seat has a keyboard (and a window the keyboard focus) only while a
# device types: there the receiver is ready once its window is shown, and the device's
# first key takes care of the rest; on KWin once it has the focus.
start_native() {
  rm -rf "$work/out" "$work/r"
  mkdir "$work/r"
  ln -s "$work/r/received" "$work/out"
  case $receiver in
    gtk) /usr/bin/python3 tests/e2e/receivers/gtk_receiver.py KestBench "$work/r" & ;;
    qt) "$build/tests/e2e/kest_qt_receiver" -platform wayland KestBench "$work/r" & ;;
  esac
  xterm_pid=$!
  local deadline=$(( $(date +%s) + 20 ))
  local wanted=ready
  [ "$desktop" = kde ] && wanted=focus
  until grep -qs "$wanted" "$work/r/status"; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "$receiver did not start" >&2; exit 1; }
    sleep 0.05
  done
}
for desktop in gnome kde; do
  start_desktop "$desktop"
  starter=start_native
  for run in $(seq 1 "$runs"); do
    echo "$desktop run $run of $runs" >&2
    for receiver in gtk qt; do
      for kind in ascii accented cp1252; do
        [ "$receiver" = qt ] && [ "$kind" != ascii ] && continue
        "$bench" make "$kind" "$run" "$work/$kind.cp1252" "$work/$kind.utf8"
        add "$desktop-$receiver-$kind" \
          "$(measure "$work/$kind.utf8" "$bench" type-desktop "$desktop" "$work/$kind.cp1252")"
      done
    done
  done
  thrown=$(grep -c "error in client communication" "$work/$desktop/log" || true)
  [ "$thrown" -eq 0 ] || echo "$desktop threw $thrown clients off" >&2
  stop_desktops
done
desktop_line() {
  echo "$1: gtk $(avg "$1-gtk-ascii") chars/s" \
    "$(( ${errs[$1-gtk-ascii]} + ${errs[$1-gtk-accented]} + ${errs[$1-gtk-cp1252]} )) errors," \
    "qt $(avg "$1-qt-ascii") chars/s ${errs[$1-qt-ascii]} errors"
}
echo "$(desktop_line gnome); $(desktop_line kde)"
