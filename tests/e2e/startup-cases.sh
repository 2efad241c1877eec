#!/usr/bin/env bash
# End-to-end cases of the orvane process itself, on the test LAN under an
# Xvfb of its own, driven with xdotool, one case per run:
#   startup-cases.sh BUILD_DIR CASE
# Each case has a class registry of its own (XDG_DATA_HOME).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"

if [ "${ORVANE_STARTUP_INSIDE:-}" != 1 ]; then
  ORVANE_STARTUP_INSIDE=1 exec "$here/scripts/test-lan" --addresses 1 --sim-bin "$build/bin/ipc-sim" \
    --sim "--camera ip=10.77.0.11,mac=001a2b3c4d11,version=V2.4.3" -- "$0" "$build" "$case_name"
fi

export XDG_DATA_HOME="$ORVANE_LAN_DIR/data" XDG_RUNTIME_DIR="$ORVANE_LAN_DIR/runtime"
mkdir -p "$XDG_DATA_HOME" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
# shellcheck source=../../scripts/xvfb.sh
. "$here/scripts/xvfb.sh"
start_xvfb
trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
orvane="$build/bin/orvane"
registry="$XDG_DATA_HOME/orvane-registry/HKEY_CLASSES_ROOT"


case "$case_name" in
  file-name-start-until-exit)
    "$build/bin/regsvr" --user "$build/lib/libvidra.so"
    "$orvane" notes.txt &
    pid=$!
    window=$(wait_window '^Orvane-V' 10) || fail "no main window"
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
    kill -0 $pid || fail "the program ended by itself"
    xdotool mousemove $((X + 320)) $((Y + 485)) click 1  # Exit, at 285,476 75x23
    ends_within $pid 10 || fail "Exit did not end the program"
    [ "$rc" = 0 ] || fail "exit code $rc"
    ;;
  no-plugin-message)
    for args in "" "/RegServer"; do
      # shellcheck disable=SC2086
      "$orvane" $args &
      pid=$!
      box=$(wait_window '^Error$' 10) || fail "no message box for '$args'"
      xdotool search --onlyvisible --name '^Orvane-V' >/dev/null 2>&1 && fail "a main window opened"
      xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
      ends_within $pid 10 || fail "the program did not end after the message"
      [ "$rc" = 0 ] || fail "exit code $rc for '$args'"
      [ ! -e "$registry/k.AppID" ] || fail "'$args' wrote AppID keys without the plug-in"
    done
    # Without a display the message goes to stderr, the exit is the same.
    env -u DISPLAY "$orvane" /RegServer 2>"$ORVANE_LAN_DIR/stderr" && rc=0 || rc=$?
    [ "$rc" = 0 ] || fail "exit code $rc without a display"
    grep -qx 'Error:the TarnVidraActivex is not exist,please install it' "$ORVANE_LAN_DIR/stderr" ||
      fail "no message on stderr: $(cat "$ORVANE_LAN_DIR/stderr")"
    ;;
  embedded-ends-at-once)
    "$build/bin/regsvr" --user "$build/lib/libvidra.so"
    for switch in /Embedding -automation; do
      "$orvane" $switch &
      pid=$!
      ends_within $pid 3 || fail "$switch did not end"
      [ "$rc" = 0 ] || fail "exit code $rc for $switch"
    done
    ;;
  register-silently)
    "$build/bin/regsvr" --user "$build/lib/libvidra.so"
    "$orvane" -RegServer &
    pid=$!
    ends_within $pid 5 || fail "the register run did not end"
    [ "$rc" = 0 ] || fail "exit code $rc"
    [ "$(cat "$registry/k.AppID/k.Orvane.EXE/v.AppID")" = "$(ls "$registry/k.AppID" | sed -n 's/^k\.\({.*}\)$/\1/p')" ] ||
      fail "AppID\\Orvane.EXE does not name the AppID key"
    "$orvane" /UnregServer
    [ -d "$registry/k.AppID" ] || fail "unregister removed AppID itself"
    [ -z "$(ls "$registry/k.AppID")" ] || fail "unregister left $(ls "$registry/k.AppID")"
    ;;
  register-unreachable-display)
    # DISPLAY names a server that is not there: the switches still do their
    # work, silently, and the window run says why it cannot open.
    "$build/bin/regsvr" --user "$build/lib/libvidra.so"
    DISPLAY=:87 "$orvane" /RegServer >"$ORVANE_LAN_DIR/out" 2>&1 && rc=0 || rc=$?
    [ "$rc" = 0 ] || fail "register exit code $rc: $(cat "$ORVANE_LAN_DIR/out")"
    [ ! -s "$ORVANE_LAN_DIR/out" ] || fail "register printed: $(cat "$ORVANE_LAN_DIR/out")"
    [ -s "$registry/k.AppID/k.Orvane.EXE/v.AppID" ] || fail "register wrote no AppID"
    DISPLAY=:87 "$orvane" /UnregServer >"$ORVANE_LAN_DIR/out" 2>&1 && rc=0 || rc=$?
    [ "$rc" = 0 ] || fail "unregister exit code $rc: $(cat "$ORVANE_LAN_DIR/out")"
    [ ! -s "$ORVANE_LAN_DIR/out" ] || fail "unregister printed: $(cat "$ORVANE_LAN_DIR/out")"
    [ -z "$(ls "$registry/k.AppID")" ] || fail "unregister left $(ls "$registry/k.AppID")"
    DISPLAY=:87 "$orvane" 2>"$ORVANE_LAN_DIR/out" && rc=0 || rc=$?
    [ "$rc" = 1 ] || fail "window run exit code $rc"
    grep -q 'no display' "$ORVANE_LAN_DIR/out" || fail "window run said: $(cat "$ORVANE_LAN_DIR/out")"
    ;;
  installed)
    prefix="$ORVANE_LAN_DIR/prefix"
    cmake --install "$build" --prefix "$prefix" >/dev/null || fail "install failed"
    for f in bin/orvane bin/orvane-cli bin/regsvr lib/orvane/libvidra.so share/applications/orvane.desktop \
             share/icons/hicolor/16x16/apps/orvane.png share/icons/hicolor/32x32/apps/orvane.png \
             share/icons/hicolor/256x256/apps/orvane.png; do
      [ -e "$prefix/$f" ] || fail "not installed: $f"
    done
    grep -qx 'Exec=orvane' "$prefix/share/applications/orvane.desktop" || fail "desktop entry without Exec=orvane"
    readelf -d "$prefix/bin/orvane" | grep -q 'R.*PATH.*\$ORIGIN/\.\./lib/orvane' || fail "orvane's run path does not lead to lib/orvane/"
    "$prefix/bin/regsvr" --user "$prefix/lib/orvane/libvidra.so" || fail "regsvr failed"
    server=$(for v in "$registry"/k.CLSID/*/k.InprocServer32/v.; do cat "$v"; echo; done | sort -u)
    [ "$server" = "$prefix/lib/orvane/libvidra.so" ] || fail "InprocServer32 names $server"
    "$prefix/bin/orvane" &
    pid=$!
    window=$(wait_window '^Orvane-V' 10) || fail "the installed orvane opened no window"
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 320)) $((Y + 485)) click 1
    ends_within $pid 10 || fail "Exit did not end the installed orvane"
    [ "$rc" = 0 ] || fail "exit code $rc"
    ;;
  *) echo "unknown case $case_name" >&2; exit 2 ;;
esac
echo "ok $case_name"
