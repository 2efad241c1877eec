#!/usr/bin/env bash
# End-to-end cases of simulated cameras that restart, seen the way an
# operator sees them: orvane-cli upload-firmware, set-ip and search on the
# test LAN. One case per run:
#   restart-cases.sh BUILD_DIR CASE
# The script runs itself again inside the LAN (`--inside`) to drive the
# steps there, with the simulator's log at hand.
set -euo pipefail

if [ "${1:-}" != --inside ]; then
  build=$1
  case_name=$2
  here=$(cd "$(dirname "$0")/../.." && pwd)
  m=001a2b3c4d  # MAC prefix of the cameras below
  case "$case_name" in
  upgrade)
    sim="--camera ip=10.77.0.11,mac=${m}11,version=V1,restart-ms=1500,after-upgrade=V2
         --camera ip=10.77.0.12,mac=${m}12,version=V1,restart-ms=1500
         --camera ip=10.77.0.13,mac=${m}13,version=V1,restart-ms=1500,back=never
         --camera ip=10.77.0.14,mac=${m}14,version=V1" ;;
  address)
    sim="--camera ip=10.77.0.11,mac=${m}11,version=V1,restart-ms=1000
         --camera ip=10.77.0.12,mac=${m}12,version=V1" ;;
  no-restart)
    sim="--camera ip=10.77.0.11,mac=${m}11,version=V1
         --camera ip=10.77.0.12,mac=${m}12,version=V1,restart-ms=1000,reply=3,after-upgrade=V2
         --camera ip=10.77.0.13,mac=${m}13,version=V1,restart-ms=1000,after-upgrade=V2" ;;
  generated)
    sim="--cameras 6 --addresses 10.77.0.11,10.77.0.12,10.77.0.13,10.77.0.14,10.77.0.15,10.77.0.16
         --restart-ms 1000 --after-upgrade V9" ;;
  *) echo "FAIL: unknown case $case_name" >&2; exit 1 ;;
  esac
  errors=$(mktemp)
  trap 'rm -f "$errors"' EXIT
  rc=0
  "$here/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" --sim "$sim" -- \
    "$0" --inside "$build" "$case_name" 2> "$errors" || rc=$?
  cat "$errors" >&2
  # A sanitizer build of the simulator reports on stderr, also at its exit.
  ! grep -q 'Sanitizer' "$errors" || { echo "FAIL: the simulator's sanitizer reported" >&2; exit 1; }
  [ "$rc" -eq 0 ] || exit "$rc"
  echo "ok $case_name"
  exit 0
fi

build=$2
case_name=$3
cli="$build/bin/orvane-cli"
log=$ORVANE_SIM_LOG
work=$(mktemp -d /tmp/orvane-restart.XXXXXX)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../e2e/lib.sh
. "$(dirname "$0")/../e2e/lib.sh"
on_fail() { echo "--- camera log" >&2; grep -v '^search-request\|^answered' "$log" >&2; }
head -c 25000 /dev/urandom > "$work/firmware.bin"

# What a search lists for each MAC: "MAC IP VERSION", one a line in MAC order.
search() { "$cli" search | awk -F'\t' '{ print $3, $2, $4 }' | sort; }
expect_listed() {  # expected lines, in MAC order
  local got expected
  got=$(search)
  expected=$(printf '%s\n' "$@")
  [ "$got" = "$expected" ] || fail "search listed:
$got
expected:
$expected"
}
upgrade() {  # IP: an upload the camera accepts with result 1
  local out
  out=$("$cli" upload-firmware "$1" "$work/firmware.bin" 2>/dev/null) || fail "upload to $1 failed: $out"
  [ "$(tail -n 1 <<<"$out")" = 1 ] || fail "upload to $1: result $out"
}
# The restart begins right after the reply, so it is in the log once the upload is over.
expect_restart() {  # IP REASON MS
  grep -qx "restart camera=$1 reason=$2 silent-ms=$3" "$log" || fail "no restart line for $1 ($2)"
}
wait_line() {  # PATTERN SECONDS: waits until the log has a line matching PATTERN
  wait_for "$2" grep -qx "$1" "$log" || fail "no log line '$1' after $2 s"
}
# upgrade_all IP...: the uploads at once, as a fleet upgrade runs them.
upgrade_all() {
  local pids=() pid
  for ip in "$@"; do upgrade "$ip" & pids+=($!); done
  for pid in "${pids[@]}"; do wait "$pid" || exit 1; done
}
# set-xy IP: 0 when the camera took the connection and the frames.
set_xy() { "$cli" set-xy "$1" 7 8 >/dev/null 2>&1; }
m=001a2b3c4d

case "$case_name" in
upgrade)
  # Three cameras upgraded at once: one comes back with the version it was
  # told, one unchanged, one never; the fourth never restarts.
  upgrade_all 10.77.0.11 10.77.0.12 10.77.0.13
  expect_restart 10.77.0.11 upgrade 1500
  expect_restart 10.77.0.12 upgrade 1500
  expect_restart 10.77.0.13 upgrade 1500
  ! set_xy 10.77.0.11 || fail "a restarting camera took a command connection"
  expect_listed "${m}14 10.77.0.14 V1"
  # The first search lasted 2 s, longer than the silence.
  wait_line "back camera=10.77.0.11 ip=10.77.0.11 version=V2" 1
  wait_line "back camera=10.77.0.12 ip=10.77.0.12 version=V1" 1
  wait_line "never-back camera=10.77.0.13" 1
  expect_listed "${m}11 10.77.0.11 V2" "${m}12 10.77.0.12 V1" "${m}14 10.77.0.14 V1"
  set_xy 10.77.0.11 || fail "the camera back from its restart refused a command connection"
  ! set_xy 10.77.0.13 || fail "a camera that never came back took a command connection"
  ! grep -q "^back camera=10.77.0.13 " "$log" || fail "the camera with back=never came back"
  # A second upgrade of the camera that came back: it restarts again.
  upgrade 10.77.0.11
  [ "$(grep -c '^restart camera=10.77.0.11 ' "$log")" = 2 ] || fail "no second restart"
  ;;
address)
  "$cli" set-ip 10.77.0.11 10.77.0.60 >/dev/null 2>&1 || fail "set-ip failed"
  wait_line "restart camera=10.77.0.11 reason=address silent-ms=1000" 1
  expect_listed "${m}12 10.77.0.12 V1"
  wait_line "back camera=10.77.0.11 ip=10.77.0.60 version=V1" 1
  expect_listed "${m}11 10.77.0.60 V1" "${m}12 10.77.0.12 V1"
  set_xy 10.77.0.60 || fail "no command connection at the new address"
  grep -q '^frame camera=10.77.0.60 conn=[0-9]* text=#3&3&7&8#$' "$log" || fail "set-xy did not reach 10.77.0.60"
  ! set_xy 10.77.0.11 || fail "the old address still takes command connections"
  # An address no camera can hold: it restarts and comes back where it was.
  "$cli" set-ip 10.77.0.60 255.255.255.255 >/dev/null 2>&1 || fail "second set-ip failed"
  wait_line "address-not-taken camera=10.77.0.11 ip=255.255.255.255 reason=not-unicast" 2
  wait_line "back camera=10.77.0.11 ip=10.77.0.60 version=V1" 1
  expect_listed "${m}11 10.77.0.60 V1" "${m}12 10.77.0.12 V1"
  ;;
no-restart)
  # Without restart-ms an accepted upload and an address change change
  # nothing; a refused upload and an address list never restart a camera.
  upgrade 10.77.0.11
  "$cli" set-ip 10.77.0.11 10.77.0.60 >/dev/null 2>&1 || fail "set-ip failed"
  out=$("$cli" upload-firmware 10.77.0.12 "$work/firmware.bin" 2>/dev/null) && fail "refused upload exited 0"
  [ "$(tail -n 1 <<<"$out")" = 3 ] || fail "refused upload: result $out"
  printf '10.77.0.20\n' > "$work/onvif.txt"
  "$cli" upload-onvif 10.77.0.13 "$work/onvif.txt" >/dev/null 2>&1 || fail "address list upload failed"
  grep -q '^upload camera=10.77.0.13 conn=[0-9]* kind=6 .* md5ok=1$' "$log" || fail "no address list upload"
  sleep 0.2
  expect_listed "${m}11 10.77.0.11 V1" "${m}12 10.77.0.12 V1" "${m}13 10.77.0.13 V1"
  ! grep -qE '^(restart|back|never-back) ' "$log" || fail "a camera restarted"
  ;;
generated)
  # --restart-ms and --after-upgrade reach every generated camera.
  before=$(search)
  [ "$(wc -l <<<"$before")" = 6 ] || fail "generated cameras: $before"
  upgrade_all 10.77.0.12 10.77.0.15
  expect_restart 10.77.0.12 upgrade 1000
  expect_restart 10.77.0.15 upgrade 1000
  wait_line "back camera=10.77.0.12 ip=10.77.0.12 version=V9" 2
  wait_line "back camera=10.77.0.15 ip=10.77.0.15 version=V9" 1
  expected=$(awk '$2 == "10.77.0.12" || $2 == "10.77.0.15" { $3 = "V9" } { print }' <<<"$before")
  [ "$(search)" = "$expected" ] || fail "after the upgrades: $(search)"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
