#!/usr/bin/env bash
# The screenshot script's driver, one case per run:
#   driver-cases.sh BUILD_DIR CASE
# all-shots: every screenshot is written from a real run.
# stops-at-failed-step: an orvane that ends without opening its window ends
# the run at once, with a message naming the step and the reason.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
case_folder driver

case "$case_name" in
all-shots)
  ORVANE_BUILD=$build "$here/scripts/screenshot" "$work/out" >"$work/log" 2>&1 || fail "screenshot failed: $(tail -5 "$work/log")"
  for shot in main-window add-window own-menu about-window settings-window live-preview progress-window; do
    [ -s "$work/out/$shot.png" ] || fail "no $shot.png"
  done
  ;;
stops-at-failed-step)
  # A build whose orvane ends at once, without a window.
  mkdir -p "$work/build/bin" "$work/build/lib"
  printf '#!/bin/sh\nexit 0\n' >"$work/build/bin/orvane"
  printf '#!/bin/sh\nexit 0\n' >"$work/build/bin/regsvr"
  chmod +x "$work/build/bin/orvane" "$work/build/bin/regsvr"
  ln -s "$build/bin/ipc-sim" "$work/build/bin/ipc-sim"
  : >"$work/build/lib/libvidra.so"
  start=$SECONDS
  if ORVANE_BUILD=$work/build "$here/scripts/screenshot" "$work/out" >"$work/log" 2>&1; then
    fail "the run went on without a main window"
  fi
  grep -q "step 'the main window opens' failed" "$work/log" || fail "no message naming the step: $(tail -5 "$work/log")"
  grep -q "orvane ended (exit 0) without opening its main window" "$work/log" || fail "no reason given: $(tail -5 "$work/log")"
  # The window's bound is 15 s; an orvane that has ended is not waited for.
  [ $((SECONDS - start)) -lt 10 ] || fail "the failed step took $((SECONDS - start)) s"
  [ ! -e "$work/out/main-window.png" ] || fail "a later step ran after the failure"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "ok $case_name"
