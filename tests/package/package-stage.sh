#!/usr/bin/env bash
# The package stage: builds the .deb, installs it with dpkg, and as a fresh
# unprivileged user made for this run, on the test LAN and under Xvfb, checks
# what a user of the installed package sees: the main window opens without the
# plug-in message, Search lists the simulated cameras, Link(1080P) shows a
# moving picture; man orvane-cli renders; dpkg --purge removes every file, the
# machine-wide keys and the registry folder. A trap undoes everything, so the
# machine is left as it was found, also when a check fails.
#   tests/package/package-stage.sh [DEB]      (default: scripts/package builds one)
# Needs root, and build/ built for the simulator and timestrip-read.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../e2e/lib.sh
. "$here/tests/e2e/lib.sh"
[ "$(id -u)" = 0 ] || fail "the package stage needs root"

machine_layer=/var/lib/orvane
cameras=(
  "--camera ip=10.77.0.11,mac=001a2b3c4d11,version=V2.4.3"
  "--camera ip=10.77.0.12,mac=001a2b3c4d12,version=V3.1.0"
  "--camera ip=10.77.0.13,mac=001a2b3c4d13,version=V3.2.1"
)

if [ "${1:-}" = --inside-lan ]; then
  exec "$here/tests/package/installed-cases.sh" "${@:2}"
fi

# Refuse rather than disturb an Orvane this machine already has.
if dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -qv 'not-installed'; then
  fail "an orvane package is already on this machine; the stage would remove it"
fi
[ ! -e "$machine_layer" ] || fail "$machine_layer exists already; the stage would remove it"
for tool in "$here/build/bin/ipc-sim" "$here/build/bin/timestrip-read"; do
  [ -x "$tool" ] || fail "$tool is missing: build build/ first"
done

user=orvpkg$$
work=$(mktemp -d /tmp/orvane-package.XXXXXX)
installed=0 made_user=0
cleanup() {
  set +e
  if [ $made_user = 1 ]; then
    ps -o pid= -u "$user" | xargs -r kill -KILL 2>/dev/null
    userdel -r "$user" 2>/dev/null
  fi
  if [ $installed = 1 ]; then dpkg --purge orvane >/dev/null 2>&1; fi
  rm -rf "$machine_layer" "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

deb=${1:-}
if [ -z "$deb" ]; then
  "$here/scripts/package" --lintian > "$work/package.out" 2>&1 || fail "scripts/package failed: $(tail -30 "$work/package.out")"
  deb=$(grep '\.deb$' "$work/package.out" | tail -1)
fi
[ -f "$deb" ] || fail "no package at $deb"

echo "--- contents"
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/contents"
for f in ./usr/bin/orvane ./usr/bin/orvane-cli ./usr/bin/regsvr ./usr/lib/orvane/libvidra.so \
         ./usr/share/applications/orvane.desktop ./usr/share/metainfo/org.orvane.Orvane.metainfo.xml \
         ./usr/share/icons/hicolor/256x256/apps/orvane.png ./usr/share/man/man1/orvane.1.gz \
         ./usr/share/man/man1/orvane-cli.1.gz ./usr/share/man/man1/regsvr.1.gz \
         ./etc/ufw/applications.d/orvane ./usr/lib/firewalld/services/orvane.xml \
         ./usr/lib/orvane/orvane-link-address ./usr/share/polkit-1/actions/org.orvane.Orvane.link-address.policy; do
  grep -qx "$f" "$work/contents" || fail "not in the package: $f"
done
! grep -E 'ipc-sim|timestrip|bench|_tests|regdouble|fuzz' "$work/contents" || fail "test tools in the package"
dpkg-deb -f "$deb" Depends | grep -q 'fonts-noto-cjk' || fail "no dependency on the CJK font"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "dependencies not computed from the binaries"

echo "--- install"
installed=1
dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || fail "dpkg -i failed: $(cat "$work/dpkg.log")"
clsid_key=$machine_layer/HKEY_CLASSES_ROOT/k.Vidra.TarnFFMpeg.1/k.Clsid
[ -d "$clsid_key" ] || fail "the install script did not register the plug-in machine-wide"
[ "$(stat -c %U "$machine_layer")" = root ] || fail "$machine_layer is not root's"
[ -z "$(find "$machine_layer" -perm /022)" ] || fail "$machine_layer holds folders others can write"
readelf -d /usr/bin/orvane | grep -q 'R.*PATH.*\$ORIGIN/\.\./lib/orvane' || fail "orvane's run path does not lead to /usr/lib/orvane"
desktop-file-validate /usr/share/applications/orvane.desktop || fail "the desktop entry does not validate"
appstreamcli validate --no-net /usr/share/metainfo/org.orvane.Orvane.metainfo.xml >"$work/appstream.log" 2>&1 ||
  fail "the metainfo does not validate: $(cat "$work/appstream.log")"
python3 -c 'import sys, xml.dom.minidom as m; p = m.parse(sys.argv[1]).getElementsByTagName("port")[0]; sys.exit(p.getAttribute("port") != "10088" or p.getAttribute("protocol") != "udp")' \
  /usr/lib/firewalld/services/orvane.xml || fail "the firewalld service does not name UDP port 10088"
grep -qx 'ports=10088/udp' /etc/ufw/applications.d/orvane || fail "the ufw profile does not name UDP port 10088"
# The temporary-address helper: root's, run by anyone (through pkexec), writable by none; its action readable.
[ "$(stat -c '%a %U %G' /usr/lib/orvane/orvane-link-address)" = "755 root root" ] ||
  fail "the helper's mode: $(stat -c '%a %U %G' /usr/lib/orvane/orvane-link-address)"
policy=/usr/share/polkit-1/actions/org.orvane.Orvane.link-address.policy
[ "$(stat -c '%a %U %G' "$policy")" = "644 root root" ] || fail "the polkit action's mode: $(stat -c '%a %U %G' "$policy")"
python3 -c 'import sys, xml.dom.minidom as m; a = m.parse(sys.argv[1]).getElementsByTagName("action")[0]; sys.exit(a.getAttribute("id") != "org.orvane.Orvane.link-address")' "$policy" ||
  fail "the polkit action does not read as XML with its id"
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/lib/orvane/orvane-link-address</annotate>' "$policy" ||
  fail "the polkit action does not name the installed helper"
# The installed helper refuses what it must, with one line (no authentication needed for that).
set +e
/usr/lib/orvane/orvane-link-address add lo 8.8.8.8 60 2> "$work/helper.err"
helper_rc=$?
set -e
[ $helper_rc = 2 ] && [ "$(wc -l < "$work/helper.err")" = 1 ] || fail "the helper took a public address: exit $helper_rc $(cat "$work/helper.err")"
if command -v pkaction >/dev/null && pkaction --version >/dev/null 2>&1 && pkaction > "$work/pkaction.list" 2>/dev/null; then
  pkaction --action-id org.orvane.Orvane.link-address > "$work/pkaction.out" 2>&1 ||
    fail "polkit does not know the action: $(cat "$work/pkaction.out")"
else
  echo "skipped: pkaction cannot ask polkitd here (no polkitd on the system bus), the action is checked by its file alone"
fi
# Nothing is opened by installing: the profile is there, unused.
if command -v ufw >/dev/null; then ufw status 2>/dev/null | grep -q 10088 && fail "ufw opened port 10088"; fi

echo "--- a fresh user, on the test LAN, under Xvfb"
useradd --create-home --shell /bin/bash "$user"
made_user=1
chmod 711 "$work"
"$here/scripts/test-lan" --addresses 3 --sim-bin "$here/build/bin/ipc-sim" --sim "${cameras[*]}" -- \
  "$0" --inside-lan "$user" "$here/build/bin/timestrip-read"

echo "--- man orvane-cli"
# As the user, in a plain terminal width: the page renders without errors.
man_out=$(runuser -u "$user" -- env MANWIDTH=80 man -P cat orvane-cli 2>"$work/man.err") || fail "man orvane-cli failed: $(cat "$work/man.err")"
grep -q 'orvane-cli' <<<"$man_out" || fail "man orvane-cli shows no page"
[ ! -s "$work/man.err" ] || fail "man orvane-cli warned: $(cat "$work/man.err")"

echo "--- purge"
dpkg -L orvane | while read -r path; do [ -f "$path" ] && echo "$path"; done > "$work/files"
dpkg --purge orvane > "$work/dpkg.log" 2>&1 || fail "dpkg --purge failed: $(cat "$work/dpkg.log")"
installed=0
while read -r path; do
  [ ! -e "$path" ] || fail "left behind after purge: $path"
done < "$work/files"
[ "$(wc -l < "$work/files")" -gt 10 ] || fail "dpkg listed only $(wc -l < "$work/files") files"
[ ! -e "$machine_layer" ] || fail "purge left $machine_layer: $(find "$machine_layer")"
[ ! -e /usr/lib/orvane ] || fail "purge left /usr/lib/orvane"
dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q 'not-installed' ||
  ! dpkg-query -W orvane >/dev/null 2>&1 || fail "dpkg still knows orvane"
echo "ok package stage"
