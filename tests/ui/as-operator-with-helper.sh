#!/usr/bin/env bash
# Runs a window test on the test LAN as an operator's own account would run
# the window: as nobody, without any capability, with ORVANE_LINK_ADDRESS_HELPER
# naming a copy of orvane-link-address that holds the capabilities pkexec
# would give the installed one. Lets the account read the simulator's logs.
#   as-operator-with-helper.sh HELPER TEST [ARGS...]
set -euo pipefail
helper=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$helper" "$dir/orvane-link-address"
setcap cap_net_admin,cap_net_raw=ep "$dir/orvane-link-address"
mkdir "$dir/home"
chown nobody "$dir/home"
chmod 755 "$dir" "$ORVANE_LAN_DIR"
chmod a+r "$ORVANE_LAN_DIR"/*.log
env HOME="$dir/home" XDG_RUNTIME_DIR="$dir/home" ORVANE_LINK_ADDRESS_HELPER="$dir/orvane-link-address" \
  setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all -- "$@"
