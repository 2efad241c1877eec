# Sourced, not run: start_xvfb starts an Xvfb on a display number of its own
# and exports DISPLAY; XVFB_PID is its process. The number is drawn at random
# from 100-999 rather than taken as the lowest free one, so that a server
# starting never takes the number of one still shutting down elsewhere (whose
# exit would remove the new server's socket); a number in use, or a server
# that does not answer, is replaced by another, up to five times. -noreset:
# by default the server resets when its last client leaves, and a program
# started at that moment finds no display. The caller kills the server on exit.
start_xvfb() {
  local size=${1:-1280x800x24} number
  for _ in 1 2 3 4 5; do
    number=$((100 + RANDOM % 900))
    if [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; then continue; fi
    Xvfb ":$number" -screen 0 "$size" -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$number"
    for _ in $(seq 1 50); do
      # The answer must come from this server: two runs may draw the same
      # number at once, and the one whose server lost would otherwise take
      # the other's display and kill it when it ends.
      xdpyinfo >/dev/null 2>&1 && [ "$(tr -d ' \n' <"/tmp/.X$number-lock" 2>/dev/null)" = "$XVFB_PID" ] && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  done
  echo "Xvfb did not start" >&2
  return 1
}
