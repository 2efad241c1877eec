#!/usr/bin/env bash
# End-to-end cases of `orvane-cli search` on the test LAN, one case per run:
#   search-cases.sh BUILD_DIR CASE
# Each case starts its own test LAN and simulator.
set -euo pipefail
build=$1
case_name=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
cli="$build/bin/orvane-cli"
lan() { "$here/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs a search, leaving its output in $out and its length in $took (seconds),
# timed inside the LAN so that the namespaces' set-up does not count.
timed_search() {
  local timing
  timing=$(mktemp)
  out=$(lan "$@" -- bash -c 's=$(date +%s.%N); "$1" search; e=$(date +%s.%N); echo "$e - $s" | bc > "$2"' _ "$cli" "$timing")
  took=$(cat "$timing")
  rm -f "$timing"
}

expect_between() {  # value low high what
  echo "$1 >= $2 && $1 <= $3" | bc | grep -q 1 || fail "$4: $1 not within [$2, $3]"
}

case "$case_name" in
no-camera)
  # test-lan's own set-up takes a fraction of a second; the search itself 2 s.
  timed_search --sim "--run-ms 60000"
  [ -z "$out" ] || fail "expected an empty list, got: $out"
  expect_between "$took" 1.9 2.6 "search length"
  ;;
several-in-address-order)
  timed_search --addresses 30 --sim "
    --camera ip=10.77.0.40,mac=00:00:00:00:00:04,version=V3.2.1,xy=3&4,uid=UIDFOUR0000000000000,keyid=4
    --camera ip=10.77.0.11,mac=000000000001,version=V2.4.3,xy=120&45,uid=UIDONE00000000000000,keyid=-1
    --camera ip=10.77.0.9,mac=000000000009,version=x,xy=7
    --camera ip=10.77.0.12,mac=001a2b3c4d5e,version=V1,xy=&5,uid=U,keyid=65536"
  expected=$(printf '%s\n' \
    $'1\t10.77.0.11\t000000000001\tV2.4.3\t120\t45\tUIDONE00000000000000\t-1' \
    $'2\t10.77.0.12\t001a2b3c4d5e\tV1\t0\t5\tU\t65536' \
    $'3\t10.77.0.40\t000000000004\tV3.2.1\t3\t4\tUIDFOUR0000000000000\t4')
  # 10.77.0.9 is not a camera address of this LAN: its answer cannot be sent.
  [ "$out" = "$expected" ] || fail "got:
$out
expected:
$expected"
  ;;
odd-datagrams)
  out=$(lan --sim "
    --camera ip=10.77.0.11,mac=001122334455,len=1
    --camera ip=10.77.0.12,mac=00aabbccddee,len=300
    --camera ip=10.77.0.13,mac=0000000000ff,delay-ms=300,fill=full,version=ABCDEFGHIJKLMN,xy=12&34567890,uid=UUUUUUUUUUUUUUUUUUUUUUUUUUUUUU
    --camera ip=10.77.0.14,mac=0000000000ff,delay-ms=600,version=LATE" -- "$cli" search)
  expected=$(printf '%s\n' \
    $'1\t10.77.0.11\t000000000000\t\t0\t0\t\t0' \
    $'2\t10.77.0.13\t0000000000ff\tABCDEFGHIJ\t12\t3456789\tUUUUUUUUUUUUUUUUUUUUUUUU\t1')
  [ "$out" = "$expected" ] || fail "got:
$out
expected:
$expected"
  ;;
answers-every-second)
  timed_search --sim "
    --camera ip=10.77.0.11,mac=000000000001,every-ms=1000,for-ms=10000
    --camera ip=10.77.0.12,mac=000000000002,delay-ms=9500"
  [ "$(echo "$out" | wc -l)" -eq 2 ] || fail "expected both cameras, got: $out"
  expect_between "$took" 11.4 12.6 "search length"
  ;;
second-search-forgets)
  lan --sim "--camera ip=10.77.0.11,mac=000000000001 --camera ip=10.77.0.12,mac=000000000002" -- bash -c '
    set -e
    first=$("$1" search | wc -l)
    kill $(ip netns pids "$ORVANE_CAMERA_NS")
    sleep 0.2
    ip netns exec "$ORVANE_CAMERA_NS" "$ORVANE_SIM_BIN" --camera ip=10.77.0.12,mac=000000000002,version=AGAIN \
      --ready-file "$ORVANE_LAN_DIR/second.ready" &
    while [ ! -f "$ORVANE_LAN_DIR/second.ready" ]; do sleep 0.02; done
    second=$("$1" search)
    [ "$first" -eq 2 ] || { echo "first search found $first" >&2; exit 1; }
    [ "$second" = "$(printf "1\t10.77.0.12\t000000000002\tAGAIN\t1\t1\tSIMUID0000000000000001\t1")" ] \
      || { echo "second search: $second" >&2; exit 1; }
  ' _ "$cli"
  ;;
port-busy)
  lan --sim "--camera ip=10.77.0.11,mac=000000000001,delay-ms=1500" -- bash -c '
    "$1" search > "$ORVANE_LAN_DIR/first.out" &
    sleep 0.5
    set +e
    "$1" search > "$ORVANE_LAN_DIR/second.out" 2> "$ORVANE_LAN_DIR/second.err"
    rc=$?
    wait
    [ $rc -eq 1 ] || { echo "second search exit $rc" >&2; exit 1; }
    grep -q "10088" "$ORVANE_LAN_DIR/second.err" || { echo "no clear error" >&2; exit 1; }
    [ ! -s "$ORVANE_LAN_DIR/second.out" ] || { echo "second search printed a list" >&2; exit 1; }
    [ "$(wc -l < "$ORVANE_LAN_DIR/first.out")" -eq 1 ] || { echo "first search lost its camera" >&2; exit 1; }
  ' _ "$cli"
  ;;
many-cameras)
  out=$(lan --addresses 200 --sim "--cameras 1000 --addresses $(seq -s, -f "10.77.0.%g" 11 210)" -- "$cli" search)
  [ "$(echo "$out" | wc -l)" -eq 1000 ] || fail "found $(echo "$out" | wc -l) of 1000"
  # Numbering runs 1..1000 and addresses never go down.
  echo "$out" | awk -F'\t' '$1 != NR { exit 1 } { split($2, a, "."); k = a[4] + 0; if (k < last) exit 1; last = k }' \
    || fail "rows out of order"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
