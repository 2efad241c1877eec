#!/usr/bin/env bash
# End-to-end cases of orvane-cli's setting and upload commands against the
# simulator's command port on the test LAN, one case per run:
#   control-cases.sh BUILD_DIR CASE
# Each case starts its own test LAN and simulator and checks what the camera
# recorded, the command's output and its exit code.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
preload=()  # set by a case to run the command under env VAR=... assignments
cam=10.77.0.11
case_folder control
fail_dump=("$work/log")

# run "SIM ARGS" [--in DIR] CLI-ARGS...: runs one orvane-cli command on the
# LAN and leaves its stdout, stderr, exit code ($rc) and the simulator's log
# in $work. The log is copied once the simulator has handled every
# connection the command made.
run() {
  local sim=$1; shift
  local dir=$PWD
  if [ "${1:-}" = --in ]; then dir=$2; shift 2; fi
  lan --sim "$sim" -- bash -c '
    out=$1 dir=$2; shift 2
    (cd "$dir" && "$@") > "$out/stdout" 2> "$out/stderr"
    echo $? > "$out/rc"
    . "$ORVANE_E2E_LIB"
    wait_for 10 sim_settled || echo "the simulator still holds a connection after 10 s" >&2
    cp "$ORVANE_SIM_LOG" "$out/log"
  ' _ "$work" "$dir" env "${preload[@]}" "$cli" "$@" || fail "test LAN failed"
  rc=$(cat "$work/rc")
}

# The texts of the frames the camera received, one a line.
frames() { sed -n 's/^frame camera=[^ ]* conn=[0-9]* text=//p' "$work/log"; }

expect_rc() { [ "$rc" -eq "$1" ] || fail "exit $rc, expected $1 (stderr: $(cat "$work/stderr"))"; }
expect_frames() {
  local expected
  expected=$(printf '%s\n' "$@")
  [ "$(frames)" = "$expected" ] || fail "frames:
$(frames)
expected:
$expected"
  # Every frame whole, zeros after its text, all on one connection to this camera.
  ! grep -qE '^(partial-frame|frame-tail) ' "$work/log" || fail "a frame was not 4096 bytes with zeros after its text"
  [ "$(grep '^frame ' "$work/log" | cut -d' ' -f2,3 | sort -u)" = "camera=$cam conn=1" ] \
    || fail "frames not on one connection to $cam"
  grep -q "^close camera=$cam conn=1$" "$work/log" || fail "connection not closed"
}
expect_no_frame() { ! grep -q '^frame ' "$work/log" || fail "a frame was sent: $(frames)"; }
expect_stderr() { grep -qxF -- "$1" "$work/stderr" || fail "stderr lacks '$1': $(cat "$work/stderr")"; }
last_line() { tail -n 1 "$work/stdout"; }
upload_line() { grep '^upload ' "$work/log" || true; }
# upload_random BYTES "SIM ARGS": that many random bytes, uploaded to $cam as firmware.
upload_random() {
  head -c "$1" /dev/urandom > "$work/firmware.bin"
  run "$2" upload-firmware "$cam" "$work/firmware.bin"
}
# expect_result RC RESULT: the exit code, and the result code printed last.
expect_result() { expect_rc "$1"; [ "$(last_line)" = "$2" ] || fail "result $(last_line), expected $2"; }
# expect_upload ERE: the camera's line for the upload matches.
expect_upload() { upload_line | grep -qE -- "$1" || fail "upload: $(upload_line)"; }
# The upload has sent a chunk: its first progress line is on stderr.
upload_under_way() { grep -qE ' [1-9][0-9]*/1000' "$work/stderr" 2>/dev/null; }

# Under valgrind memcheck: any error, or a leak of memory nothing points to,
# makes the command exit 99.
memcheck=(valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
          --show-leak-kinds=definite)

case "$case_name" in
memcheck-search)
  preload=("${memcheck[@]}")
  run "--camera ip=$cam,mac=001a2b3c4d11,version=V2.4.3 --camera ip=10.77.0.12,mac=001a2b3c4d12" search
  expect_rc 0
  [ "$(cut -f2 "$work/stdout")" = "$(printf '%s\n' "$cam" 10.77.0.12)" ] || fail "search: $(cat "$work/stdout")"
  ;;
memcheck-upload)
  preload=("${memcheck[@]}")
  upload_random 25000 "--camera ip=$cam"
  expect_result 0 1
  expect_upload 'received=25000 md5ok=1$'
  ;;
deaf-settings)
  # A camera that takes the connection and never reads: the frames of a
  # setting fit the socket's buffers, so the operation ends and says so.
  uid=$(head -c 4089 /dev/zero | tr '\0' U)
  start=$(date +%s.%N)
  run "--camera ip=$cam,port=deaf" set-uid "$cam" "$uid"
  expect_rc 0
  expect_stderr "IPC will restart"
  run "--camera ip=$cam,port=deaf" set-net "$cam" 10.77.0.60 001122334455
  expect_rc 0
  took=$(echo "$(date +%s.%N) - $start" | bc)
  echo "$took < 8" | bc | grep -q 1 || fail "two settings to a deaf camera took $took s"
  ;;
deaf-upload)
  # An address list too big for the buffers of a camera that never reads:
  # its kernel still takes a little now and then while it squeezes its
  # receive queue (about 50 KB over some 10 s here), and the upload gives up
  # once nothing at all has moved for the 5 s send time-out.
  head -c $((1024 * 1024)) /dev/urandom > "$work/onvif_ips.txt"
  start=$(date +%s.%N)
  run "--camera ip=$cam,port=deaf" upload-onvif "$cam" "$work/onvif_ips.txt"
  took=$(echo "$(date +%s.%N) - $start" | bc)
  expect_rc 1
  expect_stderr "Send Data error"
  echo "$took >= 5 && $took < 30" | bc | grep -q 1 || fail "gave up after $took s"
  ;;
upload-file-shrinks)
  # The file loses its tail while the upload runs: the upload stops with
  # "Read the File error" instead of sending what is not there.
  (wait_for 30 upload_under_way && truncate -s 20000 "$work/firmware.bin") &
  upload_random $((1024 * 1024)) "--camera ip=$cam"
  wait
  expect_rc 1
  expect_stderr "Read the File error"
  expect_upload "size=1048576 .* md5ok=0$"
  ;;
upload-file-removed)
  # Removed while the upload runs: the open file still holds its bytes.
  (wait_for 30 upload_under_way && rm -f "$work/firmware.bin") &
  upload_random $((256 * 1024)) "--camera ip=$cam"
  wait
  [ ! -e "$work/firmware.bin" ] || fail "the file was not removed during the upload"
  expect_result 0 1
  expect_upload "size=262144 .* received=262144 md5ok=1$"
  ;;
set-xy)
  run "--camera ip=$cam" set-xy "$cam" 120 45
  expect_rc 0
  expect_frames "#3&3&120&45#" "#3&0&$cam#"
  ;;
set-net)
  run "--camera ip=$cam" set-net "$cam" 10.77.0.60 AaBbCc001122
  expect_rc 0
  # MAC case kept in the colon form; the closing frame carries the MAC as typed.
  expect_frames "#3&1&10.77.0.60#" "#3&2&Aa:Bb:Cc:00:11:22#" "#3&0&AaBbCc001122#"
  ;;
set-ip)
  run "--camera ip=$cam" set-ip "$cam" 255.255.255.255
  expect_rc 0
  expect_frames "#3&1&255.255.255.255#" "#3&0&(null)#"
  ;;
set-mac-uid-keyid)
  run "--camera ip=$cam" set-mac "$cam" 00112233aaff
  expect_rc 0
  expect_frames "#3&2&00:11:22:33:aa:ff#" "#3&0&00112233aaff#"
  run "--camera ip=$cam" set-uid "$cam" ABCDEFGHIJ0123456789
  expect_rc 0
  expect_frames "#3&4&ABCDEFGHIJ0123456789#" "#3&0&$cam#"
  # Bytes outside printable ASCII reach the camera unchanged; its log escapes them.
  run "--camera ip=$cam" set-uid "$cam" $'UID\twith\\slash\xe9000000000'
  expect_rc 0
  expect_frames '#3&4&UID\x09with\\slash\xe9000000000#' "#3&0&$cam#"
  run "--camera ip=$cam" set-keyid "$cam" -7
  expect_rc 0
  expect_frames "#3&5&-7#"
  ;;
failed-frame)
  # Each frame's send fails in turn: the camera gets none of the frames after it.
  fault=$(find "$build" -name liborvane_send_fault.so -print -quit)
  [ -n "$fault" ] || fail "send fault library not built"
  for n in 1 2 3; do
    preload=("LD_PRELOAD=$fault" "ORVANE_FAIL_SEND=$n" "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")
    run "--camera ip=$cam" set-net "$cam" 10.77.0.60 AaBbCc001122
    expect_rc 1
    expect_stderr "Send Data error"
    ! grep -qF "IPC will restart" "$work/stderr" || fail "success shown after a failed frame"
    grep -q "^close camera=$cam conn=1$" "$work/log" || fail "connection not closed"
    expected="#3&1&10.77.0.60#
#3&2&Aa:Bb:Cc:00:11:22#"
    [ "$(frames)" = "$(printf '%s\n' "$expected" | head -n $((n - 1)))" ] || fail "frames after failed send $n:
$(frames)"
  done
  ;;
refused)
  run "--camera ip=$cam,port=refuse" set-xy "$cam" 1 1
  expect_rc 1
  expect_stderr "Link IPC error"
  expect_no_frame
  ;;
field-checks)
  # Each refused before any connection; the window's own message on stderr.
  for args in "set-xy $cam 500 1|the value of X  is error" "set-xy $cam 0 1|the value of X  is error" \
              "set-xy $cam 499 100|the value of Y is error" "set-xy $cam 1 0|the value of Y is error" \
              "set-mac $cam 00112233445|The MAC IS ERROR" "set-mac $cam 00112233445g|The MAC IS ERROR" \
              "set-net $cam 10.77.0.60 00:11:22:33:44:55|The MAC IS ERROR" \
              "set-uid $cam ABCDEFGHIJ012345678|The UID IS ERROR"; do
    # shellcheck disable=SC2086
    run "--camera ip=$cam" ${args%|*}
    expect_rc 1
    expect_stderr "${args#*|}"
    expect_no_frame
  done
  for args in "set-xy $cam 1" "set-keyid $cam 12x" "upload-onvif $cam"; do
    # shellcheck disable=SC2086
    run "--camera ip=$cam" $args
    expect_rc 2
    expect_no_frame
  done
  ;;
upload-firmware)
  upload_random 25000 "--camera ip=$cam"
  digest=$(md5sum "$work/firmware.bin" | cut -c1-16)
  expect_result 0 1
  [ "$(frames)" = "#4&25000&$digest#" ] || fail "header $(frames)"
  [ "$(upload_line)" = "upload camera=$cam conn=1 kind=4 size=25000 digest=$digest received=25000 md5ok=1" ] \
    || fail "upload: $(upload_line)"
  grep -q ' 409/1000' "$work/stderr" && grep -q ' 819/1000' "$work/stderr" || fail "progress: $(cat "$work/stderr")"
  # A path that begins with zImage goes out as kind 2.
  head -c 100 /dev/urandom > "$work/zImage-test"
  run "--camera ip=$cam,reply=%20%2012x" --in "$work" upload-firmware "$cam" zImage-test
  expect_result 1 12
  expect_upload " kind=2 size=100 .* md5ok=1$"
  ;;
upload-close)
  upload_random 25000 "--camera ip=$cam,upload=close"
  expect_result 1 0
  expect_upload " md5ok=1$"
  ;;
upload-silent)
  # A camera that takes the whole file and never answers: the upload gives up
  # after its 60 s reply wait with result 0 instead of hanging.
  started=$(date +%s)
  upload_random 100 "--camera ip=$cam,upload=silent"
  waited=$(( $(date +%s) - started ))
  expect_result 1 0
  [ "$waited" -ge 59 ] && [ "$waited" -le 75 ] || fail "gave up after $waited s, expected about 60"
  expect_upload " size=100 .* received=100 md5ok=1$"
  ;;
upload-cut)
  # The camera drops the connection half-way: a failed send, no result code.
  upload_random 200000 "--camera ip=$cam,upload=cut"
  expect_rc 1
  expect_stderr "Send Data error"
  [ ! -s "$work/stdout" ] || fail "printed a result: $(cat "$work/stdout")"
  expect_upload " size=200000 .* received=100000 md5ok=0$"
  ;;
upload-onvif)
  printf '10.77.0.20\n10.77.0.21\n' > "$work/onvif.txt"
  run "--camera ip=$cam,reply=0" upload-onvif "$cam" "$work/onvif.txt"
  expect_result 0 2
  expect_upload " kind=6 size=22 .* received=22 md5ok=1$"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
