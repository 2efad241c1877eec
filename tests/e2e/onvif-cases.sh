#!/usr/bin/env bash
# End-to-end cases of the cameras' ONVIF services and RTSP logins on the test
# LAN, with orvane-cli and FFmpeg's ffprobe as the clients:
#   onvif-cases.sh BUILD_DIR CASE
# 10.77.0.11 has ONVIF and a login (admin, the password in a file), its clock
# two hours ahead, H.265 on the main stream; 10.77.0.12 has neither.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
cam=10.77.0.11
plain=10.77.0.12
case_folder onvif
fail_dump=("$work/log")
password='Pa ss<&>w0rd'
printf '%s\n' "$password" > "$work/password"

# lan CAMERA_OPTIONS SCRIPT: SCRIPT runs with bash on the operator side and
# sees $cli, $out and probe; the simulator's log ends up in $work/log.
lan() {
  "$here/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" \
    --sim "--camera ip=$cam,onvif=yes,user=admin,password-file=$work/password,clock-offset-s=7200,$1 --camera ip=$plain" \
    -- bash -c '
      set -uo pipefail
      out=$1 cli=$2/bin/orvane-cli script=$3
      probe() {  # probe URL: codec,width,height of the first video stream
        timeout 15 ffprobe -v error -rtsp_transport tcp -select_streams v:0 \
          -show_entries stream=codec_name,width,height -of csv=p=0 "$1"
      }
      eval "$script"
      rc=$?
      sleep 0.2
      cp "$ORVANE_SIM_LOG" "$out/log"
      exit $rc
    ' _ "$work" "$build" "$2" || fail "case script failed (exit $?)"
}

expect() { [ "$(cat "$work/$1")" = "$2" ] || fail "$1: '$(cat "$work/$1")', expected '$2'"; }
expect_log() { grep -qF -- "$1" "$work/log" || fail "log lacks '$1'"; }

case "$case_name" in
stream-uri)
  # Refused without a login and with a wrong one, then found with the right
  # one: the UsernameToken must carry the camera's clock, two hours ahead.
  lan main=h265 "
    \$cli stream-uri $cam > \"\$out/none\" 2> \"\$out/none.err\"; echo \$? > \"\$out/none.rc\"
    ORVANE_PASSWORD=wrong \$cli stream-uri $cam --user admin 2> \"\$out/wrong.err\"; echo \$? > \"\$out/wrong.rc\"
    ORVANE_PASSWORD='$password' \$cli stream-uri $cam --user admin > \"\$out/main\"
    ORVANE_PASSWORD='$password' \$cli stream-uri $cam --user admin --stream sub > \"\$out/sub\"
    start=\$(date +%s%N)
    \$cli stream-uri $plain > \"\$out/plain\"
    echo \$(( (\$(date +%s%N) - start) / 1000000 )) > \"\$out/plain.ms\"
  "
  expect none.rc 1
  expect none.err "orvane-cli: $cam asks for a user and password (--user)"
  expect wrong.rc 1
  expect wrong.err "orvane-cli: $cam: Wrong user or password"
  expect main "rtsp://$cam:554/live/ch00_0"
  expect sub "rtsp://$cam:554/live/ch00_1"
  expect plain "rtsp://$plain:554/main"
  # A refused connection is no wait: the pattern comes at once.
  [ "$(cat "$work/plain.ms")" -lt 1500 ] || fail "the fall-back took $(cat "$work/plain.ms") ms"
  expect_log "onvif-refused op=GetCapabilities reason=no-token camera=$cam"
  expect_log "onvif-refused op=GetCapabilities reason=login camera=$cam"
  expect_log "onvif-call op=GetStreamUri user=admin camera=$cam"
  ;;
rtsp-digest | rtsp-basic)
  # The streams ONVIF names play with the login, and only with it.
  lan "main=h265,sub=mjpeg,rtsp-auth=${case_name#rtsp-}" "
    login=\$(python3 -c 'import urllib.parse,sys; print(urllib.parse.quote(sys.argv[1], safe=\"\"))' '$password')
    probe rtsp://admin:\$login@$cam:554/live/ch00_0 > \"\$out/main\"
    probe rtsp://admin:\$login@$cam:554/live/ch00_1 > \"\$out/sub\"
    probe rtsp://$cam:554/live/ch00_0 > /dev/null 2> \"\$out/anonymous\"
    probe rtsp://admin:wrong@$cam:554/live/ch00_0 > /dev/null 2> \"\$out/wrong\"
    probe rtsp://$plain:554/main > \"\$out/plain\"
  "
  expect main "hevc,1920,1080"
  expect sub "mjpeg,1280,720"
  expect plain "h264,1920,1080"
  grep -q 401 "$work/anonymous" || fail "anonymous: $(cat "$work/anonymous")"
  grep -q 401 "$work/wrong" || fail "wrong login: $(cat "$work/wrong")"
  ;;
snapshot)
  lan "" "
    ORVANE_PASSWORD='$password' \$cli snapshot $cam \"\$out/main.jpg\" --user admin > /dev/null
    ORVANE_PASSWORD='$password' \$cli snapshot $cam \"\$out/sub.jpeg\" --user admin --stream sub > /dev/null
    ORVANE_PASSWORD=wrong \$cli snapshot $cam \"\$out/wrong.jpg\" --user admin 2> \"\$out/wrong.err\"; echo \$? > \"\$out/wrong.rc\"
    \$cli snapshot $plain \"\$out/plain.jpg\" 2> \"\$out/plain.err\"; echo \$? > \"\$out/plain.rc\"
  "
  for shot in main.jpg:1920,1080 sub.jpeg:1280,720; do
    size=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$work/${shot%%:*}")
    [ "$size" = "mjpeg,${shot#*:}" ] || fail "${shot%%:*}: $size"
  done
  expect wrong.rc 1
  expect wrong.err "orvane-cli: $cam: Wrong user or password"
  # A camera without ONVIF gives the stream's first key frame instead.
  expect plain.rc 0
  size=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$work/plain.jpg")
  [ "$size" = "mjpeg,1920,1080" ] || fail "plain.jpg: $size"
  expect_log "onvif-snapshot camera=$cam path=/onvif/snapshot/profile_main.jpg"
  ;;
snapshot-from-stream)
  # No GetSnapshotUri: one decoded frame of the stream the preview plays,
  # at its full size, as the file's name asks; the camera's own snapshot as
  # PNG when the name says so.
  lan "snapshot=no,main=h265" "
    ORVANE_PASSWORD='$password' \$cli snapshot $cam \"\$out/main.png\" --user admin > \"\$out/main.out\"
    ORVANE_PASSWORD='$password' \$cli snapshot $cam \"\$out/sub.JPG\" --user admin --stream sub > /dev/null
    ORVANE_PASSWORD=wrong \$cli snapshot $cam \"\$out/wrong.png\" --user admin 2> \"\$out/wrong.err\"; echo \$? > \"\$out/wrong.rc\"
  "
  for shot in main.png:png,1920,1080 sub.JPG:mjpeg,1280,720; do
    size=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$work/${shot%%:*}")
    [ "$size" = "${shot#*:}" ] || fail "${shot%%:*}: $size"
  done
  expect main.out "$work/main.png $(stat -c %s "$work/main.png") bytes"
  # The frame is the stream's own: its time strip reads back.
  ffmpeg -v error -i "$work/main.png" -f rawvideo -pix_fmt gray "$work/main.gray"
  "$build/bin/timestrip-read" --gray 1920x1080 "$work/main.gray" > /dev/null || fail "main.png holds no frame of the stream"
  expect wrong.rc 1
  expect wrong.err "orvane-cli: $cam: Wrong user or password"
  expect_log "rtsp-client camera=$cam path=/live/ch00_0"
  expect_log "rtsp-client camera=$cam path=/live/ch00_1"
  ! grep -q onvif-snapshot "$work/log" || fail "a snapshot was fetched from a camera without one"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
echo "ok $case_name"
