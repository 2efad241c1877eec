#!/usr/bin/env bash
# regsvr against the real plug-in, in a temporary XDG data folder, one case
# per run:
#   regsvr-cases.sh CASE REGSVR LIBVIDRA VIDRA_API_H DOUBLE_BOTH DOUBLE_REGISTER_ONLY
set -euo pipefail
case_name=$1 regsvr=$2 vidra=$3 api=$4 double_both=$5 double_register_only=$6
work=$(mktemp -d /tmp/orvane-regsvr.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/data ORVANE_MACHINE_REGISTRY=$work/machine
unset ORVANE_REGISTRY_LAYER
user_root=$XDG_DATA_HOME/orvane-registry/HKEY_CLASSES_ROOT
machine_root=$ORVANE_MACHINE_REGISTRY/HKEY_CLASSES_ROOT
root=$user_root
# shellcheck source=../e2e/lib.sh
. "$(dirname "$0")/../e2e/lib.sh"

api_string() { sed -n "s/^#define $1 \"\(.*\)\"\$/\1/p" "$api"; }
control=$(api_string VIDRA_CONTROL_CLSID)
server=$(api_string VIDRA_SERVER_CLSID)
progid=$(api_string VIDRA_PROGID)
[ -n "$control" ] && [ -n "$server" ] && [ -n "$progid" ] || fail "class ids not found in $api"

# The folder of a key given with backslashes: every segment is "k." + name.
key_folder() {
  local folder=$root segment
  local IFS='\'
  for segment in $1; do folder+="/k.$segment"; done
  printf '%s' "$folder"
}

# run ARGS...: regsvr's exit code in $rc, its stderr in $work/stderr.
run() { rc=0; "$regsvr" "$@" > "$work/stdout" 2> "$work/stderr" || rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || fail "regsvr $2: exit $rc, expected $1 ($(cat "$work/stderr"))"; }

# Every key and every default value below the root, one "key = value" a line.
listing() {
  (cd "$root" && find . -mindepth 1 | sort) | while read -r entry; do
    local name=${entry##*/} key=/${entry#./}
    case $name in
      v.) key=${key%/v.}; key=${key//\/k./\/}; key=${key#/}
          printf '%s = %s\n' "${key//\//\\}" "$(cat "$root/$entry")" ;;
      k.*) key=${key//\/k./\/}; key=${key#/}; printf '%s\n' "${key//\//\\}" ;;
      *) printf 'unexpected entry %s\n' "$entry" ;;
    esac
  done
}

expect_registered() {
  local path=$1 expected
  expected=$(sort <<EOF2
CLSID
CLSID\\$control
CLSID\\$control = TarnFFMpeg Control
CLSID\\$control\\InprocServer32
CLSID\\$control\\InprocServer32 = $path
CLSID\\$control\\ProgID
CLSID\\$control\\ProgID = $progid
CLSID\\$server
CLSID\\$server\\InprocServer32
CLSID\\$server\\InprocServer32 = $path
$progid
$progid = TarnFFMpeg Control
$progid\\Clsid
$progid\\Clsid = $control
EOF2
)
  [ "$(listing | sort)" = "$expected" ] || fail "registry after registering:
$(listing)
expected:
$expected"
}

absolute=$(realpath "$vidra")
case $case_name in
  register-unregister)
    run --user "$vidra"; expect_rc 0 "$vidra"
    expect_registered "$absolute"
    run --user "$vidra"; expect_rc 0 "again"
    expect_registered "$absolute"
    run --user -u "$vidra"; expect_rc 0 "-u"
    [ "$(listing)" = "CLSID" ] || fail "after unregistering, expected CLSID alone:
$(listing)"
    run -u --user "$vidra"; expect_rc 0 "-u when not registered"
    [ ! -e "$machine_root" ] || fail "--user wrote the machine-wide layer"
    ;;
  layers)
    # Root writes the machine-wide layer unless told --user; -u removes from the layer it names.
    [ "$(id -u)" = 0 ] || fail "this case needs root"
    run "$vidra"; expect_rc 0 "as root"
    root=$machine_root expect_registered "$absolute"
    [ ! -e "$user_root" ] || fail "root's registration wrote the user's layer"
    run --user "$vidra"; expect_rc 0 "--user"
    expect_registered "$absolute"
    run -u --system "$vidra"; expect_rc 0 "-u --system"
    [ "$(root=$machine_root listing)" = "CLSID" ] || fail "-u --system left $(root=$machine_root listing)"
    expect_registered "$absolute"
    run --system "$vidra"; expect_rc 0 "--system"
    run --user -u "$vidra"; expect_rc 0 "--user -u"
    root=$machine_root expect_registered "$absolute"
    # A machine-wide layer others can write is refused, and regsvr says it failed.
    chmod o+w "$ORVANE_MACHINE_REGISTRY"
    run -u "$vidra"; expect_rc 1 "-u on a world-writable layer"
    grep -q "$ORVANE_MACHINE_REGISTRY refused" "$work/stderr" || fail "no refusal on stderr: $(cat "$work/stderr")"
    chmod o-w "$ORVANE_MACHINE_REGISTRY"
    root=$machine_root expect_registered "$absolute"
    # An unprivileged user cannot write the machine-wide layer, and by default writes its own.
    # nobody may not reach the checkout (a clone in a private home folder):
    # it runs copies of regsvr and the plug-in from the case's own folder.
    id nobody >/dev/null 2>&1 || fail "no user nobody"
    chmod 755 "$work"
    reach=$work/reach
    mkdir -p "$reach/bin" "$reach/lib"
    cp "$regsvr" "$reach/bin/regsvr" && cp "$vidra" "$reach/lib/$(basename "$vidra")"
    chmod -R a+rX "$reach"
    rc=0; setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/nobody" XDG_DATA_HOME= \
      "$reach/bin/regsvr" --system -u "$reach/lib/$(basename "$vidra")" 2>"$work/stderr" || rc=$?
    expect_rc 1 "--system -u as nobody"
    root=$machine_root expect_registered "$absolute"
    ;;
  relative-path)
    # A bare file name is the file in the current folder; the registry still gets the absolute path.
    dir=$(dirname "$vidra") name=$(basename "$vidra")
    (cd "$dir" && "$regsvr" --user "$name") 2> "$work/stderr" || fail "regsvr $name in $dir: $(cat "$work/stderr")"
    expect_registered "$absolute"
    [ -f "$(key_folder "CLSID\\$server\\InprocServer32")/v." ] || fail "key folder layout"
    ;;
  failures)
    run "$work/no-such-library.so"; expect_rc 1 "missing library"
    [ "$(wc -l < "$work/stderr")" -eq 1 ] || fail "expected one line on stderr: $(cat "$work/stderr")"
    run -u "$double_register_only"; expect_rc 1 "-u without DllUnregisterServer"
    grep -q DllUnregisterServer "$work/stderr" || fail "stderr does not name the entry point: $(cat "$work/stderr")"
    run -u "$double_both"; expect_rc 1 "-u with a failing DllUnregisterServer"
    grep -q 0x80004005 "$work/stderr" || fail "stderr does not give the result: $(cat "$work/stderr")"
    run --user "$double_register_only"; expect_rc 0 "a stand-in that registers"
    run --help; expect_rc 0 "--help"
    grep -q 'usage: regsvr' "$work/stdout" || fail "--help prints no usage"
    run; expect_rc 2 "without arguments"
    run -x "$vidra"; expect_rc 2 "-x"
    run -u; expect_rc 2 "-u alone"
    run --system --user "$vidra"; expect_rc 2 "two layers"
    run -u -u "$vidra"; expect_rc 2 "-u twice"
    [ ! -e "$machine_root" ] || fail "failed runs wrote the machine-wide layer"
    [ ! -e "$root" ] || [ -z "$(listing)" ] || fail "failed runs wrote keys: $(listing)"
    ;;
  *) fail "unknown case $case_name" ;;
esac
echo "ok $case_name"
