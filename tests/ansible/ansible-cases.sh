#!/usr/bin/env bash
# The orvane.cameras collection driven by Ansible as an integrator runs it:
# two site hosts, each a test LAN of its own with its simulated cameras and
# an sshd started here, reached over SSH from a control namespace that only
# sees the two site hosts. One ansible-playbook run applies both plans; a
# second run changes nothing; --check with an edited plan sends nothing.
#   ansible-cases.sh BUILD_DIR
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../e2e/lib.sh
. "$(dirname "$0")/../e2e/lib.sh"
e2e_case "$@"
work=$(mktemp -d /tmp/orvane-ansible.XXXXXX)
chmod 755 "$work"
ctl="orv-ctl-$$"
site_pids=()
cleanup() {
  touch "$work/stop"
  for pid in "${site_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  ip netns del "$ctl" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
on_fail() {
  local f
  for f in "$work"/play-*.out; do [ ! -f "$f" ] || { echo "--- $f" >&2; tail -n 60 "$f" >&2; }; done
}

ip netns add "$ctl"
ip -n "$ctl" link set lo up
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
cp "$work/client_key.pub" "$work/authorized_keys"
mkdir -p /run/sshd  # sshd's privilege separation needs it, as its package makes it
cat > "$work/sshd_config" <<CONF
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
StrictModes no
UsePAM no
CONF

# site N: a test LAN whose operator host is site N, 10.200.N.2, linked to
# the control namespace (10.200.N.1), its sshd up until the test ends.
site() {
  local n=$1
  "$here/scripts/test-lan" --sim-bin "$build/bin/ipc-sim" --sim "$2" -- bash -c '
    n=$1; work=$2; ctl=$3
    ip link add "ovs$n-$$" type veth peer name "ovt$n-$$" netns "$ctl"
    ip addr add "10.200.$n.2/24" dev "ovs$n-$$" && ip link set "ovs$n-$$" up
    ip -n "$ctl" addr add "10.200.$n.1/24" dev "ovt$n-$$" && ip -n "$ctl" link set "ovt$n-$$" up
    /usr/sbin/sshd -D -e -f "$work/sshd_config" -o ListenAddress="10.200.$n.2" -o PidFile=none 2> "$work/sshd-$n.log" &
    echo "$ORVANE_SIM_LOG" > "$work/simlog-$n"
    while [ ! -f "$work/stop" ]; do sleep 0.2; done
    kill %1
  ' _ "$n" "$work" "$ctl" > "$work/site-$n.out" 2>&1 &
  site_pids+=($!)
}

r="restart-ms=1000,settings=restart"
site 1 "--camera ip=10.77.0.11,mac=000000000011,$r --camera ip=10.77.0.12,mac=000000000012,$r"
site 2 "--camera ip=10.77.0.11,mac=000000000021,$r"
for n in 1 2; do
  for _ in $(seq 100); do
    [ -f "$work/simlog-$n" ] && ip netns exec "$ctl" bash -c "exec 3<>/dev/tcp/10.200.$n.2/22" 2>/dev/null && break
    sleep 0.1
  done
  [ -f "$work/simlog-$n" ] || fail "site $n did not come up: $(cat "$work/site-$n.out")"
done

cat > "$work/plan-1.csv" <<CSV
mac,uid,x,y
000000000011,SITEONEUID0000000011,5,6
000000000012,,,7
CSV
cat > "$work/plan-2.csv" <<CSV
mac,keyid,ip
000000000021,9,10.77.0.121
CSV
cat > "$work/inventory.ini" <<INV
[sites]
site1 ansible_host=10.200.1.2 plan=$work/plan-1.csv
site2 ansible_host=10.200.2.2 plan=$work/plan-2.csv

[sites:vars]
ansible_user=root
ansible_ssh_private_key_file=$work/client_key
ansible_ssh_common_args='-o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null'
ansible_python_interpreter=/usr/bin/python3
orvane_cli=$cli
wait=8
INV

# play NAME ARGS...: the example playbook from the control namespace.
play() {
  local name=$1; shift
  ip netns exec "$ctl" env HOME="$work/home" ANSIBLE_COLLECTIONS_PATH="$here/contrib/ansible" \
    ANSIBLE_PIPELINING=1 ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP="$work/home/tmp" \
    ansible-playbook -i "$work/inventory.ini" "$here/contrib/ansible/examples/site.yml" "$@" > "$work/play-$name.out" 2>&1
}
recap() { sed -n "s/^$1 *: ok=[0-9]* *changed=\\([0-9]*\\) .*failed=\\([0-9]*\\).*/changed=\\1 failed=\\2/p" "$work/play-$2.out"; }
frames() { grep -c '^frame ' "$(cat "$work/simlog-$1")" || true; }

play first || fail "the first run failed"
[ "$(recap site1 first)" = "changed=1 failed=0" ] || fail "site1 first: $(recap site1 first)"
[ "$(recap site2 first)" = "changed=1 failed=0" ] || fail "site2 first: $(recap site2 first)"
grep -q '"outcome": "applied"' "$work/play-first.out" || fail "no per-camera result shown"
# uid, x/y to .11 (two frames each), x/y to .12; keyid then ip to .21.
[ "$(frames 1)" = 6 ] || fail "site 1 frames: $(frames 1)"
[ "$(frames 2)" = 3 ] || fail "site 2 frames: $(frames 2)"

play second || fail "the second run failed"
[ "$(recap site1 second) $(recap site2 second)" = "changed=0 failed=0 changed=0 failed=0" ] ||
  fail "second run: $(recap site1 second) $(recap site2 second)"
[ "$(frames 1) $(frames 2)" = "6 3" ] || fail "the second run sent frames"

sed -i 's/,,,7$/,,,8/' "$work/plan-1.csv"
play check --check || fail "the check run failed"
[ "$(recap site1 check) $(recap site2 check)" = "changed=1 failed=0 changed=0 failed=0" ] ||
  fail "check run: $(recap site1 check) $(recap site2 check)"
[ "$(frames 1) $(frames 2)" = "6 3" ] || fail "--check sent frames"
echo "ok ansible"
