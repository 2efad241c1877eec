#!/usr/bin/env bash
# Inside the test LAN, as root: starts an Xvfb, runs the installed orvane as
# USER (a fresh account without a class registry of its own), and drives it
# with xdotool like an operator: the main window must open without the
# plug-in message, Search must list the three simulated cameras, Link(1080P)
# must show a moving picture.
#   installed-cases.sh USER TIMESTRIP_READ
set -euo pipefail
user=$1 timestrip_read=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$ORVANE_LAN_DIR
# shellcheck source=../e2e/lib.sh
. "$here/tests/e2e/lib.sh"
# A failure keeps the screen as it was, for whoever reads the log.
on_fail() {
  if [ -n "${DISPLAY:-}" ] && import -window root "$here/build/package-stage-failure.png" 2>/dev/null; then
    echo "the screen: $here/build/package-stage-failure.png" >&2
  fi
}
. "$here/scripts/xvfb.sh"
start_xvfb
orvane_pid=""
trap 'kill $orvane_pid $XVFB_PID 2>/dev/null || true' EXIT

home=$(getent passwd "$user" | cut -d: -f6)
runtime=$work/runtime-$user
mkdir -m 700 "$runtime" && chown "$user:" "$runtime"
[ ! -e "$home/.local/share/orvane-registry" ] || fail "the fresh user has a class registry already"

# The user's own session, with nothing from this root shell but the display.
setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups \
  env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin DISPLAY="$DISPLAY" \
  XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8 orvane > "$work/orvane.out" 2>&1 &
orvane_pid=$!

main=$(wait_window '^Orvane-V' 15) || fail "no main window; orvane said: $(cat "$work/orvane.out")"
xdotool search --onlyvisible --name '^Error$' >/dev/null 2>&1 && fail "the plug-in message came up"
! grep -q 'TarnVidraActivex' "$work/orvane.out" || fail "the plug-in message: $(cat "$work/orvane.out")"
[ "$(ps -o user= -p "$orvane_pid")" = "$user" ] || fail "orvane does not run as $user"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"   # X, Y: the window's client area
wx=$X wy=$Y

echo "search"
xdotool mousemove $((wx + 46)) $((wy + 485)) click 1   # Search, at 11,474 71x23
for _ in $(seq 1 100); do xdotool search --name '^Updating$' >/dev/null 2>&1 && break; sleep 0.05; done
for _ in $(seq 1 200); do xdotool search --name '^Updating$' >/dev/null 2>&1 || break; sleep 0.05; done
sleep 0.5
grep -q '^search-request from=10.77.0.1:10088' "$ORVANE_SIM_LOG" || fail "no search reached the cameras: $(cat "$ORVANE_SIM_LOG")"

# link_row Y: Link(1080P), the second item of the menu of the row at Y.
link_row() {
  xdotool mousemove $((wx + 60)) $((wy + $1)) click 1 click 3
  sleep 0.5
  xdotool key Down Down Return
}
# frame_time: the time the simulator painted into the picture the control shows now.
frame_time() {
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop 422x396+$((wx + 555))+$((wy + 42)) +repage -depth 8 "$work/frame.ppm"  # control 1020
  "$timestrip_read" "$work/frame.ppm"
}

# The rows are in address order: the first is 10.77.0.11, the third
# 10.77.0.13, so a link to each shows that the list holds what the cameras
# answered. The rows are 18 pixels apart in the window's font.
echo "link the third row"
link_row $((76 + 2 * 18))
for _ in $(seq 1 50); do grep -q 'rtsp-client camera=10.77.0.13 path=/main' "$ORVANE_SIM_LOG" && break; sleep 0.1; done
grep -q 'rtsp-client camera=10.77.0.13 path=/main' "$ORVANE_SIM_LOG" || fail "the third row did not link 10.77.0.13's 1080P stream: $(grep rtsp "$ORVANE_SIM_LOG")"

echo "link the first row"
link_row 76
for _ in $(seq 1 50); do grep -q 'rtsp-client camera=10.77.0.11 path=/main' "$ORVANE_SIM_LOG" && break; sleep 0.1; done
grep -q 'rtsp-client camera=10.77.0.11 path=/main' "$ORVANE_SIM_LOG" || fail "the first row did not link 10.77.0.11's 1080P stream"
first=""
for _ in $(seq 1 50); do first=$(frame_time 2>/dev/null) && break; sleep 0.2; done
[ -n "$first" ] || fail "no picture with a time strip in the control"
sleep 1
second=$(frame_time) || fail "the picture went away"
[ "$second" -gt "$first" ] || fail "the picture does not move: $first then $second"
echo "moving picture: frame times $first, then $second ms"

# Exit, at 285,476 75x23: the program ends.
xdotool mousemove $((wx + 320)) $((wy + 485)) click 1
for _ in $(seq 1 100); do kill -0 "$orvane_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$orvane_pid" 2>/dev/null && fail "Exit did not end orvane"
wait "$orvane_pid" && rc=0 || rc=$?
orvane_pid=""
[ "$rc" = 0 ] || fail "orvane ended with $rc: $(cat "$work/orvane.out")"
[ ! -e "$home/.local/share/orvane-registry" ] || fail "the user's run wrote a class registry of its own"
echo "ok installed"
