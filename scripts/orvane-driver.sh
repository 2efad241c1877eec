# Sourced, not run: what scripts/demo and scripts/screenshot share to drive a
# real orvane window with xdotool on a test LAN. Every wait is bounded, and a
# step that fails ends the script with a message naming the step.
#
#   ORVANE_BUILD   the build folder (default: build/ beside scripts/)
#   step NAME COMMAND...   says NAME, runs COMMAND; on failure says "NAME failed" and exits 1

here=${here:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
build=${ORVANE_BUILD:-$here/build}

# The four cameras both scripts show.
DEMO_CAMERAS=(
  "--camera ip=10.77.0.11,mac=001a2b3c4d01,version=V2.4.3,xy=120&45,uid=ORVDEMO00000000000001,keyid=1"
  "--camera ip=10.77.0.12,mac=001a2b3c4d02,version=V3.1.0,xy=7&3,uid=ORVDEMO00000000000002,keyid=2"
  "--camera ip=10.77.0.13,mac=001a2b3c4d03,version=V3.2.1,xy=499&99,uid=ORVDEMO00000000000003,keyid=3"
  "--camera ip=10.77.0.20,mac=001a2b3c4d04,version=V12.4.0,xy=1&1,uid=ORVDEMO00000000000004,keyid=4"
)

step() {
  local name=$1
  shift
  echo "--- $name"
  if ! "$@"; then
    echo "$(basename "$0"): step '$name' failed" >&2
    exit 1
  fi
}

# wait_window PATTERN SECONDS and wait_gone PATTERN SECONDS: the waits the
# shell cases use.
# shellcheck source=../tests/e2e/lib.sh
. "$here/tests/e2e/lib.sh"

# In a registry of the run's own (XDG_DATA_HOME under the test LAN's folder).
register_plugin() {
  export XDG_DATA_HOME="$ORVANE_LAN_DIR/data" XDG_RUNTIME_DIR="$ORVANE_LAN_DIR/runtime"
  mkdir -p "$XDG_DATA_HOME" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
  # As root, regsvr would register machine-wide: this run's registry is the user's.
  "$build/bin/regsvr" --user "$build/lib/libvidra.so"
}

# Starts orvane in the background (ORVANE_PID) and waits for its main window;
# wx and wy are the window's position on the screen. An orvane that ends
# first will never open it, so the step fails then rather than at its bound.
main_window_or_end() { first_window '^Orvane-V' || ! kill -0 "$ORVANE_PID" 2>/dev/null; }
start_orvane() {
  "$build/bin/orvane" &
  ORVANE_PID=$!
  local window_id="" rc
  wait_for 15 main_window_or_end || return 1
  if [ -z "$window_id" ]; then
    wait "$ORVANE_PID" && rc=0 || rc=$?
    echo "orvane ended (exit $rc) without opening its main window" >&2
    return 1
  fi
  main=$window_id
  wait_painted "$main" 5 || return 1
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$main")"
  wx=$X wy=$Y
}

# Search (button at 11,474, 71x23): the progress window comes and goes.
search_cameras() {
  xdotool mousemove $((wx + 46)) $((wy + 485)) click 1
  wait_window '^Updating$' 5 >/dev/null || return 1
  wait_gone '^Updating$' 35 || return 1
  wait_painted "$main" 5
}

# Clicks the first row and opens its menu, then picks the item that many
# Down presses away (1 Link(720P), 2 Link(1080P), 3 Update, 4 Set).
first_row_command() {
  local before
  before=$(visible_windows)
  xdotool mousemove $((wx + 60)) $((wy + 76)) click 1 click 3
  wait_new_window "$before" 5 >/dev/null || { echo "the first row's menu did not open" >&2; return 1; }
  local i
  for ((i = 0; i < $1; i++)); do xdotool key Down; done
  xdotool key Return
}

# The ids of every window on the screen, one a line; Qt's menus and popups
# (override-redirect, without a name) are among them.
visible_windows() { xdotool search --onlyvisible --class . 2>/dev/null | sort; }
new_window() {
  window_id=$(comm -13 <(printf '%s\n' "$1") <(visible_windows) | head -1)
  [ -n "$window_id" ]
}
# wait_new_window BEFORE SECONDS: prints the id of a window shown since
# visible_windows printed BEFORE; false when none shows in time.
wait_new_window() {
  local window_id="" rc
  wait_for "$2" new_window "$1" || return 1
  echo "$window_id"
}

# A window is painted when two captures of it in a row are the same: Qt maps
# a window before it has drawn it, and a layout may take a pass more.
window_capture() { import -window "$1" rgb:- 2>/dev/null | md5sum; }
painting_done() {
  local now
  now=$(window_capture "$1") || return 1
  [ "$now" = "${last_capture:-}" ] && return 0
  last_capture=$now
  return 1
}
# wait_painted WINDOW SECONDS
wait_painted() {
  local last_capture=""
  wait_for "$2" painting_done "$1" || { echo "window $1 still changing after $2 s" >&2; return 1; }
}

# received_at_least BYTES COUNT: at least COUNT connections to the cameras'
# command port have brought the camera BYTES or more (an upload under way).
received_at_least() {
  ip netns exec "$ORVANE_CAMERA_NS" ss -Htin '( sport = :16101 )' |
    grep -oE 'bytes_received:[0-9]+' | awk -F: -v want="$1" -v count="$2" '
      $2 >= want { n++ }
      END { exit !(n >= count) }'
}
wait_received() {
  wait_for "$3" received_at_least "$1" "$2" || { echo "fewer than $2 uploads reached $1 bytes in $3 s" >&2; return 1; }
}

# The fraction of the area WIDTHxHEIGHT+X+Y of the screen that is not black.
lit_fraction() {
  import -window root png:- 2>/dev/null |
    convert - -crop "$1" +repage -fuzz 10% -fill white +opaque black -colorspace gray -format '%[fx:mean]' info:
}
area_lit() { awk -v f="$(lit_fraction "$1")" -v want="$2" 'BEGIN { exit !(f + 0 >= want) }'; }

# A part WIDTHxHEIGHT+X+Y of the screen, as a checksum of its pixels.
button_capture() { import -window root png:- 2>/dev/null | convert - -crop "$1" +repage rgb:- | md5sum; }
button_changed() { [ "$(button_capture "$1")" != "$2" ]; }

shoot() {
  import -window "${2:-root}" "$1"
}
