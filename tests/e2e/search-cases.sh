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
flood)
  # Ten cameras answer every millisecond for a second: 10 000 datagrams.
  cams=""
  for i in $(seq 11 20); do cams="$cams --camera ip=10.77.0.$i,mac=0000000000$(printf %02x "$i"),every-ms=1,for-ms=1000"; done
  log=$(mktemp)
  timing=$(mktemp)
  out=$(lan --addresses 10 --sim "$cams" -- bash -c \
        's=$(date +%s.%N); "$1" search; rc=$?; e=$(date +%s.%N); echo "$e - $s" | bc > "$2"; sleep 0.2; cp "$ORVANE_SIM_LOG" "$3"; exit $rc' \
        _ "$cli" "$timing" "$log") || fail "search failed under the flood"
  took=$(cat "$timing")
  sent=$(sed -n 's/^answered .* datagrams=\([0-9]*\) .*/\1/p' "$log")
  rm -f "$log" "$timing"
  [ "$sent" -ge 9900 ] || fail "the flood sent only $sent datagrams"
  [ "$(cut -f2 <<<"$out")" = "$(printf '10.77.0.%s\n' $(seq 11 20))" ] || fail "got:
$out"
  # A second of answers, then the 2 s without one that end the search.
  expect_between "$took" 2.9 4.5 "search length under $sent datagrams"
  echo "flood: $sent datagrams, 10 cameras listed, search took $took s"
  ;;
three-hundred-addresses)
  addresses=$(for i in $(seq 0 299); do printf '10.77.%d.%d,' $((i / 240)) $((11 + i % 240)); done)
  out=$(lan --addresses 300 --sim "--cameras 300 --addresses ${addresses%,}" -- "$cli" search)
  [ "$(wc -l <<<"$out")" = 300 ] || fail "$(wc -l <<<"$out") of 300 cameras listed"
  [ "$(cut -f2 <<<"$out")" = "$(cut -f2 <<<"$out" | sort -t. -k1,1n -k2,2n -k3,3n -k4,4n)" ] ||
    fail "not in address order"
  [ "$(cut -f2 <<<"$out" | sort -u | wc -l)" = 300 ] || fail "addresses repeated"
  [ "$(cut -f3 <<<"$out" | sort -u | wc -l)" = 300 ] || fail "MACs repeated"
  [ "$(cut -f1 <<<"$out" | tr '\n' ' ')" = "$(seq -s ' ' 1 300) " ] || fail "rows not numbered 1 to 300"
  ;;
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
cut-short)
  # A camera that answers every 100 ms for 40 s: the search ends at its
  # 30 s bound, lists the camera, and says it was cut short.
  err=$(mktemp)
  out=$(lan --sim "--camera ip=10.77.0.11,mac=000000000001,every-ms=100,for-ms=40000" -- "$cli" search 2> "$err")
  said=$(cat "$err")
  rm -f "$err"
  [ "$(cut -f2 <<<"$out")" = 10.77.0.11 ] || fail "list: $out"
  grep -q "30 s bound" <<<"$said" || fail "stderr does not say the search was cut: $said"
  # A search that ends on a quiet gap says nothing.
  err=$(mktemp)
  lan --sim "--camera ip=10.77.0.11,mac=000000000001" -- "$cli" search > /dev/null 2> "$err"
  said=$(cat "$err")
  rm -f "$err"
  ! grep -q "bound" <<<"$said" || fail "a whole search said it was cut: $said"
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
