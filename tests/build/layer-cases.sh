#!/usr/bin/env bash
# The build's own checks of the layering, on a copy of the source tree:
#   layer-cases.sh SOURCE_DIR
# A core layer that includes a header of a layer above it does not compile;
# the unchanged copy does, so the failure is the include's. A missing
# subsystem folder stops the configure.
set -euo pipefail
source=$1
# shellcheck source-path=SCRIPTDIR source=../e2e/lib.sh
. "$(dirname "$0")/../e2e/lib.sh"
case_folder layers

git -C "$source" ls-files -z | (cd "$source" && xargs -0 cp --parents -t "$work" 2>/dev/null) ||
  (cd "$source" && tar cf - --exclude='./build*' . | tar xf - -C "$work")
configure() { cmake -S "$work" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >"$work/configure.log" 2>&1; }

configure || fail "the unchanged copy does not configure: $(tail -5 "$work/configure.log")"
cmake --build "$work/build" --target orvane_discovery >"$work/build.log" 2>&1 || fail "discovery does not build unchanged"

# discovery links platform only: a header of control is out of its reach.
printf '#include "control/CommandFrame.h"\n' >> "$work/discovery/CameraRow.cpp"
if cmake --build "$work/build" --target orvane_discovery >"$work/build.log" 2>&1; then
  fail "discovery compiled with an include of control"
fi
grep -q 'control/CommandFrame.h' "$work/build.log" || fail "discovery failed for another reason: $(tail -5 "$work/build.log")"

# platform is the bottom: not even discovery is in its reach.
printf '#include "discovery/CameraRow.h"\n' >> "$work/platform/Text.cpp"
if cmake --build "$work/build" --target orvane_platform >"$work/build.log" 2>&1; then
  fail "platform compiled with an include of discovery"
fi

# The ONVIF client stands alone: not even platform is in its reach.
cmake --build "$work/build" --target orvane_onvif >"$work/build.log" 2>&1 || fail "onvif does not build unchanged"
printf '#include "platform/Text.h"\n' >> "$work/onvif/ProfileChoice.cpp"
if cmake --build "$work/build" --target orvane_onvif >"$work/build.log" 2>&1; then
  fail "onvif compiled with an include of platform"
fi
grep -q 'platform/Text.h' "$work/build.log" || fail "onvif failed for another reason: $(tail -5 "$work/build.log")"

# A subsystem folder gone: the configure stops and names it.
rm -rf "$work/build" "$work/control"
if configure; then
  fail "the configure went on without control/"
fi
grep -q 'control' "$work/configure.log" || fail "the configure failed without naming control: $(tail -5 "$work/configure.log")"
echo "ok layers"
