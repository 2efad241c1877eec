#!/usr/bin/env bash
# End-to-end cases on test LANs shaped like installers' sites, one case per run:
#   site-cases.sh BUILD_DIR CASE
# factory: the laptop shape (default route on the Wi-Fi) with cameras on a
# factory subnet on the camera switch; routed: cameras behind a router.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$(dirname "$0")/lib.sh"
e2e_case "$@"
case_folder site
# Without root and without any capability: what an operator's own account has.
unprivileged=(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all --bounding-set=-all)

factory_cameras="--camera ip=10.77.0.11,mac=020000000011 --camera ip=192.168.1.64,mac=020000000064,restart-ms=800
                 --camera ip=192.168.1.65,mac=020000000065"
gw_camera="--camera ip=192.168.1.100,mac=020000000100,answer=broadcast"

case "$case_name" in
factory-reached-without-root)
  head -c 30000 /dev/urandom > "$work/fw.br"
  # The upload opens its file for reading and writing, as the camera tool always has.
  chmod 666 "$work/fw.br"
  lan --topology factory --addresses 1 --sim "$factory_cameras" --sim-gw "$gw_camera" -- bash -c '
    out=$1; cli=$2; shift 2
    "$@" "$cli" search > "$out/list"
    "$@" "$cli" set-uid 192.168.1.64 SIMUID0000000000000099 > "$out/set.out" 2> "$out/set.err"
    echo $? > "$out/set.rc"
    "$@" "$cli" upload-firmware 192.168.1.64 "$out/fw.br" > "$out/up.out" 2> "$out/up.err"
    echo $? > "$out/up.rc"
    sleep 1  # the upgraded camera restarts for 0.8 s
    "$@" "$cli" assign-ips 10.77.0.50 020000000064 --wait 8 > "$out/assign.out" 2> "$out/assign.err"
    echo $? > "$out/assign.rc"
    "$@" "$cli" search > "$out/after"
    cp "$ORVANE_SIM_LOG" "$out/log"
    # The connections left through the camera link, never the Wi-Fi.
    cp "$ORVANE_WIFI_LOG" "$out/wifi.log" 2>/dev/null || : > "$out/wifi.log"
  ' _ "$work" "$cli" "${unprivileged[@]}" || fail "test LAN failed"
  [ "$(cut -f2 "$work/list" | tr '\n' ' ')" = "10.77.0.11 192.168.1.64 192.168.1.65 192.168.1.100 " ] ||
    fail "each camera once, in address order: $(cat "$work/list")"
  [ "$(cat "$work/set.rc")" = 0 ] || fail "set-uid: $(cat "$work/set.err")"
  grep -q "IPC will restart" "$work/set.err" || fail "set-uid told: $(cat "$work/set.err")"
  grep -q "192.168.1.64 is outside this machine's subnets; it answered on ovo" "$work/set.err" || fail "no line on the link chosen"
  grep -q 'text=#3&4&SIMUID0000000000000099#' "$work/log" || fail "the setting did not reach the camera"
  [ "$(cat "$work/up.rc")" = 0 ] || fail "upload: $(cat "$work/up.err")"
  [ "$(tail -n1 "$work/up.out")" = 1 ] || fail "upload result: $(cat "$work/up.out")"
  [ "$(cat "$work/assign.rc")" = 0 ] || fail "assign-ips: $(cat "$work/assign.err") $(cat "$work/assign.out")"
  [ "$(cat "$work/assign.out")" = $'192.168.1.64\t020000000064\t10.77.0.50\tmoved' ] || fail "assign-ips: $(cat "$work/assign.out")"
  grep -q $'^[0-9]*\t10.77.0.50\t020000000064' "$work/after" || fail "not found at its new address: $(cat "$work/after")"
  ;;
factory-apply)
  # A plan reaches every camera a single command reaches: the factory camera
  # on the camera switch from an operator's own account, the camera behind
  # its absent gateway as root through a temporary address, which goes with
  # the command. Every field is read back from the camera's answers.
  r="restart-ms=600,settings=restart"
  printf 'mac,ip,version,firmware,uid,x,y,keyid\n020000000064,,,,PLANUID0000000000064,64,4,\n' > "$work/own.csv"
  printf 'mac,ip,version,firmware,uid,x,y,keyid\n020000000100,,,,PLANUID0000000000100,,,7\n' > "$work/root.csv"
  chmod 644 "$work/own.csv" "$work/root.csv"
  lan --topology factory --addresses 1 --sim "--camera ip=10.77.0.11,mac=020000000011 --camera ip=192.168.1.64,mac=020000000064,$r" \
      --sim-gw "--camera ip=192.168.1.100,mac=020000000100,answer=broadcast,$r" -- bash -c '
    out=$1; cli=$2; shift 2
    "$@" "$cli" apply "$out/own.csv" --wait 8 > "$out/own.out" 2> "$out/own.err"
    echo $? > "$out/own.rc"
    "$cli" apply "$out/root.csv" --wait 8 > "$out/root.out" 2> "$out/root.err"
    echo $? > "$out/root.rc"
    ip -4 addr show dev "$ORVANE_CAMERA_IF" > "$out/addresses"
  ' _ "$work" "$cli" "${unprivileged[@]}" || fail "test LAN failed"
  [ "$(cat "$work/own.rc")" = 0 ] || fail "apply without root: $(cat "$work/own.err") $(cat "$work/own.out")"
  [ "$(cut -f3,6 "$work/own.out" | tr '\n\t' ' =')" = "uid=applied x=applied y=applied " ] || fail "without root: $(cat "$work/own.out")"
  [ "$(cat "$work/root.rc")" = 0 ] || fail "apply as root: $(cat "$work/root.err") $(cat "$work/root.out")"
  [ "$(cut -f3,6 "$work/root.out" | tr '\n\t' ' =')" = "uid=applied keyid=applied " ] || fail "as root: $(cat "$work/root.out")"
  ! grep -q '192.168.1' "$work/addresses" || fail "a temporary address was left: $(cat "$work/addresses")"
  ;;
routed-target)
  addresses=$(for i in $(seq 11 30); do printf '10.80.0.%d,' "$i"; done)
  head -c 20000 /dev/urandom > "$work/fw.br"
  lan --topology routed --addresses 20 --sim "--camera ip=10.77.0.11,mac=020000000011" \
      --sim2 "--cameras 20 --first-index 256 --addresses ${addresses%,} --unicast-own --restart-ms 800 --after-upgrade V2" -- bash -c '
    out=$1; cli=$2
    "$cli" search > "$out/plain"
    "$cli" search --target 10.80.0.0/24 > "$out/targeted" 2> "$out/targeted.err"
    "$cli" upgrade "$out/fw.br" 10.80.0.17 --target 10.80.0.0/24 --wait 8 > "$out/up.out" 2> "$out/up.err"
    echo $? > "$out/up.rc"
    cp "$ORVANE_SIM_LOG2" "$out/log2"
  ' _ "$work" "$cli" || fail "test LAN failed"
  [ "$(cut -f2 "$work/plain")" = 10.77.0.11 ] || fail "a broadcast crossed the router: $(cat "$work/plain")"
  [ "$(cut -f2 "$work/targeted" | tr '\n' ' ')" = "10.77.0.11 $(printf '10.80.0.%d ' $(seq 11 30))" ] ||
    fail "targeted search: $(cat "$work/targeted") $(cat "$work/targeted.err")"
  # Only the hosts that are there take a request; each camera answered the one sent to it alone.
  [ "$(grep -c '^search-request from=10.79.0.1:10088 bytes=43 valid' "$work/log2")" -ge 20 ] || fail "not every camera was asked"
  [ "$(grep '^answered to=10.79.0.1 ' "$work/log2" | grep -Ec ' datagrams=([2-9]|[1-9][0-9]+) ')" -eq 0 ] || fail "a camera answered a request to another"
  [ "$(cat "$work/up.rc")" = 0 ] || fail "upgrade: $(cat "$work/up.err")"
  [ "$(cut -f1,6 "$work/up.out")" = $'10.80.0.17\tupgraded' ] || fail "upgrade: $(cat "$work/up.out")"
  ;;
target-refused)
  # Refused before anything is sent; nothing here needs a network.
  for bad in 10.80.0.0/15 10.80.0.0/33 10.80.0 10.80.0.0/ 10.80.0.0/x 300.1.1.1 "10.80.0.1,,10.80.0.2"; do
    set +e
    unshare -n "$cli" search --target "$bad" > "$work/out" 2> "$work/err"
    rc=$?
    set -e
    [ $rc -eq 2 ] || fail "--target $bad: exit $rc"
    grep -q -- "--target" "$work/err" || fail "--target $bad: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "--target $bad printed a list"
  done
  ;;
factory-temporary-address)
  # A camera whose gateway is absent answers only its own subnet: as root the
  # command comes from a temporary address there, which goes with the command.
  head -c 400000 /dev/urandom > "$work/fw.br"
  chmod 666 "$work/fw.br"
  lan --topology factory --addresses 1 --sim "--camera ip=10.77.0.11,mac=020000000011" --sim-gw "$gw_camera" -- bash -c '
    out=$1; cli=$2; shift 2
    "$cli" set-uid 192.168.1.100 SIMUID0000000000000077 > "$out/set.out" 2> "$out/set.err"
    echo $? > "$out/set.rc"
    ip -4 addr show dev "$ORVANE_CAMERA_IF" > "$out/after-set"
    "$cli" upload-firmware 192.168.1.100 "$out/fw.br" > /dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do grep -q "^upload-data\|^frame camera=192.168.1.100 conn=2" "$ORVANE_SIM_LOG_GW" && break; sleep 0.05; done
    ip -4 addr show dev "$ORVANE_CAMERA_IF" > "$out/during"
    kill -9 $pid; wait $pid 2>/dev/null
    ip -4 addr show dev "$ORVANE_CAMERA_IF" > "$out/killed"
    "$@" "$cli" set-uid 192.168.1.100 SIMUID0000000000000078 > /dev/null 2> "$out/unprivileged.err"
    echo $? > "$out/unprivileged.rc"
    cp "$ORVANE_SIM_LOG_GW" "$out/log"
  ' _ "$work" "$cli" "${unprivileged[@]}" || fail "test LAN failed"
  [ "$(cat "$work/set.rc")" = 0 ] || fail "set-uid as root: $(cat "$work/set.err")"
  grep -q 'frame camera=192.168.1.100 conn=1 text=#3&4&SIMUID0000000000000077#' "$work/log" || fail "the setting did not arrive"
  ! grep -q '192.168.1' "$work/after-set" || fail "a temporary address was left: $(cat "$work/after-set")"
  # Killed mid-upload: the address is still there, but the kernel drops it within 120 s.
  grep -q 'inet 192.168.1.254/32' "$work/during" || fail "no temporary address during the upload: $(cat "$work/during")"
  lifetime=$(grep -A1 'inet 192.168.1.254/32' "$work/killed" | sed -n 's/.*valid_lft \([0-9]*\)sec.*/\1/p')
  [ -n "$lifetime" ] && [ "$lifetime" -le 120 ] || fail "lifetime after kill -9: $(cat "$work/killed")"
  [ "$(cat "$work/unprivileged.rc")" = 1 ] || fail "unprivileged exit $(cat "$work/unprivileged.rc")"
  grep -qE "orvane-cli: camera 192.168.1.100 was heard on ovo[0-9]+ from outside that link's subnets and may answer only its own subnet 192.168.1.0/24: run as root" "$work/unprivileged.err" ||
    fail "unprivileged: $(cat "$work/unprivileged.err")"
  ;;
explain-skipped-tun)
  lan --sim "--camera ip=10.77.0.11,mac=020000000011" -- bash -c '
    ip tuntap add dev tun7 mode tun && ip addr add 10.99.0.1/24 dev tun7 && ip link set tun7 up
    "$2" search --explain > "$1/out" 2> "$1/err"
  ' _ "$work" "$cli" || fail "search failed"
  grep -q "skipped tun7: cannot broadcast (a point-to-point tunnel such as tun or WireGuard)" "$work/err" || fail "$(cat "$work/err")"
  grep -q "skipped lo: is the loopback interface" "$work/err" || fail "$(cat "$work/err")"
  grep -qE "interface ovo[0-9]+ 10.77.0.1/16: request sent, 1 answers heard" "$work/err" || fail "$(cat "$work/err")"
  [ "$(cut -f2 "$work/out")" = 10.77.0.11 ] || fail "the list: $(cat "$work/out")"
  ;;
explain-held-port)
  lan --sim "--camera ip=10.77.0.11,mac=020000000011,delay-ms=1500" -- bash -c '
    "$2" search > /dev/null &
    . "$ORVANE_E2E_LIB"
    # The first search holds the port once its request is out.
    wait_sim_log 5 "search-request .*"
    "$2" search --explain > "$1/out" 2> "$1/err"
    echo $? > "$1/rc"
    wait
  ' _ "$work" "$cli" || fail "test LAN failed"
  [ "$(cat "$work/rc")" = 1 ] || fail "exit $(cat "$work/rc")"
  grep -qE "UDP port 10088 is held by orvane-cli \(pid [0-9]+\)" "$work/err" || fail "$(cat "$work/err")"
  ;;
explain-nft-drop)
  # ufw as a laptop has it, enabled with its incoming policy at deny, read from a folder laid out like /.
  mkdir -p "$work/root/etc/ufw" "$work/root/etc/default"
  echo ENABLED=yes > "$work/root/etc/ufw/ufw.conf"
  echo 'DEFAULT_INPUT_POLICY="DROP"' > "$work/root/etc/default/ufw"
  printf '*filter\n-A ufw-user-input -p tcp --dport 22 -j ACCEPT\nCOMMIT\n' > "$work/root/etc/ufw/user.rules"
  lan --sim "--camera ip=10.77.0.11,mac=020000000011" -- bash -c '
    nft add table inet site && nft add chain inet site input "{ type filter hook input priority 0; }" &&
      nft add rule inet site input udp dport 10088 drop
    ORVANE_FIREWALL_ROOT="$1/root" "$2" search --explain --format json > "$1/out" 2> "$1/err"
  ' _ "$work" "$cli" || fail "search failed"
  grep -q "firewall: this nftables rule drops the answers to UDP 10088: udp dport 10088 drop" "$work/err" || fail "$(cat "$work/err")"
  grep -q "firewall: ufw drops UDP 10088: no rule allows it and the incoming policy is DROP (sudo ufw allow Orvane opens it)" "$work/err" ||
    fail "$(cat "$work/err")"
  # As root the search listens below the firewall: the answer came, and the rule took it.
  grep -qE "below the firewall: an answer from 10.77.0.11 reached ovo[0-9]+ but not the search: an nftables rule drops it: udp dport 10088 drop" "$work/err" ||
    fail "$(cat "$work/err")"
  # The report under its own key; the list keeps its keys.
  python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["cameras"] == [], d; assert d["explain"]["firewall"]["drops"] == ["udp dport 10088 drop"], d; assert [m["ip"] for m in d["explain"]["below_firewall"]["missed"]] == ["10.77.0.11"], d; assert [(o["firewall"], o["drops"]) for o in d["explain"]["firewall"]["others"]] == [("ufw", True)], d' "$work/out" ||
    fail "json: $(cat "$work/out")"
  ;;
explain-foreign-camera)
  lan --topology factory --addresses 1 --sim "$factory_cameras" -- bash -c '
    sysctl -q -w net.ipv4.conf.all.rp_filter=1 "net.ipv4.conf.$ORVANE_CAMERA_IF.rp_filter=1"
    "$2" search --explain > "$1/strict.out" 2> "$1/strict.err"
    sysctl -q -w net.ipv4.conf.all.rp_filter=2
    "$2" search --explain --format json > "$1/out" 2> "$1/err"
  ' _ "$work" "$cli" || fail "search failed"
  # Strict filtering drops the factory cameras' answers, and says so.
  [ "$(cut -f2 "$work/strict.out")" = 10.77.0.11 ] || fail "strict: $(cat "$work/strict.out")"
  grep -qE "interface ovo[0-9]+: rp_filter=1 \(strict\) drops answers from cameras on other subnets" "$work/strict.err" ||
    fail "$(cat "$work/strict.err")"
  for camera in 192.168.1.64 192.168.1.65; do
    grep -qE "below the firewall: an answer from $camera reached ovo[0-9]+ but not the search: rp_filter=1 \(strict\) on ovo[0-9]+ drops answers from other subnets" "$work/strict.err" ||
      fail "$(cat "$work/strict.err")"
  done
  ! grep -q "below the firewall: an answer from 10.77.0.11" "$work/strict.err" || fail "a listed camera named missed"
  grep -q "below the firewall: every answer that reached this machine reached the search" "$work/err" || fail "$(cat "$work/err")"
  grep -qE "camera 192.168.1.64 \(020000000064\) answered on ovo[0-9]+ from outside its subnets" "$work/err" || fail "$(cat "$work/err")"
  ! grep -q "camera 10.77.0.11 " "$work/err" || fail "an on-link camera named foreign"
  python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert [c["ip"] for c in d["explain"]["foreign_subnet_cameras"]] == ["192.168.1.64", "192.168.1.65"], d; assert set(d["cameras"][0]) == {"id","ip","mac","version","x","y","uid","keyid","interface"}, d' "$work/out" ||
    fail "json: $(cat "$work/out")"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
