#!/usr/bin/env bash
# Checks the Windows serial device under Wine against a pseudo-terminal:
#   serial-device-check.sh <path of serial_device_check.exe>
# socat makes a pseudo-terminal pair; one end is linked as COM5 in the Wine prefix, the
# other is played by serial_peer.py. Checked: a port that is not there fails to open
# and says why; 100,000 bytes arrive checked in order and are echoed back whole and in
# order; an idle open port uses no CPU (the program and the wineserver are measured
# over 10 s); the port closes promptly; baud rates, stop bits, handshaking and lines
# are taken (a pseudo-terminal refuses parity and other word sizes); a vanished peer
# is said exactly once. Every open returns at once and finishes on a thread of its own.
# Uses $WINEPREFIX when it is set (one prefix per test run can be shared), else a
# prefix of its own; $DISPLAY when it is set, else a private Xvfb.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exe="$(realpath "${1:?usage: $0 <path of serial_device_check.exe>}")"

work="$(mktemp -d)"
own_prefix=0
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$work/prefix"
  own_prefix=1
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${DISPLAY:-}" ]; then
  source "$here/../../../scripts/xvfb.sh"
  start_private_xvfb
fi

socat_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
  if ((own_prefix)); then wineserver -k 2>/dev/null; fi
  declare -F stop_private_xvfb >/dev/null && stop_private_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }

# The wineserver is started here so that its own output (it dumps its objects when the
# pseudo-terminal hangs up) goes to a log rather than into the program's output.
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  wine wineboot -i >"$work/wineboot.log" 2>&1
fi
wineserver -p5 >"$work/wineserver.log" 2>&1

start_pty_pair() {
  rm -f "$work/com" "$work/peer"
  socat pty,raw,echo=0,link="$work/com" pty,raw,echo=0,link="$work/peer" 2>"$work/socat.log" &
  socat_pid=$!
  for _ in $(seq 100); do
    [ -e "$work/com" ] && [ -e "$work/peer" ] && break
    sleep 0.1
  done
  ln -sfn "$work/com" "$WINEPREFIX/dosdevices/com5"
}

# Starts the program in the background; its output goes to $work/$1.out.
start_program() {
  local log="$work/$1.out"
  shift
  : >"$log"
  wine "$exe" "$@" >"$log" 2>&1 &
  program_pid=$!
}

wait_for_line() {  # file, text, seconds
  local deadline=$((SECONDS + $3))
  while ((SECONDS < deadline)); do
    grep -q "$2" "$1" && return 0
    kill -0 "$program_pid" 2>/dev/null || { grep -q "$2" "$1"; return; }
    sleep 0.2
  done
  return 1
}

wait_for_exit() {  # seconds; sets $status
  local deadline=$((SECONDS + $1))
  while ((SECONDS < deadline)) && kill -0 "$program_pid" 2>/dev/null; do sleep 0.2; done
  if kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid"
    status=124
  else
    wait "$program_pid"
    status=$?
  fi
  program_pid=""
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

our_wineserver() {
  local pid
  for pid in $(pgrep -x wineserver64) $(pgrep -x wineserver); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done | head -1
}

# 1. A port with no device.
rm -f "$WINEPREFIX/dosdevices/com9"
start_program absent absent '\\.\COM9'
wait_for_exit 120
cat "$work/absent.out"
if ((status == 0)); then pass "a port that is not there fails to open"; else fail "absent port (exit $status)"; fi

# 2. Idle, then 100,000 bytes in order both ways, then a prompt close.
count=100000
start_pty_pair
start_program echo echo '\\.\COM5' "$count"
if wait_for_line "$work/echo.out" '^open' 120; then
  server=$(our_wineserver)
  tick_hz=$(getconf CLK_TCK)
  p0=$(cpu_ticks "$program_pid")
  s0=$(cpu_ticks "$server")
  sleep 10
  program_ms=$((($(cpu_ticks "$program_pid") - p0) * 1000 / tick_hz))
  server_ms=$((($(cpu_ticks "$server") - s0) * 1000 / tick_hz))
  echo "idle open port over 10 s: program ${program_ms} ms CPU, wineserver ${server_ms} ms CPU"
  # A polling reader (or a WaitCommEvent loop under Wine) costs whole seconds here.
  if ((program_ms <= 200 && server_ms <= 1000)); then pass "an idle open port uses no CPU"
  else fail "idle CPU"; fi
  python3 "$here/serial_peer.py" "$work/peer" "$count" 120 && peer=0 || peer=1
  wait_for_exit 60
  cat "$work/echo.out"
  if ((peer == 0 && status == 0)); then pass "$count bytes arrive in order and go back out in order"
  else fail "transfer (peer $peer, program exit $status)"; fi
  close_ms=$(tr -d '\r' <"$work/echo.out" | sed -n 's/^closed in \([0-9]*\) ms$/\1/p')
  # Without cancelling its read the worker would wait for the read's own timeout.
  if [ -n "$close_ms" ] && ((close_ms < 3000)); then pass "the port closes promptly (${close_ms} ms)"
  else fail "close (${close_ms:-none})"; fi
else
  cat "$work/echo.out"
  fail "COM5 did not open"
fi

# 3. Baud rates, stop bits, handshaking and lines are taken by the driver.
start_program settings settings '\\.\COM5'
wait_for_exit 120
cat "$work/settings.out"
if ((status == 0)); then pass "baud rates, stop bits, handshaking and lines are taken"
else fail "settings (exit $status)"; fi

# 4. The peer vanishes: said once, and the port is closed.
kill "$socat_pid" 2>/dev/null; wait "$socat_pid" 2>/dev/null; socat_pid=""
start_pty_pair
start_program lost lost '\\.\COM5'
if wait_for_line "$work/lost.out" '^open' 120; then
  kill "$socat_pid"; wait "$socat_pid" 2>/dev/null; socat_pid=""
  wait_for_exit 60
  cat "$work/lost.out"
  if ((status == 0)); then pass "a vanished device is said exactly once"; else fail "loss (exit $status)"; fi
else
  cat "$work/lost.out"
  fail "COM5 did not open for the loss check"
fi

echo "serial_device: $passed passed, $failed failed"
((failed == 0))
