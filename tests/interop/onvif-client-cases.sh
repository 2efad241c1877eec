#!/usr/bin/env bash
# The simulator's ONVIF service checked by a client no one here wrote (npm's
# onvif, installed by scripts/setup): a camera with a login and its clock an
# hour ahead answers connect, getStreamUri and getSnapshotUri as cameras do,
# and a wrong password is refused.
#   onvif-client-cases.sh BUILD_DIR
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../e2e/lib.sh
. "$(dirname "$0")/../e2e/lib.sh"
e2e_case "$@"
client=$here/tests/interop/onvif-client.js
[ -f "$here/tests/interop/onvif-client/node_modules/onvif/package.json" ] ||
  fail "npm onvif missing (scripts/setup installs it)"
case_folder onvif-npm
printf 'Quartz-9\n' > "$work/password"
"$here/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" \
  --sim "--camera ip=10.77.0.11,onvif=yes,user=admin,password-file=$work/password,clock-offset-s=3600,main=h265" -- bash -c '
    timeout 30 node "$1" 10.77.0.11 admin Quartz-9 > "$2/right" 2> "$2/right.err"; echo $? > "$2/right.rc"
    timeout 30 node "$1" 10.77.0.11 admin wrong > /dev/null 2> "$2/wrong.err"; echo $? > "$2/wrong.rc"
  ' _ "$client" "$work"
[ "$(cat "$work/right.rc")" = 0 ] || fail "the client failed: $(cat "$work/right.err")"
expected="profile_main 1920x1080 H265 rtsp://10.77.0.11:554/live/ch00_0 http://10.77.0.11/onvif/snapshot/profile_main.jpg
profile_sub 1280x720 H264 rtsp://10.77.0.11:554/live/ch00_1 http://10.77.0.11/onvif/snapshot/profile_sub.jpg"
[ "$(sort "$work/right")" = "$expected" ] || fail "the client saw: $(cat "$work/right")"
[ "$(cat "$work/wrong.rc")" != 0 ] || fail "a wrong password was let in"
echo "ok onvif-client"
