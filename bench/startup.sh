#!/usr/bin/env bash
# Start-up time to the window shown (median of 10 runs) and the resident memory of the
# running program 10 s after start with the serial, TCP and file channels all open
# (median of 5 runs). Uses the program in build/; runs on a private Xvfb with openbox.
# Ends with one line: "startup: median M ms, rss R MiB".
set -euo pipefail
cd "$(dirname "$0")/.."
program=${KEST_PROGRAM:-$PWD/build/Kest_Redirect_Serial_to_KB}
[ -x "$program" ] || { echo "build the program first (scripts/test or scripts/run)" >&2; exit 1; }

source scripts/xvfb.sh
start_private_xvfb
openbox >/dev/null 2>&1 &
wm=$!
work=$(mktemp -d)
socat_pid=""
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
  kill "$wm" 2>/dev/null || true
  stop_private_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
base=$XDG_CONFIG_HOME/kest-redirect
cfg=$base/drive_c/TALVEN.CFG
mkdir -p "$cfg" "$base/dosdevices"

# Every channel open: COM5 is a pseudo-terminal, TCP listens as server, the watched
# file exists. The files also keep the first-start help away.
# A loopback port nobody listens on.
while :; do
  port=$(shuf -i 20000-60999 -n 1)
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done
socat pty,raw,echo=0,link="$base/dosdevices/com5" pty,raw,echo=0,link="$work/scanner" &
socat_pid=$!
printf '5\r\n' >"$cfg/TOUCHE_INP.CFG"
printf '5{ENTER}\r\n' >"$cfg/TOUCHE_OUT.CFG"
printf '5\r\n13\r\n' >"$cfg/TOUCHE_REM.CFG"
printf '.2\r\n9600,N,8,1\r\n 0 \r\n\r\n\r\n\r\n 1 \r\n 1 \r\nNone\r\n 0 \r\n0.0.0.0\r\n%s\r\nTrue\r\n' \
  "$port" >"$cfg/GENERAL.CFG"
printf 'line\r\n' >"$base/drive_c/FILE_IN.TXT"
for _ in $(seq 100); do [ -e "$base/dosdevices/com5" ] && break; sleep 0.05; done

now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }
window_shown() { xdotool search --onlyvisible --name '^Kest Redirect Serial' >/dev/null 2>&1; }
stop_program() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# Let openbox claim the screen before timing anything.
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done

times=()
for run in $(seq 10); do
  start=$(now_ms)
  "$program" >/dev/null 2>&1 &
  pid=$!
  until window_shown; do
    if (($(now_ms) - start > 20000)); then echo "run $run: no window" >&2; exit 1; fi
    sleep 0.005
  done
  times+=($(($(now_ms) - start)))
  stop_program "$pid"
done
echo "start-up to window shown (ms): ${times[*]}"

rss=()
for run in $(seq 5); do
  "$program" >/dev/null 2>&1 &
  pid=$!
  sleep 10
  rss+=($(awk '/^VmRSS:/ {print int($2 / 1024 + 0.5)}' "/proc/$pid/status"))
  stop_program "$pid"
done
echo "resident memory after 10 s (MiB): ${rss[*]}"

echo "startup: median $(printf '%s\n' "${times[@]}" | median) ms, rss $(printf '%s\n' "${rss[@]}" | median) MiB"
