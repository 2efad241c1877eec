#!/usr/bin/env bash
# Runs a command with DISPLAY set to an Xvfb of its own, removed afterwards.
set -euo pipefail
display=":$((200 + $$ % 300))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
"$@"
