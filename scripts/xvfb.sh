# Sourced, not run: start_xvfb starts an Xvfb on a display number it picks
# itself (-displayfd), so that runs in parallel never take the same one, and
# exports DISPLAY; XVFB_PID is its process. The caller kills it on exit.
start_xvfb() {
  local size=${1:-1280x800x24} fifo
  fifo=$(mktemp -u /tmp/orvane-xvfb.XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number
  read -r -t 10 number <"$fifo" || number=""
  rm -f "$fifo"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$number"
}
