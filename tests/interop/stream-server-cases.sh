#!/usr/bin/env bash
# The video control against RTSP servers no one here wrote, one case per run,
# each on a loopback-only network of its own. FFmpeg makes a moving test
# picture; the server sends it; vidra_picture_peek shows it in the control and
# tells whether it moves, and the control's log says what it played.
#   stream-server-cases.sh BUILD_DIR CASE
#     vlc-h264-high    H.264 High with two B-frames, served by VLC
#     vlc-h265-login   H.265 from VLC behind its login (VIDRA_USER/VIDRA_PASSWORD)
#     live555-h264     live555MediaServer's on-demand .264 file
#     live555-h265     live555MediaServer's on-demand .265 file
# Exits 77 (skipped) when the server is not installed.
set -euo pipefail
build=$1
case_name=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "SKIP: $*"; exit 77; }
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.log "$work"/peek; do [ ! -f "$f" ] || { echo "--- $(basename "$f")" >&2; cat "$f" >&2; }; done
  exit 1
}
command -v ffmpeg > /dev/null || fail "ffmpeg missing (scripts/setup installs it)"
case "$case_name" in
vlc-*) command -v cvlc > /dev/null || skip "VLC is not installed (scripts/setup installs vlc-bin and vlc-plugin-base)" ;;
live555-*)
  command -v live555MediaServer > /dev/null ||
    skip "live555MediaServer is not installed: Debian 12 has no livemedia-utils package" ;;
*) fail "unknown case $case_name" ;;
esac

work=$(mktemp -d /tmp/orvane-interop.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# serve CASE: starts the case's server in the background (inside the
# namespace) and prints the URL the control is to play.
inside() {
  set -euo pipefail
  local case_name=$1 work=$2 build=$3 here=$4
  ip link set lo up
  local picture=(-f lavfi -i testsrc2=size=640x360:rate=25)
  case "$case_name" in
  vlc-*)
    # VLC refuses root: it runs as nobody, with a home of its own that holds
    # its settings, the login among them (on no command line).
    mkdir -p "$work/home/.config/vlc"
    if [ "$case_name" = vlc-h265-login ]; then
      printf 'sout-rtsp-user=admin\nsout-rtsp-pwd=Quartz-9\n' > "$work/home/.config/vlc/vlcrc"
      local codec=(-c:v libx265 -preset ultrafast -x265-params log-level=error -g 25)
    else
      : > "$work/home/.config/vlc/vlcrc"
      local codec=(-c:v libx264 -profile:v high -bf 2 -g 25 -preset veryfast)
    fi
    chown -R nobody:nogroup "$work/home"
    ffmpeg -hide_banner -loglevel error -re "${picture[@]}" -t 30 "${codec[@]}" -f mpegts - 2> "$work/ffmpeg.log" |
      setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/home" \
        cvlc -q - --sout '#rtp{sdp=rtsp://127.0.0.1:8554/x}' > "$work/vlc.log" 2>&1 &
    url=rtsp://127.0.0.1:8554/x
    wait_listening 8554
    # VLC listens before it has found the stream in its input, and answers
    # 500 until then.
    wait_describable "$url"
    ;;
  live555-*)
    # Short and small: 8 s at 640x360; the server plays the file on demand.
    local ext=${case_name#live555-}
    local codec=(-c:v libx264 -profile:v high -bf 2 -f h264)
    [ "$ext" = h264 ] || codec=(-c:v libx265 -x265-params log-level=error -f hevc)
    ffmpeg -hide_banner -loglevel error "${picture[@]}" -t 8 -g 25 -preset veryfast "${codec[@]}" \
      "$work/media/test.${ext#h}" 2> "$work/ffmpeg.log"
    (cd "$work/media" && exec live555MediaServer > "$work/live555.log" 2>&1) &
    wait_listening 554 || wait_listening 8554
    url=rtsp://127.0.0.1:$(listening 554 && echo 554 || echo 8554)/test.${ext#h}
    ;;
  esac
  export VIDRA_URL=$url VIDRA_LOG=$work/vidra.log
  if [ "$case_name" = vlc-h265-login ]; then
    # Under the leak check: FFmpeg's own leak of the 401's body (see the
    # file), told apart by the whole stack (the later flag wins).
    if [ -n "${LSAN_OPTIONS:-}" ]; then
      export LSAN_OPTIONS="$LSAN_OPTIONS:suppressions=$here/tests/interop/rtsp-401-body.supp"
      export ASAN_OPTIONS="${ASAN_OPTIONS:-}:fast_unwind_on_malloc=0"
    fi
    # A first run without the login must be refused.
    env -u VIDRA_USER -u VIDRA_PASSWORD timeout 15 "$build/bin/vidra_picture_peek" 127.0.0.1 0 3 \
      -platform offscreen > "$work/refused" 2>&1 || true
    export VIDRA_USER=admin VIDRA_PASSWORD=Quartz-9
  fi
  rm -f "$work/vidra.log"
  timeout 25 "$build/bin/vidra_picture_peek" 127.0.0.1 0 15 -platform offscreen > "$work/peek" 2>&1
}
# The status line of a DESCRIBE: 200, or 401 from a server with a login.
describe_status() {
  local hostport=${1#rtsp://}
  hostport=${hostport%%/*}
  exec 3<> "/dev/tcp/${hostport%:*}/${hostport#*:}" || return 1
  printf 'DESCRIBE %s RTSP/1.0\r\nCSeq: 1\r\n\r\n' "$1" >&3
  local line
  read -r -t 2 line <&3 || line=
  exec 3<&-
  echo "$line"
}
wait_describable() {
  for _ in $(seq 1 100); do
    case "$(describe_status "$1")" in "RTSP/1.0 200"* | "RTSP/1.0 401"*) return 0 ;; esac
    sleep 0.05
  done
  return 1
}
listening() { ss -Hltn "sport = :$1" | grep -q .; }
wait_listening() {
  for _ in $(seq 1 100); do listening "$1" && return 0; sleep 0.05; done
  return 1
}

mkdir -p "$work/media"
rc=0
timeout 45 unshare -n bash -c "$(declare -f inside listening wait_listening describe_status wait_describable); inside \"\$@\"" _ \
  "$case_name" "$work" "$build" "$here" || rc=$?
[ "$rc" = 0 ] || fail "the control showed no moving picture (exit $rc)"
grep -qx moving "$work/peek" || fail "no moving picture"
info() { sed -n 's/^info address=127.0.0.1 text=//p' "$work/vidra.log"; }
case "$case_name" in
vlc-h264-high | live555-h264) want="H.264 640x360 25 fps" ;;
*) want="H.265 640x360 25 fps" ;;
esac
case "$(info)" in
"$want UDP" | "$want TCP") ;;
*) fail "the control's line says '$(info)', not '$want'" ;;
esac
if [ "$case_name" = vlc-h265-login ]; then
  # Without a login the camera refuses and the form is asked for; with it the
  # picture comes without one, and the password is in no text shown.
  grep -qx "text: Log in to 127.0.0.1" "$work/refused" || fail "no login asked without it: $(cat "$work/refused")"
  ! grep -q "login-asked" "$work/vidra.log" || fail "the login was asked with VIDRA_USER given"
  ! grep -q Quartz-9 "$work/peek" "$work/refused" "$work/vidra.log" || fail "the password was shown or logged"
fi
echo "ok $case_name: $(info)"
