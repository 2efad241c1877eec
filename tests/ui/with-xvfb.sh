#!/usr/bin/env bash
# Runs a command with DISPLAY set to an Xvfb of its own, removed afterwards.
set -euo pipefail
# shellcheck source=../../scripts/xvfb.sh
. "$(dirname "$0")/../../scripts/xvfb.sh"
start_xvfb
trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
"$@"
