# Sourced, not run: what the shell cases and scripts/orvane-driver.sh share.
# Every wait here is bounded.
#
#   e2e_case BUILD_DIR [CASE]   a case script's arguments: $build, $case_name,
#                           and $cli (its orvane-cli)
#   fail MESSAGE            says "FAIL: MESSAGE", then each file of the array
#                           fail_dump that exists, then runs on_fail when the
#                           script defines it; exits 1
#   wait_for SECONDS COMMAND...   runs COMMAND every 50 ms until it succeeds;
#                           false when SECONDS pass first
#   wait_window PATTERN SECONDS   prints the id of the first visible window whose
#                           name matches; false when none shows in time
#   wait_gone PATTERN SECONDS     false when such a window still shows after the time
#   ends_within PID SECONDS waits for the process to end; its exit code in $rc
#   case_folder NAME        a folder of the case's own in $work (readable by the
#                           test LAN's other users), removed at exit
#   lan ARGS...             scripts/test-lan with the simulator of $build
#   sim_log_has ERE [LOG]   a line of the simulator's log (default
#                           $ORVANE_SIM_LOG) matches the whole ERE
#   wait_sim_log SECONDS ERE [LOG]   until it does; fails the case otherwise
#   sim_settled             the simulator has handled every command connection
#                           made to it (run inside the test LAN)
#
# The simulator writes each log line whole and flushes it at once, so a line
# that is there is complete; a case waits for the line it needs instead of
# sleeping.

e2e_root=${e2e_root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
# For the scripts a case runs inside the test LAN: . "$ORVANE_E2E_LIB"
export ORVANE_E2E_LIB="$e2e_root/tests/e2e/lib.sh"
# What e2e_case sets; the source tree for a script that has not said where it is.
build=${build:-} case_name=${case_name:-} cli=${cli:-}
here=${here:-$e2e_root}
fail_dump=()

e2e_case() {
  build=$1
  case_name=${2:-}
  cli="$build/bin/orvane-cli"
}

fail() {
  echo "FAIL: $*" >&2
  local f
  for f in ${fail_dump[@]+"${fail_dump[@]}"}; do
    [ ! -f "$f" ] || { echo "--- $(basename "$f")" >&2; cat "$f" >&2; }
  done
  if declare -F on_fail > /dev/null; then on_fail; fi
  exit 1
}

# Microseconds since the epoch; SECONDS counts whole seconds and would cut a
# wait of 1 s to anything above nothing.
now_us() { echo "${EPOCHREALTIME/./}"; }

# SECONDS may be a fraction (0.5).
wait_for() {
  local end
  end=$(( $(now_us) + $(awk -v s="$1" 'BEGIN { printf "%d", s * 1000000 }') ))
  shift
  until "$@"; do
    [ "$(now_us)" -lt "$end" ] || return 1
    sleep 0.05
  done
}

first_window() {
  window_id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
  [ -n "$window_id" ]
}
wait_window() {
  local window_id=""
  wait_for "$2" first_window "$1" || return 1
  echo "$window_id"
}

window_shown() { xdotool search --onlyvisible --name "$1" > /dev/null 2>&1; }
window_gone() { ! window_shown "$1"; }
wait_gone() { wait_for "$2" window_gone "$1"; }

process_gone() { ! kill -0 "$1" 2> /dev/null; }
ends_within() {
  wait_for "$2" process_gone "$1" || return 1
  wait "$1" && rc=0 || rc=$?
}

case_folder() {
  work=$(mktemp -d "/tmp/orvane-$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
}

lan() { "$e2e_root/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" "$@"; }

# Run after the operator's side has closed its connections: none to port
# 16101 waits to be accepted, and the simulator has finished each it can
# finish, so its log holds their lines, each close last. A connection still
# established with unread bytes belongs to a camera that never reads: the
# operator's close waits behind those bytes and never arrives; nothing more
# will happen on it.
sim_settled() {
  ip netns exec "$ORVANE_CAMERA_NS" ss -Htan '( sport = :16101 )' | awk '
    $1 == "LISTEN" && $2 != 0 { busy = 1 }
    $1 == "SYN-RECV" || $1 == "CLOSE-WAIT" { busy = 1 }
    $1 == "ESTAB" && $2 == 0 { busy = 1 }
    END { exit busy }'
}

sim_log_has() { grep -qxE "$1" "${2:-$ORVANE_SIM_LOG}"; }
wait_sim_log() {
  wait_for "$1" sim_log_has "$2" "${3:-$ORVANE_SIM_LOG}" || fail "no line '$2' in the simulator's log after $1 s"
}
