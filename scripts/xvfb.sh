# Starts a private Xvfb on a free display number and exports DISPLAY.
# Source it, then call start_private_xvfb; stop_private_xvfb ends it.
XVFB_PID=""
start_private_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # A session of its own: a Ctrl+C meant for the program must not end its display first.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number
  read -r -t 20 number <"$fifo" || { rm -f "$fifo"; echo "Xvfb did not start" >&2; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
}
stop_private_xvfb() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
