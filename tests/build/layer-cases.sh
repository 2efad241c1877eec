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
# compiles LAYER/FILE.cpp alone, as its layer's target does: the include
# paths under test are the target's, and nothing else needs building. The
# object goes first: a line appended in the same clock tick as the last
# compile leaves the source no newer than its object, and ninja would skip it.
compile() {
  local object="$1/CMakeFiles/orvane_$1.dir/$2.o"
  rm -f "$work/build/$object"
  cmake --build "$work/build" --target "$object" >"$work/build.log" 2>&1
}

configure || fail "the unchanged copy does not configure: $(tail -5 "$work/configure.log")"

# discovery links process and net only: a header of control is out of its reach.
compile discovery CameraRow.cpp || fail "discovery does not compile unchanged: $(tail -5 "$work/build.log")"
printf '#include "control/CommandFrame.h"\n' >> "$work/discovery/CameraRow.cpp"
if compile discovery CameraRow.cpp; then
  fail "discovery compiled with an include of control"
fi
grep -q 'control/CommandFrame.h' "$work/build.log" || fail "discovery failed for another reason: $(tail -5 "$work/build.log")"

# The search's diagnosis is orvane-cli's alone: neither discovery nor control reaches it.
compile discovery CameraListing.cpp || fail "discovery does not compile unchanged: $(tail -5 "$work/build.log")"
printf '#include "diagnosis/SearchDiagnosis.h"\n' >> "$work/discovery/CameraListing.cpp"
if compile discovery CameraListing.cpp; then
  fail "discovery compiled with an include of diagnosis"
fi
grep -q 'diagnosis/SearchDiagnosis.h' "$work/build.log" || fail "discovery failed for another reason: $(tail -5 "$work/build.log")"
compile control FirmwareKind.cpp || fail "control does not compile unchanged: $(tail -5 "$work/build.log")"
printf '#include "diagnosis/FirewallConfig.h"\n' >> "$work/control/FirmwareKind.cpp"
if compile control FirmwareKind.cpp; then
  fail "control compiled with an include of diagnosis"
fi
grep -q 'diagnosis/FirewallConfig.h' "$work/build.log" || fail "control failed for another reason: $(tail -5 "$work/build.log")"

# net sits below the search: discovery is out of its reach.
compile net NetworkInterfaces.cpp || fail "net does not compile unchanged: $(tail -5 "$work/build.log")"
printf '#include "discovery/CameraRow.h"\n' >> "$work/net/NetworkInterfaces.cpp"
if compile net NetworkInterfaces.cpp; then
  fail "net compiled with an include of discovery"
fi
grep -q 'discovery/CameraRow.h' "$work/build.log" || fail "net failed for another reason: $(tail -5 "$work/build.log")"

# process is the bottom of the core: the network is out of its reach.
compile process Text.cpp || fail "process does not compile unchanged: $(tail -5 "$work/build.log")"
printf '#include "net/Socket.h"\n' >> "$work/process/Text.cpp"
if compile process Text.cpp; then
  fail "process compiled with an include of net"
fi
grep -q 'net/Socket.h' "$work/build.log" || fail "process failed for another reason: $(tail -5 "$work/build.log")"

# The ONVIF client stands alone: not even process is in its reach.
compile onvif ProfileChoice.cpp || fail "onvif does not compile unchanged: $(tail -5 "$work/build.log")"
printf '#include "process/Text.h"\n' >> "$work/onvif/ProfileChoice.cpp"
if compile onvif ProfileChoice.cpp; then
  fail "onvif compiled with an include of process"
fi
grep -q 'process/Text.h' "$work/build.log" || fail "onvif failed for another reason: $(tail -5 "$work/build.log")"

# A subsystem folder gone: the configure stops and names it.
rm -rf "$work/build" "$work/control"
if configure; then
  fail "the configure went on without control/"
fi
grep -q 'control' "$work/configure.log" || fail "the configure failed without naming control: $(tail -5 "$work/configure.log")"
echo "ok layers"
