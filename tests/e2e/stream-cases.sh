#!/usr/bin/env bash
# End-to-end cases of the simulator's RTSP video on the test LAN, one case per
# run, with FFmpeg's own tools as the client:
#   stream-cases.sh BUILD_DIR CASE
# Each case starts its own test LAN with two cameras: 10.77.0.11 streams (live,
# or stall in the stall case), 10.77.0.12 has stream=none.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
live=10.77.0.11
none=10.77.0.12
case_folder stream
fail_dump=("$work/log")
command -v ffprobe > /dev/null || fail "ffprobe missing (scripts/setup installs ffmpeg)"

# lan MODE SCRIPT: runs SCRIPT with bash on the operator side, the first
# camera in stream=MODE, and copies the simulator's log to $work/log. SCRIPT
# sees $work as $1, the simulator's pid in $ORVANE_LAN_DIR/sim.ready, and the
# helpers below.
lan() {
  local mode=$1 script=$2 more=${3:-}
  "$here/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" \
    --sim "--camera ip=$live,stream=$mode --camera ip=$none,stream=none $more" -- bash -c '
      set -uo pipefail
      out=$1 build=$2 script=$3
      probe() {  # probe TRANSPORT URL: codec,width,height of the first video stream
        timeout 15 ffprobe -v error -rtsp_transport "$1" -select_streams v:0 \
          -show_entries stream=codec_name,width,height -of csv=p=0 "$2"
      }
      cpu_ticks() { awk "{print \$14 + \$15}" "/proc/$(cat "$ORVANE_LAN_DIR/sim.ready")/stat"; }
      eval "$script"
      rc=$?
      sleep 0.2
      cp "$ORVANE_SIM_LOG" "$out/log"
      exit $rc
    ' _ "$work" "$build" "$script" || fail "case script failed (exit $?)"
}

expect_log() { grep -qxF -- "$1" "$work/log" || fail "log lacks '$1'"; }

case "$case_name" in
probe-tcp | probe-udp)
  transport=${case_name#probe-}
  lan live "
    probe $transport rtsp://$live:554/main > \"\$out/main\"
    probe $transport rtsp://$live:554/sub > \"\$out/sub\"
  "
  [ "$(cat "$work/main")" = "h264,1920,1080" ] || fail "/main over $transport: $(cat "$work/main")"
  [ "$(cat "$work/sub")" = "h264,1280,720" ] || fail "/sub over $transport: $(cat "$work/sub")"
  expect_log "rtsp-client camera=$live path=/main"
  expect_log "rtsp-client camera=$live path=/sub"
  ;;
refused)
  # No listener at all: refused at once, not a time-out; the live camera's
  # server does not answer for the other address either.
  lan live "
    start=\$(date +%s%N)
    probe tcp rtsp://$none:554/main > /dev/null 2> \"\$out/stderr\"
    echo \$? > \"\$out/rc\"
    echo \$(( (\$(date +%s%N) - start) / 1000000 )) > \"\$out/ms\"
  "
  [ "$(cat "$work/rc")" -ne 0 ] || fail "ffprobe succeeded against stream=none"
  grep -q "Connection refused" "$work/stderr" || fail "not refused: $(cat "$work/stderr")"
  [ "$(cat "$work/ms")" -lt 3000 ] || fail "took $(cat "$work/ms") ms to fail"
  ! grep -q "camera=$none" "$work/log" || fail "the stream=none camera logged RTSP"
  ;;
time-strip)
  # Frames 1 and 25 of each stream: the strip reads back, is the time of
  # making (within 3 s of the grab), and runs on with the frames.
  lan live "
    for path in main sub; do
      timeout 20 ffmpeg -v error -rtsp_transport tcp -i rtsp://$live:554/\$path -frames:v 25 \
        -f rawvideo -pix_fmt gray \"\$out/\$path.gray\" || exit 1
      date +%s%3N > \"\$out/\$path.now\"
    done
  "
  for stream in main:1920x1080 sub:1280x720; do
    path=${stream%%:*} size=${stream#*:}
    frame_bytes=$(( ${size%x*} * ${size#*x} ))
    [ "$(stat -c %s "$work/$path.gray")" -eq $((25 * frame_bytes)) ] || fail "/$path: not 25 frames of $size"
    times=()
    for index in 0 24; do
      dd if="$work/$path.gray" of="$work/frame.gray" bs="$frame_bytes" skip="$index" count=1 status=none
      t=$("$build/bin/timestrip-read" --gray "$size" "$work/frame.gray") || fail "/$path frame $index: no strip"
      times+=("$t")
    done
    age=$(( $(cat "$work/$path.now") - times[1] ))
    [ "$age" -ge 0 ] && [ "$age" -le 3000 ] || fail "/$path: last frame made $age ms before the grab ended"
    # 24 frames at 25 fps apart: 960 ms, give or take the source's start-up.
    step=$(( times[1] - times[0] ))
    [ "$step" -ge 700 ] && [ "$step" -le 1500 ] || fail "/$path: frames 1 and 25 made $step ms apart"
    if cmp -s -n "$frame_bytes" "$work/$path.gray" <(tail -c "$frame_bytes" "$work/$path.gray"); then
      fail "/$path: first and last frame are the same picture"
    fi
  done
  expect_log "rtsp-client camera=$live path=/main"
  ;;
two-clients)
  # Two clients at once, one over UDP and one over TCP, both get the whole
  # stream; once they have left, the simulator is idle again.
  lan live "
    for t in udp tcp; do
      timeout 20 ffmpeg -v error -rtsp_transport \$t -i rtsp://$live:554/main -frames:v 50 -f framecrc - \
        > \"\$out/\$t.crc\" &
    done
    wait
    sleep 1
    before=\$(cpu_ticks); sleep 2; after=\$(cpu_ticks)
    echo \$(( (after - before) * 100 / \$(getconf CLK_TCK) / 2 )) > \"\$out/idle\"
  "
  for t in udp tcp; do
    [ "$(grep -c '^0,' "$work/$t.crc")" -eq 50 ] || fail "$t client got $(grep -c '^0,' "$work/$t.crc") frames, not 50"
  done
  [ "$(grep -c "^rtsp-client camera=$live path=/main$" "$work/log")" -eq 2 ] || fail "not two plays logged"
  [ "$(cat "$work/idle")" -le 3 ] || fail "simulator still busy after the clients left: $(cat "$work/idle") %"
  ;;
stall)
  # The server takes the request and sends about 2 s of video, then nothing.
  lan stall "
    probe tcp rtsp://$live:554/main > \"\$out/main\"
    # Killed: a stalled ffmpeg ends on the first SIGTERM only once data comes again.
    timeout -s KILL 8 ffmpeg -v error -rtsp_transport tcp -i rtsp://$live:554/main -flush_packets 1 \
      -f framecrc - > \"\$out/crc\" 2> /dev/null
    true
  "
  [ "$(cat "$work/main")" = "h264,1920,1080" ] || fail "stalling camera did not answer: $(cat "$work/main")"
  frames=$(grep -c '^0,' "$work/crc" || true)
  [ "$frames" -ge 25 ] && [ "$frames" -le 75 ] || fail "$frames frames in 8 s, expected about 50 before the stall"
  expect_log "rtsp-stall camera=$live path=/main"
  ;;
shared-sub)
  # A 640x360 sub stream from one encoder for every client: two cameras,
  # three clients at once (UDP and TCP, one of them joining late), each
  # starts at a key frame and gets the whole stream with its time strip.
  third=10.77.0.13
  lan live "
    probe tcp rtsp://$third:554/sub > \"\$out/sub\"
    timeout 20 ffmpeg -v error -rtsp_transport udp -i rtsp://$live:554/sub -frames:v 50 -f framecrc - \
      > \"\$out/a.crc\" &
    timeout 20 ffmpeg -v error -rtsp_transport tcp -i rtsp://$third:554/sub -frames:v 50 -f framecrc - \
      > \"\$out/b.crc\" &
    sleep 0.7
    timeout 20 ffmpeg -v error -rtsp_transport tcp -i rtsp://$third:554/sub -frames:v 1 \
      -f rawvideo -pix_fmt gray \"\$out/late.gray\" || exit 1
    date +%s%3N > \"\$out/late.now\"
    wait
  " "--sub-stream 640x360@25 --shared-encoder --camera ip=$third"
  [ "$(cat "$work/sub")" = "h264,640,360" ] || fail "/sub: $(cat "$work/sub")"
  for c in a b; do
    [ "$(grep -c '^0,' "$work/$c.crc")" -eq 50 ] || fail "client $c got $(grep -c '^0,' "$work/$c.crc") frames, not 50"
  done
  t=$("$build/bin/timestrip-read" --gray 640x360 "$work/late.gray") || fail "the late client's first frame has no strip"
  age=$(( $(cat "$work/late.now") - t ))
  [ "$age" -ge 0 ] && [ "$age" -le 3000 ] || fail "the late client's first frame was made $age ms before"
  # One encoder for all of them: it starts once for the probe, stops when
  # the probe leaves, starts once more for the three clients.
  starts=$(grep -c '^encoder-start path=/sub$' "$work/log" || true)
  [ "$starts" -ge 1 ] && [ "$starts" -le 2 ] || fail "$starts encoder starts for /sub"
  [ "$(grep -c '^encoder-start path=/main$' "$work/log" || true)" -eq 0 ] || fail "an encoder for /main started"
  [ "$(grep -c "^rtsp-client camera=.* path=/sub$" "$work/log")" -eq 4 ] || fail "not four plays logged"
  ;;
key-frame-wait)
  # A stream joined between key frames, the next one 3 s away: the control
  # says it waits for one, shows nothing of the frames before it, then plays.
  lan "live,key-every-ms=3000" "
    VIDRA_LOG=\"\$out/vidra.log\" timeout 20 \"\$build/bin/vidra_picture_peek\" $live 0 10 -platform offscreen \
      > \"\$out/peek\" 2>&1
  "
  fail_dump+=("$work/peek" "$work/vidra.log")
  # The text between the set-up and the first packet may last less than the
  # peek's 100 ms between looks: it is not asked for.
  texts=$(grep -v -e '^QStandardPaths' -e '^text: Waiting for the first picture' "$work/peek" | uniq | tr '\n' '|')
  want="text: Connecting to rtsp://$live:554/main|text: Waiting for a key frame|text: |moving|"
  [ "$texts" = "$want" ] || fail "the control showed '$texts', expected '$want'"
  # The picture comes with the key frame, about 3 s after the stream starts.
  ms=$(sed -n 's/^first-picture ms=\([0-9]*\).*/\1/p' "$work/vidra.log")
  [ "${ms:-0}" -ge 2000 ] && [ "$ms" -le 4500 ] || fail "the first picture came after ${ms:-no} ms"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
