#!/usr/bin/env bash
# End-to-end cases of orvane-cli apply against simulated cameras that restart
# after every change, one case per run:
#   plan-cases.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
case_folder plan
fail_dump=("$work/stdout" "$work/stderr" "$work/log")
# run "SIM ARGS" SCRIPT: SCRIPT in bash on the LAN with $cli and $out set;
# the simulator's log is left in $work/log.
run() {
  lan --sim "$1" -- bash -c "cli=\$1; out=\$2; $2"'
    . "$ORVANE_E2E_LIB"
    wait_for 10 sim_settled || echo "the simulator still holds a connection after 10 s" >&2
    cp "$ORVANE_SIM_LOG" "$out/log"' _ "$cli" "$work" || fail "test LAN failed"
}
expect_file() {
  local file=$1; shift
  local expected
  expected=$(printf '%s\n' "$@")
  [ "$(cat "$work/$file")" = "$expected" ] || fail "$file, expected:
$expected"
}
# What the command port saw: frames, uploads, closes; the search is not in it.
commands() { grep -vE '^(search-request|answered) ' "$work/log" || true; }

r="restart-ms=1000,settings=restart"
uid() { printf 'PLANUID%013d' "$1"; }
head -c 20480 /dev/urandom > "$work/fw.br"

case "$case_name" in
six-cameras)
  # .11 every field and an upgrade; .12 a UID, its X already so; .13 X/Y
  # and never back, so its keyboard id is skipped; .14 a new address; .15
  # refuses its upgrade, so its UID is skipped; the sixth camera is gone.
  cat > "$work/plan.csv" <<CSV
mac,ip,version,firmware,uid,x,y,keyid
000000000011,10.77.0.111,V2,fw.br,$(uid 11),11,21,31
000000000012,,,,$(uid 12),1,,
000000000013,,,,,13,23,33
000000000014,10.77.0.114,,,,,,
000000000015,,V2,fw.br,$(uid 15),,,
000000000016,10.77.0.116,,,$(uid 16),,,
CSV
  run "--camera ip=10.77.0.11,mac=000000000011,version=V1,$r,after-upgrade=V2
       --camera ip=10.77.0.12,mac=000000000012,$r --camera ip=10.77.0.13,mac=000000000013,$r,back=never
       --camera ip=10.77.0.14,mac=000000000014,$r --camera ip=10.77.0.15,mac=000000000015,version=V1,reply=3,$r" '
    "$cli" apply "$out/plan.csv" --wait 6 > "$out/stdout" 2> "$out/stderr"; echo $? > "$out/rc"
    "$cli" search > "$out/after"'
  [ "$(cat "$work/rc")" = 1 ] || fail "exit $(cat "$work/rc"), expected 1"
  u=SIMUID0000000000000001
  expect_file stdout \
    $'10.77.0.116\t000000000016\t\t\t\tnot-found' \
    $'10.77.0.11\t000000000011\tversion\tV1\tV2\tapplied' \
    "10.77.0.11	000000000011	uid	$u	$(uid 11)	applied" \
    $'10.77.0.11\t000000000011\tx\t1\t11\tapplied' \
    $'10.77.0.11\t000000000011\ty\t1\t21\tapplied' \
    $'10.77.0.11\t000000000011\tkeyid\t1\t31\tapplied' \
    $'10.77.0.11\t000000000011\tip\t10.77.0.11\t10.77.0.111\tapplied' \
    "10.77.0.12	000000000012	uid	$u	$(uid 12)	applied" \
    $'10.77.0.12\t000000000012\tx\t1\t1\tunchanged' \
    $'10.77.0.13\t000000000013\tx\t1\t13\tnot-back' \
    $'10.77.0.13\t000000000013\ty\t1\t23\tnot-back' \
    $'10.77.0.13\t000000000013\tkeyid\t1\t33\tskipped' \
    $'10.77.0.14\t000000000014\tip\t10.77.0.14\t10.77.0.114\tapplied' \
    $'10.77.0.15\t000000000015\tversion\tV1\tV2\tfailed' \
    "10.77.0.15	000000000015	uid	$u	$(uid 15)	skipped"
  # Each change its own connection, in plan order, with the frames of the
  # single-camera commands.
  [ "$(commands | sed -n 's/^frame camera=10.77.0.11 conn=[0-9]* text=//p')" = "$(printf '%s\n' \
      "#4&20480&$(md5sum "$work/fw.br" | cut -c1-16)#" "#3&4&$(uid 11)#" '#3&0&10.77.0.11#' '#3&3&11&21#' \
      '#3&0&10.77.0.11#' '#3&5&31#' '#3&1&10.77.0.111#' '#3&0&(null)#')" ] || fail "the frames to .11"
  [ "$(commands | grep -c '^frame camera=10.77.0.15 ')" = 1 ] || fail ".15 was sent more than its upload"
  ! commands | grep -q 'camera=10.77.0.13 .*text=#3&5' || fail "the skipped keyboard id was sent"
  grep -q $'^apply: 10.77.0.15 000000000015 version failed: the camera replied 3, not 1 or 2$' "$work/stderr" ||
    fail "the refusal's reason"
  [ "$(cut -f2,3,4,5,6,7,8 "$work/after" | grep -c "10.77.0.111	000000000011	V2	11	21	$(uid 11)	31")" = 1 ] ||
    fail "the list after: $(cat "$work/after")"
  ;;
refused)
  # Every kind of mistake, each on a line of its own.
  printf 'broken' > "$work/fw.br" && chmod 000 "$work/fw.br"
  mkdir "$work/fw-dir"
  cat > "$work/plan.csv" <<CSV
mac,ip,uid,x,y,keyid,colour,version,firmware
00000000001,,,,,,,,
000000000011,,,5x,,,,,
000000000012,,,,,1.5,,,
000000000013,,,,100,,,,
000000000014,10.77.0.200,,,,,,,
000000000015,10.77.0.200,,,,,,,
000000000016,10.77.0.12,,,,,,,
000000000011,,,,,,,,
000000000017,192.168.9.9,,,,,,,
000000000018,,,,,,,V2,fw-dir
CSV
  run "--camera ip=10.77.0.11,mac=000000000011,$r --camera ip=10.77.0.12,mac=000000000012,$r
       --camera ip=10.77.0.17,mac=000000000017,$r --camera ip=10.77.0.18,mac=000000000018,$r" '
    "$cli" apply "$out/plan.csv" > "$out/stdout" 2> "$out/stderr"; echo $? > "$out/rc"'
  [ "$(cat "$work/rc")" = 2 ] || fail "exit $(cat "$work/rc"), expected 2"
  sed -i -E 's/link ovo[0-9]+$/link OPERATOR-LINK/' "$work/stderr"
  expect_file stderr "orvane-cli: the plan $work/plan.csv is refused, nothing was sent:" \
    "  line 1: unknown column 'colour'" \
    "  line 2: MAC '00000000001' is not twelve hexadecimal digits" \
    "  line 3: x '5x' is not a whole number from 1 to 499" \
    "  line 4: keyid '1.5' is not a whole number from -2147483648 to 2147483647" \
    "  line 5: y '100' is not a whole number from 1 to 99" \
    "  line 7: ip 10.77.0.200 is given to the camera of line 6 already" \
    "  line 8: 10.77.0.12 is the address camera 000000000012 answers from" \
    "  line 9: MAC 000000000011 is planned on line 3 already" \
    "  line 10: 192.168.9.9 is outside 10.77.0.0-10.77.255.255, the subnet of the camera's link OPERATOR-LINK" \
    "  line 11: firmware '$work/fw-dir' is not a readable regular file"
  [ ! -s "$work/stdout" ] || fail "printed rows for a refused plan"
  [ -z "$(commands)" ] || fail "the command port saw something"
  ;;
export-applies)
  run "--camera ip=10.77.0.11,mac=000000000011,$r --camera ip=10.77.0.12,mac=000000000012,xy=0&7,uid=short,$r" '
    "$cli" search --format csv > "$out/list.csv"
    "$cli" apply "$out/list.csv" > "$out/stdout" 2> "$out/stderr"; echo $? > "$out/rc"'
  [ "$(cat "$work/rc")" = 0 ] || fail "exit $(cat "$work/rc"), expected 0"
  [ "$(cut -f6 "$work/stdout" | sort -u)" = unchanged ] || fail "not all unchanged"
  [ "$(wc -l < "$work/stdout")" = 12 ] || fail "not a row per camera and field"
  [ -z "$(commands)" ] || fail "the command port saw something"
  ;;
twice)
  cat > "$work/plan.csv" <<CSV
mac,uid,x,y,ip
000000000011,$(uid 11),5,6,10.77.0.111
000000000012,$(uid 12),,9,
CSV
  run "--camera ip=10.77.0.11,mac=000000000011,$r --camera ip=10.77.0.12,mac=000000000012,$r" '
    "$cli" apply "$out/plan.csv" --wait 6 --format json > "$out/first" 2> "$out/stderr"; echo $? > "$out/rc"
    cp "$ORVANE_SIM_LOG" "$out/log-first"
    "$cli" apply "$out/plan.csv" --wait 6 > "$out/stdout" 2>> "$out/stderr"; echo $? >> "$out/rc"'
  [ "$(tr '\n' ' ' < "$work/rc")" = "0 0 " ] || fail "exits $(cat "$work/rc"), expected 0 twice"
  python3 - "$work/first" <<'PY' || fail "json result"
import json, sys
rows = json.load(open(sys.argv[1]))
assert [(r["ip"], r["field"], r["outcome"]) for r in rows] == [
  ("10.77.0.11", "uid", "applied"), ("10.77.0.11", "x", "applied"), ("10.77.0.11", "y", "applied"),
  ("10.77.0.11", "ip", "applied"), ("10.77.0.12", "uid", "applied"), ("10.77.0.12", "y", "applied")], rows
assert all(set(r) == {"ip", "mac", "field", "from", "to", "outcome"} for r in rows), rows
PY
  [ "$(cut -f1,3,6 "$work/stdout" | tr '\t\n' ': ')" = \
    "10.77.0.12:uid:unchanged 10.77.0.12:y:unchanged 10.77.0.111:uid:unchanged 10.77.0.111:x:unchanged 10.77.0.111:y:unchanged 10.77.0.111:ip:unchanged " ] ||
    fail "the second run"
  [ "$(grep -c '^frame ' "$work/log")" = "$(grep -c '^frame ' "$work/log-first")" ] || fail "the second run sent frames"
  ;;
dry-run)
  cat > "$work/plan.csv" <<CSV
mac,uid,x,y,keyid
000000000011,$(uid 11),5,,1
000000000019,$(uid 19),,,
CSV
  run "--camera ip=10.77.0.11,mac=000000000011,$r" '
    "$cli" apply "$out/plan.csv" --dry-run > "$out/stdout" 2> "$out/stderr"; echo $? > "$out/rc"'
  [ "$(cat "$work/rc")" = 1 ] || fail "exit $(cat "$work/rc"), expected 1 for the camera not found"
  expect_file stdout $'\t000000000019\t\t\t' \
    "10.77.0.11	000000000011	uid	SIMUID0000000000000001	$(uid 11)" $'10.77.0.11\t000000000011\tx\t1\t5'
  [ -z "$(commands)" ] || fail "a dry run sent something"
  ;;
interrupt)
  cat > "$work/plan.csv" <<CSV
mac,uid,x,y
000000000011,$(uid 11),5,6
000000000012,$(uid 12),,
CSV
  lan --sim "--camera ip=10.77.0.11,mac=000000000011,restart-ms=3000,settings=restart
             --camera ip=10.77.0.12,mac=000000000012,restart-ms=3000,settings=restart" -- bash -c '
    out=$1; cli=$2
    "$cli" apply "$out/plan.csv" --wait 20 > "$out/stdout" 2> "$out/stderr" &
    pid=$!
    # Ctrl-C while both cameras restart after their UID.
    for _ in $(seq 200); do [ "$(grep -c "^restart " "$ORVANE_SIM_LOG")" -ge 2 ] && break; sleep 0.05; done
    start=$(date +%s.%N)
    kill -INT $pid
    wait $pid
    echo $? > "$out/rc"
    echo "$(date +%s.%N) - $start" | bc > "$out/took"
    sleep 4
    cp "$ORVANE_SIM_LOG" "$out/log"
  ' _ "$work" "$cli" || fail "test LAN failed"
  [ "$(cat "$work/rc")" = 130 ] || fail "exit $(cat "$work/rc"), expected 130"
  [ "$(cut -f1,3,6 "$work/stdout" | tr '\t\n' ': ')" = \
    "10.77.0.11:uid:interrupted 10.77.0.11:x:interrupted 10.77.0.11:y:interrupted 10.77.0.12:uid:interrupted " ] ||
    fail "the fields after Ctrl-C"
  # A watch search in flight ends at its 2 s quiet gap; the rest stops at once.
  echo "$(cat "$work/took") < 3" | bc | grep -q 1 || fail "took $(cat "$work/took") s to stop"
  ! grep -q 'text=#3&3&' "$work/log" || fail "X/Y was sent after Ctrl-C"
  ;;
routed-target)
  # A camera behind a router is found and changed through --target alone.
  printf 'mac,uid\n020000000112,%s\n' "$(uid 112)" > "$work/plan.csv"
  lan --topology routed --addresses 2 --sim "--camera ip=10.77.0.11,mac=020000000011" \
      --sim2 "--camera ip=10.80.0.12,mac=020000000112,uid=$(uid 1) --unicast-own" -- bash -c '
    cli=$1; out=$2
    "$cli" apply "$out/plan.csv" > "$out/plain" 2> "$out/plain.err"; echo $? > "$out/plain.rc"
    "$cli" apply "$out/plan.csv" --target 10.80.0.0/24 --wait 10 > "$out/stdout" 2> "$out/stderr"; echo $? > "$out/rc"
  ' _ "$cli" "$work" || fail "test LAN failed"
  [ "$(cat "$work/plain.rc")" = 1 ] || fail "without --target the routed camera was found (exit $(cat "$work/plain.rc"))"
  [ "$(cat "$work/rc")" = 0 ] || fail "exit $(cat "$work/rc"), expected 0"
  expect_file stdout "$(printf '10.80.0.12\t020000000112\tuid\t%s\t%s\tapplied' "$(uid 1)" "$(uid 112)")"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
