#!/usr/bin/env bash
# End-to-end cases of `orvane-cli search` on the test LAN, one case per run:
#   search-cases.sh BUILD_DIR CASE
# Each case starts its own test LAN and simulator.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"

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
        's=$(date +%s.%N); "$1" search; rc=$?; e=$(date +%s.%N); echo "$e - $s" | bc > "$2"; . "$ORVANE_E2E_LIB"
         wait_sim_log 5 "answered .* datagrams=[0-9]+ .*"; cp "$ORVANE_SIM_LOG" "$3"; exit $rc' \
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
    . "$ORVANE_E2E_LIB"
    no_simulator() { [ -z "$(ip netns pids "$ORVANE_CAMERA_NS")" ]; }
    wait_for 5 no_simulator || { echo "the simulator outlived its kill by 5 s" >&2; exit 1; }
    ip netns exec "$ORVANE_CAMERA_NS" "$ORVANE_SIM_BIN" --camera ip=10.77.0.12,mac=000000000002,version=AGAIN \
      --ready-file "$ORVANE_LAN_DIR/second.ready" &
    wait_for 10 test -f "$ORVANE_LAN_DIR/second.ready" || { echo "the second simulator never got ready" >&2; exit 1; }
    second=$("$1" search)
    [ "$first" -eq 2 ] || { echo "first search found $first" >&2; exit 1; }
    [ "$second" = "$(printf "1\t10.77.0.12\t000000000002\tAGAIN\t1\t1\tSIMUID0000000000000001\t1")" ] \
      || { echo "second search: $second" >&2; exit 1; }
  ' _ "$cli"
  ;;
port-busy)
  lan --sim "--camera ip=10.77.0.11,mac=000000000001,delay-ms=1500" -- bash -c '
    "$1" search > "$ORVANE_LAN_DIR/first.out" &
    . "$ORVANE_E2E_LIB"
    # The first search holds the port once its request is out.
    wait_sim_log 5 "search-request .*"
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
laptop)
  # The default route leads to a Wi-Fi network without cameras; the camera link has no route.
  lan --topology laptop --sim "--camera ip=10.77.0.11,mac=000000000001,version=V1
      --camera ip=10.77.0.12,mac=000000000002,version=V2 --camera ip=10.77.0.13,mac=000000000003" -- bash -c '
    set -e
    "$1" search --format json > "$ORVANE_LAN_DIR/all.json"
    "$1" search --interface "$ORVANE_CAMERA_IF" > "$ORVANE_LAN_DIR/camera-link.tsv"
    python3 - "$ORVANE_LAN_DIR/all.json" "$ORVANE_CAMERA_IF" <<"PY"
import json, sys
cams = json.load(open(sys.argv[1]))
assert [c["ip"] for c in cams] == ["10.77.0.11", "10.77.0.12", "10.77.0.13"], cams
assert all(c["interface"] == sys.argv[2] for c in cams), cams
assert [c["id"] for c in cams] == [1, 2, 3] and cams[1]["version"] == "V2" and cams[0]["keyid"] == 1, cams
PY
    [ "$(wc -l < "$ORVANE_LAN_DIR/camera-link.tsv")" -eq 3 ] || { echo "--interface search lost cameras" >&2; exit 1; }
    # Two searches: the camera link heard both, the Wi-Fi only the first.
    [ "$(grep -c "search-request from=10.77.0.1:10088 bytes=43 valid" "$ORVANE_SIM_LOG")" -eq 2 ] ||
      { cat "$ORVANE_SIM_LOG" >&2; echo "camera link did not hear one request per search" >&2; exit 1; }
    [ "$(grep -c "search-request from=192.168.77.2:10088 bytes=43 valid" "$ORVANE_WIFI_LOG")" -eq 1 ] ||
      { cat "$ORVANE_WIFI_LOG" >&2; echo "Wi-Fi link: not exactly the first search request" >&2; exit 1; }
    [ "$(grep -c search-request "$ORVANE_WIFI_LOG")" -eq 1 ] || { echo "Wi-Fi heard more" >&2; exit 1; }
  ' _ "$cli"
  ;;
noroute)
  # No default route at all: a laptop on the camera switch with a static address.
  lan --topology noroute --sim "--camera ip=10.77.0.11,mac=000000000001
      --camera ip=10.77.0.12,mac=000000000002,uid=a\"b --camera ip=10.77.0.13,mac=000000000003" -- bash -c '
    set -e
    "$1" search --format csv > "$ORVANE_LAN_DIR/list.csv"
    python3 - "$ORVANE_LAN_DIR/list.csv" "$ORVANE_CAMERA_IF" <<"PY"
import csv, sys
rows = list(csv.reader(open(sys.argv[1], newline="")))
assert rows[0] == ["id", "ip", "mac", "version", "x", "y", "uid", "keyid", "interface"], rows[0]
assert [r[1] for r in rows[1:]] == ["10.77.0.11", "10.77.0.12", "10.77.0.13"], rows
assert rows[2][6] == "a\"b", rows[2]
assert all(r[8] == sys.argv[2] for r in rows[1:]), rows
PY
  ' _ "$cli"
  ;;
two-lans)
  # One MAC on both links: listed once, from the answer that came first.
  lan --topology two-lans \
      --sim "--camera ip=10.77.0.11,mac=000000000001,version=FIRST --camera ip=10.77.0.12,mac=000000000002" \
      --sim2 "--camera ip=10.78.0.11,mac=000000000003 --camera ip=10.78.0.12,mac=000000000001,version=LATER,delay-ms=300" -- bash -c '
    set -e
    "$1" search --format json > "$ORVANE_LAN_DIR/both.json"
    "$1" search --interface "$ORVANE_CAMERA_IF2" > "$ORVANE_LAN_DIR/second.tsv"
    python3 - "$ORVANE_LAN_DIR/both.json" "$ORVANE_CAMERA_IF" "$ORVANE_CAMERA_IF2" <<"PY"
import json, sys
cams = json.load(open(sys.argv[1]))
got = [(c["ip"], c["mac"], c["version"], c["interface"]) for c in cams]
want = [("10.77.0.11", "000000000001", "FIRST", sys.argv[2]), ("10.77.0.12", "000000000002", "V1.0.0", sys.argv[2]),
        ("10.78.0.11", "000000000003", "V1.0.0", sys.argv[3])]
assert got == want, got
PY
    [ "$(cut -f2 "$ORVANE_LAN_DIR/second.tsv" | tr "\n" " ")" = "10.78.0.11 10.78.0.12 " ] ||
      { cat "$ORVANE_LAN_DIR/second.tsv" >&2; echo "--interface: wrong cameras" >&2; exit 1; }
    [ "$(grep -c "search-request from=10.77.0.1:10088 bytes=43 valid" "$ORVANE_SIM_LOG")" -eq 1 ] ||
      { echo "first link: not one request for the first search only" >&2; exit 1; }
    [ "$(grep -c "search-request from=10.78.0.1:10088 bytes=43 valid" "$ORVANE_SIM_LOG2")" -eq 2 ] ||
      { echo "second link: not one request per search" >&2; exit 1; }
  ' _ "$cli"
  ;;
links-down)
  lan --topology laptop --sim "--camera ip=10.77.0.11,mac=000000000001" -- bash -c '
    ip link set "$ORVANE_CAMERA_IF" down
    ip link set "$ORVANE_WIFI_IF" down
    "$1" search > "$ORVANE_LAN_DIR/out" 2> "$ORVANE_LAN_DIR/err"
    rc=$?
    [ $rc -eq 1 ] || { echo "exit $rc with every link down" >&2; exit 1; }
    [ ! -s "$ORVANE_LAN_DIR/out" ] || { echo "printed a list" >&2; exit 1; }
    grep -q "could not be sent on any network interface" "$ORVANE_LAN_DIR/err" || { cat "$ORVANE_LAN_DIR/err" >&2; exit 1; }
    "$1" search --interface "$ORVANE_CAMERA_IF" 2> "$ORVANE_LAN_DIR/err"
    rc=$?
    [ $rc -eq 2 ] && grep -q "$ORVANE_CAMERA_IF.*is down" "$ORVANE_LAN_DIR/err" ||
      { cat "$ORVANE_LAN_DIR/err" >&2; echo "a down link named: exit $rc" >&2; exit 1; }
    "$1" search --interface nosuch0 2> "$ORVANE_LAN_DIR/err"
    rc=$?
    [ $rc -eq 2 ] && grep -q "nosuch0.*no such interface" "$ORVANE_LAN_DIR/err" || { echo "unknown name: exit $rc" >&2; exit 1; }
    exit 0
  ' _ "$cli"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
