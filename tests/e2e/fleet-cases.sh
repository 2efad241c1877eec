#!/usr/bin/env bash
# End-to-end cases of orvane-cli upgrade and assign-ips against simulated
# cameras that restart, one case per run:
#   fleet-cases.sh BUILD_DIR CASE
# Each case starts its own test LAN; the cameras restart in 1 to 1.5 s.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
case_folder fleet
fail_dump=("$work/stdout" "$work/stderr" "$work/log")

# run "SIM ARGS" CLI-ARGS...: one orvane-cli command on the LAN; leaves
# stdout, stderr, the exit code ($rc) and the simulator's log in $work.
run() {
  local sim=$1; shift
  lan --sim "$sim" -- bash -c '
    out=$1; shift
    "$@" > "$out/stdout" 2> "$out/stderr"
    echo $? > "$out/rc"
    . "$ORVANE_E2E_LIB"
    wait_for 10 sim_settled || echo "the simulator still holds a connection after 10 s" >&2
    cp "$ORVANE_SIM_LOG" "$out/log"
  ' _ "$work" "${prefix[@]}" "$cli" "$@" || fail "test LAN failed"
  rc=$(cat "$work/rc")
}
prefix=()
expect_rc() { [ "$rc" -eq "$1" ] || fail "exit $rc, expected $1"; }
expect_stdout() {
  local expected
  expected=$(printf '%s\n' "$@")
  [ "$(cat "$work/stdout")" = "$expected" ] || fail "stdout, expected:
$expected"
}
# The log's lines of one kind in order, reduced to the camera's address.
order() { sed -n "s/^$1 camera=\\([0-9.]*\\) .*/$1 \\1/p" "$work/log"; }

head -c 40960 /dev/urandom > "$work/fw.br"   # four chunks: 0.4 s of pacing
restart="restart-ms=1200"

case "$case_name" in
usage-errors)
  # Refused by the parser or the target check before any search: exit 2, one
  # line saying why, nothing on stdout. No network is needed, none is given.
  usage() {
    local expected=$1; shift
    rc=0
    unshare -n "$cli" "$@" > "$work/stdout" 2> "$work/stderr" || rc=$?
    [ "$rc" -eq 2 ] || fail "orvane-cli $*: exit $rc, expected 2"
    [ "$(head -1 "$work/stderr")" = "$expected" ] || fail "orvane-cli $*: stderr, expected: $expected"
    [ ! -s "$work/stdout" ] || fail "orvane-cli $*: wrote on stdout"
  }
  both="orvane-cli: name the cameras, or give --all, not both"
  usage "$both" upgrade "$work/fw.br" --all 10.77.0.11
  usage "$both" upgrade "$work/fw.br"
  usage "$both" assign-ips 10.77.0.100 --all 000000000011
  usage "orvane-cli: 'camera-1' is neither an IPv4 address nor a MAC of 12 hexadecimal digits" \
    upgrade "$work/fw.br" camera-1
  usage "orvane-cli: '00000000001' is neither an IPv4 address nor a MAC of 12 hexadecimal digits" \
    assign-ips 10.77.0.100 10.77.0.11 00000000001
  usage "orvane-cli: '10.77.0.256' is not an IPv4 address" assign-ips 10.77.0.256 --all
  usage "orvane-cli: 'first' is not an IPv4 address" assign-ips first --all
  usage "orvane-cli: --jobs: Value 0 not in range 1 to 2147483647" upgrade "$work/fw.br" --all --jobs 0
  usage "orvane-cli: --jobs: Value 2147483648 not in range 1 to 2147483647" upgrade "$work/fw.br" --all --jobs 2147483648
  usage "orvane-cli: --jobs: Value -3 not in range 1 to 2147483647" assign-ips 10.77.0.100 --all --jobs -3
  ;;
upgrade-on-a-terminal)
  # On a terminal the progress is live: a bar a camera, redrawn in place,
  # gone before the summary.
  lan --sim "--camera ip=10.77.0.11,mac=000000000011,version=V1,$restart,after-upgrade=V2
             --camera ip=10.77.0.12,mac=000000000012,version=V1,$restart,after-upgrade=V3" -- bash -c '
    out=$1; shift
    script -qefc "$(printf "%q " "$@")" "$out/terminal" > /dev/null < /dev/null
    echo $? > "$out/rc"
  ' _ "$work" "$cli" upgrade "$work/fw.br" --all --wait 8 || fail "test LAN failed"
  rc=$(cat "$work/rc")
  expect_rc 0
  # util-linux writes its own start and end lines into the typescript.
  tr -d '\r' < "$work/terminal" | grep -vE '^Script (started|done) ' > "$work/screen" || true
  grep -qE '^10\.77\.0\.1[12] +\[[#.]{30}\] +[0-9]+/1000 (working|restarting)$' "$work/screen" ||
    fail "no live bar: $(cat -v "$work/screen" | head -20)"
  grep -qE '^upgrade: [0-9]/2 done, [0-9] without success$' "$work/screen" || fail "no live tally"
  grep -q $'\x1b\[1A\x1b\[2K' "$work/screen" || fail "the bars are not redrawn in place"
  ! grep -qE '^upgrade: .* running, ' "$work/screen" || fail "plain progress lines on a terminal"
  # After the last erase: the two summary rows, nothing else.
  last=$(awk -v RS=$'\x1b\\[2K' 'END { print }' "$work/screen")
  [ "$last" = $'10.77.0.11\t000000000011\tV1\t1\tV2\tupgraded\n10.77.0.12\t000000000012\tV1\t1\tV3\tupgraded' ] ||
    fail "after the bars: $(printf '%s' "$last" | cat -v)"
  ;;
upgrade-outcomes)
  run "--camera ip=10.77.0.11,mac=000000000011,version=V1,$restart,after-upgrade=V2
       --camera ip=10.77.0.12,mac=000000000012,version=V1,$restart
       --camera ip=10.77.0.13,mac=000000000013,version=V1,$restart,back=never
       --camera ip=10.77.0.14,mac=000000000014,version=V1,reply=3
       --camera ip=10.77.0.15,mac=000000000015,version=V1,port=refuse" \
      upgrade "$work/fw.br" 10.77.0.15 000000000014 10.77.0.13 10.77.0.12 00000000001A 10.77.0.11 --wait 6
  expect_rc 1
  expect_stdout $'\t00000000001a\t\t\t\tnot-found' \
                $'10.77.0.11\t000000000011\tV1\t1\tV2\tupgraded' \
                $'10.77.0.12\t000000000012\tV1\t1\tV1\tunchanged' \
                $'10.77.0.13\t000000000013\tV1\t1\t\tnot-back' \
                $'10.77.0.14\t000000000014\tV1\t3\t\trefused' \
                $'10.77.0.15\t000000000015\tV1\t\t\tfailed'
  grep -qxF "10.77.0.15: Link IPC error" "$work/stderr" || fail "no failure message with the address"
  [ "$(grep -c 'received=40960 md5ok=1' "$work/log")" -eq 4 ] || fail "not every reachable camera got the file whole"
  ;;
upgrade-json-all)
  run "--camera ip=10.77.0.11,mac=000000000011,version=V1,$restart,after-upgrade=V2
       --camera ip=10.77.0.12,mac=000000000012,version=V7,$restart,after-upgrade=V8" \
      upgrade "$work/fw.br" --all --wait 8 --format json
  expect_rc 0
  python3 - "$work/stdout" <<'PY' || fail "json summary"
import json, sys
rows = json.load(open(sys.argv[1]))
assert rows == [
  {"ip": "10.77.0.11", "mac": "000000000011", "old_version": "V1", "result": 1, "new_version": "V2", "outcome": "upgraded"},
  {"ip": "10.77.0.12", "mac": "000000000012", "old_version": "V7", "result": 1, "new_version": "V8", "outcome": "upgraded"},
], rows
PY
  ;;
jobs-one-at-a-time)
  cams="--camera ip=10.77.0.11,mac=000000000011 --camera ip=10.77.0.12,mac=000000000012 --camera ip=10.77.0.13,mac=000000000013"
  run "$cams" upgrade "$work/fw.br" --all --jobs 1 --wait 0
  # Each upload's header comes after the one before has ended.
  [ "$(grep -E '^(frame|upload) ' "$work/log" | cut -d' ' -f1 | tr '\n' ' ')" = "frame upload frame upload frame upload " ] ||
    fail "--jobs 1 overlapped uploads"
  run "$cams" upgrade "$work/fw.br" --all --jobs 3 --wait 0
  [ "$(grep -E '^(frame|upload) ' "$work/log" | cut -d' ' -f1 | tr '\n' ' ')" = "frame frame frame upload upload upload " ] ||
    fail "--jobs 3 did not run the uploads at once"
  # Unchanged: they kept answering with the old version until the wait ended.
  [ "$(cut -f6 "$work/stdout" | sort -u)" = unchanged ] || fail "outcomes"
  ;;
reset-mid-upload)
  run "--camera ip=10.77.0.11,mac=000000000011,version=V1,$restart,after-upgrade=V2
       --camera ip=10.77.0.12,mac=000000000012,version=V1,upload=cut
       --camera ip=10.77.0.13,mac=000000000013,version=V1,$restart,after-upgrade=V2" \
      upgrade "$work/fw.br" --all --wait 8
  expect_rc 1
  [ "$(cut -f1,6 "$work/stdout" | tr '\t\n' ': ')" = "10.77.0.11:upgraded 10.77.0.12:failed 10.77.0.13:upgraded " ] ||
    fail "outcomes"
  grep -qE "^10.77.0.12: (Send Data error|Link IPC error)$" "$work/stderr" || fail "the cut camera's message"
  ;;
interrupt)
  head -c 409600 /dev/urandom > "$work/big.br"   # 40 chunks: 4 s
  lan --sim "--camera ip=10.77.0.11,mac=000000000011 --camera ip=10.77.0.12,mac=000000000012
             --camera ip=10.77.0.13,mac=000000000013" -- bash -c '
    out=$1; shift
    "$@" > "$out/stdout" 2> "$out/stderr" &
    pid=$!
    # Interrupted a second into the first two uploads; the third waits its turn.
    for _ in $(seq 200); do [ "$(grep -c "^frame " "$ORVANE_SIM_LOG")" -ge 2 ] && break; sleep 0.05; done
    sleep 1
    start=$(date +%s.%N)
    kill -INT $pid
    wait $pid
    echo $? > "$out/rc"
    echo "$(date +%s.%N) - $start" | bc > "$out/took"
    . "$ORVANE_E2E_LIB"
    wait_for 10 sim_settled || echo "the simulator still holds a connection after 10 s" >&2
    cp "$ORVANE_SIM_LOG" "$out/log"
  ' _ "$work" "$cli" upgrade "$work/big.br" --all --jobs 2 || fail "test LAN failed"
  rc=$(cat "$work/rc")
  expect_rc 130
  [ "$(cut -f1,6 "$work/stdout" | tr '\t\n' ': ')" = "10.77.0.11:interrupted 10.77.0.12:interrupted 10.77.0.13:interrupted " ] ||
    fail "summary after Ctrl-C"
  echo "$(cat "$work/took") < 2" | bc | grep -q 1 || fail "took $(cat "$work/took") s to stop"
  # The cameras saw the uploads' connections close before all their data came;
  # the third camera was never sent anything.
  for cam in 10.77.0.11 10.77.0.12; do
    grep -q "^upload camera=$cam .* received=[0-9]* md5ok=0$" "$work/log" || fail "the upload to $cam was not closed"
    grep -q "^close camera=$cam " "$work/log" || fail "no close seen by $cam"
  done
  ! grep -q "camera=10.77.0.13" "$work/log" || fail "the waiting camera was sent something"
  ;;
assign-dry-run)
  cams="--camera ip=10.77.0.11,mac=000000000011 --camera ip=10.77.0.12,mac=000000000012 --camera ip=10.77.0.13,mac=000000000013"
  run "$cams" assign-ips 10.77.0.12 000000000013 10.77.0.11 --dry-run
  expect_rc 0
  # .12 answers from another camera: skipped. .13 is the second camera's own: it may keep it.
  expect_stdout $'10.77.0.11\t000000000011\t10.77.0.14' $'10.77.0.13\t000000000013\t10.77.0.13'
  ! grep -q '^frame ' "$work/log" || fail "a dry run sent frames"
  run "$cams" assign-ips 10.77.0.1 --all --dry-run --format json
  python3 - "$work/stdout" <<'PY' || fail "json plan"
import json, sys
rows = json.load(open(sys.argv[1]))
# 10.77.0.1 is this machine's own; 10.77.0.0 is the subnet's network address.
assert [(r["old_ip"], r["new_ip"]) for r in rows] == [("10.77.0.11", "10.77.0.2"), ("10.77.0.12", "10.77.0.3"), ("10.77.0.13", "10.77.0.4")], rows
PY
  ;;
assign-refused)
  run "--camera ip=10.77.0.11,mac=000000000011 --camera ip=10.77.0.12,mac=000000000012" assign-ips 10.77.255.254 --all
  expect_rc 1
  grep -q "runs past the end of 10.77.0.0-10.77.255.255" "$work/stderr" || fail "no reason given"
  [ ! -s "$work/stdout" ] || fail "printed a plan"
  ! grep -q '^frame ' "$work/log" || fail "frames sent for a refused plan"
  ;;
assign-apply)
  lan --sim "--camera ip=10.77.0.11,mac=000000000011,restart-ms=1000 --camera ip=10.77.0.12,mac=000000000012,restart-ms=1000
             --camera ip=10.77.0.13,mac=000000000013,restart-ms=1000,back=never --camera ip=10.77.0.14,mac=000000000014,port=refuse" -- bash -c '
    out=$1; cli=$2
    "$cli" assign-ips 10.77.0.101 --all --wait 6 > "$out/stdout" 2> "$out/stderr"
    echo $? > "$out/rc"
    "$cli" search > "$out/after"
    cp "$ORVANE_SIM_LOG" "$out/log"
  ' _ "$work" "$cli" || fail "test LAN failed"
  rc=$(cat "$work/rc")
  expect_rc 1
  expect_stdout $'10.77.0.11\t000000000011\t10.77.0.101\tmoved' $'10.77.0.12\t000000000012\t10.77.0.102\tmoved' \
                $'10.77.0.13\t000000000013\t10.77.0.103\tnot-back' $'10.77.0.14\t000000000014\t10.77.0.104\tfailed'
  [ "$(grep -c 'text=#3&1&10.77.0.10[123]#' "$work/log")" -eq 3 ] || fail "set-ip frames"
  [ "$(cut -f2,3 "$work/after" | tr '\t\n' ': ')" = "10.77.0.14:000000000014 10.77.0.101:000000000011 10.77.0.102:000000000012 " ] ||
    fail "the list after: $(cat "$work/after")"
  ;;
memcheck-upgrade)
  prefix=(valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite --show-leak-kinds=definite)
  run "--camera ip=10.77.0.11,mac=000000000011,$restart,after-upgrade=V2 --camera ip=10.77.0.12,mac=000000000012,$restart,after-upgrade=V2
       --camera ip=10.77.0.13,mac=000000000013,$restart,after-upgrade=V2" upgrade "$work/fw.br" --all --wait 15
  expect_rc 0
  [ "$(cut -f6 "$work/stdout" | sort -u)" = upgraded ] || fail "outcomes under valgrind"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
